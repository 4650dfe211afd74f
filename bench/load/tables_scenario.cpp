// The busy measurement: busyTables tables of 5 players, each player sending
// one chat line a second (their phases spread over the second), which the
// server relays to the 5 players of its table; and the same number of
// messages a second published to 5 subscribers of each of as many Redis
// channels by a few pipelining publishers. The idle measurement: 10 busy
// tables alone, then beside idleTables tables of 4 joined players who never
// send, for the game server only.
#include "bench/load/tables_scenario.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "bench/load/chat_run.h"
#include "bench/load/child_program.h"
#include "bench/load/fleet.h"
#include "bench/load/kivol_server.h"
#include "bench/load/median.h"
#include "bench/load/packet_buffer.h"
#include "bench/load/redis_framing.h"
#include "bench/load/server_process.h"

namespace load {

namespace {

constexpr int PlayersPerBusyTable = 5;
constexpr int PlayersPerIdleTable = 4;
constexpr int IdleScenarioBusyTables = 10;
constexpr int Publishers = 4;
// The share of a processor below which a server counts as done with the
// work that joins left behind (every measurement starts after that): a few
// times what 10 busy tables cost.
constexpr double IdleCpuShare = 0.05;
// The idle measurement runs longer than the busy one: 10 busy tables make
// few deliveries (250 a second) for a tail latency.
constexpr double IdleMeasureFactor = 2;
const char* const RedisServerPath = "/usr/bin/redis-server";

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

const TextCutter KivolTexts = [](std::string& input, const std::function<void(std::string_view)>& take) {
    CutPackets(input, [&](std::string_view payload) { take(TextOf(payload)); });
};

const TextCutter RedisTexts = [](std::string& input, const std::function<void(std::string_view)>& take) {
    CutRedisReplies(input, take);
};

// A redis-server with a throwaway configuration: no persistence, loopback only.
class RedisServer {
public:
    RedisServer(int port, int clients)
    {
        char directory[] = "/tmp/kivol-bench-redis-XXXXXX";
        if (!::mkdtemp(directory))
            throw std::runtime_error("no directory for redis-server");
        directory_ = directory;
        std::ofstream config(directory_ + "/redis.conf");
        config << "port " << port << "\nbind 127.0.0.1\nsave \"\"\nappendonly no\ndaemonize no\nlogfile \"\"\n"
               << "maxclients " << clients << "\ndir " << directory_ << "\n";
        config.close();
        program_ = std::make_unique<ChildProgram>(RedisServerPath, std::vector<std::string>{directory_ + "/redis.conf"});
        if (!program_->AwaitListening(port, 20))
            throw std::runtime_error(std::string("redis-server did not start listening (") + RedisServerPath + ")");
    }
    ~RedisServer()
    {
        program_.reset();
        ::unlink((directory_ + "/redis.conf").c_str());
        ::rmdir(directory_.c_str());
    }
    pid_t Pid() const { return program_->Pid(); }

private:
    std::string directory_;
    std::unique_ptr<ChildProgram> program_;
};

// Joins tables x players of busy tables "t0001"... (players p0000000...) and
// returns their fleet indexes, player by player.
std::vector<int> JoinBusyPlayers(Fleet& fleet, int tables)
{
    return JoinAll(
        fleet, tables * PlayersPerBusyTable,
        [](int i) {
            std::string join;
            AppendPacket(join, "/join " + Padded('p', i) + std::string(1, '\0') + "KIVOL/2 TABLE=" +
                                   TableName('t', i / PlayersPerBusyTable));
            return join;
        },
        KivolTexts, "/list");
}

// Every player sends one line a second through its own connection.
ChatResult ChatAtKivol(Fleet& fleet, const std::vector<int>& players, double seconds, pid_t server)
{
    const int count = static_cast<int>(players.size());
    return RunChat(fleet, KivolTexts, {count, 2, seconds}, server, [&](long line, std::int64_t sentAt) {
        const int player = static_cast<int>(line % count);
        std::string packet;
        AppendPacket(packet, LineText(Padded('p', player), sentAt) + '\0');
        fleet.Queue(players[static_cast<std::size_t>(player)], packet);
    });
}

struct BusyFigures {
    ChatResult chat;
    double cpuPer100k = 0;
    long expected = 0;
};

BusyFigures Summarise(const ChatResult& result)
{
    BusyFigures f{result, 0, result.linesSent * PlayersPerBusyTable};
    if (result.delivered > 0)
        f.cpuPer100k = result.serverCpuSeconds * 1e5 / static_cast<double>(result.delivered);
    return f;
}

BusyFigures MeasureKivolBusy(const TablesPlan& plan)
{
    const int port = FreeLoopbackPort();
    const auto server = StartKivol(port, plan.busyTables);
    Fleet fleet(port);
    const std::vector<int> players = JoinBusyPlayers(fleet, plan.busyTables);
    Settle(fleet, server->Pid(), IdleCpuShare, 120);
    return Summarise(ChatAtKivol(fleet, players, plan.measureSeconds, server->Pid()));
}

BusyFigures MeasureRedisBusy(const TablesPlan& plan)
{
    const int port = FreeLoopbackPort();
    const int subscribers = plan.busyTables * PlayersPerBusyTable;
    const RedisServer server(port, subscribers + Publishers + 64);
    Fleet fleet(port);
    JoinAll(
        fleet, subscribers,
        [](int i) { return RedisCommand({"SUBSCRIBE", TableName('t', i / PlayersPerBusyTable)}); }, RedisTexts,
        "/subscribe");
    std::vector<int> publishers;
    for (int p = 0; p < Publishers; ++p)
        publishers.push_back(fleet.Open());
    Settle(fleet, server.Pid(), IdleCpuShare, 120);
    // Player i's line goes to the channel of i's table; each publisher's
    // commands of a round go out in one write.
    const ChatResult result =
        RunChat(fleet, RedisTexts, {subscribers, 2, plan.measureSeconds}, server.Pid(), [&](long line, std::int64_t sentAt) {
            const int player = static_cast<int>(line % subscribers);
            fleet.Queue(publishers[static_cast<std::size_t>(line % Publishers)],
                        RedisCommand({"PUBLISH", TableName('t', player / PlayersPerBusyTable),
                                      LineText(Padded('p', player), sentAt)}));
        });
    return Summarise(result);
}

struct IdleFigures {
    // The rounds' measurements, the busy tables alone and beside the idle players.
    std::vector<ChatResult> alone, beside;
    long residentBefore = 0, residentAfter = 0;
    int idleConnections = 0;
    double joinSeconds = 0, settleSeconds = 0;
};

// The busy tables alone, then beside the idle players, in rounds: the idle
// players join before each "beside" and are cut off after it (with no grace,
// their entries and tables go at once). The first round also gives the
// memory an idle joined connection costs and how long the joins took.
IdleFigures MeasureKivolIdle(const TablesPlan& plan)
{
    const int port = FreeLoopbackPort();
    const auto server = StartKivol(port, plan.idleTables + IdleScenarioBusyTables);
    Fleet fleet(port);
    const std::vector<int> players = JoinBusyPlayers(fleet, IdleScenarioBusyTables);
    const double seconds = IdleMeasureFactor * plan.measureSeconds;
    IdleFigures f;
    f.idleConnections = plan.idleTables * PlayersPerIdleTable;
    for (int round = 0; round < std::max(1, plan.rounds); ++round) {
        Settle(fleet, server->Pid(), IdleCpuShare, 60);
        f.alone.push_back(ChatAtKivol(fleet, players, seconds, server->Pid()));
        Settle(fleet, server->Pid(), IdleCpuShare, 30);
        const long residentBefore = ResidentKiB(server->Pid());
        Fleet idle(port);
        const std::int64_t joinFrom = NowNs();
        JoinAll(
            idle, f.idleConnections,
            [](int i) {
                std::string join;
                AppendPacket(join, "/join " + Padded('i', i) + std::string(1, '\0') + "KIVOL/2 TABLE=" +
                                       TableName('i', i / PlayersPerIdleTable));
                return join;
            },
            KivolTexts, "/list");
        const std::int64_t settleFrom = NowNs();
        Settle(idle, server->Pid(), IdleCpuShare, 120);
        if (round == 0) {
            f.joinSeconds = static_cast<double>(settleFrom - joinFrom) / 1e9;
            f.settleSeconds = static_cast<double>(NowNs() - settleFrom) / 1e9;
            f.residentBefore = residentBefore;
            f.residentAfter = ResidentKiB(server->Pid());
        }
        f.beside.push_back(ChatAtKivol(fleet, players, seconds, server->Pid()));
        if (idle.Cut() > 0)
            std::printf("(the server closed %d of the idle connections)\n", idle.Cut());
    }
    return f;
}

void PrintBusy(const char* name, const BusyFigures& f)
{
    std::printf("%-12s %14.0f %10.0f %10.0f %16.3f %10ld %12.2f\n", name, f.chat.deliveriesPerSecond,
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

}  // namespace

int RunTables(const TablesPlan& plan)
{
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    const long files = RaiseOpenFileLimit();
    const long needed = static_cast<long>(plan.idleTables) * PlayersPerIdleTable + 64L * IdleScenarioBusyTables;
    if (files < needed || files < static_cast<long>(plan.busyTables) * PlayersPerBusyTable + 64) {
        std::fprintf(stderr, "load_bench tables: the open file limit %ld is too low\n", files);
        return 1;
    }
    // Bounds the whole run: the default action ends the process, and the
    // children die with it.
    ::alarm(static_cast<unsigned>(300 * (1 + plan.rounds) + 10 * plan.measureSeconds));
    try {
        std::printf("busy: %d tables x %d players, one line a second each; measured %.0f s after 2 s, %d rounds\n",
                    plan.busyTables, PlayersPerBusyTable, plan.measureSeconds, plan.rounds);
        std::printf("%-12s %14s %10s %10s %16s %10s %12s\n", "server", "deliveries/s", "p50 us", "p99 us",
                    "CPU s per 100k", "missing", "driver CPU");
        std::vector<BusyFigures> kivolRounds, redisRounds;
        for (int round = 0; round < std::max(1, plan.rounds); ++round) {
            // Who goes first alternates, so that a drift of the machine falls on both.
            for (const bool kivolTurn : {round % 2 == 0, round % 2 != 0}) {
                if (kivolTurn) {
                    kivolRounds.push_back(MeasureKivolBusy(plan));
                    PrintBusy("kivolsrv", kivolRounds.back());
                } else {
                    redisRounds.push_back(MeasureRedisBusy(plan));
                    PrintBusy("redis", redisRounds.back());
                }
            }
        }
        const BusyFigures kivol = Median(kivolRounds);
        const BusyFigures redis = Median(redisRounds);
        PrintBusy("median Kivol", kivol);
        PrintBusy("median Redis", redis);
        std::printf("%-12s %14.2f %10.2f %10.2f %16.2f\n", "Kivol/Redis",
                    kivol.chat.deliveriesPerSecond / redis.chat.deliveriesPerSecond,
                    kivol.chat.p50Microseconds / redis.chat.p50Microseconds,
                    kivol.chat.p99Microseconds / redis.chat.p99Microseconds, kivol.cpuPer100k / redis.cpuPer100k);
        std::printf("\n");
        Target(kivol.cpuPer100k <= redis.cpuPer100k,
               Format("Kivol CPU per delivery <= Redis's (%.3f vs %.3f s per 100k)", kivol.cpuPer100k,
                      redis.cpuPer100k));
        Target(kivol.chat.p99Microseconds <= redis.chat.p99Microseconds,
               Format("Kivol p99 <= Redis's (%.0f vs %.0f us)", kivol.chat.p99Microseconds,
                      redis.chat.p99Microseconds));
        Target(kivol.chat.p99Microseconds <= 5000,
               Format("Kivol p99 <= 5 ms (%.0f us)", kivol.chat.p99Microseconds));
        // No idle tables: the busy measurement alone.
        if (plan.idleTables <= 0)
            return 0;

        std::printf("\nidle: %d busy tables alone, then beside %d idle joined players at %d tables; measured %.0f s "
                    "each, %d rounds\n",
                    IdleScenarioBusyTables, plan.idleTables * PlayersPerIdleTable, plan.idleTables,
                    IdleMeasureFactor * plan.measureSeconds, plan.rounds);
        const IdleFigures idle = MeasureKivolIdle(plan);
        const double idleSeconds = IdleMeasureFactor * plan.measureSeconds;
        const auto p99 = [](const ChatResult& r) { return r.p99Microseconds; };
        const auto cpu = [idleSeconds](const ChatResult& r) { return r.serverCpuSeconds / idleSeconds; };
        const double perIdle =
            static_cast<double>(idle.residentAfter - idle.residentBefore) / std::max(1, idle.idleConnections);
        std::printf("(the idle players joined in %.0f s; the server was quiet %.0f s later)\n", idle.joinSeconds,
                    idle.settleSeconds);
        std::printf("%-12s %10s %14s\n", "", "p99 us", "CPU s per s");
        for (std::size_t round = 0; round < idle.alone.size(); ++round) {
            std::printf("%-12s %10.0f %14.4f\n", "alone", p99(idle.alone[round]), cpu(idle.alone[round]));
            std::printf("%-12s %10.0f %14.4f\n", "beside idle", p99(idle.beside[round]), cpu(idle.beside[round]));
        }
        const double p99Alone = MedianOf(idle.alone, p99), p99Beside = MedianOf(idle.beside, p99);
        const double cpuAlone = MedianOf(idle.alone, cpu), cpuBeside = MedianOf(idle.beside, cpu);
        std::printf("%-12s %10.0f %14.4f\n", "median alone", p99Alone, cpuAlone);
        std::printf("%-12s %10.0f %14.4f\n", "median beside", p99Beside, cpuBeside);
        std::printf("resident KiB %ld before the idle players joined, %ld after: %.2f KiB per idle joined "
                    "connection\n\n",
                    idle.residentBefore, idle.residentAfter, perIdle);
        Target(p99Beside <= 1.2 * p99Alone,
               Format("idle players raise the busy p99 by <= 20 %% (%.0f vs %.0f us)", p99Beside, p99Alone));
        Target(cpuBeside <= 1.2 * cpuAlone,
               Format("idle players raise the CPU by <= 20 %% (%.4f vs %.4f s per s)", cpuBeside, cpuAlone));
        Target(perIdle <= 4, Format("memory per idle joined connection <= 4 KiB (%.2f KiB)", perIdle));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "load_bench tables: %s\n", e.what());
        return 1;
    }
    return 0;
}

}  // namespace load
