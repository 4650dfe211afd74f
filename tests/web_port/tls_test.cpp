#include <QProcess>
#include <QSslSocket>

#include "web_port_fixture.h"

namespace test {
namespace {

using Tls = WebPortTest;

// A self-signed certificate and its key, named by common name.
void MakeCertificate(const QString& certificate, const QString& key, const QString& commonName)
{
    QProcess openssl;
    openssl.start(QStringLiteral("openssl"),
                  {"req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes", "-days", "1",
                   "-subj", "/CN=" + commonName, "-keyout", key, "-out", certificate});
    ASSERT_TRUE(openssl.waitForFinished(30000));
    ASSERT_EQ(openssl.exitCode(), 0) << openssl.readAllStandardError().toStdString();
}

// The common name the port shows a new connection, after a request for
// /healthz over it answered "ok".
QString ServedName(quint16 port)
{
    QSslSocket socket;
    socket.setPeerVerifyMode(QSslSocket::VerifyNone);
    socket.connectToHostEncrypted(QStringLiteral("127.0.0.1"), port);
    if (!WaitUntil([&] { return socket.isEncrypted(); }))
        return {};
    socket.write("GET /healthz HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
    QByteArray answer;
    WaitUntil([&] { return (answer += socket.readAll()).endsWith("\r\n\r\nok"); });
    EXPECT_TRUE(answer.startsWith("HTTP/1.1 200")) << answer.toStdString();
    return socket.peerCertificate().subjectInfo(QSslCertificate::CommonName).value(0);
}

// HTTPS and WSS with the operator's files; a reload takes new files for new
// connections, and files that cannot be used leave the old pair in use.
TEST_F(Tls, ServesTheCertificateAndReloadsIt)
{
    const QString certificate = dir.filePath(QStringLiteral("cert.pem"));
    const QString key = dir.filePath(QStringLiteral("key.pem"));
    MakeCertificate(certificate, key, QStringLiteral("first"));
    TWebPortOptions options;
    options.TlsCertificate = certificate;
    options.TlsKey = key;
    StartPort(options);
    EXPECT_EQ(ServedName(port->Port()), QStringLiteral("first"));

    QWebSocket client(QStringLiteral("https://127.0.0.1:%1").arg(port->Port()));
    QObject::connect(&client, &QWebSocket::sslErrors, [&] { client.ignoreSslErrors(); });
    client.open(QUrl(QStringLiteral("wss://127.0.0.1:%1/ws").arg(port->Port())));
    ASSERT_TRUE(WaitUntil([&] { return owner.opened == 1; }));

    MakeCertificate(certificate, key, QStringLiteral("second"));
    EXPECT_EQ(port->Reload(), QString());
    EXPECT_EQ(ServedName(port->Port()), QStringLiteral("second"));

    // A key of another certificate, then one cut short.
    const QString otherKey = dir.filePath(QStringLiteral("other-key.pem"));
    MakeCertificate(dir.filePath(QStringLiteral("other-cert.pem")), otherKey, QStringLiteral("third"));
    QFile::remove(key);
    QFile::copy(otherKey, key);
    EXPECT_NE(port->Reload(), QString());
    QFile::resize(key, 10);
    EXPECT_NE(port->Reload(), QString());
    EXPECT_EQ(log.size(), 2u);
    EXPECT_EQ(ServedName(port->Port()), QStringLiteral("second"));
    EXPECT_EQ(client.state(), QAbstractSocket::ConnectedState);
}

}  // namespace
}  // namespace test
