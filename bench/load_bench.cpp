// Load on the game server: N clients join (N = 10, 100, 500), two of them
// publish chat lines as fast as a window of 8 unanswered lines each allows,
// and every client reads everything. Reports lines published and delivered per
// second and the delivery latency, for the game server (the socket component
// and the command handling that kivolsrv runs, on its own thread) and for a
// minimal epoll relay of the same framing as the yardstick, in the same run.
//
// Each pair of runs is repeated three times, alternating the two servers, and
// the medians are reported, so that a burst of other work on the machine
// does not decide the comparison. Every count is then run again with a
// flooder, one more client sending 200-byte chat lines flat out, and the
// talkers' p99 latency with it is compared with that without it.
//
//   load_bench [seconds to measure, default 5] [client counts, default 10 100 500]
//
// The second form measures what an idle joined connection costs: the resident
// memory of the server's process before and after that many connections
// joined and settled, divided by their number, for each server in a process
// of its own.
//
//   load_bench memory [connections, default 5000]
//
// The third form runs the release kivolsrv beside this program as users run
// it, with many tables, against redis-server doing the same fan-out (see
// bench/load/tables_scenario.cpp):
//
//   load_bench tables [seconds to measure, default 10] [busy tables, default
//                     2000; 0: no busy measurement] [idle tables, default
//                     5000; 0: no idle measurement] [rounds, default 3]
//                     [idle players, default 19790]
//
// The fourth plays dealt games at many tables of the release kivolsrv with
// scripted players, five a table, or one beside three level-5 bots (see
// bench/load/games_scenario.cpp):
//
//   load_bench games [--bots] [seconds to measure, default 20] [tables, default 1000]
//
// The fifth measures what keeping records costs: busy tables chatting while
// short dealt games finish at other tables, with records and without (see
// bench/load/records_scenario.cpp):
//
//   load_bench records [seconds to measure, default 20] [rounds, default 3]
//                      [busy tables, default 2000] [games a minute, default 1000]
#include <unistd.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QThread>
#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

#include "bench/load/epoll_relay.h"
#include "bench/load/games_scenario.h"
#include "bench/load/idle_clients.h"
#include "bench/load/load_driver.h"
#include "bench/load/median.h"
#include "bench/load/records_scenario.h"
#include "bench/load/server_process.h"
#include "bench/load/tables_scenario.h"
#include "platform/epoll_event_dispatcher.h"
#include "server/game_server.h"

namespace {

// The game server as kivolsrv configures it, without the operator window:
// listens, tells ready its port and serves until the thread's loop is told
// to quit.
void ServeGame(const load::ServerProcess::Ready& ready)
{
    TPacketServerSocket socket;
    socket.SetAddress("127.0.0.1");
    TGameServer game(socket, nullptr);
    socket.SetActive(true);
    ready(socket.Socket()->LocalPort());
    QEventLoop loop;
    loop.exec();
}

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
        ServeGame([this](int port) { port_ = port; });
    }

private:
    std::atomic<int> port_{0};
};

constexpr int Repetitions = 3;

load::LoadResult RunGameServer(const load::LoadPlan& plan)
{
    GameServerThread server;
    // As in a headless kivolsrv: the loop sleeps in the sockets' epoll handle.
    server.setEventDispatcher(new TEpollEventDispatcher);
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
        return load::MedianOf(runs, [field](const load::LoadResult& r) { return r.*field; });
    };
    return {middle(&load::LoadResult::publishedPerSecond), middle(&load::LoadResult::deliveredPerSecond),
            middle(&load::LoadResult::p50Microseconds),    middle(&load::LoadResult::p99Microseconds),
            middle(&load::LoadResult::floodedPerSecond),   middle(&load::LoadResult::cut)};
}

// The medians of the game server's and the yardstick's runs of one plan.
std::pair<load::LoadResult, load::LoadResult> RunBoth(const load::LoadPlan& plan)
{
    std::vector<load::LoadResult> yardsticks, games;
    for (int r = 0; r < Repetitions; ++r) {
        yardsticks.push_back(RunYardstick(plan));
        games.push_back(RunGameServer(plan));
    }
    return {Median(games), Median(yardsticks)};
}

void Print(int clients, const char* name, const load::LoadResult& r)
{
    std::printf("%6d  %-16s %14.0f %14.0f %10.0f %10.0f %10.0f %5.0f\n", clients, name, r.publishedPerSecond,
                r.deliveredPerSecond, r.p50Microseconds, r.p99Microseconds, r.floodedPerSecond, r.cut);
}

int RunFanOut(int argc, char** argv)
{
    std::setvbuf(stdout, nullptr, _IOLBF, 0);  // each line as it is measured
    QCoreApplication app(argc, argv);
    load::RaiseOpenFileLimit();
    load::LoadPlan plan;
    if (argc > 1)
        plan.measureSeconds = std::atof(argv[1]);
    std::printf("%6s  %-16s %14s %14s %10s %10s %10s %5s\n", "N", "server", "published/s", "delivered/s", "p50 us",
                "p99 us", "flooded/s", "cut");
    std::vector<int> counts{10, 100, 500};
    if (argc > 2) {
        counts.clear();
        for (int i = 2; i < argc; ++i)
            counts.push_back(std::atoi(argv[i]));
    }
    bool met = true;
    for (int clients : counts) {
        plan.clients = clients;
        plan.flooder = false;
        const auto [game, yardstick] = RunBoth(plan);
        Print(clients, "kivolsrv", game);
        Print(clients, "yardstick", yardstick);
        const double delivered = game.deliveredPerSecond / yardstick.deliveredPerSecond;
        const double p99 = game.p99Microseconds / yardstick.p99Microseconds;
        std::printf("%6d  ratio delivered/s %.2f (target >= 0.80), p99 %.2f (target <= 2.00)\n", clients, delivered,
                    p99);
        plan.flooder = true;
        const auto [floodedGame, floodedYardstick] = RunBoth(plan);
        Print(clients, "kivolsrv+flood", floodedGame);
        Print(clients, "yardstick+flood", floodedYardstick);
        // A server that delivered no line at all in the time has no p99: it
        // counts as infinitely slow.
        const auto slowdown = [](const load::LoadResult& with, const load::LoadResult& without) {
            return with.p99Microseconds > 0 ? with.p99Microseconds / without.p99Microseconds : HUGE_VAL;
        };
        const double gameSlowdown = slowdown(floodedGame, game);
        std::printf("%6d  flooder: p99 with/without kivolsrv %.2f (target <= 2.00, flooder never cut), "
                    "yardstick %.2f\n",
                    clients, gameSlowdown, slowdown(floodedYardstick, yardstick));
        met = met && delivered >= 0.8 && p99 <= 2.0 && gameSlowdown <= 2.0 && floodedGame.cut == 0;
    }
    std::printf("targets %s\n", met ? "met" : "NOT met");
    return 0;
}

// Resident KiB per idle joined connection of the server that serve starts.
void MeasureIdle(const char* name, int connections, const std::function<void(const load::ServerProcess::Ready&)>& serve)
{
    load::ServerProcess server(serve);
    const long before = server.ResidentKiB();
    const load::IdleClients clients(server.Port(), connections, 3.0);
    const long after = server.ResidentKiB();
    std::printf("%-10s %8d %12ld %12ld %14.2f %5d\n", name, connections, before, after,
                static_cast<double>(after - before) / connections, clients.Cut());
}

int RunMemory(int connections)
{
    const long limit = load::RaiseOpenFileLimit();
    if (limit < 2L * connections + 64) {
        std::fprintf(stderr, "load_bench: %d connections need %ld open files, the limit is %ld\n", connections,
                     2L * connections + 64, limit);
        return 1;
    }
    std::printf("%-10s %8s %12s %12s %14s %5s\n", "server", "idle", "RSS KiB", "RSS KiB", "KiB per", "cut");
    std::printf("%-10s %8s %12s %12s %14s %5s\n", "", "joined", "before", "after", "connection", "");
    MeasureIdle("kivolsrv", connections, [](const load::ServerProcess::Ready& ready) {
        int argc = 1;
        char name[] = "kivolsrv";
        char* argv[] = {name, nullptr};
        QCoreApplication app(argc, argv);
        ServeGame(ready);
    });
    MeasureIdle("yardstick", connections, [](const load::ServerProcess::Ready& ready) {
        load::EpollRelay relay;
        ready(relay.Port());
        for (;;)
            ::pause();
    });
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    // The memory form forks its servers before anything starts a thread.
    if (argc > 1 && std::strcmp(argv[1], "memory") == 0)
        return RunMemory(argc > 2 ? std::atoi(argv[2]) : 5000);
    if (argc > 1 && std::strcmp(argv[1], "tables") == 0) {
        load::TablesPlan plan;
        if (argc > 2)
            plan.measureSeconds = std::atof(argv[2]);
        if (argc > 3)
            plan.busyTables = std::atoi(argv[3]);
        if (argc > 4)
            plan.idleTables = std::atoi(argv[4]);
        if (argc > 5)
            plan.rounds = std::max(1, std::atoi(argv[5]));
        if (argc > 6)
            plan.idlePlayers = std::atoi(argv[6]);
        return load::RunTables(plan);
    }
    if (argc > 1 && std::strcmp(argv[1], "games") == 0) {
        load::GamesPlan plan;
        int next = 2;
        if (argc > next && std::strcmp(argv[next], "--bots") == 0) {
            plan.bots = true;
            ++next;
        }
        if (argc > next)
            plan.measureSeconds = std::atof(argv[next++]);
        if (argc > next)
            plan.tables = std::atoi(argv[next]);
        return load::RunGames(plan);
    }
    if (argc > 1 && std::strcmp(argv[1], "records") == 0) {
        load::RecordsPlan plan;
        if (argc > 2)
            plan.measureSeconds = std::atof(argv[2]);
        if (argc > 3)
            plan.rounds = std::atoi(argv[3]);
        if (argc > 4)
            plan.busyTables = std::atoi(argv[4]);
        if (argc > 5)
            plan.gamesPerMinute = std::atoi(argv[5]);
        return load::RunRecords(plan);
    }
    return RunFanOut(argc, argv);
}
