#pragma once

#include <sys/types.h>

#include <QString>
#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "platform/address_pattern.h"
#include "platform/ansi_string.h"

// What a ban applies to: a player name (code page 932 bytes, without the
// padding spaces) or the addresses of a pattern.
using TBanTarget = std::variant<AnsiString, TAddressPattern>;

// One ban the operator gave.
struct TBan {
    using TTime = std::chrono::system_clock::time_point;
    int Id = 0;
    TBanTarget What;
    TTime Until{};  // the epoch itself: until lifted
    std::string Reason;  // UTF-8
    uid_t Who = 0;  // the operator's uid
    TTime When{};

    bool UntilLifted() const { return Until == TTime{}; }
    // The name (as UTF-8) or the address pattern.
    std::string WhatText() const;
};

// The bans of a server, kept in a file (bans.json) that every change rewrites
// atomically. Names match ignoring ASCII letter case and the padding spaces
// of the wire (both sides are trimmed before comparing); addresses match by
// their patterns, an IPv4 peer on a dual-stack socket as its IPv4 address.
// A ban whose time has passed no longer matches and is dropped at the next
// change or load. Times come from a clock that tests replace.
class TBanList {
public:
    using TClock = std::function<TBan::TTime()>;
    explicit TBanList(TClock clock = std::chrono::system_clock::now);

    // Reads the file at path and keeps it as the place of every later save.
    // A missing file is an empty list. A file that cannot be read or parsed
    // gives a text naming the file and what is wrong; the list is then
    // unchanged and nothing is ever saved over that file.
    QString Load(const QString& path);
    const QString& Path() const { return path_; }

    // What a change did: the bans it added or lifted, and why the file could
    // not be written (empty when it was, or when the list has no file).
    struct TChange {
        std::vector<TBan> Bans;
        QString SaveError;
    };
    // duration zero: until lifted.
    TChange Add(const TBanTarget& what, std::chrono::minutes duration, const std::string& reason, uid_t who);
    TChange LiftId(int id);
    // Lifts every ban of that name (letter case aside) or of exactly that pattern.
    TChange Lift(const TBanTarget& what);

    // The ban that applies now, if any.
    std::optional<TBan> MatchAddress(const TIpAddress& address) const;
    std::optional<TBan> MatchName(std::string_view name) const;
    // Every ban in force, oldest first.
    std::vector<TBan> Bans() const;

private:
    bool InForce(const TBan& ban) const;
    void DropExpired();
    QString Save() const;
    TChange Commit(std::vector<TBan> changed);

    TClock clock_;
    QString path_;
    std::vector<TBan> bans_;
    int nextId_ = 1;
};
