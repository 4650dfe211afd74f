#pragma once

#include <QByteArray>
#include <QString>
#include <optional>
#include <vector>

// The scheme, host and port that name a web site, as a browser's Origin
// header gives them; two pages may share a WebSocket's rights only when all
// three agree (the port written or the scheme's own).
struct TWebOrigin {
    QString Scheme;
    QString Host;  // lower case; an IPv6 address without its brackets
    int Port = 0;
    bool operator==(const TWebOrigin&) const = default;
};

// "scheme://host[:port]" for http and https; nothing for anything else
// (also the "null" of a sandboxed page).
std::optional<TWebOrigin> ReadWebOrigin(const QString& text);

// The site a request was made to: its scheme and its Host header.
std::optional<TWebOrigin> RequestedOrigin(bool secure, const QByteArray& hostHeader);

// True when a WebSocket upgrade may go on: it has no Origin (no browser sent
// it), or its Origin is the requested site's or one of the allowed ones.
bool MayOpenWebSocket(const QByteArray& originHeader, bool secure, const QByteArray& hostHeader,
                      const std::vector<TWebOrigin>& allowed);
