// The records of the kivolsrv program under faults: killed with SIGKILL at
// random moments while games finish fast, and a state directory whose disk
// is full. Players are scripted level-2 connections, each at a private table
// of its own beside two level-5 bots, stopping each game after a few dealt
// cards: real dealt games, as short as the game allows.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/mount.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <random>

#include "../game_server_fixture.h"
#include "program_start.h"
#include "dealer/dealer.h"
#include "protocol/command_text.h"
#include "protocol/command_words.h"
#include "protocol/padded_name.h"
#include "records/sqlite_connection.h"
#include "records/sqlite_record_store.h"
#include "records/standings.h"

using Protocol::PaddedName;

namespace server_test {

namespace {

// A player at a private table of its own: it starts a game, stops it after
// a random number of dealt cards (none to four), and starts the next once the
// end has come, until told to rest.
class TFastPlayer {
public:
    TFastPlayer(int port, std::string name, std::string table, std::mt19937& random)
        : peer_(port), name_(PaddedName(name)), table_(std::move(table)), random_(random)
    {
        peer_.SendPacket(Nul("/join " + name_) + "KIVOL/2 TABLE=" + table_ + " KEY=k");
        peer_.SendPacket(Nul("/take 0 " + name_));
        StartGame();
    }

    const std::string& Table() const { return table_; }
    int Finished() const { return finished_; }
    const std::string& Refusal() const { return refusal_; }
    // Starts no more games; Idle once the one running has ended.
    void Rest() { resting_ = true; }
    bool Idle() const { return resting_ && !running_; }

    // Takes what has come and answers it.
    void Pump()
    {
        static const std::string draw = "/draw " + Dealer::DealerName();
        static const std::string end = std::string(Protocol::Command::Game) + " end ";
        static const std::string refused = std::string(Protocol::Command::Game) + " refused";
        for (std::optional<std::string> packet; (packet = peer_.TryNextPacket());) {
            const std::string command = Protocol::CommandText(packet->data(), static_cast<int>(packet->size()));
            if (command.starts_with(draw) && --drawsLeft_ == 0)
                peer_.SendPacket(Nul("/deal " + name_ + " stop"));
            else if (command.starts_with(end)) {
                ++finished_;
                running_ = false;
                if (!resting_)
                    StartGame();
            } else if (command.starts_with(refused))
                refusal_ = command;
        }
    }

private:
    void StartGame()
    {
        peer_.SendPacket(Nul("/deal " + name_ + " start PACE=1 BOTS=2 LEVEL=5"));
        running_ = true;
        drawsLeft_ = static_cast<int>(random_() % 5);
        if (drawsLeft_ == 0)
            peer_.SendPacket(Nul("/deal " + name_ + " stop"));
    }

    LoopbackPeer peer_;
    std::string name_;
    std::string table_;
    std::mt19937& random_;
    int drawsLeft_ = 0;
    int finished_ = 0;
    bool resting_ = false;
    bool running_ = false;
    std::string refusal_;
};

class RecordsFaultsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        state = dir.filePath(QStringLiteral("state"));
        ASSERT_TRUE(QDir().mkpath(state));
    }

    void TearDown() override
    {
        if (server.state() != QProcess::NotRunning) {
            server.kill();
            server.waitForFinished(30000);
        }
    }

    void Start()
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            environment.remove(QString::fromLatin1(name));
        server.setProcessEnvironment(environment);
        ASSERT_EQ(StartListening(server, port,
                                 [&](int gamePort) {
                                     server.start(QStringLiteral(KIVOLSRV_PATH),
                                                  {QStringLiteral("--port"), QString::number(gamePort),
                                                   QStringLiteral("--web-port"), QStringLiteral("0"),
                                                   QStringLiteral("--state-dir"), state, QStringLiteral("--control"),
                                                   dir.filePath(QStringLiteral("control"))});
                                 }),
                  "");
    }

    void Kill()
    {
        server.kill();
        ASSERT_TRUE(server.waitForFinished(30000));
        output += server.readAllStandardOutput();
    }

    // Players at tables named prefix + number.
    void Seat(const std::string& prefix, int count)
    {
        players.clear();
        for (int i = 0; i < count; ++i) {
            char name[16];
            std::snprintf(name, sizeof name, "p%02d", i);
            players.push_back(std::make_unique<TFastPlayer>(port, name, prefix + name, random));
        }
    }

    int Finished() const
    {
        int finished = 0;
        for (const auto& player : players)
            finished += player->Finished();
        return finished;
    }

    void PumpPlayers()
    {
        for (const auto& player : players)
            player->Pump();
    }

    // Plays until the players have finished count games in all (bounded).
    bool PlayUntil(int count)
    {
        return WaitUntil(
            [&] {
                PumpPlayers();
                return Finished() >= count || server.state() == QProcess::NotRunning;
            },
            60000);
    }

    void PumpPlayersFor(int milliseconds)
    {
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < milliseconds) {
            PumpPlayers();
            QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        }
    }

    // Waits until the log holds text, the players playing on meanwhile.
    bool LogContains(const QByteArray& text)
    {
        return WaitUntil(
            [&] {
                PumpPlayers();
                output += server.readAllStandardOutput();
                return output.contains(text);
            },
            60000);
    }

    QString Database() const { return state + QStringLiteral("/kivol.db"); }

    std::int64_t GamesInDatabase() const
    {
        Records::TSqliteConnection db(QFile::encodeName(Database()).toStdString(), SQLITE_OPEN_READONLY);
        return db.IntegerOf("SELECT COUNT(*) FROM games");
    }

    QTemporaryDir dir;
    QString state;
    int port = FreeWildcardPort();
    QProcess server;
    QByteArray output;
    std::mt19937 random{std::random_device{}()};
    std::vector<std::unique_ptr<TFastPlayer>> players;
};

std::vector<Records::TStanding> RecordedStandings(const Records::TGameRecord& game)
{
    std::vector<Records::TStanding> standings;
    for (const Records::TGamePlayer& player : game.Players)
        standings.push_back({player.Name, player.Cards, player.Place});
    return standings;
}

// Every game in the database is whole: its players (one of them first), its
// events in time order from the first join, and a replay of the events that
// reaches the recorded standings. The file passes SQLite's own checks.
void ExpectSoundAndWhole(Records::TRecordStore& store, const QString& database)
{
    Records::TSqliteConnection db(QFile::encodeName(database).toStdString(), SQLITE_OPEN_READONLY);
    Records::TSqliteStatement integrity = db.Prepare("PRAGMA integrity_check");
    ASSERT_TRUE(integrity.Step());
    EXPECT_EQ(integrity.Bytes(0), "ok");
    EXPECT_EQ(db.IntegerOf("SELECT COUNT(*) FROM pragma_foreign_key_check"), 0);
    const std::int64_t last = db.IntegerOf("SELECT COALESCE(MAX(id), 0) FROM games");
    for (std::int64_t id = 1; id <= last; ++id) {
        const std::optional<Records::TGameRecord> game = store.Game(id);
        if (!game)
            continue;  // an id given to a game that was lost
        ASSERT_EQ(game->Players.size(), 3u) << "game " << id;
        EXPECT_EQ(game->Players[0].Place, 1) << "game " << id;
        ASSERT_FALSE(game->Events.empty()) << "game " << id;
        EXPECT_EQ(game->Events[0].Kind, Records::EEventKind::Join) << "game " << id;
        EXPECT_TRUE(std::is_sorted(game->Events.begin(), game->Events.end(),
                                   [](const auto& x, const auto& y) { return x.Ms < y.Ms; }))
            << "game " << id;
        EXPECT_EQ(Records::ReplayStandings(game->Events), RecordedStandings(*game)) << "game " << id;
    }
}

}  // namespace

// SIGKILL at a random moment among games finishing at 16 tables, several
// times, the server started again after each: the file stays sound, every
// game in it is whole, what the database held before a kill is still there
// after it, and of each table's games only those still queued for the writer
// at the kill are missing.
TEST_F(RecordsFaultsTest, AKillDuringABurstOfFinishedGamesLosesOnlyWhatWasNotWritten)
{
    constexpr int Tables = 16;
    constexpr int Kills = 5;
    int finishedInAll = 0;
    std::int64_t lostInAll = 0;
    for (int round = 0; round < Kills; ++round) {
        ASSERT_NO_FATAL_FAILURE(Start());
        const std::string prefix = "r" + std::to_string(round);
        Seat(prefix, Tables);
        const int killAt = 5 + static_cast<int>(random() % 40);
        ASSERT_TRUE(PlayUntil(killAt));
        ASSERT_EQ(server.state(), QProcess::Running);
        const std::int64_t before = GamesInDatabase();
        // Not a synchronisation: the kill lands at another moment of the writes each round.
        PumpPlayersFor(static_cast<int>(random() % 30));
        ASSERT_NO_FATAL_FAILURE(Kill());
        PumpPlayers();

        QString error;
        auto store = Records::OpenSqliteRecordStore(state, {}, error);
        ASSERT_TRUE(store) << error.toStdString();
        ASSERT_NO_FATAL_FAILURE(ExpectSoundAndWhole(*store, Database()));
        EXPECT_GE(GamesInDatabase(), before) << "a written game was undone";
        std::int64_t lost = 0;
        for (const auto& player : players) {
            EXPECT_EQ(player->Refusal(), "");
            Records::TGamesQuery query;
            query.Table = player->Table();
            query.Limit = 1000;
            const auto written = static_cast<int>(store->Games(query).size());
            // A game is queued before its end is sent: the last one may be kept unseen.
            EXPECT_LE(written, player->Finished() + 1) << player->Table();
            lost += std::max(0, player->Finished() - written);
        }
        std::printf("kill %d: %d games finished, %lld in the database before the kill, %lld lost\n", round + 1,
                    Finished(), static_cast<long long>(before), static_cast<long long>(lost));
        finishedInAll += Finished();
        lostInAll += lost;
    }
    ASSERT_NO_FATAL_FAILURE(Start());
    ASSERT_NO_FATAL_FAILURE(Kill());
    std::printf("%d kills, %d games finished, %lld written, %lld lost\n", Kills, finishedInAll,
                static_cast<long long>(GamesInDatabase()), static_cast<long long>(lostInAll));
}

// The state directory on a small tmpfs, filled up: games keep playing, the
// failed writes are logged and retried, and once there is room the queued
// games are all written. Needs the right to mount.
TEST_F(RecordsFaultsTest, AFullDiskKeepsGamesPlayingAndTheirRecordsComeOnceThereIsRoom)
{
    if (::mount("tmpfs", QFile::encodeName(state).constData(), "tmpfs", 0, "size=8m,mode=0700") != 0)
        GTEST_SKIP() << "cannot mount a tmpfs here (" << std::strerror(errno) << "); run as root to test a full disk";
    struct TUnmount {
        QString path;
        ~TUnmount() { ::umount2(QFile::encodeName(path).constData(), MNT_DETACH); }
    } unmount{state};
    ASSERT_NO_FATAL_FAILURE(Start());
    // What the disk has left goes into one file.
    const QString filler = state + QStringLiteral("/filler");
    {
        QFile file(filler);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        const QByteArray block(64 * 1024, 'x');
        while (file.write(block) == block.size() && file.flush()) {
        }
        const QByteArray byte(1, 'x');
        while (file.write(byte) == 1 && file.flush()) {
        }
    }
    Seat("full", 8);
    ASSERT_TRUE(LogContains("; trying again in")) << output.toStdString();
    const int whileFull = Finished();
    ASSERT_TRUE(PlayUntil(whileFull + 16)) << "games go on while the disk is full";
    ASSERT_EQ(server.state(), QProcess::Running);
    for (const auto& player : players)
        player->Rest();
    ASSERT_TRUE(WaitUntil(
        [&] {
            PumpPlayers();
            return server.state() != QProcess::Running ||
                   std::all_of(players.begin(), players.end(), [](const auto& player) { return player->Idle(); });
        },
        60000));
    const int finished = Finished();

    ASSERT_TRUE(QFile::remove(filler));
    ASSERT_TRUE(WaitUntil([&] { return GamesInDatabase() == finished; }, 60000))
        << GamesInDatabase() << " of " << finished << " games written";
    EXPECT_TRUE(LogContains(" written after ")) << output.toStdString();
    QString error;
    auto store = Records::OpenSqliteRecordStore(state, {}, error);
    ASSERT_TRUE(store) << error.toStdString();
    ASSERT_NO_FATAL_FAILURE(ExpectSoundAndWhole(*store, Database()));
    store.reset();
    ASSERT_NO_FATAL_FAILURE(Kill());
    std::printf("%d games finished while the disk was full, all %d written once it had room\n", finished - whileFull,
                finished);
}

}  // namespace server_test
