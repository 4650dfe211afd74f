#include "control/control_server.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <QPointer>
#include <QSocketNotifier>
#include <QTimer>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <exception>

#include "control/control_paths.h"

namespace Control {

namespace {

// How long a peer may take to send its request.
constexpr int RequestTimeoutMs = 10000;
// More peers at once than an operator's scripts need are turned away.
constexpr int MaxConnections = 16;

std::string Errno(const std::string& what)
{
    return what + ": " + std::strerror(errno);
}

std::optional<sockaddr_un> UnixAddress(const std::string& path)
{
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.empty() || path.size() >= sizeof address.sun_path)
        return std::nullopt;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    return address;
}

// True when a server listens at the socket file (a full backlog, EAGAIN, is
// one that listens).
bool Listening(const sockaddr_un& address)
{
    const int probe = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    const bool live = ::connect(probe, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0
                      || errno == EAGAIN;
    ::close(probe);
    return live;
}

// The peer's primary group and supplementary groups.
std::vector<gid_t> PeerGroups(int handle, gid_t primary)
{
    std::vector<gid_t> groups(64);
    socklen_t length = static_cast<socklen_t>(groups.size() * sizeof(gid_t));
    if (::getsockopt(handle, SOL_SOCKET, SO_PEERGROUPS, groups.data(), &length) != 0 && errno == ERANGE) {
        groups.resize(length / sizeof(gid_t));
        if (::getsockopt(handle, SOL_SOCKET, SO_PEERGROUPS, groups.data(), &length) != 0)
            length = 0;
    }
    groups.resize(length / sizeof(gid_t));
    groups.push_back(primary);
    return groups;
}

}  // namespace

struct TControlServer::TConnection {
    int Handle = -1;
    TControlRequest Request;
    QByteArray Received;
    QByteArray Unsent;
    std::unique_ptr<QSocketNotifier> Readable;
    std::unique_ptr<QSocketNotifier> Writable;
    std::unique_ptr<QTimer> Deadline;
    // Tells this connection from a later one on the same handle.
    std::uint64_t Serial = 0;
};

bool ControlPeerAllowed(uid_t peerUid, const std::vector<gid_t>& peerGroups, uid_t serverUid,
                        std::optional<gid_t> controlGroup)
{
    if (peerUid == 0 || peerUid == serverUid)
        return true;
    return controlGroup && std::find(peerGroups.begin(), peerGroups.end(), *controlGroup) != peerGroups.end();
}

TControlServer::TControlServer(TControlHandler handler) : handler_(std::move(handler)) {}

TControlServer::~TControlServer()
{
    acceptNotifier_.reset();
    for (auto& [handle, connection] : connections_) {
        connection->Readable.reset();
        connection->Writable.reset();
        ::close(handle);
    }
    if (listener_ < 0)
        return;
    ::close(listener_);
    struct stat info {};
    if (::stat(options_.Path.c_str(), &info) == 0 && info.st_ino == inode_)
        ::unlink(options_.Path.c_str());
}

std::string TControlServer::Listen(const TControlListenOptions& options)
{
    if (listener_ >= 0)
        return options_.Path + ": this server listens already";
    const std::optional<sockaddr_un> address = UnixAddress(options.Path);
    if (!address)
        return options.Path + ": no path for a Unix socket (1 to 107 bytes)";
    if (std::string problem = MakeControlDirectory(options.Path, options.Group); !problem.empty())
        return problem;
    struct stat info {};
    if (::lstat(options.Path.c_str(), &info) == 0) {
        if (!S_ISSOCK(info.st_mode))
            return options.Path + ": exists and is no socket";
        if (Listening(*address))
            return options.Path + ": another server listens there";
        ::unlink(options.Path.c_str());
    }
    const int handle = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (handle < 0)
        return Errno("control socket");
    std::string problem;
    if (::bind(handle, reinterpret_cast<const sockaddr*>(&*address), sizeof *address) != 0)
        problem = Errno(options.Path);
    else if (::chmod(options.Path.c_str(), 0660) != 0
             || (options.Group && ::chown(options.Path.c_str(), static_cast<uid_t>(-1), *options.Group) != 0))
        problem = Errno(options.Path + ": cannot set its mode or group");
    else if (::listen(handle, MaxConnections) != 0 || ::stat(options.Path.c_str(), &info) != 0)
        problem = Errno(options.Path);
    if (!problem.empty()) {
        ::close(handle);
        return problem;
    }
    options_ = options;
    listener_ = handle;
    inode_ = info.st_ino;
    acceptNotifier_ = std::make_unique<QSocketNotifier>(handle, QSocketNotifier::Read);
    connect(acceptNotifier_.get(), &QSocketNotifier::activated, this, [this] { AcceptPending(); });
    return {};
}

void TControlServer::Log(const std::string& line) const
{
    if (options_.Log)
        options_.Log(line);
}

void TControlServer::AcceptPending()
{
    for (;;) {
        const int handle = ::accept4(listener_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (handle < 0)
            return;
        ucred peer{};
        socklen_t length = sizeof peer;
        if (::getsockopt(handle, SOL_SOCKET, SO_PEERCRED, &peer, &length) != 0
            || static_cast<int>(connections_.size()) >= MaxConnections) {
            ::close(handle);
            continue;
        }
        auto connection = std::make_unique<TConnection>();
        connection->Handle = handle;
        connection->Serial = ++serials_;
        connection->Request = {{}, peer.uid, peer.gid, peer.pid};
        connection->Readable = std::make_unique<QSocketNotifier>(handle, QSocketNotifier::Read);
        connection->Writable = std::make_unique<QSocketNotifier>(handle, QSocketNotifier::Write);
        connection->Writable->setEnabled(false);
        connection->Deadline = std::make_unique<QTimer>();
        connection->Deadline->setSingleShot(true);
        TConnection& added = *connections_.emplace(handle, std::move(connection)).first->second;
        connect(added.Readable.get(), &QSocketNotifier::activated, this, [this, &added] { ReadRequest(added); });
        connect(added.Writable.get(), &QSocketNotifier::activated, this, [this, &added] { Flush(added); });
        connect(added.Deadline.get(), &QTimer::timeout, this, [this, handle] { Close(handle); });
        added.Deadline->start(RequestTimeoutMs);
        if (!ControlPeerAllowed(peer.uid, PeerGroups(handle, peer.gid), ::geteuid(), options_.Group)) {
            Log("control: uid " + std::to_string(peer.uid) + " (pid " + std::to_string(peer.pid) + ") turned away");
            Answer(added, TControlAnswer::Refused("not allowed: only root, the server's user and its control group "
                                                  "may use this socket"));
        }
    }
}

void TControlServer::ReadRequest(TConnection& connection)
{
    char buffer[4096];
    const ssize_t n = ::read(connection.Handle, buffer, sizeof buffer);
    if (n < 0 && (errno == EAGAIN || errno == EINTR))
        return;
    if (n <= 0) {
        Close(connection.Handle);
        return;
    }
    connection.Received.append(buffer, n);
    const qsizetype end = connection.Received.indexOf('\n');
    if (end < 0) {
        if (connection.Received.size() > MaxRequestBytes)
            Answer(connection, TControlAnswer::Refused("request too long"));
        return;
    }
    const std::optional<std::vector<std::string>> arguments = ReadRequestLine(connection.Received.left(end));
    if (!arguments) {
        Log("control: uid " + std::to_string(connection.Request.Uid) + " sent no request");
        Answer(connection, TControlAnswer::Refused("not a request"));
        return;
    }
    connection.Request.Arguments = *arguments;
    TControlAnswer answer;
    try {
        answer = handler_(connection.Request);
    } catch (const std::exception& e) {
        answer = TControlAnswer::Refused(std::string("the server failed: ") + e.what());
    }
    if (answer.Later) {
        // The request is whole: no deadline, nothing more to read, the answer when the work is done.
        connection.Readable->setEnabled(false);
        connection.Deadline->stop();
        answer.Later([self = QPointer<TControlServer>(this), handle = connection.Handle,
                      serial = connection.Serial](const TControlAnswer& later) {
            if (!self)
                return;
            const auto found = self->connections_.find(handle);
            if (found != self->connections_.end() && found->second->Serial == serial)
                self->Answer(*found->second, later);
        });
        return;
    }
    Answer(connection, answer);
}

void TControlServer::Answer(TConnection& connection, const TControlAnswer& answer)
{
    connection.Readable->setEnabled(false);
    connection.Unsent = AnswerLine(answer);
    Flush(connection);
}

void TControlServer::Flush(TConnection& connection)
{
    while (!connection.Unsent.isEmpty()) {
        const ssize_t n = ::send(connection.Handle, connection.Unsent.constData(),
                                 static_cast<size_t>(connection.Unsent.size()), MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno == EAGAIN) {
            connection.Writable->setEnabled(true);
            return;
        }
        if (n < 0)
            break;
        connection.Unsent.remove(0, n);
    }
    Close(connection.Handle);
}

void TControlServer::Close(int handle)
{
    const auto found = connections_.find(handle);
    if (found == connections_.end())
        return;
    std::unique_ptr<TConnection> connection = std::move(found->second);
    connections_.erase(found);
    connection->Readable->setEnabled(false);
    connection->Writable->setEnabled(false);
    connection->Deadline->stop();
    ::close(handle);
    connection->Handle = -1;
    closed_.push_back(std::move(connection));
    QMetaObject::invokeMethod(this, [this] { closed_.clear(); }, Qt::QueuedConnection);
}

}  // namespace Control
