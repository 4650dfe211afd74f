#include <gtest/gtest.h>
#include <sqlite3.h>

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>
#include <atomic>
#include <random>

#include "records/record_json.h"
#include "records/sqlite_connection.h"
#include "record_store_support.h"
#include "simulated_games.h"

using namespace Records;

namespace {

QString OpenError(const QString& directory)
{
    QString error;
    EXPECT_FALSE(OpenSqliteRecordStore(directory, [](const AnsiString&) {}, error));
    return error;
}

void MakeDatabase(const QString& path, const char* sql)
{
    TSqliteConnection db(QFile::encodeName(path).toStdString(), SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
    db.Execute(sql);
}

std::int64_t IntegerIn(const QString& path, const char* sql)
{
    TSqliteConnection db(QFile::encodeName(path).toStdString(), SQLITE_OPEN_READONLY);
    return db.IntegerOf(sql);
}

TGameRecord SomeGame()
{
    std::mt19937 random(7);
    // 花子 and a table name that would break out of a page.
    TGameRecord game = SimulateGame(random, {{"\x89\xd4\x8e\x71", true, 0}, {"Taro", false, 0}, {"robo", false, 2}},
                                    TimeOfMilliseconds(1700000000123))
                           .Record;
    game.Table = "</script>\"\\\x01";
    return game;
}

}  // namespace

TEST(RecordStoreOpenTest, RefusesWhatItCannotUseAndNamesTheFileAndTheReason)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("kivol.db"));

    const QString missing = OpenError(dir.filePath(QStringLiteral("absent")));
    EXPECT_TRUE(missing.contains(QStringLiteral("absent/kivol.db: cannot be opened"))) << missing.toStdString();

    const QByteArray garbage = QByteArray("these are no records\n").repeated(300);
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(garbage);
    }
    const QString notDatabase = OpenError(dir.path());
    EXPECT_TRUE(notDatabase.startsWith(path + QStringLiteral(": cannot be opened")) &&
                notDatabase.contains(QStringLiteral("not a database")))
        << notDatabase.toStdString();
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), garbage);
    file.close();

    ASSERT_TRUE(QFile::remove(path));
    MakeDatabase(path, "CREATE TABLE later (x); PRAGMA user_version = 99");
    const QString newer = OpenError(dir.path());
    EXPECT_TRUE(newer.startsWith(path + QStringLiteral(": ")) && newer.contains(QStringLiteral("version 99, newer")))
        << newer.toStdString();
    EXPECT_EQ(IntegerIn(path, "PRAGMA user_version"), 99);

    // A file of version 0 that already holds a table of the schema: the
    // migration fails, and none of it stays.
    ASSERT_TRUE(QFile::remove(path));
    MakeDatabase(path, "CREATE TABLE names (x)");
    const QString migration = OpenError(dir.path());
    EXPECT_TRUE(migration.startsWith(path + QStringLiteral(": migrating the records from schema version 0 to 1 failed")) &&
                migration.contains(QStringLiteral("already exists")))
        << migration.toStdString();
    EXPECT_EQ(IntegerIn(path, "PRAGMA user_version"), 0);
    EXPECT_EQ(IntegerIn(path, "SELECT COUNT(*) FROM sqlite_schema WHERE name = 'games'"), 0);
}

TEST(RecordStoreTest, KeepsAGameWholeAndWritesItsJsonSafely)
{
    TStoreFixture f;
    f.Open();
    const TGameRecord game = SomeGame();
    const std::optional<std::int64_t> id = f.Store->AddGame(game);
    ASSERT_EQ(id, 1);
    EXPECT_EQ(f.Store->AddGame(game), 2);
    ASSERT_TRUE(f.WaitWritten(2));
    TGameRecord expected = game;
    expected.Id = 1;
    EXPECT_EQ(f.Store->Game(1), expected);
    EXPECT_EQ(f.Store->Game(3), std::nullopt);
    TSqliteConnection reader(QFile::encodeName(f.FilePath()).toStdString(), SQLITE_OPEN_READONLY);
    TSqliteStatement mode = reader.Prepare("PRAGMA journal_mode");
    ASSERT_TRUE(mode.Step());
    EXPECT_EQ(mode.Bytes(0), "wal");
    EXPECT_EQ(IntegerIn(f.FilePath(), "SELECT COUNT(*) FROM games WHERE end_reason IN ('deck', 'stop')"), 2);

    const std::string json = GameJson(*f.Store->Game(1), true);
    EXPECT_EQ(json.find("</script>"), std::string::npos);
    QJsonParseError parse;
    const QJsonObject object = QJsonDocument::fromJson(QByteArray::fromStdString(json), &parse).object();
    ASSERT_EQ(parse.error, QJsonParseError::NoError) << json;
    EXPECT_EQ(object.value(u"table").toString(), QStringLiteral("</script>\"\\\x01"));
    EXPECT_EQ(object.value(u"players").toArray().size(), 3);
    EXPECT_TRUE(json.find("\"name\":\"花子\"") != std::string::npos) << json;
    EXPECT_EQ(object.value(u"start").toString(), QStringLiteral("2023-11-14T22:13:20.123Z"));
    EXPECT_EQ(object.value(u"events").toArray().size(), static_cast<qsizetype>(game.Events.size()));

    // A second start finds the games and goes on numbering after them.
    f.Store.reset();
    f.Open();
    EXPECT_EQ(f.Store->AddGame(game), 3);
}

TEST(RecordStoreTest, NamesBelongToTheirKeyAsciiCaseAsideAndOnlyTheHashIsKept)
{
    TStoreFixture f;
    f.Open();
    const TRegistration taro = f.Store->Register("Taro");
    ASSERT_EQ(taro.Refusal, TRegistration::ERefusal::None);
    EXPECT_EQ(taro.Key.size(), 32u);
    EXPECT_EQ(taro.Key.find_first_not_of("0123456789abcdef"), std::string::npos);
    EXPECT_EQ(f.Store->Register("TARO").Refusal, TRegistration::ERefusal::Taken);
    EXPECT_EQ(f.Store->Register("").Refusal, TRegistration::ERefusal::BadName);
    EXPECT_EQ(f.Store->Register("ninechars").Refusal, TRegistration::ERefusal::BadName);
    // ア and ヂ differ only in a second byte that reads as an ASCII letter.
    EXPECT_EQ(f.Store->Register("\x83\x41").Refusal, TRegistration::ERefusal::None);
    EXPECT_EQ(f.Store->Register("\x83\x61").Refusal, TRegistration::ERefusal::None);

    auto checks = [&](const std::string& key) {
        EXPECT_EQ(f.Store->CheckName("taro    ", key), ENameCheck::KeyAccepted);
        EXPECT_EQ(f.Store->CheckName("tArO", key), ENameCheck::KeyAccepted);
        EXPECT_EQ(f.Store->CheckName("taro", ""), ENameCheck::KeyRefused);
        EXPECT_EQ(f.Store->CheckName("taro", std::string(32, '0')), ENameCheck::KeyRefused);
        EXPECT_EQ(f.Store->CheckName("hana", ""), ENameCheck::Unregistered);
    };
    checks(taro.Key);
    ASSERT_TRUE(f.WaitWritten(3));
    f.Store.reset();
    f.Open();
    checks(taro.Key);
    ASSERT_EQ(f.Store->Names().size(), 3u);
    QFile file(f.FilePath());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_FALSE(file.readAll().contains(QByteArray::fromStdString(taro.Key)));

    EXPECT_TRUE(f.Store->Release("TARO"));
    EXPECT_FALSE(f.Store->Release("taro"));
    EXPECT_EQ(f.Store->CheckName("taro", taro.Key), ENameCheck::Unregistered);
    const TRegistration again = f.Store->Register("taro");
    ASSERT_EQ(again.Refusal, TRegistration::ERefusal::None);
    EXPECT_EQ(f.Store->CheckName("Taro", taro.Key), ENameCheck::KeyRefused);
    EXPECT_EQ(f.Store->CheckName("Taro", again.Key), ENameCheck::KeyAccepted);
    EXPECT_FALSE(f.Store->SetUnranked("hana", true));
}

TEST(RecordStoreTest, AFailingWriteIsLoggedAndRetriedWhileNamesAreStillAnswered)
{
    TStoreFixture f;
    TSqliteStoreOptions options;
    options.BusyTimeout = std::chrono::milliseconds(20);
    options.Writer.FirstRetry = std::chrono::milliseconds(10);
    options.Writer.LastRetry = std::chrono::milliseconds(40);
    options.Writer.Capacity = 3;
    f.Open(options);
    // Another program holds the file's write lock: every write fails until it lets go.
    TSqliteConnection other(QFile::encodeName(f.FilePath()).toStdString(), SQLITE_OPEN_READWRITE);
    other.Execute("BEGIN IMMEDIATE");
    ASSERT_EQ(f.Store->AddGame(SomeGame()), 1);
    ASSERT_TRUE(QTest::qWaitFor([&] { return f.Store->Counts().FailedWrites >= 2; }, 20000));
    EXPECT_TRUE(f.LogContains("records: cannot write game 1 (database is locked); trying again in"));

    const TRegistration hana = f.Store->Register("hana");
    ASSERT_EQ(hana.Refusal, TRegistration::ERefusal::None);
    EXPECT_EQ(f.Store->CheckName("hana", hana.Key), ENameCheck::KeyAccepted);
    EXPECT_EQ(f.Store->AddGame(SomeGame()), 2);
    // The queue is full: a game is dropped and counted, a name is refused rather than half kept.
    EXPECT_EQ(f.Store->AddGame(SomeGame()), std::nullopt);
    EXPECT_EQ(f.Store->Register("jiro").Refusal, TRegistration::ERefusal::Busy);
    EXPECT_EQ(f.Store->CheckName("jiro", ""), ENameCheck::Unregistered);
    TStoreCounts counts = f.Store->Counts();
    EXPECT_EQ(counts.Queued, 3u);
    EXPECT_EQ(counts.Written, 0u);
    EXPECT_EQ(counts.Dropped, 1u);
    EXPECT_TRUE(f.LogContains("the write queue is full; game 3 is dropped"));

    other.Execute("ROLLBACK");
    ASSERT_TRUE(f.WaitWritten(3));
    EXPECT_TRUE(f.LogContains("records: game 1 written after"));
    EXPECT_TRUE(f.Store->Game(1) && f.Store->Game(2));
    EXPECT_EQ(f.Store->Counts().Queued, 0u);

    // Stopping while the file stays locked: what could not be written is said.
    other.Execute("BEGIN IMMEDIATE");
    f.Store->AddGame(SomeGame());
    f.Store.reset();
    EXPECT_TRUE(f.LogContains("records: stopping, 1 records could not be written and are lost"));
    other.Execute("ROLLBACK");
}

TEST(RecordStoreTest, BacksUpTheLiveDatabaseBehindTheQueuedWrites)
{
    TStoreFixture f;
    f.Open();
    for (int i = 0; i < 5; ++i)
        f.Store->AddGame(SomeGame());
    f.Store->Register("hana");
    const QString copy = f.Directory.filePath(QStringLiteral("copy.db"));
    std::atomic<bool> done = false;
    QString error = QStringLiteral("not called");
    std::mutex mutex;
    f.Store->Backup(copy, [&](const QString& e) {
        std::lock_guard lock(mutex);
        error = e;
        done = true;
    });
    ASSERT_TRUE(QTest::qWaitFor([&] { return done.load(); }, 20000));
    EXPECT_EQ(error, QString());
    EXPECT_EQ(IntegerIn(copy, "SELECT COUNT(*) FROM games"), 5);
    EXPECT_EQ(IntegerIn(copy, "SELECT COUNT(*) FROM names"), 1);
    TSqliteConnection check(QFile::encodeName(copy).toStdString(), SQLITE_OPEN_READONLY);
    TSqliteStatement integrity = check.Prepare("PRAGMA integrity_check");
    ASSERT_TRUE(integrity.Step());
    EXPECT_EQ(integrity.Bytes(0), "ok");

    done = false;
    f.Store->Backup(f.Directory.filePath(QStringLiteral("absent/copy.db")), [&](const QString& e) {
        std::lock_guard lock(mutex);
        error = e;
        done = true;
    });
    ASSERT_TRUE(QTest::qWaitFor([&] { return done.load(); }, 20000));
    {
        std::lock_guard lock(mutex);
        EXPECT_TRUE(error.contains(QStringLiteral("unable to open"))) << error.toStdString();
    }

    // A slip of the operator's that would replace the live file is refused at once.
    done = false;
    f.Store->Backup(f.Directory.path() + QStringLiteral("/./kivol.db-wal"), [&](const QString& e) {
        std::lock_guard lock(mutex);
        error = e;
        done = true;
    });
    EXPECT_TRUE(done);
    EXPECT_TRUE(error.endsWith(QStringLiteral("kivol.db-wal: is the live database itself"))) << error.toStdString();
    EXPECT_EQ(IntegerIn(f.FilePath(), "SELECT COUNT(*) FROM games"), 5);
}
