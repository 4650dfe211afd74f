#pragma once

#include <functional>
#include <string>

#include "control/control_command.h"
#include "control/control_server.h"

namespace Control {

// What the game does with one checked command.
using TCommandHandler = std::function<TControlAnswer(const TControlCommand& command, const TControlRequest& request)>;

// A control handler that reads every request with ParseControlCommand:
// each is first written to log with its caller's uid (the operator's audit
// trail), a bad one is refused with the reason, a good one goes to handle.
TControlHandler CommandHandler(TCommandHandler handle, std::function<void(const std::string&)> log);

// "control: uid UID: ARGUMENTS", an argument with a space or a quote (or an
// empty one) in double quotes.
std::string AuditLine(const TControlRequest& request);

}  // namespace Control
