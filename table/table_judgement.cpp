// Hits at a table: the server's time stamp, the verdict for level-2
// connections, and the hitter's answer judged in front of everyone.
#include <algorithm>

#include "platform/cp932.h"
#include "platform/date_time_text.h"
#include "protocol/command_layout.h"
#include "protocol/command_words.h"
#include "protocol/fields.h"
#include "protocol/padded_name.h"
#include "table/game_table.h"
#include "solver/answer_check.h"
#include "solver/card_values.h"

using namespace Protocol;

void TGameTable::Hit(std::string_view text)
{
    SendTextToAll(AnsiString(text) + " " + DateTimeText::Now());
    const AnsiString name = NameField(text, Layout::HitName);
    const bool first = !hitSinceChange_;
    hitSinceChange_ = true;
    mayAnswer_.push_back(name);
    const auto judging = std::chrono::steady_clock::now();
    const THitJudge::TVerdict verdict = Judge.Judge(FieldCards(), Target());
    if (services_.Counters.Judged)
        services_.Counters.Judged(std::chrono::duration<double>(std::chrono::steady_clock::now() - judging).count());
    SendToLevel2(AnsiString(Command::Judge) + " " + name + " " + verdict.Verdict + " " + (first ? "1" : "0") + " " +
                     verdict.Expression,
                 nullptr);
    if (dealer_.Running()) {
        Dealer::TOutputs outputs;
        dealer_.Hit(PaddedName(name), verdict.Verdict, View(), services_.Now(), outputs);
        recorder_.Hit(name, verdict.Verdict, SameNameIgnoringCase(dealer_.Hitter(), name), services_.Now());
        Deliver(outputs);
        ScheduleWake();
    }
}

bool TGameTable::Answer(std::string_view text)
{
    const AnsiString name = NameField(text, Layout::AnswerName);
    if (text.substr(Layout::AnswerName - 1 + PaddedNameLength, 1) != " ")
        return false;
    return JudgeAnswer(name, FieldFrom(text, Layout::AnswerText), false);
}

bool TGameTable::JudgeAnswer(const AnsiString& name, std::string_view expression, bool fromChat)
{
    // Only a player who hit since the field or target last changed may
    // answer, once for each hit.
    const auto hitter = std::find_if(mayAnswer_.begin(), mayAnswer_.end(),
                                     [&](const AnsiString& h) { return SameNameIgnoringCase(h, name); });
    if (hitter == mayAnswer_.end())
        return false;
    const Solver::AnswerResult result = Solver::CheckAnswer(expression, FieldCards());
    // A chat line of the awaited hitter is an answer only when it reads as one.
    if (fromChat && result.outcome == Solver::AnswerOutcome::Unreadable)
        return false;
    mayAnswer_.erase(hitter);
    const AnsiString shown = AnsiString(expression.substr(0, Solver::MaxAnswerBytes));
    AnsiString line = Cp932::FromUtf8("【判定】") + name + " " + shown;
    bool right = false;
    switch (result.outcome) {
    case Solver::AnswerOutcome::Unreadable:
        line += Cp932::FromUtf8(" 式が読めません");
        break;
    case Solver::AnswerOutcome::NotOnField:
        line += Cp932::FromUtf8(" 場札にない数");
        break;
    case Solver::AnswerOutcome::Evaluated: {
        const auto target = Target();
        right = target && result.value == Solver::Rational{*target, 1};
        line += " = " + Solver::RationalText(result.value) + Cp932::FromUtf8(right ? " 正解" : " 不正解");
        break;
    }
    }
    SendTextToAll(line);
    if (dealer_.Running() && SameNameIgnoringCase(name, dealer_.Hitter())) {
        recorder_.Answered(name, shown, right, services_.Now());
        Dealer::TOutputs outputs;
        dealer_.Answered(dealer_.Hitter(), right, View(), services_.Now(), outputs);
        Deliver(outputs);
        ScheduleWake();
    }
    return true;
}

void TGameTable::TableChanged()
{
    hitSinceChange_ = false;
    mayAnswer_.clear();
}

std::vector<int> TGameTable::FieldCards() const
{
    return std::vector<int>(Bafuda.Cards, Bafuda.Cards + Bafuda.Count);
}

std::optional<std::int64_t> TGameTable::Target() const
{
    // The target set since the last new game; none before one is set.
    if (Table.SetText.empty())
        return std::nullopt;
    return Solver::ParseTarget(FieldFrom(Table.SetText, Layout::SetTarget));
}
