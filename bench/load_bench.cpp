// Load on the game server: N clients join (N = 10, 100, 500), two of them
// publish chat lines as fast as a window of 8 unanswered lines each allows,
// and every client reads everything. Reports lines published and delivered per
// second and the delivery latency, for the game server (the socket component
// and the command handling that kivolsrv runs, on its own thread) and for a
// minimal epoll relay of the same framing as the yardstick, in the same run.
//
// Each pair of runs is repeated three times, alternating the two servers, and
// the medians are reported, so that a burst of other work on the machine
// does not decide the comparison.
//
//   load_bench [seconds to measure, default 5] [client counts, default 10 100 500]
#include <QCoreApplication>
#include <algorithm>
#include <QThread>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

#include "bench/load/epoll_relay.h"
#include "bench/load/load_driver.h"
#include "server/game_server.h"

namespace {

// The game server as kivolsrv configures it, without the operator window.
class GameServerThread : public QThread {
public:
    int Port()
    {
        while (port_ == 0)
            std::this_thread::yield();
        return port_;
    }

protected:
    void run() override
    {
        TPacketServerSocket socket;
        socket.SetAddress("127.0.0.1");
        TGameServer game(socket, nullptr);
        socket.OnPacketArrived = [&game](TObject*, TCustomWinSocket* sender, const void* data, int size) {
            game.PacketArrived(sender, data, size);
        };
        socket.SetActive(true);
        port_ = socket.Socket()->LocalPort();
        exec();
    }

private:
    std::atomic<int> port_{0};
};

constexpr int Repetitions = 3;

load::LoadResult RunGameServer(const load::LoadPlan& plan)
{
    GameServerThread server;
    server.start();
    const load::LoadResult result = load::RunLoad(server.Port(), plan);
    server.quit();
    server.wait();
    return result;
}

load::LoadResult RunYardstick(const load::LoadPlan& plan)
{
    load::EpollRelay relay;
    return load::RunLoad(relay.Port(), plan);
}

// The median of each figure over the repetitions.
load::LoadResult Median(std::vector<load::LoadResult> runs)
{
    const auto middle = [&runs](double load::LoadResult::*field) {
        std::vector<double> values;
        for (const auto& r : runs)
            values.push_back(r.*field);
        std::nth_element(values.begin(), values.begin() + static_cast<long>(values.size() / 2), values.end());
        return values[values.size() / 2];
    };
    return {middle(&load::LoadResult::publishedPerSecond), middle(&load::LoadResult::deliveredPerSecond),
            middle(&load::LoadResult::p50Microseconds), middle(&load::LoadResult::p99Microseconds)};
}

void Print(int clients, const char* name, const load::LoadResult& r)
{
    std::printf("%6d  %-10s %14.0f %14.0f %10.0f %10.0f\n", clients, name, r.publishedPerSecond, r.deliveredPerSecond,
                r.p50Microseconds, r.p99Microseconds);
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    load::LoadPlan plan;
    if (argc > 1)
        plan.measureSeconds = std::atof(argv[1]);
    std::printf("%6s  %-10s %14s %14s %10s %10s\n", "N", "server", "published/s", "delivered/s", "p50 us", "p99 us");
    std::vector<int> counts{10, 100, 500};
    if (argc > 2) {
        counts.clear();
        for (int i = 2; i < argc; ++i)
            counts.push_back(std::atoi(argv[i]));
    }
    bool met = true;
    for (int clients : counts) {
        plan.clients = clients;
        std::vector<load::LoadResult> yardsticks, games;
        for (int r = 0; r < Repetitions; ++r) {
            yardsticks.push_back(RunYardstick(plan));
            games.push_back(RunGameServer(plan));
        }
        const load::LoadResult yardstick = Median(yardsticks);
        const load::LoadResult game = Median(games);
        Print(clients, "kivolsrv", game);
        Print(clients, "yardstick", yardstick);
        const double delivered = game.deliveredPerSecond / yardstick.deliveredPerSecond;
        const double p99 = game.p99Microseconds / yardstick.p99Microseconds;
        std::printf("%6d  ratio delivered/s %.2f (target >= 0.80), p99 %.2f (target <= 2.00)\n", clients, delivered,
                    p99);
        met = met && delivered >= 0.8 && p99 <= 2.0;
    }
    std::printf("targets %s\n", met ? "met" : "NOT met");
    return 0;
}
