// The kivolsrv program stopped with SIGTERM and started again: the tables
// come back from the state directory card for card, level-2 players resume
// with their tokens, a dealt game goes on and is recorded whole, a broken or
// interrupted save never blocks a start, and a second server on the same
// state directory is refused.

#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <cstdio>
#include <functional>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>

#include "../game_server_fixture.h"
#include "program_start.h"
#include "client/table_model.h"
#include "dealer/dealer.h"
#include "protocol/command_text.h"
#include "protocol/command_words.h"
#include "protocol/level2.h"
#include "records/sqlite_record_store.h"
#include "records/standings.h"
#include "table/session_token.h"
#include "server/table_store.h"

using Protocol::PaddedName;

namespace server_test {

namespace {

// A player or watcher over TCP: every command it received applied to its
// table model, as the client's window applies them, and the commands of its
// latest sync block.
struct Client {
    std::unique_ptr<LoopbackPeer> peer;
    std::string token;
    TTableModel model;
    std::vector<std::string> syncBlock;
    std::vector<std::string> seen;
    bool inSync = false;

    bool ReadUntil(std::string_view text)
    {
        return ReadUntilMatch([text](const std::string& command) { return command == text; });
    }

    // Reads until count commands that start with prefix have come since the call.
    bool ReadUntilCount(std::string_view prefix, int count)
    {
        return ReadUntilMatch([&](const std::string& command) { return command.starts_with(prefix) && --count == 0; });
    }

    bool ReadUntilMatch(const std::function<bool(const std::string&)>& found)
    {
        for (std::optional<std::string> packet; (packet = peer->NextPacket());) {
            const std::string command = Protocol::CommandText(packet->data(), static_cast<int>(packet->size()));
            if (command.starts_with(Protocol::Level2::StateBegin)) {
                token = command.substr(Protocol::Level2::StateBegin.size() + 1, Protocol::Level2::TokenLength);
                syncBlock.clear();
                model = TTableModel();
                inSync = true;
            } else if (command == Protocol::Level2::StateEnd) {
                inSync = false;
            } else if (inSync) {
                syncBlock.push_back(command);
            }
            model.Apply(command);
            seen.push_back(command);
            if (found(command))
                return true;
        }
        return false;
    }
};

class RestartProgramTest : public ::testing::Test {
protected:
    // Starts a server over the test's state directory on gamePort.
    void Launch(QProcess& process, int gamePort)
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            environment.remove(QString::fromLatin1(name));
        environment.insert(QStringLiteral("STATE_DIRECTORY"), state.path());
        process.setProcessEnvironment(environment);
        process.start(QStringLiteral(KIVOLSRV_PATH), {QStringLiteral("--port"), QString::number(gamePort),
                                                      QStringLiteral("--web-port"), QStringLiteral("0")});
    }

    void Start()
    {
        ASSERT_EQ(StartListening(server, port, [&](int gamePort) { Launch(server, gamePort); }), "");
    }

    // SIGTERM, and the program's own end with 0.
    void Stop()
    {
        server.terminate();
        ASSERT_TRUE(server.waitForFinished(30000));
        output += server.readAllStandardOutput();
        EXPECT_EQ(server.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(server.exitCode(), 0) << server.readAllStandardError().toStdString();
    }

    // Joins with "KIVOL/2" and fields, reading through the sync block.
    Client Join(std::string_view name, std::string_view fields)
    {
        Client client{std::make_unique<LoopbackPeer>(port), {}, {}, {}, {}};
        std::string join = Nul("/join " + PaddedName(name)) + "KIVOL/2";
        if (!fields.empty())
            join += " " + std::string(fields);
        EXPECT_TRUE(client.peer->SendPacket(join));
        EXPECT_TRUE(client.ReadUntil(Protocol::Level2::StateEnd));
        return client;
    }

    // Sends each command and waits until the sender has seen its own chat line after it,
    // so that the server took them in order.
    void Play(Client& sender, std::string_view name, const std::vector<std::string>& commands)
    {
        for (const std::string& command : commands) {
            const std::string step = PaddedName(name) + ": after " + command;
            ASSERT_TRUE(sender.peer->SendPacket(Nul(command)));
            ASSERT_TRUE(sender.peer->SendPacket(Nul(step)));
            ASSERT_TRUE(sender.ReadUntil(step)) << command;
        }
    }

    QString TablesPath() const { return TablesFilePath(state.path()); }

    QByteArray ReadAll(const QString& path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    bool LogContains(const QByteArray& text)
    {
        return WaitUntil([&] {
            output += server.readAllStandardOutput();
            return output.contains(text);
        });
    }

    QTemporaryDir state;
    int port = FreeWildcardPort();
    QProcess server;
    QByteArray output;
};

}  // namespace

// Two tables, one private, with cards in hands and on the field, seats, a
// target and an away player: after a restart each level-2 player resumes
// and rebuilds the table it left, card for card, and the deck continues.
TEST_F(RestartProgramTest, PlayersResumeAtBothTablesAsTheyWereAndTheDeckContinues)
{
    ASSERT_NO_FATAL_FAILURE(Start());
    const std::string A = PaddedName("AA"), B = PaddedName("BB"), C = PaddedName("CC");
    Client a = Join("AA", "");
    ASSERT_NO_FATAL_FAILURE(Play(a, "AA", {"/init", "/take 0 " + A, "/draw " + A, "/draw " + A, "/B2T 0 " + A,
                                            "/draw " + A, "/set " + A + " 37"}));
    Client b = Join("BB", "TABLE=Den KEY=s3cret");
    Client c = Join("CC", "TABLE=Den KEY=s3cret");
    ASSERT_NO_FATAL_FAILURE(Play(b, "BB", {"/init", "/take 2 " + B, "/draw " + B, "/B2T 2 " + B, "/draw " + B,
                                            "/draw " + B, "/B2T 2 " + B, "/draw " + B}));
    ASSERT_NO_FATAL_FAILURE(Play(c, "CC", {"/take 5 " + C, "/draw " + C, "/B2T 5 " + C}));
    c.peer.reset();
    ASSERT_TRUE(b.ReadUntil("/away " + C));
    // What a newcomer would be shown at each table, hand cards included.
    Client mainWatcher = Join("W1", "WATCH");
    Client denWatcher = Join("W2", "TABLE=Den KEY=s3cret WATCH");
    const TTableState mainBefore = a.model.Table(), denBefore = b.model.Table();
    ASSERT_EQ(mainWatcher.model.Table(), mainBefore);
    ASSERT_EQ(denBefore.Hands[5], 1);

    ASSERT_NO_FATAL_FAILURE(Stop());
    const QByteArray saved = ReadAll(TablesPath());
    for (const std::string& token : {a.token, b.token, c.token}) {
        EXPECT_FALSE(saved.contains(QByteArray::fromStdString(token))) << "a token was saved";
        EXPECT_TRUE(saved.contains(QByteArray::fromStdString(SessionTokenHash(token))));
    }
    std::vector<TSavedTable> tables;
    ASSERT_EQ(ReadTablesFile(saved, tables), QString());
    ASSERT_EQ(tables.size(), 2u);
    EXPECT_FALSE(saved.contains("W1")) << "watchers are not kept";

    ASSERT_NO_FATAL_FAILURE(Start());
    ASSERT_TRUE(LogContains("2 tables with 3 players restored"));
    EXPECT_FALSE(QFile::exists(TablesPath()));
    a.peer = std::make_unique<LoopbackPeer>(port);
    ASSERT_TRUE(a.peer->SendPacket(Nul("/join " + A) + "KIVOL/2 RESUME=" + a.token));
    ASSERT_TRUE(a.ReadUntil(Protocol::Level2::StateEnd));
    b.peer = std::make_unique<LoopbackPeer>(port);
    ASSERT_TRUE(b.peer->SendPacket(Nul("/join " + B) + "KIVOL/2 TABLE=Den KEY=s3cret RESUME=" + b.token));
    ASSERT_TRUE(b.ReadUntil(Protocol::Level2::StateEnd));
    EXPECT_EQ(a.model.Table(), mainBefore);
    EXPECT_EQ(b.model.Table(), denBefore);
    ASSERT_EQ(denWatcher.syncBlock.size(), 1u + 2u + 2u * 3u + 2u) << "init, seats, hand cards, field";
    EXPECT_EQ(a.syncBlock, mainWatcher.syncBlock);
    EXPECT_EQ(b.syncBlock, denWatcher.syncBlock);
    ASSERT_TRUE(b.ReadUntil("/away " + C)) << "the player who had dropped is still away";

    // The next draws give the saved deck's top cards, in order.
    const std::vector<int>& deck = tables[0].Deck;
    for (std::size_t i = 1; i <= 3; ++i) {
        char expected[3];
        std::snprintf(expected, sizeof expected, "%02d", deck[deck.size() - i]);
        ASSERT_TRUE(a.peer->SendPacket(Nul("/draw " + A)));
        ASSERT_TRUE(a.ReadUntil("/draw " + A + " " + expected));
    }
    server.terminate();
    server.waitForFinished(30000);
}

// A truncated file is set aside under a new name and the server starts empty.
TEST_F(RestartProgramTest, AnUnreadableFileIsSetAsideAndTheServerStartsEmpty)
{
    ASSERT_NO_FATAL_FAILURE(Start());
    Client a = Join("AA", "TABLE=Den");
    ASSERT_NO_FATAL_FAILURE(Stop());
    const QByteArray whole = ReadAll(TablesPath());
    ASSERT_FALSE(whole.isEmpty());
    QFile file(TablesPath());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(whole.left(whole.size() / 2));
    file.close();

    ASSERT_NO_FATAL_FAILURE(Start());
    EXPECT_TRUE(LogContains("cannot be read"));
    EXPECT_FALSE(QFile::exists(TablesPath()));
    const QStringList aside = QDir(state.path()).entryList({QStringLiteral("tables.json.unreadable-*")});
    ASSERT_EQ(aside.size(), 1);
    EXPECT_EQ(ReadAll(QDir(state.path()).filePath(aside[0])), whole.left(whole.size() / 2));
    Client b = Join("BB", "TABLE=Den");
    EXPECT_EQ(std::count(b.seen.begin(), b.seen.end(), "/list " + ("\"" + PaddedName("BB") + "\"")), 1)
        << "the table was made afresh";
    ASSERT_NO_FATAL_FAILURE(Stop());
}

// Killed at any moment of its save, the server leaves either no file or a
// whole one that the next start reads.
TEST_F(RestartProgramTest, AKillDuringTheSaveLeavesNoFileOrAWholeOne)
{
    for (int round = 0; round < 4; ++round) {
        ASSERT_NO_FATAL_FAILURE(Start());
        Client a = Join("AA", "TABLE=Den");
        ASSERT_TRUE(::kill(static_cast<pid_t>(server.processId()), SIGTERM) == 0);
        // Not a synchronisation: each round kills the save at another moment.
        QTest::qSleep(round * 2);
        server.kill();
        ASSERT_TRUE(server.waitForFinished(30000));
        if (QFile::exists(TablesPath())) {
            std::vector<TSavedTable> tables;
            EXPECT_EQ(ReadTablesFile(ReadAll(TablesPath()), tables), QString()) << "round " << round;
        }
    }
}

// A dealt game running at a restart goes on after it and, at its end, is
// recorded whole: the events from before the restart and after it, in
// order, replaying to the recorded standings.
TEST_F(RestartProgramTest, AGameRunningAtARestartIsRecordedWholeAtItsEnd)
{
    ASSERT_NO_FATAL_FAILURE(Start());
    const std::string A = PaddedName("AA");
    Client a = Join("AA", "TABLE=Den KEY=s3cret");
    ASSERT_NO_FATAL_FAILURE(Play(a, "AA", {"/take 0 " + A, "/deal " + A + " start PACE=1 BOTS=1 LEVEL=5"}));
    const std::string draw = "/draw " + Dealer::DealerName();
    ASSERT_TRUE(a.ReadUntilCount(draw, 2));
    ASSERT_NO_FATAL_FAILURE(Stop());

    ASSERT_NO_FATAL_FAILURE(Start());
    a.peer = std::make_unique<LoopbackPeer>(port);
    ASSERT_TRUE(a.peer->SendPacket(Nul("/join " + A) + "KIVOL/2 TABLE=Den KEY=s3cret RESUME=" + a.token));
    ASSERT_TRUE(a.ReadUntil(Protocol::Level2::StateEnd));
    ASSERT_TRUE(a.ReadUntilCount(draw, 2)) << "the game goes on";
    ASSERT_TRUE(a.peer->SendPacket(Nul("/deal " + A + " stop")));
    ASSERT_TRUE(a.ReadUntil(std::string(Protocol::Command::Game) + " end stop"));
    ASSERT_NO_FATAL_FAILURE(Stop());

    QString error;
    auto store = Records::OpenSqliteRecordStore(state.path(), {}, error);
    ASSERT_TRUE(store) << error.toStdString();
    const std::optional<Records::TGameRecord> game = store->Game(1);
    ASSERT_TRUE(game);
    EXPECT_FALSE(store->Game(2));
    EXPECT_EQ(game->Table, "Den");
    EXPECT_EQ(game->EndReason, Records::EGameEnd::Stop);
    const auto deals = std::count_if(game->Events.begin(), game->Events.end(),
                                     [](const Records::TGameEvent& e) { return e.Kind == Records::EEventKind::Deal; });
    EXPECT_GE(deals, 4) << "two deals before the restart and two after";
    EXPECT_TRUE(std::is_sorted(game->Events.begin(), game->Events.end(),
                               [](const Records::TGameEvent& x, const Records::TGameEvent& y) { return x.Ms < y.Ms; }));
    std::vector<Records::TStanding> recorded;
    for (const Records::TGamePlayer& player : game->Players)
        recorded.push_back({player.Name, player.Cards, player.Place});
    EXPECT_EQ(Records::ReplayStandings(game->Events), recorded);
    ASSERT_EQ(game->Players.size(), 2u);
}

// A second server on a state directory in use ends at once with exit status
// 1, naming the directory; the first serves on. Once the first has ended the
// directory is free again (the restart above depends on it).
TEST_F(RestartProgramTest, ASecondServerOnTheSameStateDirectoryIsRefused)
{
    ASSERT_NO_FATAL_FAILURE(Start());
    QProcess second;
    Launch(second, FreeWildcardPort());
    ASSERT_TRUE(second.waitForFinished(30000));
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 1);
    const QByteArray error = second.readAllStandardError();
    EXPECT_TRUE(error.contains(QFile::encodeName(state.path()))) << error.toStdString();
    EXPECT_TRUE(error.contains("another kivolsrv uses this state directory")) << error.toStdString();
    EXPECT_FALSE(Join("AA", "").token.empty()) << "the first server serves on";

    server.kill();
    ASSERT_TRUE(server.waitForFinished(30000));
    ASSERT_NO_FATAL_FAILURE(Start()) << "a killed server leaves the directory free";
    ASSERT_NO_FATAL_FAILURE(Stop());
}

}  // namespace server_test
