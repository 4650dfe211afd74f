#pragma once

// Helpers for tests over real loopback sockets. Everything runs on the test
// thread, so waits pump the Qt event loop (which runs the sockets under test)
// until a condition holds or a time limit passes.

#include <QCoreApplication>
#include <QString>
#include <QTest>
#include <functional>
#include <string>
#include <vector>

#include "platform/application.h"

namespace test {

// Pumps the event loop until cond() holds; false after timeoutMs.
bool WaitUntil(const std::function<bool()>& cond, int timeoutMs = 5000);

// Pumps the event loop for a while, to show that something does NOT happen.
void PumpFor(int milliseconds);

// A plain POSIX TCP socket as the other end of a connection under test.
class RawPeer {
public:
    RawPeer() = default;
    explicit RawPeer(int connectedHandle);
    ~RawPeer();
    RawPeer(RawPeer&& other) noexcept;
    RawPeer& operator=(RawPeer&& other) noexcept;
    RawPeer(const RawPeer&) = delete;
    RawPeer& operator=(const RawPeer&) = delete;

    // Connects to 127.0.0.1:port (blocking connect, then non-blocking I/O).
    static RawPeer Connect(int port);

    void Write(const std::string& bytes);
    // Reads until n bytes have arrived (pumping the event loop); returns what
    // arrived, which is shorter after the time limit or when the peer closed.
    std::string Read(std::size_t n, int timeoutMs = 5000);
    // Whatever has arrived by now, without waiting.
    std::string ReadAvailable();
    // True once the other end has closed (end of stream or reset).
    bool WaitClosed(int timeoutMs = 5000);
    // Closes with a reset (SO_LINGER 0) instead of an orderly close.
    void Reset();
    void Close();
    int Handle() const { return handle_; }

private:
    int handle_ = -1;
    bool closedByPeer_ = false;
};

// A listening POSIX socket on 127.0.0.1 with an ephemeral port.
class RawListener {
public:
    RawListener();
    ~RawListener();
    int Port() const { return port_; }
    // Accepts one connection, pumping the event loop while it waits.
    RawPeer Accept(int timeoutMs = 5000);

private:
    int handle_ = -1;
    int port_ = 0;
};

// A port on 127.0.0.1 that nothing listens on.
int ClosedPort();

// Records every message box and error report instead of showing it.
class ReportRecorder {
public:
    ReportRecorder();
    ~ReportRecorder();
    struct Report {
        QString text;
        QString caption;
        int flags;
    };
    std::vector<Report> reports;
    // The answer given to message boxes (IDOK or IDCANCEL).
    int answer = IDOK;
    bool Contains(const QString& text) const;

private:
    TApplication::MessageBoxHandler saved_;
};

// Packet framing for raw peers: the 4-byte little-endian length, then the bytes.
std::string Packet(const std::string& payload);

}  // namespace test
