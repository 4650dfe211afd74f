#include "support/socket_test_support.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QElapsedTimer>
#include <cerrno>
#include <stdexcept>

namespace test {

bool WaitUntil(const std::function<bool()>& cond, int timeoutMs)
{
    return QTest::qWaitFor(cond, timeoutMs);
}

void PumpFor(int milliseconds)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < milliseconds)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

namespace {

sockaddr_in Loopback(int port)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

void MakeNonBlocking(int handle)
{
    fcntl(handle, F_SETFL, fcntl(handle, F_GETFL) | O_NONBLOCK);
}

}  // namespace

RawPeer::RawPeer(int connectedHandle) : handle_(connectedHandle)
{
    MakeNonBlocking(handle_);
    const int on = 1;
    setsockopt(handle_, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
}

RawPeer::~RawPeer()
{
    Close();
}

RawPeer::RawPeer(RawPeer&& other) noexcept : handle_(other.handle_), closedByPeer_(other.closedByPeer_)
{
    other.handle_ = -1;
}

RawPeer& RawPeer::operator=(RawPeer&& other) noexcept
{
    if (this != &other) {
        Close();
        handle_ = other.handle_;
        closedByPeer_ = other.closedByPeer_;
        other.handle_ = -1;
    }
    return *this;
}

RawPeer RawPeer::Connect(int port)
{
    const int handle = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const sockaddr_in address = Loopback(port);
    if (::connect(handle, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        ::close(handle);
        throw std::runtime_error("test peer cannot connect");
    }
    return RawPeer(handle);
}

void RawPeer::Write(const std::string& bytes)
{
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n = ::send(handle_, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n > 0) {
            sent += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR)
            throw std::runtime_error("test peer cannot write");
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
}

std::string RawPeer::ReadAvailable()
{
    std::string out;
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::recv(handle_, buffer, sizeof buffer, MSG_DONTWAIT);
        if (n > 0) {
            out.append(buffer, static_cast<std::size_t>(n));
            continue;
        }
        if (n == 0 || (errno != EAGAIN && errno != EINTR))
            closedByPeer_ = true;
        return out;
    }
}

std::string RawPeer::Read(std::size_t n, int timeoutMs)
{
    std::string out;
    WaitUntil(
        [&] {
            char buffer[65536];
            while (out.size() < n) {
                const ssize_t got = ::recv(handle_, buffer, std::min(sizeof buffer, n - out.size()), MSG_DONTWAIT);
                if (got > 0) {
                    out.append(buffer, static_cast<std::size_t>(got));
                    continue;
                }
                if (got == 0 || (errno != EAGAIN && errno != EINTR))
                    closedByPeer_ = true;
                break;
            }
            return out.size() >= n || closedByPeer_;
        },
        timeoutMs);
    return out;
}

bool RawPeer::WaitClosed(int timeoutMs)
{
    return WaitUntil(
        [&] {
            ReadAvailable();
            return closedByPeer_;
        },
        timeoutMs);
}

void RawPeer::Reset()
{
    const linger hard{1, 0};
    setsockopt(handle_, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
    Close();
}

void RawPeer::Close()
{
    if (handle_ >= 0)
        ::close(handle_);
    handle_ = -1;
}

RawListener::RawListener()
{
    handle_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    sockaddr_in address = Loopback(0);
    ::bind(handle_, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::listen(handle_, 16);
    socklen_t length = sizeof address;
    getsockname(handle_, reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
}

RawListener::~RawListener()
{
    ::close(handle_);
}

RawPeer RawListener::Accept(int timeoutMs)
{
    int accepted = -1;
    WaitUntil(
        [&] {
            accepted = ::accept4(handle_, nullptr, nullptr, SOCK_CLOEXEC);
            return accepted >= 0;
        },
        timeoutMs);
    if (accepted < 0)
        throw std::runtime_error("test listener accepted nothing");
    return RawPeer(accepted);
}

int ClosedPort()
{
    // Bind a port, then close it without listening: nothing answers there.
    const int handle = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address = Loopback(0);
    ::bind(handle, reinterpret_cast<sockaddr*>(&address), sizeof address);
    socklen_t length = sizeof address;
    getsockname(handle, reinterpret_cast<sockaddr*>(&address), &length);
    ::close(handle);
    return ntohs(address.sin_port);
}

ReportRecorder::ReportRecorder() : saved_(Application.OnMessageBox)
{
    Application.OnMessageBox = [this](const QString& text, const QString& caption, int flags) {
        reports.push_back({text, caption, flags});
        return answer;
    };
}

ReportRecorder::~ReportRecorder()
{
    Application.OnMessageBox = saved_;
}

bool ReportRecorder::Contains(const QString& text) const
{
    for (const auto& r : reports)
        if (r.text.contains(text))
            return true;
    return false;
}

std::string Packet(const std::string& payload)
{
    std::string out(4, '\0');
    const auto n = static_cast<std::uint32_t>(payload.size());
    for (int i = 0; i < 4; ++i)
        out[static_cast<std::size_t>(i)] = static_cast<char>(n >> (8 * i));
    return out + payload;
}

}  // namespace test
