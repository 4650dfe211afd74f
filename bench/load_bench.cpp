// Load on the game server: N clients join (N = 10, 100, 500), two of them
// publish chat lines as fast as a window of 8 unanswered lines each allows,
// and every client reads everything. Reports lines published and delivered per
// second and the delivery latency, for the game server (the socket component
// and the command handling that kivolsrv runs, on its own thread), for
// redis-server (every client subscribed to one channel, the two talkers
// publishing into it, each from a second connection of its own) and for a
// minimal epoll relay of the game's framing, the yardstick, in the same run.
//
// Each server's run is repeated three times, the three taking turns (who goes
// first rotating), and the medians are reported, so that a burst of other
// work on the machine does not decide the comparison. Every count is then run
// again with a flooder, one more client sending 200-byte chat lines flat out,
// and the talkers' p99 latency with it is compared with that without it.
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
#include <array>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "bench/load/child_program.h"
#include "bench/load/epoll_relay.h"
#include "bench/load/games_scenario.h"
#include "bench/load/idle_clients.h"
#include "bench/load/load_driver.h"
#include "bench/load/median.h"
#include "bench/load/records_scenario.h"
#include "bench/load/redis_server.h"
#include "bench/load/server_kinds.h"
#include "bench/load/server_process.h"
#include "bench/load/tables_scenario.h"
#include "platform/epoll_event_dispatcher.h"
#include "server/game_server.h"

namespace {

// The game server as kivolsrv configures it, without the operator window:
// listens, tells ready its port and serves until the thread's loop is told
// to quit. Unpaced, no connection is held to the 16 MiB a second that
// kivolsrv lets one connection make it send: what the relay path itself
// carries, where two talkers would otherwise each meet that limit.
void ServeGame(const load::ServerProcess::Ready& ready, bool paced, const TGameRules& rules = {})
{
    TPacketServerSocket socket;
    socket.SetAddress("127.0.0.1");
    TGameServer game(socket, nullptr, rules);
    if (!paced)
        socket.RelayRate = 0;
    socket.SetActive(true);
    ready(socket.Socket()->LocalPort());
    QEventLoop loop;
    loop.exec();
}

class GameServerThread : public QThread {
public:
    // Named for profiles: perf report --comm "kivol paced" or "kivol unpaced".
    explicit GameServerThread(bool paced) : paced_(paced)
    {
        setObjectName(paced ? QStringLiteral("kivol paced") : QStringLiteral("kivol unpaced"));
    }

    int Port()
    {
        while (port_ == 0)
            std::this_thread::yield();
        return port_;
    }

protected:
    void run() override
    {
        ServeGame([this](int port) { port_ = port; }, paced_);
    }

private:
    const bool paced_;
    std::atomic<int> port_{0};
};

constexpr int Repetitions = 3;

load::LoadResult RunGameServer(const load::LoadPlan& plan, bool paced = true)
{
    GameServerThread server(paced);
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
    return load::RunLoad(relay.Port(), plan, load::RelayWire());
}

load::LoadResult RunRedis(const load::LoadPlan& plan)
{
    const int port = load::FreeLoopbackPort();
    // The clients, the flooder's two connections, the talkers' second ones
    // and room to spare.
    const load::RedisServer redis(port, plan.clients + 2 + plan.publishers + 64);
    return load::RunLoad(port, plan, load::RedisWire());
}

load::LoadResult Run(load::ServerKind kind, const load::LoadPlan& plan)
{
    switch (kind) {
    case load::ServerKind::Kivol:
        return RunGameServer(plan);
    case load::ServerKind::Redis:
        return RunRedis(plan);
    case load::ServerKind::Relay:
        return RunYardstick(plan);
    }
    return {};
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

// Each server's medians of one plan, by server kind, and the unpaced game
// server's where it ran.
struct Medians {
    std::array<load::LoadResult, load::Kinds.size()> ofKind;
    load::LoadResult unpaced;
};

const load::LoadResult& Of(const Medians& medians, load::ServerKind kind)
{
    return medians.ofKind[static_cast<std::size_t>(kind)];
}

void PrintRow(int clients, const std::string& name, const load::LoadResult& r)
{
    std::printf("%6d  %-16s %14.0f %14.0f %10.0f %10.0f %10.0f %5.0f\n", clients, name.c_str(), r.publishedPerSecond,
                r.deliveredPerSecond, r.p50Microseconds, r.p99Microseconds, r.floodedPerSecond, r.cut);
}

// Runs the plan on every server in rounds (the unpaced game server last in
// each round when asked for), prints each server's medians (its name
// followed by suffix) and returns them.
Medians RunRounds(const load::LoadPlan& plan, const char* suffix, bool withUnpaced)
{
    std::array<std::vector<load::LoadResult>, load::Kinds.size()> runs;
    std::vector<load::LoadResult> unpacedRuns;
    for (int round = 0; round < Repetitions; ++round) {
        for (const load::ServerKind kind : load::TurnsOf(round))
            runs[static_cast<std::size_t>(kind)].push_back(Run(kind, plan));
        if (withUnpaced)
            unpacedRuns.push_back(RunGameServer(plan, false));
    }
    Medians medians;
    for (const load::ServerKind kind : load::Kinds) {
        medians.ofKind[static_cast<std::size_t>(kind)] = Median(runs[static_cast<std::size_t>(kind)]);
        PrintRow(plan.clients, std::string(load::NameOf(kind)) + suffix, Of(medians, kind));
    }
    if (withUnpaced) {
        medians.unpaced = Median(unpacedRuns);
        PrintRow(plan.clients, std::string("kivolsrv unpaced") + suffix, medians.unpaced);
    }
    return medians;
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
    using load::ServerKind;
    bool met = true;
    for (int clients : counts) {
        plan.clients = clients;
        plan.flooder = false;
        const Medians quiet = RunRounds(plan, "", true);
        const auto ratios = [](const load::LoadResult& game, const load::LoadResult& other) {
            return std::pair{game.deliveredPerSecond / other.deliveredPerSecond,
                             game.p99Microseconds / other.p99Microseconds};
        };
        const load::LoadResult& relay = Of(quiet, ServerKind::Relay);
        const auto [delivered, p99] = ratios(Of(quiet, ServerKind::Kivol), relay);
        const auto [deliveredToRedis, p99ToRedis] = ratios(Of(quiet, ServerKind::Kivol), Of(quiet, ServerKind::Redis));
        const auto [unpacedDelivered, unpacedP99] = ratios(quiet.unpaced, relay);
        std::printf("%6d  kivolsrv/relay: delivered/s %.2f (target >= 0.80), p99 %.2f (target <= 2.00)\n", clients,
                    delivered, p99);
        std::printf("%6d  kivolsrv/redis: delivered/s %.2f, p99 %.2f\n", clients, deliveredToRedis, p99ToRedis);
        std::printf("%6d  kivolsrv unpaced/relay: delivered/s %.2f (target >= 1.00), p99 %.2f\n", clients,
                    unpacedDelivered, unpacedP99);
        plan.flooder = true;
        const Medians flooded = RunRounds(plan, "+flood", false);
        // A server that delivered no line at all in the time has no p99: it
        // counts as infinitely slow.
        const auto slowdown = [&](ServerKind kind) {
            const double with = Of(flooded, kind).p99Microseconds;
            return with > 0 ? with / Of(quiet, kind).p99Microseconds : HUGE_VAL;
        };
        const double gameSlowdown = slowdown(ServerKind::Kivol);
        std::printf("%6d  flooder: p99 with/without kivolsrv %.2f (target <= 2.00, flooder never cut), "
                    "redis %.2f, relay %.2f\n",
                    clients, gameSlowdown, slowdown(ServerKind::Redis), slowdown(ServerKind::Relay));
        met = met && delivered >= 0.8 && p99 <= 2.0 && unpacedDelivered >= 1.0 && gameSlowdown <= 2.0 &&
              Of(flooded, ServerKind::Kivol).cut == 0;
    }
    std::printf("targets %s\n", met ? "met" : "NOT met");
    return 0;
}

// Resident KiB per idle joined connection of the server that serve starts,
// over the connections that stayed joined.
void MeasureIdle(const char* name, int connections, const std::function<void(const load::ServerProcess::Ready&)>& serve)
{
    load::ServerProcess server(serve);
    const long before = server.ResidentKiB();
    const load::IdleClients clients(server.Port(), connections, 3.0);
    const long after = server.ResidentKiB();
    const int joined = connections - clients.Cut();
    std::printf("%-10s %8d %12ld %12ld %14.2f %5d\n", name, joined, before, after,
                static_cast<double>(after - before) / std::max(joined, 1), clients.Cut());
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
    MeasureIdle("kivolsrv", connections, [connections](const load::ServerProcess::Ready& ready) {
        int argc = 1;
        char name[] = "kivolsrv";
        char* argv[] = {name, nullptr};
        QCoreApplication::setEventDispatcher(new TEpollEventDispatcher);
        QCoreApplication app(argc, argv);
        // Room for every table the idle clients sit at.
        TGameRules rules;
        rules.MaxTables = std::max(rules.MaxTables, load::IdleClients::TablesFor(connections));
        ServeGame(ready, true, rules);
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
