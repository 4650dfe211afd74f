#include "web_port/web_origin.h"

#include <QUrl>
#include <algorithm>

std::optional<TWebOrigin> ReadWebOrigin(const QString& text)
{
    const QUrl url(text, QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || (scheme != QLatin1String("http") && scheme != QLatin1String("https")) ||
        url.host().isEmpty() || !url.userInfo().isEmpty() || !url.path().isEmpty() || url.hasQuery() ||
        url.hasFragment())
        return std::nullopt;
    const int defaultPort = scheme == QLatin1String("https") ? 443 : 80;
    return TWebOrigin{scheme, url.host().toLower(), url.port(defaultPort)};
}

std::optional<TWebOrigin> RequestedOrigin(bool secure, const QByteArray& hostHeader)
{
    const QString host = QString::fromLatin1(hostHeader.trimmed());
    // A Host header is the authority alone; anything that would make it a
    // longer address is not one.
    if (host.isEmpty() || host.contains(QLatin1Char('/')) || host.contains(QLatin1Char('@')) ||
        host.contains(QLatin1Char('?')) || host.contains(QLatin1Char('#')))
        return std::nullopt;
    return ReadWebOrigin((secure ? QStringLiteral("https://") : QStringLiteral("http://")) + host);
}

bool MayOpenWebSocket(const QByteArray& originHeader, bool secure, const QByteArray& hostHeader,
                      const std::vector<TWebOrigin>& allowed)
{
    if (originHeader.isNull())
        return true;
    const auto origin = ReadWebOrigin(QString::fromLatin1(originHeader.trimmed()));
    if (!origin)
        return false;
    if (origin == RequestedOrigin(secure, hostHeader))
        return true;
    return std::find(allowed.begin(), allowed.end(), *origin) != allowed.end();
}
