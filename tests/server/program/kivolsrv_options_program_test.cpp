// The kivolsrv program with options: another port on both address families,
// a clean standard output and error, and the refusal of a bad command line.

#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>

#include "../loopback_peer.h"

using namespace std::string_literals;

namespace {

// A port that nothing listens on, on either family, a moment ago.
int FreePort()
{
    const int handle = ::socket(AF_INET6, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int off = 0;
    setsockopt(handle, IPPROTO_IPV6, IPV6_V6ONLY, &off, sizeof off);
    sockaddr_in6 address{};
    address.sin6_family = AF_INET6;
    address.sin6_addr = in6addr_any;
    socklen_t length = sizeof address;
    EXPECT_EQ(::bind(handle, reinterpret_cast<const sockaddr*>(&address), length), 0);
    EXPECT_EQ(getsockname(handle, reinterpret_cast<sockaddr*>(&address), &length), 0);
    ::close(handle);
    return ntohs(address.sin6_port);
}

// Starts kivolsrv as a service would find itself: no display and no
// session's runtime directory.
void Start(QProcess& process, const QStringList& arguments)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "XDG_RUNTIME_DIR", "JOURNAL_STREAM"})
        environment.remove(QString::fromLatin1(name));
    process.setProcessEnvironment(environment);
    // The web port's default is one for the whole machine: tests run side by side go without it.
    process.start(QStringLiteral(KIVOLSRV_PATH), arguments + QStringList{QStringLiteral("--web-port"), QStringLiteral("0")});
}

TEST(KivolsrvOptions, AnotherPortServesIPv4AndIPv6WithNothingButLogLinesOnTheOutput)
{
    const int port = FreePort();
    QProcess server;
    Start(server, {QStringLiteral("--port"), QString::number(port)});
    ASSERT_TRUE(server.waitForStarted());
    std::unique_ptr<server_test::LoopbackPeer> v6;
    ASSERT_TRUE(server_test::WaitUntil(
        [&] {
            v6 = std::make_unique<server_test::LoopbackPeer>(port, AF_INET6);
            return v6->Open() || server.state() == QProcess::NotRunning;
        },
        30000));
    ASSERT_EQ(server.state(), QProcess::Running) << server.readAllStandardError().toStdString();
    server_test::LoopbackPeer v4(port);
    ASSERT_TRUE(v4.Open());

    ASSERT_TRUE(v6->SendPacket("/join V6      \0"s));
    EXPECT_EQ(v6->NextPacket(30000), "/list \"V6      \"\0"s);
    ASSERT_TRUE(v4.SendPacket("/join V4      \0"s));
    EXPECT_TRUE(v4.NextPacket(30000).has_value());
    ASSERT_TRUE(v6->SendPacket("/draw V6      \0"s));
    std::optional<std::string> draw;
    ASSERT_TRUE(server_test::WaitUntil([&] {
        draw = v6->NextPacket(30000);
        return !draw || draw->rfind("/draw ", 0) == 0;
    }));
    ASSERT_TRUE(draw.has_value());
    EXPECT_EQ(draw->size(), 18u);

    QByteArray output;
    EXPECT_TRUE(server_test::WaitUntil([&] {
        output += server.readAllStandardOutput();
        return output.contains("/参加  V6      [::1]") && output.contains("/参加  V4      [127.0.0.1]");
    })) << output.toStdString();
    server.terminate();
    ASSERT_TRUE(server.waitForFinished(30000));
    output += server.readAllStandardOutput();
    // Every line is a log line: no toolkit warning about the runtime
    // directory or anything else, on either stream.
    const QRegularExpression logLine(QStringLiteral("^\\d{4}/\\d{2}/\\d{2} \\d{1,2}:\\d{2}:\\d{2}  \\S"));
    for (const QString& line : QString::fromUtf8(output).split(u'\n', Qt::SkipEmptyParts))
        EXPECT_TRUE(logLine.match(line).hasMatch()) << line.toStdString();
    EXPECT_EQ(server.readAllStandardError().toStdString(), "");
}

TEST(KivolsrvOptions, ABadOptionEndsWithStatusTwoAndTheReasonOnStandardError)
{
    QProcess server;
    Start(server, {QStringLiteral("--port"), QStringLiteral("0")});
    ASSERT_TRUE(server.waitForFinished(30000));
    EXPECT_EQ(server.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(server.exitCode(), 2);
    EXPECT_TRUE(server.readAllStandardOutput().isEmpty());
    EXPECT_TRUE(server.readAllStandardError().startsWith("kivolsrv: --port takes a whole number from 1 to 65535"));
}

}  // namespace
