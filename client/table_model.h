#pragma once

#include <array>
#include <optional>
#include <map>
#include <string_view>
#include <vector>

#include "platform/ansi_string.h"

// One face-up field card: its two-digit number as it came off the wire and
// the padded name of the player who drew it.
struct TFieldCard {
    AnsiString Number;
    AnsiString Drawer;
    bool operator==(const TFieldCard&) const = default;
};

// The shared table as the server's commands drew it: what every client that
// saw the same commands shows alike.
struct TTableState {
    static constexpr int SeatCount = 6;
    static constexpr int SlotCount = 12;

    // The table panel shows: a new game was started since connecting.
    bool Shown = false;
    // Cards in the pile; nothing before the first game (the pile reads "山札").
    std::optional<int> Pile;
    // The filled slots in draw order, at most SlotCount.
    std::vector<TFieldCard> Field;
    // Each seat's padded occupant, empty when free; nothing before the first
    // game (the seat reads "空き").
    std::array<std::optional<AnsiString>, SeatCount> Occupants;
    std::array<int, SeatCount> Hands{};
    // The target text as last set; nothing since a new game began (the target
    // reads "目的数"); empty before the first game.
    std::optional<AnsiString> Target = AnsiString();
    AnsiString Setter;

    bool operator==(const TTableState&) const = default;
};

// What a level-2 server said of the latest hit.
struct TJudgement {
    enum class TVerdict { Reachable, Unreachable, Undecided };
    AnsiString Hitter;
    TVerdict Verdict = TVerdict::Undecided;
    bool First = false;
    // One calculation that makes the target, for a reachable one only.
    AnsiString Expression;
    // The player asked for the expression, or the hitter's answer was judged.
    bool ExpressionShown = false;
    bool operator==(const TJudgement&) const = default;
};

// The client's picture of the game, without any widget: the shared table,
// which seats this client holds, the "HIT!!" flash, the away players and the
// judgement of the latest hit. The window renders it and its buttons check it.
//
// Commands that fall outside the twelve slots and six seats (a thirteenth
// card, a take from an empty field, a seat 6 to 9) leave out the part that
// would go past the table; a move naming seat 6 to 9 is ignored whole, as the
// server ignores it.
class TTableModel {
public:
    static constexpr int SeatCount = TTableState::SeatCount;
    static constexpr int SlotCount = TTableState::SlotCount;

    // Applies one table command ("/take", "/leave", "/fleav", "/draw", "/B2T",
    // "/T2Y", "/B2Y", "/hit", "/init", "/set"); anything else is ignored. A
    // seat field that is not a digit raises EConvertError: in "/take",
    // "/leave" and "/fleav" before any change, in "/B2T" after the field card
    // was taken, in "/T2Y" after the pile was raised.
    void Apply(std::string_view commandText);
    // True for a text that Apply takes (one of the ten words above).
    static bool IsTableCommand(std::string_view commandText);

    const TTableState& Table() const { return table_; }
    int FieldCount() const { return static_cast<int>(table_.Field.size()); }

    // The connection starts over: the table hides until the next new game.
    void Hide() { table_.Shown = false; }

    // The seats this client holds: its own record, changed by its sit button,
    // a new game and a level-2 resume, never by another player's command.
    bool OwnsSeat(int seat) const { return ownSeats_[static_cast<std::size_t>(seat)]; }
    void SetOwnSeat(int seat, bool own) { ownSeats_[static_cast<std::size_t>(seat)] = own; }
    // Holds every seat whose occupant is the name, as after a level-2 resync.
    void ClaimSeatsOf(const AnsiString& paddedName);
    // True when the client holds a seat.
    bool HoldsASeat() const;
    // The first free seat; one not known yet counts as free (our clients sit
    // only once a game has shown the table).
    std::optional<int> FreeSeat() const;

    bool HitShown() const { return hitShown_; }
    void EndHit() { hitShown_ = false; }

    // Away marks belong to roster entries: a name may stand in the roster
    // more than once, some of its entries away and some not. A name's seats
    // are away when every entry of that name is away.
    bool IsAway(const AnsiString& paddedName) const;
    // The roster entry at index (of the roster last kept) is away: the first
    // entries of a name carry its away marks.
    bool IsAwayEntry(std::size_t index) const;
    // "/away" (away) or "/back" for one entry of the name.
    void SetAway(const AnsiString& paddedName, bool away);
    // A new roster. An entry that went is taken to be an away one of its
    // name while the name has one: the server removes away entries when
    // their grace ends, and a connected player who leaves seldom has an away
    // entry of its own name beside it.
    void KeepAwayIn(const std::vector<AnsiString>& roster);
    void ClearAway() { awayCounts_.clear(); }

    // "/judge " name " " verdict " " first " " expression; false, changing
    // nothing, for a text that does not hold a verdict and a first mark.
    bool ApplyJudgement(std::string_view commandText);
    const std::optional<TJudgement>& Judgement() const { return judgement_; }
    void ShowExpression();
    // A "【判定】" chat line for the judged hitter shows the expression.
    void ChatLine(std::string_view line);

private:
    void Take(std::string_view text);
    void Leave(std::string_view text);
    void Draw(std::string_view text);
    void FieldToHand(std::string_view text);
    void HandToPile(std::string_view text);
    void FieldToPile();
    void NewGame();
    void SetTarget(std::string_view text);
    void TakeLastFieldCard();

    TTableState table_;
    std::array<bool, SeatCount> ownSeats_{};
    bool hitShown_ = false;
    int EntriesOf(const AnsiString& paddedName) const;
    void SetAwayCount(const AnsiString& paddedName, int count);

    std::vector<AnsiString> roster_;
    // How many roster entries of each name are away.
    std::map<AnsiString, int> awayCounts_;
    std::optional<TJudgement> judgement_;
};
