// The kivolsrv program itself, started headless on the game's fixed port.

#include <gtest/gtest.h>

#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>

#include "../loopback_peer.h"

using namespace std::string_literals;

namespace {

constexpr int GamePort = 16523;

// Starts kivolsrv as on a machine without a display.
void StartHeadless(QProcess& process, const QStringList& arguments = {})
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("DISPLAY"));
    environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
    environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(KIVOLSRV_PATH), arguments);
}

}  // namespace

TEST(KivolsrvProgram, ASecondServerOnThePortEndsWithTheWarningWhileTheFirstKeepsServing)
{
    QProcess first;
    StartHeadless(first);
    ASSERT_TRUE(first.waitForStarted());
    std::unique_ptr<server_test::LoopbackPeer> player;
    ASSERT_TRUE(server_test::WaitUntil(
        [&] {
            player = std::make_unique<server_test::LoopbackPeer>(GamePort);
            return player->Open() || first.state() == QProcess::NotRunning;
        },
        30000));
    ASSERT_EQ(first.state(), QProcess::Running) << "is port 16523 taken by another program? "
                                                << first.readAllStandardError().toStdString();

    ASSERT_TRUE(player->SendPacket("/join AB      \0"s));
    EXPECT_EQ(player->NextPacket(30000), "/list \"AB      \"\0"s);
    QByteArray output;
    EXPECT_TRUE(server_test::WaitUntil([&] {
        output += first.readAllStandardOutput();
        // The connection's line waits for the lookup of the peer's host name.
        return output.contains("/参加  AB      [127.0.0.1]") && output.contains("/接続  ");
    })) << "log lines go to standard output: " << output.toStdString();

    // A state folder of its own: one folder serves one server, which would refuse first.
    QTemporaryDir secondState;
    QProcess second;
    StartHeadless(second, {QStringLiteral("--state-dir"), secondState.path()});
    ASSERT_TRUE(second.waitForFinished(30000));
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 1);
    const QString errors = QString::fromUtf8(second.readAllStandardError());
    EXPECT_TRUE(errors.contains(QStringLiteral("警告: ポートの確保に失敗しました。終了します"))) << errors.toStdString();

    ASSERT_TRUE(player->SendPacket("/draw AB      \0"s));
    const auto draw = player->NextPacket(30000);
    ASSERT_TRUE(draw.has_value());
    EXPECT_EQ(draw->size(), 18u);
    EXPECT_EQ(first.state(), QProcess::Running);

    first.terminate();
    EXPECT_TRUE(first.waitForFinished(30000));
}
