#include "server/ban_list.h"

#include <QFile>
#include <algorithm>

#include "platform/atomic_file.h"
#include "platform/cp932.h"
#include "protocol/player_name.h"
#include "server/ban_file.h"

namespace {

// True when the ban is of that name (letter case aside) or of exactly that pattern.
bool SameTarget(const TBanTarget& ban, const TBanTarget& target)
{
    if (ban.index() != target.index())
        return false;
    if (const auto* name = std::get_if<AnsiString>(&ban))
        return Protocol::PlayerNameKey(*name) == Protocol::PlayerNameKey(std::get<AnsiString>(target));
    return ban == target;
}

}  // namespace

std::string TBan::WhatText() const
{
    if (const auto* name = std::get_if<AnsiString>(&What))
        return Cp932::ToUtf8(*name);
    return std::get<TAddressPattern>(What).Text();
}

TBanList::TBanList(TClock clock) : clock_(std::move(clock)) {}

QString TBanList::Load(const QString& path)
{
    QFile file(path);
    if (!file.exists()) {
        path_ = path;
        return {};
    }
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("%1: cannot be read: %2").arg(path, file.errorString());
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return QStringLiteral("%1: cannot be read: %2").arg(path, file.errorString());
    TBanFile read;
    const QString problem = ReadBanFile(bytes, read);
    if (!problem.isEmpty())
        return QStringLiteral("%1: %2").arg(path, problem);
    bans_ = std::move(read.Bans);
    nextId_ = read.NextId;
    path_ = path;
    DropExpired();
    return {};
}

bool TBanList::InForce(const TBan& ban) const
{
    return ban.UntilLifted() || clock_() < ban.Until;
}

void TBanList::DropExpired()
{
    std::erase_if(bans_, [this](const TBan& ban) { return !InForce(ban); });
}

QString TBanList::Save() const
{
    if (path_.isEmpty())
        return {};
    return WriteFileAtomically(path_, BanFileBytes({bans_, nextId_}));
}

TBanList::TChange TBanList::Commit(std::vector<TBan> changed)
{
    DropExpired();
    TChange change{std::move(changed), {}};
    if (!change.Bans.empty())
        change.SaveError = Save();
    return change;
}

TBanList::TChange TBanList::Add(const TBanTarget& what, std::chrono::minutes duration, const std::string& reason,
                                uid_t who)
{
    const TBan::TTime now = clock_();
    TBanTarget target = what;
    if (auto* name = std::get_if<AnsiString>(&target))
        *name = Protocol::TrimmedName(*name);
    TBan ban{nextId_++, target, duration.count() > 0 ? now + duration : TBan::TTime{}, reason, who, now};
    bans_.push_back(ban);
    return Commit({ban});
}

TBanList::TChange TBanList::LiftId(int id)
{
    std::vector<TBan> lifted;
    std::erase_if(bans_, [&](const TBan& ban) {
        if (ban.Id != id)
            return false;
        lifted.push_back(ban);
        return true;
    });
    return Commit(std::move(lifted));
}

TBanList::TChange TBanList::Lift(const TBanTarget& what)
{
    std::vector<TBan> lifted;
    std::erase_if(bans_, [&](const TBan& ban) {
        if (!SameTarget(ban.What, what))
            return false;
        lifted.push_back(ban);
        return true;
    });
    return Commit(std::move(lifted));
}

std::optional<TBan> TBanList::MatchAddress(const TIpAddress& address) const
{
    for (const TBan& ban : bans_) {
        const auto* pattern = std::get_if<TAddressPattern>(&ban.What);
        if (pattern && pattern->Matches(address) && InForce(ban))
            return ban;
    }
    return std::nullopt;
}

std::optional<TBan> TBanList::MatchName(std::string_view name) const
{
    const AnsiString key = Protocol::PlayerNameKey(name);
    for (const TBan& ban : bans_) {
        const auto* banned = std::get_if<AnsiString>(&ban.What);
        if (banned && Protocol::PlayerNameKey(*banned) == key && InForce(ban))
            return ban;
    }
    return std::nullopt;
}

std::vector<TBan> TBanList::Bans() const
{
    std::vector<TBan> bans;
    std::copy_if(bans_.begin(), bans_.end(), std::back_inserter(bans), [this](const TBan& ban) { return InForce(ban); });
    return bans;
}
