#include "server/roster.h"

#include "platform/cp932.h"
#include "protocol/roster_text.h"

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

void TRoster::Add(const AnsiString& name)
{
    entries_.push_back(name);
    if (OnAdded)
        OnAdded(Count() - 1, name);
}

int TRoster::IndexOf(std::string_view name) const
{
    for (int i = 0; i < Count(); ++i)
        if (SameNameIgnoringCase(entries_[static_cast<std::size_t>(i)], name))
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

AnsiString TRoster::Text() const
{
    return Protocol::RosterText(entries_);
}
