#include "table/roster.h"

#include "platform/cp932.h"
#include "protocol/roster_text.h"
#include "table/session_token.h"
#include "transport/packet_connection.h"

int TRoster::Add(const AnsiString& name, TPacketConnection* owner, int level)
{
    TRosterEntry entry;
    entry.Name = name;
    entry.Owner = owner;
    entry.Since = std::chrono::system_clock::now();
    if (owner) {
        entry.Address = owner->PeerAddress();
        entry.Level = level;
    }
    entries_.push_back(std::move(entry));
    if (OnAdded)
        OnAdded(Count() - 1, name);
    return Count() - 1;
}

int TRoster::IndexOf(std::string_view name) const
{
    for (int i = 0; i < Count(); ++i)
        if (SameNameIgnoringCase(Entry(i).Name, name))
            return i;
    return -1;
}

int TRoster::IndexOf(std::string_view name, const TPacketConnection* owner) const
{
    for (int i = 0; i < Count(); ++i)
        if (Entry(i).Owner == owner && SameNameIgnoringCase(Entry(i).Name, name))
            return i;
    return -1;
}

int TRoster::IndexOfAwayToken(std::string_view token) const
{
    const std::string hash = SessionTokenHash(token);
    for (int i = 0; i < Count(); ++i)
        if (Entry(i).Away && !Entry(i).TokenHash.empty() && SameToken(Entry(i).TokenHash, hash))
            return i;
    return -1;
}

void TRoster::SetToken(int index, std::string_view token)
{
    Update(index, [hash = SessionTokenHash(token)](TRosterEntry& entry) { entry.TokenHash = hash; });
}

void TRoster::Delete(int index)
{
    if (index < 0 || index >= Count())
        return;
    entries_.erase(entries_.begin() + index);
    if (OnDeleted)
        OnDeleted(index);
}

void TRoster::Update(int index, const std::function<void(TRosterEntry&)>& change)
{
    if (index < 0 || index >= Count())
        return;
    TRosterEntry& entry = entries_[static_cast<std::size_t>(index)];
    change(entry);
    if (OnChanged)
        OnChanged(index, entry);
}

AnsiString TRoster::Text() const
{
    std::vector<AnsiString> names;
    names.reserve(entries_.size());
    for (const TRosterEntry& entry : entries_)
        names.push_back(entry.Name);
    return Protocol::RosterText(names);
}
