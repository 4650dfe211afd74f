// Records under load. busyTables tables of 5 players chat, each player one
// line a second (as the busy measurement of the tables scenario), while at
// private tables of their own scripted players start dealt games against a
// level-5 bot at gamesPerMinute and stop each after a few dealt cards, so
// that that many finished games a minute go to the records. The same run is
// made with records and without (--no-records), in rounds.
//
// What is compared: the event loop's longest stall (the metric
// kivol_event_loop_longest_stall_seconds, read before and after the run) and
// the chat's delivery p99; and, with records, the database's growth per
// game once its journal has been folded in.
#include "bench/load/records_scenario.h"

#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "bench/load/chat_run.h"
#include "bench/load/text_cutters.h"
#include "bench/load/child_program.h"
#include "bench/load/fleet.h"
#include "bench/load/kivol_server.h"
#include "bench/load/median.h"
#include "bench/load/packet_buffer.h"
#include "bench/load/server_process.h"
#include "records/sqlite_connection.h"

namespace load {

namespace {

constexpr int PlayersPerBusyTable = 5;
// A game is stopped after this many dealt cards: a few seconds at one card a second.
constexpr int DealsPerGame = 3;
// Game tables enough that a new game always finds one free: games last a
// few seconds, and the rate is at most some dozens a second.
constexpr int GameTablesPerGameASecond = 8;
constexpr double IdleCpuShare = 0.05;
// The dealer's padded name, 親 in code page 932.
const std::string Dealer = "\x90\x65      ";
const char* const Fields = " PACE=1 BOTS=1 LEVEL=5";

std::string Named(const char* format, int number)
{
    char name[16];
    std::snprintf(name, sizeof name, format, number);
    return name;
}

std::string Packet(const std::string& text)
{
    std::string packet;
    AppendPacket(packet, text + '\0');
    return packet;
}

// The database's bytes once the journal is folded into it, its games and their events.
struct DatabaseSize {
    double bytes = 0;
    double games = 0;
    double events = 0;
};

DatabaseSize MeasureDatabase(const std::string& path)
{
    Records::TSqliteConnection db(path, SQLITE_OPEN_READWRITE);
    db.Execute("PRAGMA wal_checkpoint(TRUNCATE)");
    return {static_cast<double>(db.IntegerOf("PRAGMA page_count") * db.IntegerOf("PRAGMA page_size")),
            static_cast<double>(db.IntegerOf("SELECT COUNT(*) FROM games")),
            static_cast<double>(db.IntegerOf("SELECT COUNT(*) FROM game_events"))};
}

// The scripted game players: each at a private table of its own, starting a
// game when the schedule says and stopping it after DealsPerGame cards.
class GameTables {
public:
    GameTables(Fleet& fleet, int tables) : fleet_(fleet)
    {
        const std::vector<int> indexes = JoinAll(
            fleet, tables,
            [](int i) {
                std::string join;
                AppendPacket(join, "/join " + Named("g%07d", i) + std::string(1, '\0') + "KIVOL/2 TABLE=" +
                                       Named("g%04d", i + 1) + " KEY=k");
                return join;
            },
            KivolTexts, "/list");
        byIndex_.assign(static_cast<std::size_t>(fleet.Size()), -1);
        for (int i = 0; i < tables; ++i) {
            const int index = indexes[static_cast<std::size_t>(i)];
            byIndex_[static_cast<std::size_t>(index)] = i;
            players_.push_back({Named("g%07d", i), index, 0});
            fleet.Queue(index, Packet("/take 0 " + players_.back().name));
            idle_.push_back(i);
        }
        fleet.Flush();
    }

    // Starts the games due by now, one every interval from the first call.
    void Tick(std::int64_t now, std::int64_t interval)
    {
        if (nextStart_ == 0)
            nextStart_ = firstStart_ = now;
        for (; nextStart_ <= now; nextStart_ += interval) {
            if (idle_.empty()) {
                ++missedStarts_;
                continue;
            }
            Player& player = players_[static_cast<std::size_t>(idle_.front())];
            idle_.pop_front();
            player.dealt = 0;
            fleet_.Queue(player.index, Packet("/deal " + player.name + " start" + Fields));
        }
    }

    void Receive(int index, std::string_view text, std::int64_t arrived)
    {
        const int number = index < static_cast<int>(byIndex_.size()) ? byIndex_[static_cast<std::size_t>(index)] : -1;
        if (number < 0)
            return;
        Player& player = players_[static_cast<std::size_t>(number)];
        if (text.starts_with("/draw ") && text.substr(6, 8) == Dealer && ++player.dealt == DealsPerGame) {
            fleet_.Queue(player.index, Packet("/deal " + player.name + " stop"));
        } else if (text.starts_with("/game end")) {
            ends_.push_back(arrived);
            idle_.push_back(number);
        } else if (text.starts_with("/game refused")) {
            ++refused_;
            idle_.push_back(number);
        }
    }

    // Games that ended from seconds after the first start, for as many seconds.
    long Finished(double from, double seconds) const
    {
        const auto at = [this](double s) { return firstStart_ + static_cast<std::int64_t>(s * 1e9); };
        return std::count_if(ends_.begin(), ends_.end(),
                             [&](std::int64_t end) { return end >= at(from) && end < at(from + seconds); });
    }
    long Refused() const { return refused_; }
    long MissedStarts() const { return missedStarts_; }

private:
    struct Player {
        std::string name;
        int index;
        int dealt;
    };

    Fleet& fleet_;
    std::vector<Player> players_;
    std::vector<int> byIndex_;  // fleet index → player number
    std::deque<int> idle_;
    std::int64_t firstStart_ = 0, nextStart_ = 0;
    std::vector<std::int64_t> ends_;
    long refused_ = 0, missedStarts_ = 0;
};

struct RunFigures {
    bool records = false;
    ChatResult chat;
    double longestStallMs = 0;
    double gamesPerMinute = 0;
    double gamesInDatabase = 0;
    double bytesPerGame = 0;  // the database's growth per game recorded
    double eventsPerGame = 0;
    long refused = 0, missedStarts = 0;
};

// The server on two free ports (port and webPort), tried again on others
// when another program took one of them before the server could.
std::unique_ptr<ChildProgram> StartOnFreePorts(int tables, const std::vector<std::string>& options, int& port,
                                               int& webPort)
{
    for (int attempt = 1;; ++attempt) {
        port = FreeLoopbackPort();
        do
            webPort = FreeLoopbackPort();
        while (webPort == port);
        std::vector<std::string> arguments{"--web-port", std::to_string(webPort)};
        arguments.insert(arguments.end(), options.begin(), options.end());
        try {
            auto server = StartKivol(port, tables, arguments);
            HttpGet(webPort, "/metrics");  // the web port listens too
            return server;
        } catch (const std::runtime_error&) {
            if (attempt == 3)
                throw;
        }
    }
}

RunFigures MeasureRun(const RecordsPlan& plan, bool records)
{
    const StateDirectory state;
    const double gamesPerSecond = plan.gamesPerMinute / 60.0;
    const int gameTables = std::max(4, static_cast<int>(gamesPerSecond * GameTablesPerGameASecond));
    std::vector<std::string> options{"--state-dir", state.Path()};
    if (!records)
        options.push_back("--no-records");
    RunFigures f;
    f.records = records;
    double emptyBytes = 0;
    {
        int port = 0, webPort = 0;
        const auto server = StartOnFreePorts(plan.busyTables + gameTables, options, port, webPort);
        if (records)
            emptyBytes = MeasureDatabase(state.Database()).bytes;
        Fleet fleet(port);
        const std::vector<int> busy = JoinAll(
            fleet, plan.busyTables * PlayersPerBusyTable,
            [](int i) {
                std::string join;
                AppendPacket(join, "/join " + Named("b%07d", i) + std::string(1, '\0') + "KIVOL/2 TABLE=" +
                                       Named("b%04d", i / PlayersPerBusyTable + 1));
                return join;
            },
            KivolTexts, "/list");
        GameTables games(fleet, gameTables);
        Settle(fleet, server->Pid(), IdleCpuShare, 120);

        const auto interval = static_cast<std::int64_t>(1e9 / gamesPerSecond);
        const ChatPlan chat{plan.busyTables * PlayersPerBusyTable, 5, plan.measureSeconds, 1};
        const ChatHooks hooks{[&](int index, std::string_view text, std::int64_t arrived) {
                                  games.Receive(index, text, arrived);
                              },
                              [&](std::int64_t now) { games.Tick(now, interval); }};
        const int count = static_cast<int>(busy.size());
        HttpGet(webPort, "/metrics");  // the longest stall counts from here
        f.chat = RunChat(fleet, KivolTexts, chat, server->Pid(), [&](long line, std::int64_t sentAt) {
            const int player = static_cast<int>(line % count);
            fleet.Queue(busy[static_cast<std::size_t>(player)], Packet(LineText(Named("b%07d", player), sentAt)));
        }, hooks);
        const std::string metrics = HttpGet(webPort, "/metrics");
        f.longestStallMs = 1000 * PrometheusValue(metrics, "kivol_event_loop_longest_stall_seconds");
        // Games end at the full rate once the first have run their length: within the warm-up.
        f.gamesPerMinute =
            60.0 * static_cast<double>(games.Finished(chat.warmupSeconds, chat.measureSeconds)) / chat.measureSeconds;
        f.refused = games.Refused();
        f.missedStarts = games.MissedStarts();
    }
    // The server was killed: what the database kept, its journal folded in.
    if (records) {
        const DatabaseSize size = MeasureDatabase(state.Database());
        f.gamesInDatabase = size.games;
        f.bytesPerGame = size.games > 0 ? (size.bytes - emptyBytes) / size.games : 0;
        f.eventsPerGame = size.games > 0 ? size.events / size.games : 0;
    }
    return f;
}

void Print(const char* name, const RunFigures& f)
{
    std::printf("%-14s %12.0f %10.0f %10.0f %14.1f %10.0f %10.0f %14.0f %12.1f\n", name,
                f.chat.deliveriesPerSecond, f.chat.p50Microseconds, f.chat.p99Microseconds, f.longestStallMs,
                f.gamesPerMinute, f.gamesInDatabase, f.bytesPerGame, f.eventsPerGame);
}

// The median of each figure over the runs of one mode.
RunFigures Median(const std::vector<RunFigures>& runs)
{
    RunFigures m = runs.front();
    m.chat.deliveriesPerSecond = MedianOf(runs, [](const RunFigures& f) { return f.chat.deliveriesPerSecond; });
    m.chat.p50Microseconds = MedianOf(runs, [](const RunFigures& f) { return f.chat.p50Microseconds; });
    m.chat.p99Microseconds = MedianOf(runs, [](const RunFigures& f) { return f.chat.p99Microseconds; });
    m.longestStallMs = MedianOf(runs, [](const RunFigures& f) { return f.longestStallMs; });
    m.gamesPerMinute = MedianOf(runs, [](const RunFigures& f) { return f.gamesPerMinute; });
    m.gamesInDatabase = MedianOf(runs, [](const RunFigures& f) { return f.gamesInDatabase; });
    m.bytesPerGame = MedianOf(runs, [](const RunFigures& f) { return f.bytesPerGame; });
    m.eventsPerGame = MedianOf(runs, [](const RunFigures& f) { return f.eventsPerGame; });
    return m;
}

}  // namespace

int RunRecords(const RecordsPlan& plan)
{
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    const long files = RaiseOpenFileLimit();
    if (files < static_cast<long>(plan.busyTables) * PlayersPerBusyTable + 1000) {
        std::fprintf(stderr, "load_bench records: the open file limit %ld is too low\n", files);
        return 1;
    }
    ::alarm(static_cast<unsigned>(2 * std::max(1, plan.rounds) * (300 + plan.measureSeconds)));
    try {
        std::printf("records: %d busy tables x %d players, one line a second each, beside %d dealt games a minute "
                    "(each stopped after %d cards, one player and a level-5 bot); measured %.0f s after 5 s, %d "
                    "rounds\n",
                    plan.busyTables, PlayersPerBusyTable, plan.gamesPerMinute, DealsPerGame, plan.measureSeconds,
                    plan.rounds);
        std::printf("%-14s %12s %10s %10s %14s %10s %10s %14s %12s\n", "records", "deliveries/s", "p50 us", "p99 us",
                    "longest stall", "games/min", "games in", "DB bytes", "events");
        std::printf("%-14s %12s %10s %10s %14s %10s %10s %14s %12s\n", "", "", "", "", "ms", "", "DB", "per game",
                    "per game");
        std::vector<RunFigures> on, off;
        for (int round = 0; round < std::max(1, plan.rounds); ++round)
            for (const bool records : {round % 2 == 0, round % 2 != 0}) {
                std::vector<RunFigures>& runs = records ? on : off;
                // A shared machine may run out of ports or answer late once: that run is made again.
                try {
                    runs.push_back(MeasureRun(plan, records));
                } catch (const std::runtime_error& e) {
                    std::printf("(the run failed: %s; once more)\n", e.what());
                    runs.push_back(MeasureRun(plan, records));
                }
                Print(records ? "on" : "off", runs.back());
                if (runs.back().refused > 0 || runs.back().missedStarts > 0)
                    std::printf("(%ld game starts refused, %ld found no free table)\n", runs.back().refused,
                                runs.back().missedStarts);
            }
        const RunFigures medianOn = Median(on), medianOff = Median(off);
        Print("median on", medianOn);
        Print("median off", medianOff);
        std::printf("with records / without: longest stall %.2f, p99 %.2f\n",
                    medianOn.longestStallMs / std::max(medianOff.longestStallMs, 1e-3),
                    medianOn.chat.p99Microseconds / std::max(medianOff.chat.p99Microseconds, 1e-3));
        if (medianOn.gamesInDatabase == 0)
            throw std::runtime_error("no game was recorded");
    } catch (const std::exception& e) {
        std::fprintf(stderr, "load_bench records: %s\n", e.what());
        return 1;
    }
    return 0;
}

}  // namespace load
