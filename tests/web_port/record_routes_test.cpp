// The records' JSON and NDJSON on the web port over real sockets: a season
// of one registered player against a computer player, read back by the
// leaderboard, the player's page, a game, and the games paged newest first;
// bad queries, unknown players and games, the security headers throughout.
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "records/sqlite_record_store.h"
#include "web_port_fixture.h"

namespace test {
namespace {

class RecordRoutes : public WebPortTest {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(storeDir.isValid());
        QString error;
        store = Records::OpenSqliteRecordStore(storeDir.path(), {}, error);
        ASSERT_TRUE(store) << error.toStdString();
        records = store.get();
    }

    // Games of ann, registered, against a level-3 computer player: ann wins every other one.
    void PlaySeason(int games)
    {
        ASSERT_EQ(store->Register("ann").Refusal, Records::TRegistration::ERefusal::None);
        const auto start = std::chrono::system_clock::now() - std::chrono::hours(1);
        for (int i = 0; i < games; ++i) {
            Records::TGameRecord game;
            game.Host = "ann";
            game.Start = start + std::chrono::minutes(i);
            game.End = game.Start + std::chrono::seconds(30);
            const bool wins = i % 2 == 0;
            game.Players = {{"ann", true, 0, 0, wins ? 10 : 2, wins ? 1 : 2},
                            {"cpu", false, 3, 1, wins ? 2 : 10, wins ? 2 : 1}};
            ASSERT_TRUE(store->AddGame(game));
        }
        ASSERT_TRUE(WaitUntil([&] { return store->Counts().Written == static_cast<std::uint64_t>(games) + 1; }));
    }

    // A 200 JSON answer with the headers every answer carries.
    HttpResponse Expect200(const std::string& path, const std::string& type)
    {
        HttpResponse response = Get(path);
        EXPECT_EQ(response.status, 200) << path;
        EXPECT_EQ(response.headers["content-type"], type) << path;
        EXPECT_EQ(response.headers["content-security-policy"], "default-src 'self'");
        EXPECT_EQ(response.headers["x-content-type-options"], "nosniff");
        return response;
    }

    static QJsonObject Object(const std::string& body)
    {
        return QJsonDocument::fromJson(QByteArray::fromStdString(body)).object();
    }

    QTemporaryDir storeDir;
    std::unique_ptr<Records::TRecordStore> store;
};

TEST_F(RecordRoutes, APlayersSeasonReadsBackFromEveryRoute)
{
    constexpr int Games = 30;
    PlaySeason(Games);
    StartPort();

    const QJsonArray leaders = Object(Expect200("/api/leaderboard", "application/json").body)["players"].toArray();
    ASSERT_EQ(leaders.size(), 1) << "thirty games against a fixed opponent make a rating that is not provisional";
    EXPECT_EQ(leaders[0]["rank"].toInt(), 1);
    EXPECT_EQ(leaders[0]["name"].toString(), QStringLiteral("ann"));
    EXPECT_EQ(leaders[0]["games"].toInt(), Games);
    EXPECT_EQ(leaders[0]["wins"].toInt(), Games / 2);
    EXPECT_LT(leaders[0]["rd"].toDouble(), 110);
    EXPECT_EQ(Object(Expect200("/api/leaderboard?offset=1", "application/json").body)["players"].toArray().size(), 0);

    const QJsonObject ann = Object(Expect200("/api/players/ANN", "application/json").body);
    EXPECT_EQ(ann["name"].toString(), QStringLiteral("ann"));
    EXPECT_TRUE(ann["registered"].toBool());
    EXPECT_EQ(ann["statistics"]["games"].toInt(), Games);
    EXPECT_EQ(ann["statistics"]["places"].toArray(), (QJsonArray{Games / 2, Games / 2}));

    const QJsonObject game = Object(Expect200("/api/games/3", "application/json").body);
    EXPECT_EQ(game["id"].toInt(), 3);
    EXPECT_EQ(game["players"].toArray().size(), 2);
    EXPECT_TRUE(game["events"].isArray());

    // Paged newest first: a page, then the page before its last game.
    const auto ids = [&](const std::string& path) {
        std::vector<int> list;
        const QByteArray body = QByteArray::fromStdString(Expect200(path, "application/x-ndjson").body);
        for (const QByteArray& line : body.split('\n'))
            if (!line.isEmpty())
                list.push_back(QJsonDocument::fromJson(line).object()["id"].toInt());
        return list;
    };
    EXPECT_EQ(ids("/api/games?player=ann&limit=3"), (std::vector<int>{30, 29, 28}));
    EXPECT_EQ(ids("/api/games?player=ann&limit=3&before=28"), (std::vector<int>{27, 26, 25}));
    EXPECT_EQ(ids("/api/games?limit=2"), (std::vector<int>{30, 29}));
    EXPECT_EQ(ids("/api/games?player=bob"), std::vector<int>{});

    for (const std::string page : {"/leaderboard", "/p/ann", "/g/3"})
        EXPECT_EQ(Expect200(page, "text/html; charset=utf-8").body, "<!doctype html><title>Kivol</title>") << page;
    for (const std::string path : {"/api/players/%E5%A4%AA%E9%83%8E", "/api/players/", "/api/games/31",
                                   "/api/games/x", "/api/games/0", "/api/players/ann/x", "/p/"})
        EXPECT_EQ(Get(path).status, 404) << path;
    for (const std::string path : {"/api/leaderboard?limit=0", "/api/leaderboard?limit=101",
                                   "/api/leaderboard?offset=x", "/api/games?limit=1001", "/api/games?before=-1"})
        EXPECT_EQ(Get(path).status, 400) << path;
    EXPECT_EQ(Get("/api/leaderboard", "POST").status, 405);
}

// A server that keeps no records has none of these paths.
TEST_F(RecordRoutes, WithoutRecordsThePathsDoNotExist)
{
    records = nullptr;
    StartPort();
    for (const std::string path : {"/api/leaderboard", "/api/players/ann", "/api/games/1", "/api/games"})
        EXPECT_EQ(Get(path).status, 404) << path;
}

}  // namespace
}  // namespace test
