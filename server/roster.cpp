#include "server/roster.h"

#include "platform/cp932.h"
#include "protocol/roster_text.h"
#include "server/session_token.h"

namespace {

unsigned char AsciiLower(unsigned char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<unsigned char>(c - 'A' + 'a') : c;
}

}  // namespace

bool SameNameIgnoringCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const auto x = static_cast<unsigned char>(a[i]);
        const auto y = static_cast<unsigned char>(b[i]);
        if (Cp932::IsLeadByte(x) && i + 1 < a.size()) {
            // A double-byte character: lead and trail byte as they are.
            if (x != y || a[i + 1] != b[i + 1])
                return false;
            ++i;
        } else if (AsciiLower(x) != AsciiLower(y)) {
            return false;
        }
    }
    return true;
}

int TRoster::Add(const AnsiString& name, TPacketConnection* owner)
{
    entries_.push_back(TRosterEntry{name, owner, {}, false, {}});
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
    for (int i = 0; i < Count(); ++i)
        if (Entry(i).Away && !Entry(i).Token.empty() && SameToken(Entry(i).Token, token))
            return i;
    return -1;
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
