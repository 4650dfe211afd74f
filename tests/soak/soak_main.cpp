// kivol_soak: about a minute of load on the game server, in process and on
// 127.0.0.1 only. The server runs on this thread's Qt event loop exactly as
// kivolsrv configures it; 200 clients on a second thread play, talk, vanish
// mid-packet, stop reading and send garbage (see client_driver.h). Afterwards
// a fresh client must get byte-exact answers, the 54 cards must be where they
// belong, no connection object may outlive its connection, and the peak
// memory must stay under a bound. Prints a summary; exits non-zero on any
// failed check.
//   kivol_soak [seconds of traffic, default 55]
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>

#include "client_driver.h"
#include "soak_server.h"

namespace {

// The most the process may hold at its peak: the silent clients' 16 MiB send
// queues (a queue's block may grow to twice its bytes) and everything else.
// AddressSanitizer's own memory makes the figure meaningless: not checked there.
constexpr long PeakLimitMiB = 256;
#if defined(__SANITIZE_ADDRESS__)
constexpr bool PeakChecked = false;
#else
constexpr bool PeakChecked = true;
#endif
constexpr int SettleMs = 20000;
constexpr int WatchdogMs = 240000;

long PeakMemoryKiB()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0)
            return std::strtol(line.c_str() + 6, nullptr, 10);
    return -1;
}

long CutsFor(const soak::ServerFigures& figures, int code)
{
    const auto it = figures.cutsByCode.find(code);
    return it == figures.cutsByCode.end() ? 0 : it->second;
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int trafficSeconds = argc > 1 ? std::max(5, std::atoi(argv[1])) : 55;
    QElapsedTimer clock;
    clock.start();

    soak::SoakServer server;
    soak::Handshake handshake;
    soak::ClientDriver driver(server.Port(), std::chrono::seconds(trafficSeconds), handshake);
    std::thread clients([&] { driver.Run(); });

    // The server's side of the handshake, checked between events.
    int quietConnections = -1, quietObjects = -1, endConnections = -1, endObjects = -1;
    qint64 settleDeadline = -1, endDeadline = -1;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        const int expected = handshake.expectedConnections;
        if (expected >= 0 && !handshake.settled) {
            if (settleDeadline < 0)
                settleDeadline = clock.elapsed() + SettleMs;
            const bool match = server.Connections() == expected &&
                               soak::SoakServer::LiveConnectionObjects() == expected;
            if (match || clock.elapsed() > settleDeadline) {
                quietConnections = server.Connections();
                quietObjects = soak::SoakServer::LiveConnectionObjects();
                handshake.settled = true;
            }
        }
        if (handshake.finished) {
            if (endDeadline < 0)
                endDeadline = clock.elapsed() + SettleMs;
            const bool empty = server.Connections() == 0 && soak::SoakServer::LiveConnectionObjects() == 0;
            if (empty || clock.elapsed() > endDeadline) {
                endConnections = server.Connections();
                endObjects = soak::SoakServer::LiveConnectionObjects();
                app.quit();
            }
        }
        if (clock.elapsed() > WatchdogMs)
            app.quit();
    });
    poll.start(10);
    app.exec();
    clients.join();

    const soak::ServerFigures& s = server.Figures();
    const soak::DriverFigures& d = driver.Figures();
    const bool cardsConserved = s.pileViolations == 0 && soak::CardsConserved(server.Game().Main());
    server.Stop();
    const long peakMiB = PeakMemoryKiB() / 1024;
    const double seconds = clock.elapsed() / 1000.0;

    std::vector<std::string> failures = d.failures;
    auto check = [&](bool ok, const std::string& what) {
        if (!ok)
            failures.push_back(what);
    };
    const int expected = handshake.expectedConnections;
    check(quietConnections == expected && quietObjects == expected,
          "at the quiet point the server had " + std::to_string(quietConnections) + " connections and " +
              std::to_string(quietObjects) + " connection objects, the clients " + std::to_string(expected));
    check(endConnections == 0 && endObjects == 0, "after the clients closed, " + std::to_string(endConnections) +
                                                      " connections and " + std::to_string(endObjects) +
                                                      " connection objects were left");
    check(soak::SoakServer::LiveConnectionObjects() == 0, "connection objects left after the server stopped");
    check(cardsConserved, "the 54 cards were not conserved over the piles");
    check(s.errorReports == 0, std::to_string(s.errorReports) + " error reports (message boxes)");
    // A silent client is cut off once 16 MiB wait for it; the server's pacing
    // of the talkers may keep it below that, and the peak memory bounds it
    // either way. Nobody who reads may be cut there.
    check(CutsFor(s, ENOBUFS) <= d.silentClients, "a client that reads was cut off at the send-queue limit");
    check(CutsFor(s, EMSGSIZE) > 0, "no connection was cut off at the receive limit");
    check(CutsFor(s, EPROTO) > 0, "no connection was cut off for an impossible length");
    check(!PeakChecked || (peakMiB > 0 && peakMiB < PeakLimitMiB), "peak memory " + std::to_string(peakMiB) + " MiB");

    long otherCuts = 0;
    for (const auto& [code, count] : s.cutsByCode)
        if (code != ENOBUFS && code != EMSGSIZE && code != EPROTO && code != ECONNRESET && code != EPIPE)
            otherCuts += count;
    std::printf("kivol soak: %d clients, %ld connections, %d s of traffic, %.1f s in all\n", d.clients, d.connections,
                trafficSeconds, seconds);
    std::printf("  commands sent             %ld (bulk chat %ld MiB, garbage %ld KiB)\n", d.commands,
                d.bulkBytes >> 20, d.garbageBytes >> 10);
    std::printf("  packets handled by server %ld\n", s.packets);
    std::printf("  packets received          %ld\n", d.packetsReceived);
    std::printf("  connections cut           send-queue limit %ld, receive limit %ld, impossible length %ld, "
                "reset by peer %ld, other %ld\n",
                CutsFor(s, ENOBUFS), CutsFor(s, EMSGSIZE), CutsFor(s, EPROTO),
                CutsFor(s, ECONNRESET) + CutsFor(s, EPIPE), otherCuts);
    std::printf("  vanished mid-packet       %ld closes, %ld resets\n", d.midPacketCloses, d.midPacketResets);
    std::printf("  at the quiet point        %d connections, %d connection objects (clients hold %d)\n",
                quietConnections, quietObjects, expected);
    std::printf("  peak memory (VmHWM)       %ld MiB (%s)\n", peakMiB,
                PeakChecked ? ("limit " + std::to_string(PeakLimitMiB) + " MiB").c_str()
                            : "not checked under AddressSanitizer");
    std::printf("  cards conserved           %s\n", cardsConserved ? "after every packet" : "NO");
    for (const std::string& failure : failures)
        std::printf("  FAILED: %s\n", failure.c_str());
    std::printf("  result                    %s\n", failures.empty() ? "pass" : "FAIL");
    return failures.empty() ? EXIT_SUCCESS : EXIT_FAILURE;
}
