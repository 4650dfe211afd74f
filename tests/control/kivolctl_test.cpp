// kivolctl against a control socket served in this test process by a fake
// handler: each exit status, the JSON form, the socket file's life and the
// check of who may use it.
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <cstring>

#include "control/command_handler.h"
#include "control/control_server.h"
#include "support/socket_test_support.h"

namespace {

using Control::TControlAnswer;
using Control::TControlRequest;

struct TRun {
    int Status = -1;
    QString Out;
    QString Err;
};

class KivolctlTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        path = dir.filePath(QStringLiteral("control")).toStdString();
        ASSERT_EQ(server.Listen({path, std::nullopt, {}}), "");
    }

    // Runs kivolctl while the event loop serves the socket.
    TRun Run(const QStringList& arguments)
    {
        QProcess process;
        process.start(QStringLiteral(KIVOLCTL_PATH), arguments);
        EXPECT_TRUE(test::WaitUntil([&] { return process.state() == QProcess::NotRunning; }, 20000));
        return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
                QString::fromUtf8(process.readAllStandardError())};
    }
    TRun Run(const QStringList& command, const std::string& socket) 
    {
        return Run(QStringList{QStringLiteral("--control"), QString::fromStdString(socket)} + command);
    }

    // Sends bytes over a plain socket; what the server answers.
    std::string RawRequest(const std::string& bytes)
    {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
        const int handle = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK, 0);
        EXPECT_EQ(::connect(handle, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        EXPECT_EQ(::write(handle, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
        std::string answer;
        test::WaitUntil([&] {
            char buffer[1024];
            const ssize_t n = ::recv(handle, buffer, sizeof buffer, 0);
            if (n > 0)
                answer.append(buffer, static_cast<std::size_t>(n));
            return n == 0;
        });
        ::close(handle);
        return answer;
    }

    QTemporaryDir dir;
    std::string path;
    std::vector<TControlRequest> requests;
    std::vector<std::string> log;
    Control::TControlServer server{Control::CommandHandler(
        [this](const Control::TControlCommand& command, const TControlRequest& request) {
            requests.push_back(request);
            if (std::holds_alternative<Control::TKickCommand>(command))
                return TControlAnswer::Refused("no player '" + request.Arguments[1] + "'");
            if (const auto* backup = std::get_if<Control::TBackupCommand>(&command)) {
                // Answered from the event loop a while later, as a backup done on another thread is.
                TControlAnswer later;
                later.Later = [file = backup->File](TControlAnswer::TReply reply) {
                    QTimer::singleShot(100, [file, reply] { reply({true, "copied to " + file, QJsonValue(), {}}); });
                };
                return later;
            }
            return TControlAnswer{true, "version 1\nplayers 3", QJsonObject{{QStringLiteral("players"), 3}}, {}};
        },
        [this](const std::string& line) { log.push_back(line); })};
};

// An answer may come after the handler returned; a relative backup file is
// made absolute from kivolctl's own folder, since the server's may be anywhere.
TEST_F(KivolctlTest, ALaterAnswerArrivesAndABackupFileIsMadeAbsolute)
{
    QProcess process;
    process.setWorkingDirectory(dir.path());
    process.start(QStringLiteral(KIVOLCTL_PATH),
                  {QStringLiteral("--control"), QString::fromStdString(path), QStringLiteral("backup"),
                   QStringLiteral("copy.db")});
    ASSERT_TRUE(test::WaitUntil([&] { return process.state() == QProcess::NotRunning; }, 20000));
    const std::string file = QDir(dir.path()).absoluteFilePath(QStringLiteral("copy.db")).toStdString();
    EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
    EXPECT_EQ(process.readAllStandardOutput().toStdString(), "copied to " + file + "\n");
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].Arguments, (std::vector<std::string>{"backup", file}));
    EXPECT_EQ(RawRequest("{\"arguments\":[\"backup\",\"copy.db\"]}\n"),
              "{\"json\":null,\"ok\":false,\"text\":\"'backup' needs an absolute FILE\"}\n");
}

TEST_F(KivolctlTest, ExitStatusesAndAnswers)
{
    TRun ok = Run({QStringLiteral("status")}, path);
    EXPECT_EQ(ok.Status, 0);
    EXPECT_EQ(ok.Out, QStringLiteral("version 1\nplayers 3\n"));
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].Arguments, std::vector<std::string>{"status"});
    EXPECT_EQ(requests[0].Uid, ::getuid());

    TRun refused = Run({QStringLiteral("kick"), QStringLiteral("太郎"), QStringLiteral("--reason"), QStringLiteral("荒らし")}, path);
    EXPECT_EQ(refused.Status, 1);
    EXPECT_EQ(refused.Out, QString());
    EXPECT_EQ(refused.Err, QStringLiteral("kivolctl: no player '太郎'\n"));
    EXPECT_EQ(requests.back().Arguments, (std::vector<std::string>{"kick", "太郎", "--reason", "荒らし"}));
    EXPECT_EQ(log.back(), "control: uid " + std::to_string(::getuid()) + ": kick 太郎 --reason 荒らし");

    // A bad command line never reaches the server.
    for (const QStringList& bad : {QStringList{QStringLiteral("frob")}, QStringList{QStringLiteral("kick")},
                                   QStringList{QStringLiteral("ban"), QStringLiteral("10.0.0.0/40")},
                                   QStringList{QStringLiteral("--port"), QStringLiteral("0"), QStringLiteral("status")},
                                   QStringList{}}) {
        TRun run = Run(bad, path);
        EXPECT_EQ(run.Status, 2) << bad.join(u' ').toStdString();
        EXPECT_TRUE(run.Err.startsWith(QStringLiteral("kivolctl: "))) << run.Err.toStdString();
    }
    EXPECT_EQ(requests.size(), 2u);

    // The server reads every request with the same rules.
    EXPECT_EQ(RawRequest("{\"arguments\":[\"kick\"]}\n"),
              "{\"json\":null,\"ok\":false,\"text\":\"'kick' is missing an argument: kick NAME [--table NAME] [--reason TEXT]\"}\n");
    EXPECT_EQ(RawRequest("{\"arguments\":\"status\"}\n"), "{\"json\":null,\"ok\":false,\"text\":\"not a request\"}\n");
    EXPECT_EQ(log.back(), "control: uid " + std::to_string(::getuid()) + ": kick");

    TRun none = Run({QStringLiteral("status")}, dir.filePath(QStringLiteral("nothing")).toStdString());
    EXPECT_EQ(none.Status, 3);
    EXPECT_TRUE(none.Err.contains(QStringLiteral("no server answers")));

    TRun json = Run({QStringLiteral("--json"), QStringLiteral("status")}, path);
    EXPECT_EQ(json.Status, 0);
    const QJsonObject object = QJsonDocument::fromJson(json.Out.toUtf8()).object();
    EXPECT_EQ(object.value(u"ok"), QJsonValue(true));
    EXPECT_EQ(object.value(u"json").toObject().value(u"players"), QJsonValue(3));

    TRun help = Run({QStringLiteral("--help")});
    EXPECT_EQ(help.Status, 0);
    for (const char* command : {"status", "tables", "players", "kick", "ban", "unban", "bans", "mute", "unmute",
                                "say", "close", "shutdown", "metrics", "games", "player", "unrank", "rank",
                                "backup", "names", "release"})
        EXPECT_TRUE(help.Out.contains(QStringLiteral("\n  %1 ").arg(QLatin1String(command)))) << command;
}

TEST_F(KivolctlTest, TheSocketFileIsReplacedOnlyWhenNoServerListens)
{
    struct stat info {};
    ASSERT_EQ(::stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0660u);

    Control::TControlServer second{[](const TControlRequest&) { return TControlAnswer{}; }};
    EXPECT_NE(second.Listen({path, std::nullopt, {}}).find("another server listens"), std::string::npos);
    EXPECT_EQ(Run({QStringLiteral("status")}, path).Status, 0);

    const std::string file = dir.filePath(QStringLiteral("plain")).toStdString();
    QFile(QString::fromStdString(file)).open(QIODevice::WriteOnly);
    EXPECT_NE(second.Listen({file, std::nullopt, {}}).find("no socket"), std::string::npos);
    EXPECT_TRUE(QFile::exists(QString::fromStdString(file)));

    // A socket file left by a server that is gone.
    const std::string stale = dir.filePath(QStringLiteral("stale")).toStdString();
    {
        Control::TControlServer gone{[](const TControlRequest&) { return TControlAnswer{}; }};
        ASSERT_EQ(gone.Listen({stale, std::nullopt, {}}), "");
        ASSERT_EQ(::link(stale.c_str(), (stale + ".kept").c_str()), 0);
    }
    ASSERT_EQ(::rename((stale + ".kept").c_str(), stale.c_str()), 0);
    EXPECT_EQ(second.Listen({stale, std::nullopt, {}}), "");
    EXPECT_EQ(Run({QStringLiteral("status")}, stale).Status, 0);
}

// Connects as uid `nobody` (keeping group 0) from a child process; its exit
// status says whether the server turned it away (0) or served it (1).
pid_t ConnectAsNobody(const std::string& path)
{
    const pid_t child = ::fork();
    if (child != 0)
        return child;
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
    const char request[] = "{\"arguments\":[\"status\"]}\n";
    char answer[512] = {};
    const int handle = ::socket(AF_UNIX, SOCK_STREAM, 0);
    if (::setgroups(0, nullptr) != 0 || ::setgid(0) != 0 || ::setuid(65534) != 0
        || ::connect(handle, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0
        || ::write(handle, request, sizeof request - 1) < 0 || ::read(handle, answer, sizeof answer - 1) <= 0)
        ::_exit(2);
    ::_exit(std::strstr(answer, "not allowed") ? 0 : 1);
}

TEST_F(KivolctlTest, APeerOfAnotherUserIsServedOnlyInTheControlGroup)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to connect as another user";
    ASSERT_EQ(::chmod(QFile::encodeName(dir.path()).constData(), 0750), 0);
    for (const std::optional<gid_t> group : {std::optional<gid_t>(), std::optional<gid_t>(0)}) {
        Control::TControlServer guarded{[](const TControlRequest&) { return TControlAnswer{}; }};
        const std::string socket = path + "-guarded";
        ASSERT_EQ(guarded.Listen({socket, group, {}}), "");
        const pid_t child = ConnectAsNobody(socket);
        int status = -1;
        ASSERT_TRUE(test::WaitUntil([&] { return ::waitpid(child, &status, WNOHANG) == child; }, 10000));
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), group ? 1 : 0);
    }
    EXPECT_TRUE(Control::ControlPeerAllowed(1000, {100, 27}, 999, 27));
    EXPECT_FALSE(Control::ControlPeerAllowed(1000, {100}, 999, 27));
    EXPECT_TRUE(Control::ControlPeerAllowed(0, {}, 999, std::nullopt));
}

}  // namespace
