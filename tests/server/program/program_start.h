#pragma once

#include <QProcess>
#include <functional>
#include <string>

#include "../loopback_peer.h"

namespace server_test {

// Starts a server program through launch(port) and waits until it listens on
// port. A port found free may be taken before the server binds it (other
// programs' connections draw their local ports from the same range): then
// the start is tried again on another port. Empty when the server listens,
// else what it said on its error output.
inline std::string StartListening(QProcess& server, int& port, const std::function<void(int port)>& launch)
{
    std::string error;
    for (int attempt = 0; attempt < 5; ++attempt) {
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
        port = test::ClosedPort();
    }
    return error;
}

}  // namespace server_test
