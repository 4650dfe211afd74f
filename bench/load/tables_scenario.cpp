// The busy measurement: busyTables tables of 5 players, each player sending
// one chat line a second (their phases spread over the second), which the
// server relays to the 5 players of its table. Redis gets as many channels of
// 5 subscribers and the same messages from a few pipelining publishers; the
// yardstick relay the same players as the game server. The idle measurement:
// 10 busy tables alone, then beside idlePlayers joined players at idleTables
// other tables who never send, for each of the three servers.
#include "bench/load/tables_scenario.h"

#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "bench/load/chat_run.h"
#include "bench/load/child_program.h"
#include "bench/load/epoll_relay.h"
#include "bench/load/fleet.h"
#include "bench/load/kivol_server.h"
#include "bench/load/median.h"
#include "bench/load/packet_buffer.h"
#include "bench/load/processor_pinning.h"
#include "bench/load/redis_framing.h"
#include "bench/load/redis_server.h"
#include "bench/load/server_kinds.h"
#include "bench/load/server_process.h"
#include "bench/load/text_cutters.h"

namespace load {

namespace {

constexpr int PlayersPerBusyTable = 5;
constexpr int MostPlayersPerIdleTable = 4;
constexpr int IdleScenarioBusyTables = 10;
constexpr int Publishers = 4;
// Descriptors the driver keeps besides its connections (standard streams,
// epoll sets, the files of /proc it reads).
constexpr long DriverDescriptors = 64;
// The share of a processor below which a server counts as done with the
// work that joins left behind (every measurement starts after that): a few
// times what 10 busy tables cost.
constexpr double IdleCpuShare = 0.05;
// The idle measurement runs longer than the busy one: 10 busy tables make
// few deliveries (250 a second) for a tail latency.
constexpr double IdleMeasureFactor = 2;

std::string Padded(char prefix, int number)
{
    char name[16];
    std::snprintf(name, sizeof name, "%c%07d", prefix, number);
    return name;
}

std::string TableName(char prefix, int number)
{
    char name[16];
    std::snprintf(name, sizeof name, "%c%04d", prefix, number + 1);
    return name;
}

// Players who join together: player i is named player+i and sits at table
// tableOf(i), named table+number.
struct PlayerGroup {
    char player;
    char table;
    int count;
    std::function<int(int i)> tableOf;
};

PlayerGroup BusyPlayers(int tables)
{
    return {'p', 't', tables * PlayersPerBusyTable, [](int i) { return i / PlayersPerBusyTable; }};
}

PlayerGroup IdlePlayers(int players, int tables)
{
    return {'i', 'i', players, [tables](int i) { return i % tables; }};
}

// One of the servers compared, started with room for the given connections
// and tables: how its clients join and how a player's chat line reaches it
// (from the player's own connection, or at Redis through one of a few
// publishers, which join the fleet of the first chat).
class ComparedServer {
public:
    ComparedServer(ServerKind kind, int clients, int tables) : kind_(kind), port_(FreeLoopbackPort())
    {
        switch (kind) {
        case ServerKind::Kivol:
            // No web port: the default one may be another server's.
            kivolState_.emplace();
            kivol_ = StartKivol(port_, tables, {"--web-port", "0", "--state-dir", kivolState_->Path()});
            break;
        case ServerKind::Redis:
            redis_ = std::make_unique<RedisServer>(port_, clients + Publishers + 64);
            break;
        case ServerKind::Relay:
            relay_ = std::make_unique<ServerProcess>([](const ServerProcess::Ready& ready) {
                const EpollRelay relay;
                ready(relay.Port());
                for (;;)
                    ::pause();
            });
            port_ = relay_->Port();
            break;
        }
        PinToServerProcessor(Pid());
    }

    int Port() const { return port_; }

    pid_t Pid() const
    {
        return kivol_ ? kivol_->Pid() : redis_ ? redis_->Pid() : relay_->Pid();
    }

    // Joins the group's players on the fleet; returns their fleet indexes.
    std::vector<int> Join(Fleet& fleet, const PlayerGroup& group) const
    {
        if (kind_ == ServerKind::Redis)
            return JoinAll(
                fleet, group.count,
                [&](int i) { return RedisCommand({"SUBSCRIBE", TableName(group.table, group.tableOf(i))}); },
                RedisTexts, "/subscribe");
        // The game server answers a join with the table's roster, the relay
        // by relaying the join to the table, the joiner first.
        return JoinAll(
            fleet, group.count,
            [&](int i) {
                std::string join;
                AppendPacket(join, "/join " + Padded(group.player, i) + std::string(1, '\0') + "KIVOL/2 TABLE=" +
                                       TableName(group.table, group.tableOf(i)));
                return join;
            },
            KivolTexts, kind_ == ServerKind::Kivol ? "/list" : "/join");
    }

    // Every busy player (fleet indexes in joining order) sends one line a second.
    ChatResult Chat(Fleet& fleet, const std::vector<int>& players, double seconds)
    {
        const int count = static_cast<int>(players.size());
        const ChatPlan plan{count, 2, seconds};
        if (kind_ != ServerKind::Redis)
            return RunChat(fleet, KivolTexts, plan, Pid(), [&](long line, std::int64_t sentAt) {
                const int player = static_cast<int>(line % count);
                std::string packet;
                AppendPacket(packet, LineText(Padded('p', player), sentAt) + '\0');
                fleet.Queue(players[static_cast<std::size_t>(player)], packet);
            });
        while (publishers_.size() < Publishers)
            publishers_.push_back(fleet.Open());
        // Player i's line goes to the channel of i's table; each publisher's
        // commands of a round go out in one write.
        const PlayerGroup busy = BusyPlayers(count / PlayersPerBusyTable);
        return RunChat(fleet, RedisTexts, plan, Pid(), [&](long line, std::int64_t sentAt) {
            const int player = static_cast<int>(line % count);
            fleet.Queue(publishers_[static_cast<std::size_t>(line % Publishers)],
                        RedisCommand({"PUBLISH", TableName(busy.table, busy.tableOf(player)),
                                      LineText(Padded(busy.player, player), sentAt)}));
        });
    }

private:
    ServerKind kind_;
    int port_;
    std::optional<StateDirectory> kivolState_;
    std::unique_ptr<ChildProgram> kivol_;
    std::unique_ptr<RedisServer> redis_;
    std::unique_ptr<ServerProcess> relay_;
    std::vector<int> publishers_;
};

struct BusyFigures {
    ChatResult chat;
    double cpuPer100k = 0;
    long expected = 0;
};

double CpuPer100k(const ChatResult& r)
{
    return r.delivered > 0 ? r.serverCpuSeconds * 1e5 / static_cast<double>(r.delivered) : 0;
}

BusyFigures Summarise(const ChatResult& result)
{
    return {result, CpuPer100k(result), result.linesSent * PlayersPerBusyTable};
}

BusyFigures MeasureBusy(ServerKind kind, const TablesPlan& plan)
{
    const PlayerGroup busy = BusyPlayers(plan.busyTables);
    ComparedServer server(kind, busy.count, plan.busyTables);
    Fleet fleet(server.Port());
    const std::vector<int> players = server.Join(fleet, busy);
    Settle(fleet, server.Pid(), IdleCpuShare, 120);
    return Summarise(server.Chat(fleet, players, plan.measureSeconds));
}

// One server's round of the idle measurement.
struct IdleRound {
    ChatResult alone, beside;
    double joinSeconds = 0, settleSeconds = 0;
    long residentBefore = 0, residentAfter = 0;
    int cut = 0;
};

// The busy tables alone, then once the idle players have joined (timed) and
// the server is quiet again, beside them; the server's resident memory
// before and after the joins.
IdleRound MeasureIdle(ServerKind kind, const TablesPlan& plan)
{
    const PlayerGroup busy = BusyPlayers(IdleScenarioBusyTables);
    const PlayerGroup idlePlayers = IdlePlayers(plan.idlePlayers, plan.idleTables);
    ComparedServer server(kind, busy.count + idlePlayers.count, IdleScenarioBusyTables + plan.idleTables);
    Fleet fleet(server.Port());
    const std::vector<int> players = server.Join(fleet, busy);
    const double seconds = IdleMeasureFactor * plan.measureSeconds;
    IdleRound r;
    Settle(fleet, server.Pid(), IdleCpuShare, 60);
    r.alone = server.Chat(fleet, players, seconds);
    Settle(fleet, server.Pid(), IdleCpuShare, 30);
    r.residentBefore = ResidentKiB(server.Pid());
    Fleet idle(server.Port());
    const std::int64_t joinFrom = NowNs();
    server.Join(idle, idlePlayers);
    const std::int64_t settleFrom = NowNs();
    Settle(idle, server.Pid(), IdleCpuShare, 120);
    r.joinSeconds = static_cast<double>(settleFrom - joinFrom) / 1e9;
    r.settleSeconds = static_cast<double>(NowNs() - settleFrom) / 1e9;
    r.residentAfter = ResidentKiB(server.Pid());
    r.beside = server.Chat(fleet, players, seconds);
    r.cut = idle.Cut();
    return r;
}

void PrintBusy(const char* name, const BusyFigures& f)
{
    std::printf("%-14s %14.0f %10.0f %10.0f %16.3f %10ld %12.2f\n", name, f.chat.deliveriesPerSecond,
                f.chat.p50Microseconds, f.chat.p99Microseconds, f.cpuPer100k, f.expected - f.chat.delivered,
                f.chat.driverCpuSeconds / f.chat.seconds);
}

// The median figures of several rounds, each figure on its own.
BusyFigures Median(const std::vector<BusyFigures>& rounds)
{
    const auto middle = [&rounds](auto figure) { return MedianOf(rounds, figure); };
    BusyFigures median = rounds.front();
    median.chat.deliveriesPerSecond = middle([](const BusyFigures& f) { return f.chat.deliveriesPerSecond; });
    median.chat.p50Microseconds = middle([](const BusyFigures& f) { return f.chat.p50Microseconds; });
    median.chat.p99Microseconds = middle([](const BusyFigures& f) { return f.chat.p99Microseconds; });
    median.chat.driverCpuSeconds = middle([](const BusyFigures& f) { return f.chat.driverCpuSeconds; });
    median.cpuPer100k = middle([](const BusyFigures& f) { return f.cpuPer100k; });
    median.expected = median.chat.delivered = 0;
    return median;
}

void Target(bool met, const std::string& text)
{
    std::printf("%-4s %s\n", met ? "PASS" : "MISS", text.c_str());
}

template <typename... Values>
std::string Format(const char* format, Values... values)
{
    char text[256];
    std::snprintf(text, sizeof text, format, values...);
    return text;
}

// Runs the busy measurement's rounds, prints them, their medians and the targets.
void RunBusy(const TablesPlan& plan)
{
    std::printf("busy: %d tables x %d players, one line a second each; measured %.0f s after 2 s, %d rounds\n",
                plan.busyTables, PlayersPerBusyTable, plan.measureSeconds, plan.rounds);
    std::printf("%-14s %14s %10s %10s %16s %10s %12s\n", "server", "deliveries/s", "p50 us", "p99 us",
                "CPU s per 100k", "missing", "driver CPU");
    std::array<std::vector<BusyFigures>, 3> rounds;
    for (int round = 0; round < plan.rounds; ++round)
        for (const ServerKind kind : TurnsOf(round)) {
            auto& own = rounds[static_cast<std::size_t>(kind)];
            own.push_back(MeasureBusy(kind, plan));
            PrintBusy(NameOf(kind), own.back());
        }
    std::array<BusyFigures, 3> medians;
    for (const ServerKind kind : Kinds) {
        medians[static_cast<std::size_t>(kind)] = Median(rounds[static_cast<std::size_t>(kind)]);
        PrintBusy(("median " + std::string(NameOf(kind))).c_str(), medians[static_cast<std::size_t>(kind)]);
    }
    const BusyFigures& kivol = medians[static_cast<std::size_t>(ServerKind::Kivol)];
    const BusyFigures& redis = medians[static_cast<std::size_t>(ServerKind::Redis)];
    const BusyFigures& relay = medians[static_cast<std::size_t>(ServerKind::Relay)];
    for (const BusyFigures* other : {&redis, &relay})
        std::printf("%-14s %14.2f %10.2f %10.2f %16.2f\n", other == &redis ? "Kivol/Redis" : "Kivol/relay",
                    kivol.chat.deliveriesPerSecond / other->chat.deliveriesPerSecond,
                    kivol.chat.p50Microseconds / other->chat.p50Microseconds,
                    kivol.chat.p99Microseconds / other->chat.p99Microseconds, kivol.cpuPer100k / other->cpuPer100k);
    std::printf("\n");
    Target(kivol.cpuPer100k <= 0.8 * redis.cpuPer100k,
           Format("Kivol CPU per delivery <= 0.8 x Redis's (%.3f vs %.3f s per 100k)", kivol.cpuPer100k,
                  redis.cpuPer100k));
    Target(kivol.chat.p99Microseconds <= redis.chat.p99Microseconds,
           Format("Kivol p99 <= Redis's (%.0f vs %.0f us)", kivol.chat.p99Microseconds, redis.chat.p99Microseconds));
    Target(kivol.chat.p99Microseconds <= 5000, Format("Kivol p99 <= 5 ms (%.0f us)", kivol.chat.p99Microseconds));
}

// One server's idle figures: the medians of its rounds.
struct IdleMedians {
    double p99Alone, p99Beside, cpuAlone, cpuBeside, joinSeconds, kibPerIdle;
};

// Runs the idle measurement's rounds, prints them, their medians and the targets.
void RunIdle(const TablesPlan& plan)
{
    const double seconds = IdleMeasureFactor * plan.measureSeconds;
    std::printf("idle: %d busy tables alone, then beside %d idle joined players at %d tables; measured %.0f s "
                "each, %d rounds\n",
                IdleScenarioBusyTables, plan.idlePlayers, plan.idleTables, seconds, plan.rounds);
    std::printf("%-10s %9s %9s %12s %12s %8s %8s %9s %5s\n", "server", "p99 us", "p99 us", "CPU s/100k",
                "CPU s/100k", "join s", "settle s", "KiB per", "cut");
    std::printf("%-10s %9s %9s %12s %12s %8s %8s %9s %5s\n", "", "alone", "beside", "alone", "beside", "", "",
                "idle", "");
    const auto kibPerIdle = [&plan](const IdleRound& r) {
        return static_cast<double>(r.residentAfter - r.residentBefore) / std::max(1, plan.idlePlayers);
    };
    std::array<std::vector<IdleRound>, 3> rounds;
    for (int round = 0; round < plan.rounds; ++round)
        for (const ServerKind kind : TurnsOf(round)) {
            auto& own = rounds[static_cast<std::size_t>(kind)];
            own.push_back(MeasureIdle(kind, plan));
            const IdleRound& r = own.back();
            std::printf("%-10s %9.0f %9.0f %12.3f %12.3f %8.1f %8.1f %9.2f %5d\n", NameOf(kind),
                        r.alone.p99Microseconds, r.beside.p99Microseconds, CpuPer100k(r.alone), CpuPer100k(r.beside),
                        r.joinSeconds, r.settleSeconds, kibPerIdle(r), r.cut);
        }
    std::array<IdleMedians, 3> medians;
    for (const ServerKind kind : Kinds) {
        const auto& own = rounds[static_cast<std::size_t>(kind)];
        IdleMedians& m = medians[static_cast<std::size_t>(kind)];
        m = {MedianOf(own, [](const IdleRound& r) { return r.alone.p99Microseconds; }),
             MedianOf(own, [](const IdleRound& r) { return r.beside.p99Microseconds; }),
             MedianOf(own, [](const IdleRound& r) { return CpuPer100k(r.alone); }),
             MedianOf(own, [](const IdleRound& r) { return CpuPer100k(r.beside); }),
             MedianOf(own, [](const IdleRound& r) { return r.joinSeconds; }), MedianOf(own, kibPerIdle)};
        std::printf("%-10s %9.0f %9.0f %12.3f %12.3f %8.1f %8s %9.2f   median; beside/alone: p99 %.2f, CPU %.2f\n",
                    NameOf(kind), m.p99Alone, m.p99Beside, m.cpuAlone, m.cpuBeside, m.joinSeconds, "", m.kibPerIdle,
                    m.p99Beside / m.p99Alone, m.cpuBeside / m.cpuAlone);
    }
    const IdleMedians& kivol = medians[static_cast<std::size_t>(ServerKind::Kivol)];
    const IdleMedians& redis = medians[static_cast<std::size_t>(ServerKind::Redis)];
    std::printf("\n");
    Target(kivol.p99Beside <= 1.2 * kivol.p99Alone,
           Format("idle players raise Kivol's busy p99 by <= 20 %% (%.0f vs %.0f us)", kivol.p99Beside,
                  kivol.p99Alone));
    Target(kivol.cpuBeside <= 1.2 * kivol.cpuAlone,
           Format("idle players raise Kivol's CPU per delivery by <= 20 %% (%.3f vs %.3f s per 100k)",
                  kivol.cpuBeside, kivol.cpuAlone));
    Target(kivol.kibPerIdle <= 4,
           Format("memory per idle joined connection <= 4 KiB (%.2f KiB)", kivol.kibPerIdle));
    Target(kivol.joinSeconds <= 2 * redis.joinSeconds,
           Format("joining the idle players <= 2 x Redis's time (%.1f vs %.1f s)", kivol.joinSeconds,
                  redis.joinSeconds));
}

}  // namespace

int RunTables(const TablesPlan& plan)
{
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    // The driver holds every client connection of one measurement (the
    // servers are processes of their own, each with the same limit).
    const long files = RaiseOpenFileLimit();
    const long needed = std::max(static_cast<long>(plan.idleTables > 0 ? plan.idlePlayers : 0) +
                                     IdleScenarioBusyTables * PlayersPerBusyTable,
                                 static_cast<long>(plan.busyTables) * PlayersPerBusyTable) +
                        Publishers + DriverDescriptors;
    if (files < needed) {
        std::fprintf(stderr, "load_bench tables: %ld open files needed, the limit is %ld\n", needed, files);
        return 1;
    }
    if (plan.idleTables > 0 && plan.idlePlayers > MostPlayersPerIdleTable * plan.idleTables) {
        std::fprintf(stderr, "load_bench tables: at most %d idle players a table\n", MostPlayersPerIdleTable);
        return 1;
    }
    // Bounds the whole run: the default action ends the process, and the
    // children die with it.
    ::alarm(static_cast<unsigned>(900 * (1 + plan.rounds) + 30 * plan.measureSeconds));
    if (!KeepDriverOffServerProcessor())
        std::printf("one processor: the servers share it with the clients\n");
    try {
        if (plan.busyTables > 0)
            RunBusy(plan);
        if (plan.busyTables > 0 && plan.idleTables > 0)
            std::printf("\n");
        if (plan.idleTables > 0)
            RunIdle(plan);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "load_bench tables: %s\n", e.what());
        return 1;
    }
    return 0;
}

}  // namespace load
