#pragma once

#include <QString>
#include <memory>

#include "control/control_server.h"
#include "server/operator_commands.h"
#include "server/server_options.h"
#include "server/state_lock.h"

// Readies the operator's tools of a server about to listen: the state
// folder and this server's lock on it (kept in lock: another server on the
// folder stops the start), the bans kept there (a file that cannot be read
// stops the start and is left as it is), the records kept there unless the
// options turn them off (a database that cannot be opened, is newer than
// this program or fails its migration stops the start), the limits per
// address, and the control socket. An empty text on success, else what
// stops the start.
QString StartOperatorTools(const TServerOptions& options, TGameServer& game, TOperatorCommands& commands,
                           TStateLock& lock, std::unique_ptr<Control::TControlServer>& control);
