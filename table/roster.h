#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ansi_string.h"
#include "protocol/player_name.h"

class TPacketConnection;

// One roster entry: the padded name a "/join" carried, the connection that
// joined with it (null once that connection has gone), the SHA-256 of the
// level-2 token that lets a dropped player take the entry back (the token
// itself is only ever sent to its player, never kept), and whether the entry
// is away (its connection dropped without leaving) and until when.
struct TRosterEntry {
    AnsiString Name;
    TPacketConnection* Owner = nullptr;
    // Hex SHA-256 of the token; empty for an entry without one (level 1).
    std::string TokenHash;
    bool Away = false;
    // When an away entry's grace period ends; unset (epoch) with no end.
    std::chrono::steady_clock::time_point AwayUntil{};
    // When the entry was made (the operator's listing shows it).
    std::chrono::system_clock::time_point Since{};
    // A computer player the table plays: never away, no connection.
    bool Bot = false;
    // The address and protocol level (1 or 2) of the connection that last
    // held the entry, kept while it is away so that the operator sees where
    // a dropped player came from; empty and 0 when none has held it.
    AnsiString Address;
    int Level = 0;
};

// The players who joined, in the order of joining: one padded name per entry,
// as Shift-JIS bytes. The same name may stand twice. The operator window shows
// the entries one per line and follows every change through OnAdded,
// OnDeleted and OnChanged, so that its list's rows are always the entries in
// this order.
class TRoster {
public:
    // Appends an entry held by owner (if any) at that protocol level; returns its index.
    int Add(const AnsiString& name, TPacketConnection* owner = nullptr, int level = 0);
    // The first entry equal to name when ASCII letters are compared without
    // regard to case; -1 when there is none. Both bytes of a Shift-JIS
    // double-byte character must match exactly, so two different characters
    // whose second bytes are letters of different case stay different.
    int IndexOf(std::string_view name) const;
    // The first entry of owner's equal to name (letter case aside); -1 when none.
    int IndexOf(std::string_view name, const TPacketConnection* owner) const;
    // The away entry whose token hash is token's; -1 when none.
    int IndexOfAwayToken(std::string_view token) const;
    // Gives the entry at index a token: only its hash is kept.
    void SetToken(int index, std::string_view token);
    // Deletes the entry at index; an index outside the roster (-1 included)
    // deletes nothing.
    void Delete(int index);
    // Changes an entry in place (its name stays) and tells the window.
    void Update(int index, const std::function<void(TRosterEntry&)>& change);

    int Count() const { return static_cast<int>(entries_.size()); }
    const AnsiString& operator[](int index) const { return Entry(index).Name; }
    const TRosterEntry& Entry(int index) const { return entries_.at(static_cast<std::size_t>(index)); }
    const std::vector<TRosterEntry>& Entries() const { return entries_; }
    // The entries as the comma text that "/list" carries.
    AnsiString Text() const;

    std::function<void(int index, const AnsiString& name)> OnAdded;
    std::function<void(int index)> OnDeleted;
    std::function<void(int index, const TRosterEntry& entry)> OnChanged;

private:
    std::vector<TRosterEntry> entries_;
};
