#pragma once

#include <optional>
#include <string>
#include <vector>

#include "control/control_message.h"

namespace Control {

// Sends one request to the control socket at path and waits (blocking, at
// most timeoutMs in all) for its answer. Nothing when no server answers:
// error then says why (no socket, nobody listening, no answer in time, an
// answer that cannot be read).
std::optional<TControlAnswer> AskControlServer(const std::string& path, const std::vector<std::string>& arguments,
                                               int timeoutMs, std::string& error);

}  // namespace Control
