#pragma once

#include <functional>
#include <string_view>
#include <vector>

#include "platform/ansi_string.h"

// The players who joined, in the order of joining: one padded name per entry,
// as Shift-JIS bytes. The same name may stand twice. The operator window shows
// the entries one per line and follows every change through OnAdded and
// OnDeleted, so that its list's rows are always the entries in this order.
class TRoster {
public:
    void Add(const AnsiString& name);
    // The first entry equal to name when ASCII letters are compared without
    // regard to case; -1 when there is none. Both bytes of a Shift-JIS
    // double-byte character must match exactly, so two different characters
    // whose second bytes are letters of different case stay different.
    int IndexOf(std::string_view name) const;
    // Deletes the entry at index; an index outside the roster (-1 included)
    // deletes nothing.
    void Delete(int index);

    int Count() const { return static_cast<int>(entries_.size()); }
    const AnsiString& operator[](int index) const { return entries_.at(static_cast<std::size_t>(index)); }
    // The entries as the comma text that "/list" carries.
    AnsiString Text() const;

    std::function<void(int index, const AnsiString& name)> OnAdded;
    std::function<void(int index)> OnDeleted;

private:
    std::vector<AnsiString> entries_;
};

// Equality of two names with ASCII letters compared without regard to case,
// stepping over Shift-JIS double-byte characters whole.
bool SameNameIgnoringCase(std::string_view a, std::string_view b);
