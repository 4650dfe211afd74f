#include "web_port/web_port_options.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QUrl>

#include "platform/command_line.h"
#include "platform/socket_address.h"

namespace {

// An origin as a browser sends it: scheme, host and an optional port, nothing after.
bool IsOrigin(const QString& text)
{
    const QUrl url(text, QUrl::StrictMode);
    return url.isValid() && (url.scheme() == QLatin1String("http") || url.scheme() == QLatin1String("https")) &&
           !url.host().isEmpty() && url.path().isEmpty() && !url.hasQuery() && !url.hasFragment() &&
           url.userInfo().isEmpty();
}

}  // namespace

QString DefaultWebRoot(const QString& programDirectory)
{
    const QString built = QDir(programDirectory).absoluteFilePath(QStringLiteral("../web"));
    if (QFileInfo(built).isDir())
        return QDir::cleanPath(built);
    return QString::fromLatin1(InstalledWebRoot);
}

void AddWebPortOptions(QCommandLineParser& parser)
{
    parser.addOptions({
        {QStringLiteral("web-port"),
         QStringLiteral("Serve the browser client on port N (default %1; 0 turns it off).").arg(DefaultWebPort),
         QStringLiteral("N")},
        {QStringLiteral("web-root"),
         QStringLiteral("The browser client's files (default %1, or the build's own).")
             .arg(QString::fromLatin1(InstalledWebRoot)),
         QStringLiteral("DIR")},
        {QStringLiteral("tls-cert"), QStringLiteral("PEM certificate chain: the web port speaks HTTPS (with --tls-key)."),
         QStringLiteral("FILE")},
        {QStringLiteral("tls-key"), QStringLiteral("PEM private key of --tls-cert."), QStringLiteral("FILE")},
        {QStringLiteral("trust-proxy"),
         QStringLiteral("Take the player's address from X-Forwarded-For on requests from ADDRESS (repeatable)."),
         QStringLiteral("ADDRESS")},
        {QStringLiteral("web-origin"),
         QStringLiteral("Let pages of ORIGIN (scheme://host[:port]) open the game's WebSocket (repeatable)."),
         QStringLiteral("ORIGIN")},
    });
}

QString ReadWebPortOptions(const QCommandLineParser& parser, const QString& programDirectory,
                           TWebPortOptions& options)
{
    const QString problem = ReadIntegerOption(parser, QStringLiteral("web-port"), 0, 65535, options.Port);
    if (!problem.isEmpty())
        return problem;
    options.Root = parser.isSet(QStringLiteral("web-root")) ? parser.value(QStringLiteral("web-root"))
                                                            : DefaultWebRoot(programDirectory);
    options.TlsCertificate = parser.value(QStringLiteral("tls-cert"));
    options.TlsKey = parser.value(QStringLiteral("tls-key"));
    if (options.TlsCertificate.isEmpty() != options.TlsKey.isEmpty())
        return QStringLiteral("--tls-cert and --tls-key go together.");
    options.TrustedProxies.clear();
    for (const QString& address : parser.values(QStringLiteral("trust-proxy"))) {
        if (!IsNumericAddress(address.trimmed().toStdString()))
            return QStringLiteral("--trust-proxy takes an IPv4 or IPv6 address, not '%1'.").arg(address);
        options.TrustedProxies << address.trimmed();
    }
    options.AllowedOrigins.clear();
    for (const QString& origin : parser.values(QStringLiteral("web-origin"))) {
        if (!IsOrigin(origin))
            return QStringLiteral("--web-origin takes scheme://host[:port], not '%1'.").arg(origin);
        options.AllowedOrigins << origin;
    }
    return {};
}
