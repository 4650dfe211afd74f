#include "simulated_games.h"

#include <algorithm>

#include "records/standings.h"

using namespace Records;

TSimulatedGame SimulateGame(std::mt19937& random, const std::vector<TSimulatedPlayer>& seated, TTime start)
{
    TSimulatedGame game;
    TGameRecord& record = game.Record;
    record.Table = "table" + std::to_string(random() % 3);
    record.Host = seated.front().Name;
    record.Start = start;
    record.Fields.Target = random() % 2 ? std::optional<int>(47) : std::nullopt;
    record.Fields.PaceSeconds = 1 + static_cast<int>(random() % 5);
    record.EndReason = random() % 10 ? EGameEnd::Deck : EGameEnd::Stop;
    auto chance = [&random](double p) { return std::uniform_real_distribution<double>(0, 1)(random) < p; };
    auto anyone = [&]() -> const TSimulatedPlayer& { return seated[random() % seated.size()]; };
    std::int64_t ms = 0;
    auto add = [&](EEventKind kind, const AnsiString& player = {}, int number = 0, bool flag = false,
                   AnsiString text = {}) { record.Events.push_back({ms, kind, player, number, flag, std::move(text)}); };
    for (std::size_t seat = 0; seat < seated.size(); ++seat) {
        add(EEventKind::Join, seated[seat].Name, static_cast<int>(seat));
        game.Hands[seated[seat].Name] = 0;
    }
    int deck = 20 + static_cast<int>(random() % 30);
    while (deck > 0) {
        if (!record.Fields.Target)
            add(EEventKind::Target, {}, 10 + static_cast<int>(random() % 90));
        int field = 0;
        std::optional<std::int64_t> makeableSince;
        bool taken = false;
        while (deck > 0 && field < 12 && !taken) {
            ms += record.Fields.PaceSeconds * 1000;
            --deck;
            ++field;
            const bool makeable = makeableSince || chance(0.1 * field);
            add(EEventKind::Deal, {}, 1 + static_cast<int>(random() % 13), makeable);
            if (makeable && !makeableSince)
                makeableSince = ms;
            const TSimulatedPlayer& hitter = anyone();
            if (!makeable) {
                if (chance(0.05)) {
                    ms += 300;
                    add(EEventKind::Hit, hitter.Name, 0, true, "N");
                    add(EEventKind::Penalty, hitter.Name, 0, false, "wrong");
                    ++game.Wrong[hitter.Name];
                    game.Hands[hitter.Name] = std::max(0, game.Hands[hitter.Name] - 1);
                }
                continue;
            }
            if (!chance(0.6))
                continue;
            ms += 100 + static_cast<std::int64_t>(random() % 4000);
            add(EEventKind::Hit, hitter.Name, 0, true, "Y");
            if (chance(0.3))
                add(EEventKind::Hit, anyone().Name, 0, false, "Y");
            ms += 2000;
            if (chance(0.8)) {
                add(EEventKind::Answer, hitter.Name, 0, true, "(1+2)*3");
                add(EEventKind::Take, hitter.Name, field);
                ++game.Correct[hitter.Name];
                game.ReactionMs[hitter.Name].push_back(ms - 2000 - *makeableSince);
                game.Hands[hitter.Name] += field;
                taken = true;
            } else {
                const bool answered = chance(0.5);
                if (answered)
                    add(EEventKind::Answer, hitter.Name, 0, false, "1+1");
                add(EEventKind::Penalty, hitter.Name, 0, false, answered ? "answer" : "time");
                ++game.Wrong[hitter.Name];
                game.Hands[hitter.Name] = std::max(0, game.Hands[hitter.Name] - 1);
            }
        }
        if (!taken)
            add(EEventKind::Clear);
        if (chance(0.05)) {
            const TSimulatedPlayer& leaver = anyone();
            add(EEventKind::Leave, leaver.Name);
            add(EEventKind::Join, leaver.Name, 0);
            game.Hands[leaver.Name] = 0;
        }
    }
    record.End = start + std::chrono::milliseconds(ms + 1000);
    std::vector<int> cards;
    for (const TSimulatedPlayer& p : seated)
        cards.push_back(game.Hands[p.Name]);
    const std::vector<int> places = PlacesForCards(cards);
    for (std::size_t i = 0; i < seated.size(); ++i)
        record.Players.push_back({seated[i].Name, seated[i].Registered, seated[i].BotLevel, static_cast<int>(i),
                                  cards[i], places[i]});
    std::stable_sort(record.Players.begin(), record.Players.end(),
                     [](const TGamePlayer& a, const TGamePlayer& b) { return a.Place < b.Place; });
    return game;
}
