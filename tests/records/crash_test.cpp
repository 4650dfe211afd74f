#include <gtest/gtest.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QFile>
#include <QTest>
#include <random>

#include "records/sqlite_connection.h"
#include "record_store_support.h"
#include "simulated_games.h"

using namespace Records;

namespace {

// The same games in the same order for the writing child and the checking parent.
std::vector<TGameRecord> Burst(int count)
{
    std::mt19937 random(99);
    std::vector<TGameRecord> games;
    TTime start = TimeOfMilliseconds(1760000000000);
    for (int i = 0; i < count; ++i) {
        TGameRecord game = SimulateGame(random, {{"hana", true, 0}, {"jiro", false, 0}, {"robo", false, 4}}, start).Record;
        game.Id = i + 1;
        start = game.End;
        games.push_back(std::move(game));
    }
    return games;
}

std::int64_t GamesIn(const QString& path)
{
    try {
        TSqliteConnection db(QFile::encodeName(path).toStdString(), SQLITE_OPEN_READONLY);
        return db.IntegerOf("SELECT COUNT(*) FROM games");
    } catch (const ESqliteError&) {
        return 0;  // not made yet
    }
}

}  // namespace

// A writer killed at an arbitrary moment loses at most what it had not
// committed: every game in the file is whole, in order, and the file is sound.
TEST(RecordStoreCrashTest, AKillDuringABurstOfWritesLeavesWholeGamesAndASoundFile)
{
    const std::vector<TGameRecord> games = Burst(3000);
    std::mt19937 random(std::random_device{}());
    for (int round = 0; round < 3; ++round) {
        TStoreFixture f;
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            QString error;
            auto store = OpenSqliteRecordStore(f.Directory.path(), [](const AnsiString&) {}, error);
            for (std::size_t i = 0; store && i < games.size();)
                if (store->AddGame(games[i]))
                    ++i;
            ::pause();
            ::_exit(0);
        }
        const std::int64_t killAt = 20 + static_cast<std::int64_t>(random() % 400);
        const bool reached = QTest::qWaitFor([&] { return GamesIn(f.FilePath()) >= killAt; }, 60000);
        ::kill(child, SIGKILL);
        ::waitpid(child, nullptr, 0);
        ASSERT_TRUE(reached);

        f.Open();
        const std::int64_t kept = GamesIn(f.FilePath());
        EXPECT_GE(kept, killAt);
        for (std::int64_t id = 1; id <= kept; ++id)
            ASSERT_EQ(f.Store->Game(id), games[static_cast<std::size_t>(id - 1)]) << "game " << id;
        EXPECT_EQ(f.Store->AddGame(games[0]), kept + 1);
        f.Store.reset();
        TSqliteConnection db(QFile::encodeName(f.FilePath()).toStdString(), SQLITE_OPEN_READONLY);
        TSqliteStatement integrity = db.Prepare("PRAGMA integrity_check");
        ASSERT_TRUE(integrity.Step());
        EXPECT_EQ(integrity.Bytes(0), "ok");
        std::printf("killed after %lld games, %lld kept whole\n", static_cast<long long>(killAt),
                    static_cast<long long>(kept));
    }
}

// The file cannot grow (as on a full disk): the writes fail, are logged and
// retried, and go through once there is room again.
TEST(RecordStoreCrashTest, WritesThatCannotGrowTheFileAreRetriedUntilThereIsRoom)
{
    TStoreFixture f;
    TSqliteStoreOptions options;
    options.Writer.FirstRetry = std::chrono::milliseconds(10);
    options.Writer.LastRetry = std::chrono::milliseconds(40);
    f.Open(options);
    const std::vector<TGameRecord> games = Burst(40);
    f.Store->AddGame(games[0]);
    ASSERT_TRUE(f.WaitWritten(1));

    rlimit before{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &before), 0);
    const auto previous = ::signal(SIGXFSZ, SIG_IGN);
    rlimit small = before;
    small.rlim_cur = static_cast<rlim_t>(QFile(f.FilePath() + "-wal").size() + 4096);
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    for (std::size_t i = 1; i < games.size(); ++i)
        f.Store->AddGame(games[i]);
    const bool failed = QTest::qWaitFor([&] { return f.Store->Counts().FailedWrites >= 2; }, 20000);
    const std::uint64_t writtenWhileFull = f.Store->Counts().Written;
    ::setrlimit(RLIMIT_FSIZE, &before);
    ::signal(SIGXFSZ, previous);
    ASSERT_TRUE(failed);
    EXPECT_LT(writtenWhileFull, games.size());
    EXPECT_TRUE(f.LogContains("; trying again in"));

    ASSERT_TRUE(f.WaitWritten(games.size()));
    EXPECT_EQ(f.Store->Counts().Dropped, 0u);
    for (std::size_t i = 0; i < games.size(); ++i) {
        TGameRecord expected = games[i];
        ASSERT_EQ(f.Store->Game(static_cast<std::int64_t>(i) + 1), expected);
    }
}
