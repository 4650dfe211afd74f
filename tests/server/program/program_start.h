#pragma once

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QProcess>
#include <functional>
#include <string>

#include "../loopback_peer.h"

namespace server_test {

// A port that no socket of any local address used a moment ago: the
// kernel's choice for the IPv6 wildcard address, which serves IPv4 too.
inline int FreeWildcardPort()
{
    const int handle = ::socket(AF_INET6, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int off = 0;
    ::setsockopt(handle, IPPROTO_IPV6, IPV6_V6ONLY, &off, sizeof off);
    sockaddr_in6 address{};
    address.sin6_family = AF_INET6;
    address.sin6_addr = in6addr_any;
    socklen_t length = sizeof address;
    ::bind(handle, reinterpret_cast<const sockaddr*>(&address), length);
    ::getsockname(handle, reinterpret_cast<sockaddr*>(&address), &length);
    ::close(handle);
    return ntohs(address.sin6_port);
}

// Starts a server program through launch(port) and waits until it listens on
// port. A port found free may be taken before the server binds it (other
// programs' connections draw their local ports from the same range, and a
// port the server used a moment ago may wait out its closed connections):
// then the start is tried again on another port. Empty when the server listens,
// else what it said on its error output.
inline std::string StartListening(QProcess& server, int& port, const std::function<void(int port)>& launch)
{
    std::string error;
    for (int attempt = 0; attempt < 10; ++attempt) {
        launch(port);
        if (!server.waitForStarted())
            return "the program did not start";
        WaitUntil([&] { return LoopbackPeer(port).Open() || server.state() == QProcess::NotRunning; }, 30000);
        if (server.state() == QProcess::Running)
            return {};
        server.waitForFinished(30000);
        error = server.readAllStandardError().toStdString();
        if (error.find("ポートの確保に失敗しました") == std::string::npos)
            return error;
        port = FreeWildcardPort();
    }
    return error;
}

}  // namespace server_test
