#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <vector>

#include "dealer/dealer.h"
#include "records/game_record.h"

// Keeps what happens during one dealt game at a table, in order, with the
// milliseconds since its start, and gives the finished game's record. The
// reaction time of a take needs the deal after which the target could first
// be made: found when the take comes, by solving prefixes of the field.
class TGameRecorder {
public:
    using TimePoint = std::chrono::steady_clock::time_point;

    // What a restart keeps of the game being recorded, so that its record
    // after the restart holds every event from its start.
    struct TSaved {
        Records::TGameRecord Record;  // the table, host, start, fields and events so far
        std::optional<int> Target;
        std::vector<std::size_t> FieldDeals;
        std::vector<std::pair<AnsiString, int>> Seats;
    };

    bool Recording() const { return recording_; }

    TSaved Save() const;
    // Goes on recording a saved game; the time between the save and now (the
    // restart) counts as time of the game, as the players lived it.
    void Restore(TSaved saved, TimePoint now);

    // The game starts; its players' seats follow as Sat.
    void Started(const AnsiString& table, const AnsiString& host, const Dealer::TGameOptions& options, TimePoint now);
    void Sat(const AnsiString& name, int seat, TimePoint now);
    void Left(const AnsiString& name, TimePoint now);
    void Target(int target, TimePoint now);
    void Dealt(int card, TimePoint now);
    void Cleared(TimePoint now);
    void Hit(const AnsiString& name, char verdict, bool opened, TimePoint now);
    void Answered(const AnsiString& name, const AnsiString& expression, bool correct, TimePoint now);
    // A take; field: the cards taken, in the order they were dealt.
    void Took(const AnsiString& name, const std::vector<int>& field, TimePoint now);
    void Penalised(const AnsiString& name, const std::string& why, TimePoint now);

    // The record of the game that ended: players in standing order (the
    // dealer's players, their cards as the hands hold them now).
    Records::TGameRecord Finish(const std::vector<AnsiString>& players, const std::vector<int>& botLevels,
                                const Dealer::TTableView& seats, bool stopped, TimePoint now,
                                const std::function<bool(const AnsiString&)>& isRegistered);

private:
    void Add(Records::EEventKind kind, TimePoint now, const AnsiString& player = {}, int number = 0,
             bool flag = false, const AnsiString& text = {});
    // Marks the first deal of the taken field after which the target could be made.
    void MarkFirstMakeable(const std::vector<int>& field);

    bool recording_ = false;
    Records::TGameRecord record_;
    TimePoint start_{};
    std::optional<int> target_;
    // Where the deals of the present field begin in the events.
    std::vector<std::size_t> fieldDeals_;
    std::vector<std::pair<AnsiString, int>> seats_;
};
