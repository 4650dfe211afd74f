#include "client/records_site.h"

#include "platform/cp932.h"
#include "protocol/command_words.h"
#include "protocol/player_name.h"

void TRecordsSite::Apply(std::string_view text)
{
    base_.clear();
    const std::size_t urlAt = Protocol::Command::Site.size() + 1;
    if (!Protocol::IsCommand(text, Protocol::Command::Site) || text.size() <= urlAt || text[urlAt - 1] != ' ')
        return;
    const std::string_view url = text.substr(urlAt);
    QUrl base(QString::fromUtf8(url.data(), static_cast<qsizetype>(url.size())), QUrl::StrictMode);
    const QString scheme = base.scheme().toLower();
    if (!base.isValid() || (scheme != QLatin1String("http") && scheme != QLatin1String("https")) ||
        base.host().isEmpty() || base.hasQuery() || base.hasFragment())
        return;
    if (!base.path().endsWith(u'/'))
        base.setPath(base.path() + u'/');
    base_ = base;
}

QUrl TRecordsSite::Leaderboard() const
{
    return QUrl::fromEncoded(base_.toEncoded() + "leaderboard", QUrl::StrictMode);
}

QUrl TRecordsSite::PlayerPage(std::string_view name) const
{
    const QByteArray utf8 = Cp932::Decode(Protocol::TrimmedName(name)).toUtf8();
    return QUrl::fromEncoded(base_.toEncoded() + "p/" + QUrl::toPercentEncoding(utf8), QUrl::StrictMode);
}
