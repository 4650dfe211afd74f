#include "client/name_keys.h"

#include <QSettings>
#include <QUrl>

#include "platform/cp932.h"
#include "platform/host_and_port.h"
#include "protocol/command_words.h"
#include "protocol/level2.h"
#include "protocol/padded_name.h"
#include "protocol/player_name.h"

using namespace Protocol;

std::optional<std::string> TNameKeys::Key(const QString& server, std::string_view name) const
{
    const QString key = Settings()->value(SettingsKey(server, name)).toString();
    return ReadKey(key);
}

bool TNameKeys::Keep(const QString& server, std::string_view name, const std::string& key)
{
    const std::unique_ptr<QSettings> settings = Settings();
    settings->setValue(SettingsKey(server, name), QString::fromLatin1(key));
    settings->sync();
    return settings->status() == QSettings::NoError;
}

QString TNameKeys::ServerOf(const QString& addressServer, int defaultPort)
{
    const THostAndPort place = ServerPlace(addressServer.toStdString(), defaultPort);
    const QString host = QString::fromStdString(place.Host).toLower();
    const QString port = QString::number(place.Port);
    return host.contains(u':') ? QStringLiteral("[%1]:%2").arg(host, port) : host + u':' + port;
}

std::optional<std::string> TNameKeys::ReadKey(const QString& typed)
{
    const std::string key = typed.trimmed().toLower().toStdString();
    if (!Level2::IsToken(key))
        return std::nullopt;
    return key;
}

std::optional<TNameKeys::TImport> TNameKeys::ReadImport(const QString& server, int defaultPort,
                                                        const QString& name, const QString& key,
                                                        QString& problem)
{
    const std::optional<AnsiString> bytes = PlayerNameFromUtf8(name.toStdString());
    const std::optional<std::string> readKey = ReadKey(key);
    if (server.trimmed().isEmpty() || !ParseHostAndPort(server.toStdString()))
        problem = tr("サーバーのアドレスを入力してください");
    else if (!bytes || bytes->front() == Command::Prefix)
        problem = tr("名前が正しくありません");
    else if (!readKey)
        problem = tr("鍵は 32 桁の 16 進数です");
    else
        return TImport{ServerOf(server, defaultPort), *bytes, *readKey};
    return std::nullopt;
}

std::unique_ptr<QSettings> TNameKeys::Settings() const
{
    if (file_.isEmpty())
        return std::make_unique<QSettings>();
    return std::make_unique<QSettings>(file_, QSettings::IniFormat);
}

QString TNameKeys::SettingsKey(const QString& server, std::string_view name)
{
    // Both parts percent-encoded: a "/" in either would open a settings group.
    const QByteArray nameText = Cp932::Decode(PlayerNameKey(name)).toUtf8();
    return QStringLiteral("NameKeys/%1/%2")
        .arg(QString::fromLatin1(QUrl::toPercentEncoding(server)),
             QString::fromLatin1(QUrl::toPercentEncoding(nameText)));
}

std::optional<TNameKeyCommand> ReadNameKeyCommand(std::string_view text)
{
    // "/namekey ", the padded name, a space, the key.
    const std::size_t nameAt = Command::NameKey.size() + 1;
    const std::size_t keyAt = nameAt + PaddedNameLength + 1;
    if (!IsCommand(text, Command::NameKey) || text.size() != keyAt + Level2::TokenLength ||
        text[nameAt - 1] != ' ' || text[keyAt - 1] != ' ')
        return std::nullopt;
    const std::string_view key = text.substr(keyAt);
    if (!Level2::IsToken(key))
        return std::nullopt;
    return TNameKeyCommand{AnsiString(text.substr(nameAt, PaddedNameLength)), std::string(key)};
}
