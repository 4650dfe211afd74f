#include "control/control_client.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>

namespace Control {

namespace {

using TClock = std::chrono::steady_clock;

// Waits until the handle is ready for events or the deadline passes.
bool WaitFor(int handle, short events, TClock::time_point deadline)
{
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - TClock::now()).count();
        if (left <= 0)
            return false;
        pollfd entry{handle, events, 0};
        const int ready = ::poll(&entry, 1, static_cast<int>(left));
        if (ready > 0)
            return true;
        if (ready < 0 && errno != EINTR)
            return false;
    }
}

// A connected, non-blocking socket, or -1 with error set.
int Connect(const std::string& path, std::string& error)
{
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.empty() || path.size() >= sizeof address.sun_path) {
        error = path + ": no path for a Unix socket";
        return -1;
    }
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    const int handle = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (handle < 0 || ::connect(handle, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        error = path + ": " + std::strerror(errno);
        if (handle >= 0)
            ::close(handle);
        return -1;
    }
    return handle;
}

bool SendAll(int handle, const QByteArray& bytes, TClock::time_point deadline)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        if (!WaitFor(handle, POLLOUT, deadline))
            return false;
        const ssize_t n = ::send(handle, bytes.constData() + done, static_cast<size_t>(bytes.size() - done),
                                 MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n < 0 && (errno == EAGAIN || errno == EINTR))
            continue;
        if (n < 0)
            return false;
        done += n;
    }
    return true;
}

// Reads until the line feed that ends the answer; false when the server
// closes before it, the deadline passes or the answer grows too long.
bool ReceiveLine(int handle, QByteArray& line, TClock::time_point deadline)
{
    char buffer[65536];
    while (!line.endsWith('\n')) {
        if (line.size() > MaxAnswerBytes || !WaitFor(handle, POLLIN, deadline))
            return false;
        const ssize_t n = ::recv(handle, buffer, sizeof buffer, MSG_DONTWAIT);
        if (n < 0 && (errno == EAGAIN || errno == EINTR))
            continue;
        if (n <= 0)
            return false;
        line.append(buffer, n);
    }
    line.chop(1);
    return true;
}

}  // namespace

std::optional<TControlAnswer> AskControlServer(const std::string& path, const std::vector<std::string>& arguments,
                                               int timeoutMs, std::string& error)
{
    const TClock::time_point deadline = TClock::now() + std::chrono::milliseconds(timeoutMs);
    const int handle = Connect(path, error);
    if (handle < 0)
        return std::nullopt;
    QByteArray line;
    const bool sent = SendAll(handle, RequestLine(arguments), deadline);
    // A server that turns the peer away may answer before reading the request.
    const bool received = ReceiveLine(handle, line, deadline);
    ::close(handle);
    if (!received) {
        error = path + (sent ? ": no answer from the server" : ": the request could not be sent");
        return std::nullopt;
    }
    std::optional<TControlAnswer> answer = ReadAnswerLine(line);
    if (!answer)
        error = path + ": the server's answer cannot be read";
    return answer;
}

}  // namespace Control
