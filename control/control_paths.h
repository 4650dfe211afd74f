#pragma once

#include <sys/types.h>

#include <cstdlib>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace Control {

// Where the server of game port `port` listens for its operator by default:
// $RUNTIME_DIRECTORY/control when systemd gives a runtime directory (the first
// when it lists several), else $XDG_RUNTIME_DIR/kivol/control-PORT, else
// /tmp/kivol-UID/control-PORT. environment reads a variable (nullptr when
// unset); tests give their own.
std::string DefaultControlPath(int port, uid_t uid,
                               const std::function<const char*(const char*)>& environment = ::getenv);

// Where kivolctl looks for the server of game port `port`, in order: the
// default path above in each of its forms, then /run/kivol/control (the
// system service's, whose runtime directory the caller's environment does
// not name).
std::vector<std::string> ControlPathCandidates(int port, uid_t uid,
                                               const std::function<const char*(const char*)>& environment = ::getenv);

// Creates the folder that holds the socket at path when it is missing, mode
// 0700 (0710 with group `group`, so that its members can reach the socket),
// with its parents as needed. A folder that exists is left as it is, except
// one in /tmp, which must be the caller's own and closed to others: another
// user could otherwise have made it to catch the socket. An empty text on
// success, else what is wrong.
std::string MakeControlDirectory(const std::string& path, std::optional<gid_t> group);

// The id of a group by name, or nothing when there is no such group.
std::optional<gid_t> GroupId(const std::string& name);

}  // namespace Control
