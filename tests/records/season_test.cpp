#include <gtest/gtest.h>
#include <sqlite3.h>

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <map>
#include <random>

#include "protocol/player_name.h"
#include "records/record_json.h"
#include "records/sqlite_connection.h"
#include "records/standings.h"
#include "record_store_support.h"
#include "simulated_games.h"

using namespace Records;

namespace {

constexpr std::int64_t DayMs = 24LL * 60 * 60 * 1000;

struct TKept {
    Glicko2::TRating Rating;
    std::int64_t LastMs = 0;
};

// The ratings a season should leave, worked out game by game from the
// records as they were added.
std::map<AnsiString, TKept> ExpectedRatings(const std::vector<TGameRecord>& games)
{
    std::map<AnsiString, TKept> kept;
    for (const TGameRecord& game : games) {
        struct TEntrant {
            AnsiString Key;
            int Place;
            bool Rated;
            Glicko2::TRating Before;
        };
        std::vector<TEntrant> entrants;
        for (const TGamePlayer& p : game.Players) {
            const AnsiString key = Protocol::PlayerNameKey(p.Name);
            if (p.IsBot()) {
                entrants.push_back({key, p.Place, false, Glicko2::BotRating(p.BotLevel)});
            } else if (p.Registered) {
                Glicko2::TRating before;
                if (kept.contains(key))
                    before = Glicko2::AfterIdlePeriods(kept[key].Rating,
                                                       (MillisecondsOf(game.Start) - kept[key].LastMs) / DayMs);
                entrants.push_back({key, p.Place, true, before});
            }
        }
        for (const TEntrant& e : entrants) {
            std::vector<Glicko2::TResult> results;
            for (const TEntrant& other : entrants)
                if (other.Key != e.Key)
                    results.push_back({other.Before, e.Place < other.Place ? 1.0 : e.Place == other.Place ? 0.5 : 0.0});
            if (e.Rated && !results.empty())
                kept[e.Key] = {Glicko2::Update(e.Before, results), MillisecondsOf(game.End)};
        }
    }
    return kept;
}

class SeasonTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        f.Open();
        std::mt19937 random(2026);
        for (const char* name : {"Taro", "hana", "jiro", "saburo", "\x89\xd4\x8e\x71", "kei", "mai", "ren"}) {
            pool.push_back({name, true, 0});
            ASSERT_EQ(f.Store->Register(name).Refusal, TRegistration::ERefusal::None);
        }
        for (const char* guest : {"guest1", "guest2"})
            pool.push_back({guest, false, 0});
        TTime start = TimeOfMilliseconds(1750000000000);
        for (int i = 0; i < 400; ++i) {
            std::vector<TSimulatedPlayer> seated = pool;
            std::shuffle(seated.begin(), seated.end(), random);
            seated.resize(1 + random() % 4);
            for (int bots = static_cast<int>(random() % 3); bots > 0; --bots)
                seated.push_back({"robo" + std::to_string(bots), false, 1 + static_cast<int>(random() % 5)});
            // Most games follow within hours, some after days away.
            start += std::chrono::minutes(random() % 10 ? random() % 600 : 1440 * (1 + random() % 5));
            TSimulatedGame game = SimulateGame(random, seated, start);
            const std::optional<std::int64_t> id = f.Store->AddGame(game.Record);
            ASSERT_TRUE(id);
            game.Record.Id = *id;
            start = game.Record.End;
            games.push_back(std::move(game));
        }
        end = start + std::chrono::hours(1);
        ASSERT_TRUE(f.WaitWritten(pool.size() - 2 + games.size()));
    }

    std::vector<TGameRecord> Records() const
    {
        std::vector<TGameRecord> records;
        for (const TSimulatedGame& g : games)
            records.push_back(g.Record);
        return records;
    }

    TStoreFixture f;
    std::vector<TSimulatedPlayer> pool;
    std::vector<TSimulatedGame> games;
    TTime end;
};

}  // namespace

TEST_F(SeasonTest, TheLeaderboardRanksTheSettledRatingsOfTheSeason)
{
    const std::map<AnsiString, TKept> expected = ExpectedRatings(Records());
    std::vector<std::pair<double, AnsiString>> settled;
    for (const auto& [key, kept] : expected) {
        const Glicko2::TRating now =
            Glicko2::AfterIdlePeriods(kept.Rating, (MillisecondsOf(end) - kept.LastMs) / DayMs);
        if (!Glicko2::IsProvisional(now))
            settled.push_back({now.Rating, key});
    }
    std::sort(settled.rbegin(), settled.rend());
    ASSERT_GE(settled.size(), 4u);
    const std::vector<TLeaderboardRow> board = f.Store->Leaderboard(end, 0, 100);
    ASSERT_EQ(board.size(), settled.size());
    for (std::size_t i = 0; i < board.size(); ++i) {
        EXPECT_EQ(board[i].Rank, static_cast<int>(i) + 1);
        EXPECT_EQ(Protocol::PlayerNameKey(board[i].Name), settled[i].second);
        EXPECT_NEAR(board[i].Rating.Rating, settled[i].first, 1e-6);
        const auto played = std::count_if(games.begin(), games.end(), [&](const TSimulatedGame& g) {
            return g.Hands.contains(board[i].Name);
        });
        EXPECT_EQ(board[i].Games, played);
    }
    const std::vector<TLeaderboardRow> page = f.Store->Leaderboard(end, 1, 2);
    ASSERT_EQ(page.size(), 2u);
    EXPECT_EQ(page[0].Name, board[1].Name);
    EXPECT_EQ(page[1].Rank, 3);

    const AnsiString top = board[0].Name;
    ASSERT_TRUE(f.Store->SetUnranked(top, true));
    ASSERT_TRUE(f.WaitWritten(pool.size() - 2 + games.size() + 1));
    EXPECT_EQ(f.Store->Leaderboard(end, 0, 100).front().Name, board[1].Name);
    ASSERT_TRUE(f.Store->SetUnranked(top, false));
    ASSERT_TRUE(f.WaitWritten(pool.size() - 2 + games.size() + 2));
    EXPECT_EQ(f.Store->Leaderboard(end, 0, 100).front().Name, top);

    // A released name loses its rating with it; its games stay.
    ASSERT_TRUE(f.Store->Release(top));
    ASSERT_TRUE(f.WaitWritten(pool.size() - 2 + games.size() + 3));
    EXPECT_EQ(f.Store->Leaderboard(end, 0, 100).front().Name, board[1].Name);
    const std::optional<TPlayerPage> released = f.Store->Player(top, end, 5);
    ASSERT_TRUE(released);
    EXPECT_FALSE(released->Registered || released->Rating || !released->History.empty());
    EXPECT_EQ(released->Statistics.Games, board[0].Games);

    // A season later everyone's deviation has grown past the provisional mark.
    EXPECT_TRUE(f.Store->Leaderboard(end + std::chrono::hours(24 * 365), 0, 100).empty());
}

TEST_F(SeasonTest, APlayersNumbersAreACountOverTheRecordedGames)
{
    for (const TSimulatedPlayer& player : pool) {
        TPlayerStatistics counted;
        std::vector<std::int64_t> reactions;
        std::vector<std::int64_t> ids;
        for (const TSimulatedGame& g : games) {
            if (!g.Hands.contains(player.Name))
                continue;
            ids.push_back(g.Record.Id);
            ++counted.Games;
            counted.Cards += g.Hands.at(player.Name);
            counted.CorrectHits += g.Correct.contains(player.Name) ? g.Correct.at(player.Name) : 0;
            counted.WrongHits += g.Wrong.contains(player.Name) ? g.Wrong.at(player.Name) : 0;
            if (g.ReactionMs.contains(player.Name))
                reactions.insert(reactions.end(), g.ReactionMs.at(player.Name).begin(), g.ReactionMs.at(player.Name).end());
            const auto p = std::find_if(g.Record.Players.begin(), g.Record.Players.end(),
                                        [&](const TGamePlayer& gp) { return gp.Name == player.Name; });
            if (counted.Places.size() < static_cast<std::size_t>(p->Place))
                counted.Places.resize(static_cast<std::size_t>(p->Place));
            ++counted.Places[static_cast<std::size_t>(p->Place) - 1];
        }
        std::sort(reactions.begin(), reactions.end());
        const std::optional<TPlayerPage> page = f.Store->Player(player.Name, end, 5);
        ASSERT_TRUE(page) << player.Name;
        const TPlayerStatistics& s = page->Statistics;
        EXPECT_EQ(s.Games, counted.Games);
        EXPECT_EQ(s.Places, counted.Places);
        EXPECT_EQ(s.Cards, counted.Cards);
        EXPECT_EQ(s.CorrectHits, counted.CorrectHits);
        EXPECT_EQ(s.WrongHits, counted.WrongHits);
        ASSERT_FALSE(reactions.empty());
        EXPECT_EQ(s.BestReactionMs, reactions.front());
        const std::size_t m = reactions.size() / 2;
        EXPECT_EQ(s.MedianReactionMs, reactions.size() % 2 ? reactions[m] : (reactions[m - 1] + reactions[m]) / 2);
        EXPECT_EQ(page->Registered, player.Registered);
        EXPECT_EQ(page->Rating.has_value(), player.Registered);
        // Rated in every game with a registered player or a bot beside it; guests do not count.
        const auto rated = std::count_if(games.begin(), games.end(), [&](const TSimulatedGame& g) {
            return player.Registered && g.Hands.contains(player.Name) &&
                   std::any_of(g.Record.Players.begin(), g.Record.Players.end(), [&](const TGamePlayer& other) {
                       return other.Name != player.Name && (other.Registered || other.IsBot());
                   });
        });
        EXPECT_EQ(page->History.size(), static_cast<std::size_t>(rated));

        // The games of the name, newest first, page by page as the export reads them.
        std::vector<std::int64_t> paged;
        TGamesQuery query{player.Name, std::nullopt, std::nullopt, 7};
        for (;;) {
            const std::vector<TGameRecord> some = f.Store->Games(query);
            if (some.empty())
                break;
            for (const TGameRecord& g : some)
                paged.push_back(g.Id);
            query.Before = some.back().Id;
        }
        std::reverse(paged.begin(), paged.end());
        EXPECT_EQ(paged, ids);

        const QJsonObject json = QJsonDocument::fromJson(QByteArray::fromStdString(PlayerJson(*page))).object();
        EXPECT_EQ(json.value(u"statistics").toObject().value(u"games").toInt(), counted.Games);
    }
    EXPECT_FALSE(f.Store->Player("robo1", end, 5)) << "bots have no page";
    EXPECT_FALSE(f.Store->Player("nobody", end, 5));
}

TEST_F(SeasonTest, EveryRecordedGameReplaysToItsStandingsAndTheFileIsWhole)
{
    for (const TSimulatedGame& g : games) {
        const std::optional<TGameRecord> read = f.Store->Game(g.Record.Id);
        ASSERT_TRUE(read);
        ASSERT_EQ(*read, g.Record);
        std::vector<TStanding> standings;
        for (const TGamePlayer& p : read->Players)
            standings.push_back({p.Name, p.Cards, p.Place});
        ASSERT_EQ(ReplayStandings(read->Events), standings) << "game " << g.Record.Id;
    }
    const std::string lines = GamesNdjson(f.Store->Games({std::nullopt, std::nullopt, std::nullopt, 1000}), false);
    EXPECT_EQ(std::count(lines.begin(), lines.end(), '\n'), static_cast<long>(games.size()));
    f.Store.reset();
    TSqliteConnection db(QFile::encodeName(f.FilePath()).toStdString(), SQLITE_OPEN_READONLY);
    TSqliteStatement integrity = db.Prepare("PRAGMA integrity_check");
    ASSERT_TRUE(integrity.Step());
    EXPECT_EQ(integrity.Bytes(0), "ok");
    EXPECT_FALSE(db.Prepare("PRAGMA foreign_key_check").Step());
}
