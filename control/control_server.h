#pragma once

#include <sys/types.h>

#include <QObject>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "control/control_message.h"

class QSocketNotifier;
class QTimer;

namespace Control {

// What the server does with a request; it answers at once, or later (TControlAnswer::Later).
using TControlHandler = std::function<TControlAnswer(const TControlRequest&)>;

struct TControlListenOptions {
    std::string Path;
    // Members of this group are served too (besides root and the server's own user).
    std::optional<gid_t> Group;
    // Told of every peer turned away and of every request that cannot be read.
    std::function<void(const std::string&)> Log;
};

// True when a peer may use the control socket: root, the server's own user,
// or (when a control group is given) a member of that group, by its primary
// or a supplementary group.
bool ControlPeerAllowed(uid_t peerUid, const std::vector<gid_t>& peerGroups, uid_t serverUid,
                        std::optional<gid_t> controlGroup);

// The control socket: a Unix-domain stream listener on the Qt event loop.
// Each connection sends one request line and gets one answer line, then the
// server closes it; a peer that sends nothing within a few seconds is
// closed, and a request longer than MaxRequestBytes is refused.
class TControlServer : public QObject {
public:
    explicit TControlServer(TControlHandler handler);
    // Closes every connection and removes the socket file, unless another
    // server has replaced it since.
    ~TControlServer() override;
    TControlServer(const TControlServer&) = delete;
    TControlServer& operator=(const TControlServer&) = delete;

    // Listens at options.Path (socket mode 0660): a socket file left by a
    // server that is gone is replaced, one that a live server listens on is
    // not, nor anything that is no socket. An empty text on success, else
    // what went wrong.
    std::string Listen(const TControlListenOptions& options);
    const std::string& Path() const { return options_.Path; }
    int Connections() const { return static_cast<int>(connections_.size()); }

private:
    struct TConnection;
    void AcceptPending();
    void ReadRequest(TConnection& connection);
    void Answer(TConnection& connection, const TControlAnswer& answer);
    void Flush(TConnection& connection);
    void Close(int handle);
    void Log(const std::string& line) const;

    TControlHandler handler_;
    TControlListenOptions options_;
    int listener_ = -1;
    ino_t inode_ = 0;
    std::unique_ptr<QSocketNotifier> acceptNotifier_;
    std::map<int, std::unique_ptr<TConnection>> connections_;
    // Closed connections wait here for the event loop to leave their notifiers.
    std::vector<std::unique_ptr<TConnection>> closed_;
    std::uint64_t serials_ = 0;
};

}  // namespace Control
