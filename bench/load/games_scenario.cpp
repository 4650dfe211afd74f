// Dealt games under load. Every table gets its players (level-2 clients at
// a table of their own), each sitting at a seat of its own. First the tables
// only chat, one line a second each; then each table's first player starts a
// dealt game with random targets, starts the next when one ends, and the
// same chat goes on while the games are played.
//
// A scripted player behaves like a person who sometimes sees a solution: the
// driver follows each table's field and target (from the first player's
// connection) and solves them at each card the dealer deals; when the target
// can be made, each player of the table sees it with some chance and hits
// 0.4 to 3 s later, and when the server's verdict on its hit is "Y" it
// answers with the expression it found 0.5 to 1.5 s later. The first hitter
// answers; the others' hits come while its answer is open or after the
// field went, and are judged and ignored, as with people. What is
// measured: the server's CPU, the chat's delivery latency, the time from a
// hit to its verdict, and how often a player's hit got "?" (the solving
// budget must always leave players' hits their judgement).
#include "bench/load/games_scenario.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstdio>
#include <random>
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
#include "solver/solver.h"

namespace load {

namespace {

// The dealer's padded name, 親 in code page 932.
const std::string Dealer = "\x90\x65      ";
constexpr double IdleCpuShare = 0.05;

struct Style {
    int playersPerTable;
    const char* dealFields;
    double hitChance;  // per player, at each dealt card that lets the target be made
};

const Style WithoutBots{5, " TARGET=random PACE=2", 0.3};
const Style WithBots{1, " TARGET=random PACE=1 BOTS=3 LEVEL=5", 0.5};

// A table's field and target as its players saw the dealer deal them.
struct TableView {
    std::vector<int> field;
    std::int64_t target = 0;
};

std::string PlayerName(int number)
{
    char name[16];
    std::snprintf(name, sizeof name, "p%07d", number);
    return name;
}

std::string Packet(const std::string& text)
{
    std::string packet;
    AppendPacket(packet, text + '\0');
    return packet;
}

// One scripted player: its name, its connection and what it will send when.
struct Player {
    std::string name;
    int index = -1;   // in the fleet
    bool host = false;
    std::int64_t hitAt = 0, answerAt = 0, dealAt = 0;  // 0: nothing due
    std::int64_t hitSentAt = 0;
    int fieldCards = 0;  // as this player's connection told it
    std::string answer;
};

struct GameCounts {
    long hits = 0;
    long verdicts[3] = {0, 0, 0};  // Y, N, ?
    // "?" for a hit that reached an empty field (taken by someone else
    // while the hit was on its way): no judgement, not an undecided one.
    long emptyField = 0;
    long answers = 0;
    long gamesStarted = 0, gamesEnded = 0, refused = 0;
    std::vector<std::int64_t> judgeLatencies;
};

class Tables {
public:
    Tables(Fleet& fleet, const Style& style, int tables) : fleet_(fleet), style_(style)
    {
        const int count = tables * style.playersPerTable;
        const std::vector<int> indexes = JoinAll(
            fleet, count,
            [&](int i) {
                char table[16];
                std::snprintf(table, sizeof table, "g%04d", i / style.playersPerTable + 1);
                std::string join;
                AppendPacket(join, "/join " + PlayerName(i) + std::string(1, '\0') + "KIVOL/2 TABLE=" + table);
                return join;
            },
            KivolTexts, "/list");
        byIndex_.assign(static_cast<std::size_t>(fleet.Size()), -1);
        views_.resize(static_cast<std::size_t>(tables));
        for (int i = 0; i < count; ++i) {
            Player player;
            player.name = PlayerName(i);
            player.index = indexes[static_cast<std::size_t>(i)];
            player.host = i % style.playersPerTable == 0;
            byIndex_[static_cast<std::size_t>(player.index)] = i;
            fleet.Queue(player.index, Packet("/take " + std::to_string(i % style.playersPerTable) + " " + player.name));
            players_.push_back(std::move(player));
        }
        fleet.Flush();
    }

    int Count() const { return static_cast<int>(players_.size()); }
    const Player& At(int i) const { return players_[static_cast<std::size_t>(i)]; }

    // Every host starts a game at once.
    void StartGames(std::int64_t now)
    {
        for (Player& player : players_)
            if (player.host)
                player.dealAt = now;
    }

    // Sends what is due.
    void Tick(std::int64_t now)
    {
        for (Player& player : players_) {
            if (player.dealAt != 0 && player.dealAt <= now) {
                player.dealAt = 0;
                fleet_.Queue(player.index, Packet("/deal " + player.name + " start" + style_.dealFields));
            }
            if (player.hitAt != 0 && player.hitAt <= now) {
                player.hitAt = 0;
                player.hitSentAt = now;
                ++counts_.hits;
                fleet_.Queue(player.index, Packet("/hit " + player.name));
            }
            if (player.answerAt != 0 && player.answerAt <= now) {
                player.answerAt = 0;
                ++counts_.answers;
                fleet_.Queue(player.index, Packet("/answer " + player.name + " " + player.answer));
            }
        }
    }

    // Reacts to one text a player received.
    void Receive(int index, std::string_view text, std::int64_t now)
    {
        const int number = index < static_cast<int>(byIndex_.size()) ? byIndex_[static_cast<std::size_t>(index)] : -1;
        if (number < 0)
            return;
        Player& player = players_[static_cast<std::size_t>(number)];
        if (player.host)
            Follow(number / style_.playersPerTable, text, now);
        if (text.starts_with("/draw ") && text.substr(6, 8) == Dealer)
            ++player.fieldCards;
        else if (text.starts_with("/B2T") || text.starts_with("/B2Y") || text.starts_with("/init"))
            player.fieldCards = 0;
        if (text.starts_with("/judge ") && text.size() >= 18 && text.substr(7, 8) == player.name) {
            const char verdict = text[16];
            ++counts_.verdicts[verdict == 'Y' ? 0 : verdict == 'N' ? 1 : 2];
            if (verdict == '?' && player.fieldCards == 0)
                ++counts_.emptyField;
            if (player.hitSentAt != 0)
                counts_.judgeLatencies.push_back(now - player.hitSentAt);
            player.hitSentAt = 0;
            if (verdict == 'Y' && !player.answer.empty())
                player.answerAt = now + static_cast<std::int64_t>((0.5 + chance_(random_)) * 1e9);
        } else if (text.starts_with("/game round") || text.starts_with("/game take") || text.starts_with("/B2Y") ||
                   text.starts_with("/init")) {
            // The field was taken or returned: a hit meant for it is no longer due.
            player.hitAt = 0;
        } else if (player.host && text.starts_with("/game start")) {
            ++counts_.gamesStarted;
        } else if (player.host && text.starts_with("/game end")) {
            ++counts_.gamesEnded;
            player.dealAt = now + 1'000'000'000;  // もう一局
        } else if (text.starts_with("/game refused")) {
            ++counts_.refused;
        }
    }

    GameCounts& Counts() { return counts_; }
    // Dealt cards at which the target could be made, of all dealt cards.
    long Makeable() const { return makeable_; }
    long Dealt() const { return dealt_; }

private:
    // The table's field and target from the dealer's moves; at each card,
    // who of its players sees a solution.
    void Follow(int table, std::string_view text, std::int64_t now)
    {
        TableView& view = views_[static_cast<std::size_t>(table)];
        if (text.starts_with("/set ") && text.substr(5, 8) == Dealer) {
            view.target = std::atoll(std::string(text.substr(14)).c_str());
        } else if (text.starts_with("/B2T") || text.starts_with("/B2Y") || text.starts_with("/init")) {
            // The dealer moves the whole field at once.
            view.field.clear();
        } else if (text.starts_with("/draw ") && text.substr(6, 8) == Dealer) {
            view.field.push_back(std::atoi(std::string(text.substr(15)).c_str()));
            ++dealt_;
            const Solver::Solution solution =
                Solver::Solve(view.field, view.target, Solver::Rule::AnySubset, std::chrono::milliseconds(50));
            if (solution.verdict != Solver::Verdict::Yes)
                return;
            ++makeable_;
            for (int seat = 0; seat < style_.playersPerTable; ++seat) {
                Player& player = players_[static_cast<std::size_t>(table * style_.playersPerTable + seat)];
                if (player.hitAt == 0 && chance_(random_) < style_.hitChance) {
                    player.hitAt = now + static_cast<std::int64_t>(delay_(random_) * 1e9);
                    player.answer = solution.expression;
                }
            }
        }
    }

    Fleet& fleet_;
    const Style& style_;
    std::vector<Player> players_;
    std::vector<int> byIndex_;  // fleet index → player number
    std::vector<TableView> views_;
    long makeable_ = 0, dealt_ = 0;
    GameCounts counts_;
    std::mt19937_64 random_{20261209};
    std::uniform_real_distribution<double> chance_{0.0, 1.0};
    std::uniform_real_distribution<double> delay_{0.4, 3.0};
};

// One chat line a second from every table, from its players in turn. The
// text after the number is not an expression, so that no line is read as a
// hitter's answer.
ChatResult Chat(Fleet& fleet, Tables& tables, const ChatPlan& plan, pid_t server, const ChatHooks& hooks)
{
    return RunChat(
        fleet, KivolTexts, plan, server,
        [&](long line, std::int64_t sentAt) {
            const Player& player = tables.At(static_cast<int>(line % tables.Count()));
            fleet.Queue(player.index, Packet(LineText(player.name, sentAt) + " ns"));
        },
        hooks);
}

void PrintChat(const char* phase, const ChatResult& r, int tables)
{
    const double cpuPerSecond = r.serverCpuSeconds / r.seconds;
    std::printf("%-14s %12.0f %10.0f %10.0f %12.3f %16.3f %10.2f\n", phase, r.deliveriesPerSecond, r.p50Microseconds,
                r.p99Microseconds, cpuPerSecond, 1000 * cpuPerSecond / tables, r.driverCpuSeconds / r.seconds);
}

}  // namespace

int RunGames(const GamesPlan& plan)
{
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    const Style& style = plan.bots ? WithBots : WithoutBots;
    const long files = RaiseOpenFileLimit();
    if (files < static_cast<long>(plan.tables) * style.playersPerTable + 64) {
        std::fprintf(stderr, "load_bench games: the open file limit %ld is too low\n", files);
        return 1;
    }
    ::alarm(static_cast<unsigned>(600 + 4 * plan.measureSeconds));
    try {
        const int port = FreeLoopbackPort();
        const int webPort = FreeLoopbackPort();
        const StateDirectory state;
        const auto server =
            StartKivol(port, plan.tables, {"--web-port", std::to_string(webPort), "--state-dir", state.Path()});
        Fleet fleet(port);
        Tables tables(fleet, style, plan.tables);
        Settle(fleet, server->Pid(), IdleCpuShare, 120);
        std::printf("%d tables, %d scripted player(s) each%s, deal fields \"%s\"; measured %.0f s after a warm-up\n",
                    plan.tables, style.playersPerTable, plan.bots ? " and three level-5 bots" : "",
                    style.dealFields + 1, plan.measureSeconds);
        std::printf("%-14s %12s %10s %10s %12s %16s %10s\n", "", "deliveries/s", "p50 us", "p99 us", "CPU s per s",
                    "CPU ms/s a table", "driver CPU");

        ChatPlan chat{plan.tables, 2, plan.measureSeconds, 1};
        const ChatHooks react{[&](int index, std::string_view text, std::int64_t now) { tables.Receive(index, text, now); },
                              [&](std::int64_t now) { tables.Tick(now); }};
        PrintChat("no games", Chat(fleet, tables, chat, server->Pid(), react), plan.tables);

        const std::string before = HttpGet(webPort, "/metrics");
        tables.StartGames(NowNs());
        chat.warmupSeconds = 5;
        const ChatResult games = Chat(fleet, tables, chat, server->Pid(), react);
        PrintChat("dealt games", games, plan.tables);
        const std::string after = HttpGet(webPort, "/metrics");

        GameCounts& c = tables.Counts();
        const long judged = c.verdicts[0] + c.verdicts[1] + c.verdicts[2];
        const double judgeP50 = PercentileMicroseconds(c.judgeLatencies, 0.5);
        const double judgeP99 = PercentileMicroseconds(c.judgeLatencies, 0.99);
        std::printf("\nduring the games (warm-up included): %ld games started, %ld ended, %ld starts refused\n",
                    c.gamesStarted, c.gamesEnded, c.refused);
        std::printf("dealt cards %ld, at %ld of them the target could be made\n", tables.Dealt(),
                    tables.Makeable());
        std::printf("players' hits %ld, verdicts Y %ld, N %ld, ? %ld; answers %ld; hit to verdict p50 %.0f us, "
                    "p99 %.0f us\n",
                    c.hits, c.verdicts[0], c.verdicts[1], c.verdicts[2], c.answers, judgeP50, judgeP99);
        const long undecided = c.verdicts[2] - c.emptyField;
        const double questioned = judged > 0 ? 100.0 * static_cast<double>(undecided) / judged : 0;
        std::printf("players' hits judged \"?\" at a field with cards: %.3f %% (must be 0); %ld more reached a field "
                    "another player had just taken\n",
                    questioned, c.emptyField);
        if (plan.bots) {
            const auto delta = [&](const char* series) {
                return PrometheusValue(after, series) - PrometheusValue(before, series);
            };
            const double solves = delta("kivol_bot_solves_total");
            const double delayed = delta("kivol_bot_solves_delayed_total");
            std::printf("bots' solves %.0f, delayed by the budget %.0f: %.3f %%\n", solves, delayed,
                        solves > 0 ? 100 * delayed / solves : 0.0);
        }
        if (c.gamesStarted == 0 || judged == 0)
            throw std::runtime_error("no game was played");
    } catch (const std::exception& e) {
        std::fprintf(stderr, "load_bench games: %s\n", e.what());
        return 1;
    }
    return 0;
}

}  // namespace load
