#include "server/ban_file.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <cmath>
#include <set>

#include "protocol/player_name.h"

namespace {

using std::chrono::seconds;
using std::chrono::system_clock;

qint64 SecondsOf(TBan::TTime time)
{
    return std::chrono::duration_cast<seconds>(time.time_since_epoch()).count();
}

// JSON numbers are doubles: a whole number from low to high, else nothing.
std::optional<qint64> WholeNumber(const QJsonValue& value, qint64 low, qint64 high)
{
    if (!value.isDouble())
        return std::nullopt;
    const double number = value.toDouble();
    if (number != std::floor(number) || number < static_cast<double>(low) || number > static_cast<double>(high))
        return std::nullopt;
    return static_cast<qint64>(number);
}

// Times up to the year 9999 in seconds.
constexpr qint64 LatestTime = 253402300799;

// One entry of "bans", or the reason it is not one.
QString ReadBan(const QJsonObject& entry, TBan& ban)
{
    const std::optional<qint64> id = WholeNumber(entry.value(u"id"), 1, INT32_MAX - 1);
    if (!id)
        return QStringLiteral("\"id\" is not a whole number from 1");
    ban.Id = static_cast<int>(*id);
    const QJsonValue name = entry.value(u"name");
    const QJsonValue address = entry.value(u"address");
    if (name.isUndefined() == address.isUndefined())
        return QStringLiteral("it needs either \"name\" or \"address\"");
    if (!name.isUndefined()) {
        const std::optional<AnsiString> bytes = Protocol::PlayerNameFromUtf8(name.toString().toStdString());
        if (!name.isString() || !bytes)
            return QStringLiteral("\"name\" is not a player name");
        ban.What = *bytes;
    } else {
        std::optional<TAddressPattern> pattern;
        if (address.isString())
            pattern = ReadAddressPattern(address.toString().toStdString());
        if (!pattern)
            return QStringLiteral("\"address\" is not an address with an optional /prefix");
        ban.What = *pattern;
    }
    const std::optional<qint64> until = WholeNumber(entry.value(u"until"), 0, LatestTime);
    const std::optional<qint64> when = WholeNumber(entry.value(u"when"), 0, LatestTime);
    const std::optional<qint64> who = WholeNumber(entry.value(u"who"), 0, UINT32_MAX);
    if (!until || !when)
        return QStringLiteral("\"until\" and \"when\" must be seconds since 1970");
    if (!who)
        return QStringLiteral("\"who\" is not a user id");
    if (!entry.value(u"reason").isString())
        return QStringLiteral("\"reason\" is not a text");
    ban.Until = TBan::TTime(seconds(*until));
    ban.When = TBan::TTime(seconds(*when));
    ban.Who = static_cast<uid_t>(*who);
    ban.Reason = entry.value(u"reason").toString().toStdString();
    return {};
}

}  // namespace

QByteArray BanFileBytes(const TBanFile& file)
{
    QJsonArray bans;
    for (const TBan& ban : file.Bans) {
        QJsonObject entry{{QStringLiteral("id"), ban.Id},
                          {QStringLiteral("until"), SecondsOf(ban.Until)},
                          {QStringLiteral("reason"), QString::fromStdString(ban.Reason)},
                          {QStringLiteral("who"), static_cast<qint64>(ban.Who)},
                          {QStringLiteral("when"), SecondsOf(ban.When)}};
        entry.insert(std::holds_alternative<AnsiString>(ban.What) ? QStringLiteral("name") : QStringLiteral("address"),
                     QString::fromStdString(ban.WhatText()));
        bans.append(entry);
    }
    return QJsonDocument(QJsonObject{{QStringLiteral("next_id"), file.NextId}, {QStringLiteral("bans"), bans}})
        .toJson(QJsonDocument::Indented);
}

QString ReadBanFile(const QByteArray& bytes, TBanFile& file)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError)
        return QStringLiteral("not JSON at byte %1: %2").arg(error.offset).arg(error.errorString());
    if (!document.isObject() || !document.object().value(u"bans").isArray())
        return QStringLiteral("no object with a \"bans\" list");
    const QJsonArray entries = document.object().value(u"bans").toArray();
    TBanFile read;
    std::set<int> ids;
    for (qsizetype i = 0; i < entries.size(); ++i) {
        TBan ban;
        const QString problem = entries.at(i).isObject() ? ReadBan(entries.at(i).toObject(), ban)
                                                         : QStringLiteral("not an object");
        if (problem.isEmpty() && !ids.insert(ban.Id).second)
            return QStringLiteral("ban %1 (entry %2) appears twice").arg(ban.Id).arg(i + 1);
        if (!problem.isEmpty())
            return QStringLiteral("entry %1 of \"bans\": %2").arg(i + 1).arg(problem);
        read.Bans.push_back(std::move(ban));
    }
    const int lowest = ids.empty() ? 1 : *ids.rbegin() + 1;
    const QJsonValue next = document.object().value(u"next_id");
    read.NextId = lowest;
    if (!next.isUndefined()) {
        const std::optional<qint64> number = WholeNumber(next, lowest, INT32_MAX);
        if (!number)
            return QStringLiteral("\"next_id\" is not a whole number above every ban's id");
        read.NextId = static_cast<int>(*number);
    }
    file = std::move(read);
    return {};
}
