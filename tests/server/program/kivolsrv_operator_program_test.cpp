// The operator's tools of the kivolsrv program: bans kept across a restart,
// a broken bans file stopping the start, the metrics as Prometheus reads
// them, and a shutdown that ends the program well.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <algorithm>
#include <QTemporaryDir>

#include "../loopback_peer.h"
#include "platform/cp932.h"
#include "support/socket_test_support.h"

namespace {

// A TCP port that nothing listened on a moment ago.
int FreePort()
{
    const int handle = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    socklen_t length = sizeof address;
    EXPECT_EQ(::bind(handle, reinterpret_cast<const sockaddr*>(&address), length), 0);
    EXPECT_EQ(getsockname(handle, reinterpret_cast<sockaddr*>(&address), &length), 0);
    ::close(handle);
    return ntohs(address.sin_port);
}

struct TRun {
    int Status = -1;
    std::string Out;
    std::string Err;
};

TRun RunProgram(const QString& program, const QStringList& arguments, const QByteArray& input = {})
{
    QProcess process;
    process.start(program, arguments);
    process.write(input);
    process.closeWriteChannel();
    EXPECT_TRUE(process.waitForFinished(30000));
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            process.readAllStandardOutput().toStdString(), process.readAllStandardError().toStdString()};
}

class KivolsrvOperator : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        control = dir.filePath(QStringLiteral("control"));
        state = dir.filePath(QStringLiteral("state"));
    }

    // Starts the server headless on the game port (0: a free one, kept in
    // port); options: beside the control socket and state folder (the web
    // port off unless they name one).
    void Start(QProcess& server, int gamePort = 0,
               const QStringList& options = {QStringLiteral("--web-port"), QStringLiteral("0")})
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            environment.remove(QString::fromLatin1(name));
        server.setProcessEnvironment(environment);
        port = gamePort != 0 ? gamePort : FreePort();
        server.start(QStringLiteral(KIVOLSRV_PATH), QStringList{QStringLiteral("--port"), QString::number(port),
                                                                QStringLiteral("--control"), control,
                                                                QStringLiteral("--state-dir"), state} +
                                                        options);
        ASSERT_TRUE(server.waitForStarted());
    }

    // ann joins at level 2, sits at seat 2, starts a game with one level-2
    // bot and stops it, then sends the text after, if any.
    void PlayOneStoppedGame(server_test::LoopbackPeer& ann, const std::string& after = {})
    {
        ASSERT_TRUE(ann.Open());
        const auto command = [](std::string text) { return server_test::Framed(text + '\0'); };
        ASSERT_TRUE(ann.SendRaw(server_test::Framed(std::string("/join ann     ") + '\0' + "KIVOL/2") +
                                command("/take 2 ann     ") + command("/deal ann      start PACE=1 BOTS=1 LEVEL=2") +
                                command("/deal ann      stop") + (after.empty() ? std::string() : command(after))));
    }

    TRun Ctl(const QStringList& arguments)
    {
        return RunProgram(QStringLiteral(KIVOLCTL_PATH), QStringList{QStringLiteral("--control"), control} + arguments);
    }

    // Waits until the server answers on its control socket.
    void WaitServing(QProcess& server)
    {
        ASSERT_TRUE(test::WaitUntil([&] { return server.state() != QProcess::Running || Ctl({"status"}).Status == 0; },
                                    30000));
        ASSERT_EQ(server.state(), QProcess::Running) << server.readAllStandardError().toStdString();
    }

    QTemporaryDir dir;
    QString control;
    QString state;
    int port = 0;
};

// The families of a metrics text as Python's prometheus_client reads it: name -> first sample's value.
QJsonObject ParsedMetrics(const std::string& text)
{
    const TRun parsed = RunProgram(QStringLiteral("/usr/bin/python3"),
                                   {QStringLiteral("-c"), QStringLiteral(R"(
import json, sys
from prometheus_client.parser import text_string_to_metric_families
print(json.dumps({f.name: f.samples[0].value for f in text_string_to_metric_families(sys.stdin.read()) if f.samples}))
)")},
                                   QByteArray::fromStdString(text));
    EXPECT_EQ(parsed.Status, 0) << parsed.Err;
    return QJsonDocument::fromJson(QByteArray::fromStdString(parsed.Out)).object();
}

// At start the server says where it listens, headless on standard output:
// one line for the game's port, the web port with the address a browser on
// this machine opens, and the control socket; on every address or on one.
TEST_F(KivolsrvOperator, StartLogsOneLinePerListeningSocket)
{
    const int game = FreePort();
    const int web = FreePort();
    const QString g = QString::number(game), w = QString::number(web);
    const QStringList webOptions{QStringLiteral("--web-port"), w, QStringLiteral("--web-root"), dir.path()};
    const std::pair<QStringList, QStringList> runs[] = {
        {webOptions,
         {QStringLiteral("/待受  ゲーム (\\[::\\]|0\\.0\\.0\\.0):") + g + QStringLiteral("$"),
          QStringLiteral("/待受  ウェブ (\\[::\\]|0\\.0\\.0\\.0):") + w + QStringLiteral(" http://localhost:") + w +
              QStringLiteral("/$")}},
        {webOptions + QStringList{QStringLiteral("--listen"), QStringLiteral("127.0.0.1")},
         {QStringLiteral("/待受  ゲーム 127\\.0\\.0\\.1:") + g + QStringLiteral("$"),
          QStringLiteral("/待受  ウェブ 127\\.0\\.0\\.1:") + w + QStringLiteral(" http://127\\.0\\.0\\.1:") + w +
              QStringLiteral("/$")}},
    };
    for (const auto& [options, expected] : runs) {
        QProcess server;
        Start(server, game, options);
        WaitServing(server);
        const QStringList patterns = expected + QStringList{QStringLiteral("/待受  制御 ") +
                                                            QRegularExpression::escape(control) + QStringLiteral("$")};
        QString output;
        const auto count = [&](const QString& pattern) {
            const QRegularExpression line(QStringLiteral("^\\S+ \\S+  ") + pattern,
                                          QRegularExpression::MultilineOption);
            int found = 0;
            for (auto match = line.globalMatch(output); match.hasNext(); match.next())
                ++found;
            return found;
        };
        const auto all = [&] {
            output += QString::fromUtf8(server.readAllStandardOutput());
            return std::all_of(patterns.begin(), patterns.end(), [&](const QString& p) { return count(p) == 1; });
        };
        EXPECT_TRUE(test::WaitUntil(all, 30000)) << output.toStdString();
        EXPECT_EQ(Ctl({"shutdown"}).Status, 0);
        ASSERT_TRUE(server.waitForFinished(30000));
    }
}

TEST_F(KivolsrvOperator, BansSurviveARestartAndABrokenBansFileStopsTheStartUntouched)
{
    {
        QProcess server;
        Start(server);
        WaitServing(server);
        EXPECT_EQ(Ctl({"ban", "127.0.0.2", "--minutes", "5", "--reason", "flood"}).Status, 0);
        EXPECT_EQ(Ctl({"shutdown"}).Status, 0);
        ASSERT_TRUE(server.waitForFinished(30000));
        EXPECT_EQ(server.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(server.exitCode(), 0) << server.readAllStandardError().toStdString();
    }
    {
        QProcess server;
        Start(server);
        WaitServing(server);
        const TRun bans = Ctl({"bans"});
        EXPECT_NE(bans.Out.find("127.0.0.2  until "), std::string::npos) << bans.Out;
        EXPECT_NE(bans.Out.find("reason \"flood\""), std::string::npos) << bans.Out;
        const QJsonObject metrics = ParsedMetrics(Ctl({"metrics"}).Out);
        EXPECT_EQ(metrics.value(QStringLiteral("kivol_bans")).toDouble(), 1);
        EXPECT_EQ(metrics.value(QStringLiteral("kivol_tables")).toDouble(), 1);
        EXPECT_GE(metrics.value(QStringLiteral("kivol_uptime_seconds")).toDouble(), 0);
        EXPECT_EQ(Ctl({"shutdown"}).Status, 0);
        ASSERT_TRUE(server.waitForFinished(30000));
        EXPECT_EQ(server.exitCode(), 0);
    }
    QFile file(state + QStringLiteral("/bans.json"));
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    const QByteArray truncated = file.readAll().left(20);
    ASSERT_TRUE(file.resize(0));
    file.write(truncated);
    file.close();

    QProcess server;
    Start(server);
    ASSERT_TRUE(server.waitForFinished(30000));
    EXPECT_EQ(server.exitCode(), 1);
    EXPECT_TRUE(server.readAllStandardError().contains("bans.json"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), truncated);
}

// The answer of a query on the records' database, run by Python's sqlite3
// beside the live server (one row a line, columns joined by "|").
std::string Query(const QString& database, const QString& sql)
{
    const TRun run = RunProgram(QStringLiteral("/usr/bin/python3"),
                                {QStringLiteral("-c"), QStringLiteral(R"(
import sqlite3, sys
db = sqlite3.connect(sys.argv[1])
for row in db.execute(sys.argv[2]):
    print("|".join(str(v) for v in row))
)"), database, sql});
    EXPECT_EQ(run.Status, 0) << run.Err;
    return run.Out;
}

// A finished dealt game is in kivol.db while the server runs, written
// without the server stopping; the server starts again over the same records.
TEST_F(KivolsrvOperator, AFinishedGameLandsInTheRecords)
{
    QProcess server;
    Start(server);
    WaitServing(server);
    server_test::LoopbackPeer ann(port);
    PlayOneStoppedGame(ann);
    const QString database = state + QStringLiteral("/kivol.db");
    ASSERT_TRUE(test::WaitUntil([&] { return Query(database, "SELECT COUNT(*) FROM games") == "1\n"; }, 30000));
    EXPECT_EQ(Query(database, "SELECT CAST(name AS TEXT), registered, seat FROM game_players WHERE bot_level = 0"),
              "ann|0|2\n");
    EXPECT_EQ(Query(database, "SELECT COUNT(*) FROM game_players WHERE bot_level = 2"), "1\n");
    EXPECT_EQ(Query(database, "SELECT end_reason FROM games"), "stop\n");
    EXPECT_EQ(Ctl({"shutdown"}).Status, 0);
    ASSERT_TRUE(server.waitForFinished(30000));
    EXPECT_EQ(server.exitCode(), 0) << server.readAllStandardError().toStdString();
}

// Without records a finished game leaves no database behind, and names
// cannot be registered.
TEST_F(KivolsrvOperator, WithoutRecordsNoDatabaseIsMade)
{
    QProcess server;
    Start(server, 0, {QStringLiteral("--web-port"), QStringLiteral("0"), QStringLiteral("--no-records")});
    WaitServing(server);
    server_test::LoopbackPeer ann(port);
    PlayOneStoppedGame(ann, "/register ann");
    const std::string refusal = "/game refused " + Cp932::FromUtf8("このサーバーは名前を登録しません");
    bool refused = false;
    for (std::optional<std::string> packet; !refused && (packet = ann.NextPacket());)
        refused = packet->starts_with(refusal);
    EXPECT_TRUE(refused) << "the registration is refused";
    EXPECT_EQ(Ctl({"shutdown"}).Status, 0);
    ASSERT_TRUE(server.waitForFinished(30000));
    EXPECT_EQ(server.exitCode(), 0) << server.readAllStandardError().toStdString();
    EXPECT_FALSE(QFile::exists(state + QStringLiteral("/kivol.db")));
}

// Records of a newer schema than this program's stop the start, naming the
// file and the reason, and stay as they are.
TEST_F(KivolsrvOperator, RecordsOfANewerVersionStopTheStart)
{
    ASSERT_TRUE(QDir().mkpath(state));
    const QString database = state + QStringLiteral("/kivol.db");
    Query(database, "PRAGMA user_version = 999");
    QProcess server;
    Start(server);
    ASSERT_TRUE(server.waitForFinished(30000));
    EXPECT_EQ(server.exitCode(), 1);
    const QByteArray error = server.readAllStandardError();
    EXPECT_TRUE(error.contains("kivol.db")) << error.toStdString();
    EXPECT_TRUE(error.contains("newer than this program")) << error.toStdString();
    EXPECT_EQ(Query(database, "PRAGMA user_version"), "999\n");
}

}  // namespace
