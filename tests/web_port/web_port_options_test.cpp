#include <QCommandLineParser>
#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "web_port/web_port_options.h"

namespace {

// Reads a command line; the problem text, empty when it was taken.
QString Read(const QStringList& arguments, TWebPortOptions& options, const QString& programDirectory = "/nowhere/bin")
{
    QCommandLineParser parser;
    AddWebPortOptions(parser);
    EXPECT_TRUE(parser.parse(QStringList{"kivolsrv"} + arguments)) << parser.errorText().toStdString();
    return ReadWebPortOptions(parser, programDirectory, options);
}

TEST(WebPortOptions, DefaultsValuesAndRefusals)
{
    TWebPortOptions options;
    EXPECT_EQ(Read({}, options), QString());
    EXPECT_EQ(options.Port, 16580);
    EXPECT_EQ(options.Root, QStringLiteral("/usr/share/kivol/web"));
    EXPECT_TRUE(options.TlsCertificate.isEmpty());

    QTemporaryDir build;
    QDir(build.path()).mkpath(QStringLiteral("bin"));
    QDir(build.path()).mkpath(QStringLiteral("web"));
    EXPECT_EQ(Read({}, options, build.filePath(QStringLiteral("bin"))), QString());
    EXPECT_EQ(options.Root, build.filePath(QStringLiteral("web")));

    EXPECT_EQ(Read({"--web-port", "0", "--web-root", "/srv/web", "--tls-cert", "c.pem", "--tls-key", "k.pem",
                    "--trust-proxy", "10.0.0.1", "--trust-proxy", "::1", "--web-origin", "https://kivol.example",
                    "--web-origin", "http://[::1]:8080"},
                   options),
              QString());
    EXPECT_EQ(options.Port, 0);
    EXPECT_EQ(options.Root, QStringLiteral("/srv/web"));
    EXPECT_EQ(options.TlsKey, QStringLiteral("k.pem"));
    EXPECT_EQ(options.TrustedProxies, (QStringList{"10.0.0.1", "::1"}));
    EXPECT_EQ(options.AllowedOrigins, (QStringList{"https://kivol.example", "http://[::1]:8080"}));

    for (const QStringList& bad : {QStringList{"--web-port", "65536"}, {"--web-port", "x"}, {"--tls-cert", "c.pem"},
                                   {"--tls-key", "k.pem"}, {"--trust-proxy", "proxy.example"},
                                   {"--web-origin", "kivol.example"}, {"--web-origin", "https://kivol.example/play"},
                                   {"--web-origin", "ftp://kivol.example"}}) {
        TWebPortOptions refused;
        EXPECT_NE(Read(bad, refused), QString()) << bad.join(' ').toStdString();
    }
}

}  // namespace
