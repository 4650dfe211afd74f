#include "simulation/bot_games.h"

#include <algorithm>
#include <chrono>
#include <map>
#include <optional>
#include <random>

#include "protocol/command_text.h"
#include "protocol/level2.h"
#include "protocol/padded_name.h"
#include "server/game_server.h"
#include "solver/solver.h"

namespace Simulation {

namespace {

// The person at the table: everything sent to it goes nowhere.
class TSilentConnection : public TPacketConnection {
public:
    void SendPacket(const void*, int) override {}
    void CloseAfterSending() override {}
    const AnsiString& PeerAddress() const override { return address_; }
    TKind Kind() const override { return TKind::Memory; }

private:
    AnsiString address_ = "simulation";
};

// A game that nobody finishes (bots that keep missing) is stopped after this
// long on the simulated clock.
constexpr auto LongestGame = std::chrono::hours(2);

void Arrive(TGameServer& server, TPacketConnection& connection, const std::string& packet)
{
    server.PacketArrived(&connection, packet.data(), static_cast<int>(packet.size()));
}

}  // namespace

int PlayBotGames(const TBotGame& game, int games, std::uint32_t seed,
                 const std::function<void(const Records::TGameRecord&)>& recorded)
{
    std::mt19937 engine(seed);
    auto now = std::chrono::steady_clock::time_point(std::chrono::hours(1));
    TGameServer server([](const AnsiString&) {});
    server.Now = [&] { return now; };
    server.SetRandomEngine(engine);
    int finished = 0;
    server.SetRecords(
        [&](Records::TGameRecord record) {
            ++finished;
            if (recorded)
                recorded(record);
        },
        nullptr);

    TSilentConnection person;
    server.ConnectionOpened(&person);
    const AnsiString name = Protocol::PaddedName("sim");
    Arrive(server, person, "/join " + name + '\0' + std::string(Protocol::Level2::Announcement));
    Arrive(server, person, Protocol::TextPacket("/init"));
    Arrive(server, person, Protocol::TextPacket("/take 0 " + name));

    TGameTable& table = server.Main();
    Dealer::TGameOptions options;
    options.Target = game.Target;
    options.Pace = game.Pace;
    options.Answer = game.Answer;
    options.Bots = static_cast<int>(game.Levels.size());
    auto started = now;
    while (finished < games) {
        if (!table.Game().Running()) {
            std::string refusal;
            if (!table.StartGame({}, options, refusal, game.Levels))
                break;
            started = now;
        } else if (now - started > LongestGame) {
            table.StopGame();
            continue;
        }
        const auto next = table.NextWake();
        if (next == std::chrono::steady_clock::time_point{})
            break;
        now = std::max(now, next);
        server.WakeTables();
    }
    return finished;
}

int WinningBot(const Records::TGameRecord& record)
{
    std::vector<const Records::TGamePlayer*> bots;
    for (const Records::TGamePlayer& player : record.Players)
        if (player.IsBot())
            bots.push_back(&player);
    std::sort(bots.begin(), bots.end(), [](auto* a, auto* b) { return a->Seat < b->Seat; });
    int best = -1;
    bool tied = false;
    for (std::size_t i = 0; i < bots.size(); ++i) {
        if (best < 0 || bots[i]->Cards > bots[static_cast<std::size_t>(best)]->Cards) {
            best = static_cast<int>(i);
            tied = false;
        } else if (bots[i]->Cards == bots[static_cast<std::size_t>(best)]->Cards) {
            tied = true;
        }
    }
    return tied ? -1 : best;
}

std::vector<TReaction> Reactions(const Records::TGameRecord& record)
{
    using Records::EEventKind;
    std::map<AnsiString, int> levels;
    for (const Records::TGamePlayer& player : record.Players)
        levels[player.Name] = player.BotLevel;
    std::vector<TReaction> reactions;
    std::optional<std::int64_t> target = record.Fields.Target;
    std::vector<int> field;
    std::optional<std::pair<std::int64_t, int>> makeable;  // since when, with how many cards
    std::optional<std::pair<AnsiString, std::int64_t>> hit;
    for (const Records::TGameEvent& event : record.Events) {
        switch (event.Kind) {
        case EEventKind::Target:
            target = event.Number;
            [[fallthrough]];
        case EEventKind::Take:
        case EEventKind::Clear:
            field.clear();
            makeable.reset();
            break;
        case EEventKind::Deal:
            field.push_back(event.Number);
            if (event.Flag && !makeable && target)
                makeable.emplace(event.Ms, Solver::Solve(field, *target, Solver::Rule::AnySubset,
                                                         std::chrono::milliseconds(100))
                                               .cards);
            break;
        case EEventKind::Hit:
            if (event.Flag)
                hit.emplace(event.Player, event.Ms);
            break;
        case EEventKind::Answer:
            if (event.Flag && hit && hit->first == event.Player && makeable && levels[event.Player] > 0)
                reactions.push_back({levels[event.Player], makeable->second, hit->second - makeable->first});
            hit.reset();
            break;
        default:
            break;
        }
    }
    return reactions;
}

}  // namespace Simulation
