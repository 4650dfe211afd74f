// The records' side of the game server: the store that keeps every finished
// dealt game, the names that belong to someone, and their registration.
#include <QMetaObject>

#include "protocol/padded_name.h"
#include "protocol/registration.h"
#include "server/game_server.h"
#include "table/identity.h"

using namespace Protocol;

Records::TRecordStore::TLog TGameServer::RecordsLog()
{
    return [this](const AnsiString& message) {
        QMetaObject::invokeMethod(
            &recordsLogContext_,
            [this, message] {
                if (services_.AddLog)
                    services_.AddLog(message);
            },
            Qt::QueuedConnection);
    };
}

void TGameServer::UseRecords(std::unique_ptr<Records::TRecordStore> store)
{
    records_ = std::move(store);
    Records::TRecordStore* records = records_.get();
    SetRecords([records](Records::TGameRecord record) { records->AddGame(std::move(record)); },
               [records](const AnsiString& name) {
                   return records->CheckName(name, {}) != Records::ENameCheck::Unregistered;
               });
}

void TGameServer::ServeSite(const QString& publicUrl, int webPort, bool secure)
{
    if (!publicUrl.isEmpty()) {
        services_.SiteUrl = [url = publicUrl.toStdString()](const TPacketConnection&) { return url; };
        return;
    }
    const std::string scheme = secure ? "https://" : "http://";
    services_.SiteUrl = [scheme, port = std::to_string(webPort)](const TPacketConnection& connection) {
        const AnsiString address = connection.ServerAddress();
        if (address.empty())
            return std::string();
        const bool v6 = address.find(':') != AnsiString::npos;
        return scheme + (v6 ? "[" + address + "]" : address) + ":" + port + "/";
    };
}

bool TGameServer::RefuseClaimed(TPeer& sender, std::string_view name,
                                const std::optional<Tables::TAnnouncement>& announcement)
{
    if (!records_)
        return false;
    const std::string key = announcement ? announcement->NameKey.value_or(std::string()) : std::string();
    if (records_->CheckName(name, key) != Records::ENameCheck::KeyRefused)
        return false;
    // A connection that already plays under another name goes whole, as for a banned name.
    if (sender.Names.empty())
        Refuse(sender, name, Tables::TRefusal::Claimed, announcement.has_value());
    else
        Kick(sender.Connection, Tables::TRefusal::Claimed, Tables::RefusalSentence(Tables::TRefusal::Claimed));
    return true;
}

void TGameServer::Register(TPeer& sender, std::string_view text)
{
    using Records::TRegistration;
    // A level-2 word from a level-1 connection goes nowhere, as "/deal" does.
    if (!sender.Level2) {
        if (sender.Table)
            sender.Table->Drop(sender, text, DropWhy::Word);
        return;
    }
    const auto refuse = [&](std::string_view utf8Sentence) {
        services_.SendText(*sender.Connection, Registration::GameRefusedText(utf8Sentence));
    };
    const std::optional<AnsiString> name = Registration::ReadRegister(text);
    if (!name || !Identity::OwnsName(sender, PaddedName(*name)))
        return refuse("参加している名前だけを登録できます");
    if (!records_)
        return refuse("このサーバーは名前を登録しません");
    const TRegistration registration = records_->Register(*name);
    switch (registration.Refusal) {
    case TRegistration::ERefusal::None:
        services_.SendText(*sender.Connection, Registration::NameKeyText(*name, registration.Key));
        Log(sender.Table, "/登録  ", *name, sender.Connection->PeerAddress());
        return;
    case TRegistration::ERefusal::Taken:
        return refuse("この名前はもう登録されています");
    case TRegistration::ERefusal::BadName:
        return refuse("この名前は登録できません");
    case TRegistration::ERefusal::Busy:
        return refuse("いまは登録できません。しばらくしてからもう一度どうぞ");
    }
}
