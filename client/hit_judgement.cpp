// The judgement of the latest hit, as a level-2 server reports it after each
// "/hit": the verdict, whether the hitter was first, and one calculation that
// makes the target, shown when the player asks or once the hitter's own
// answer was judged in the chat.
#include "client/table_model.h"
#include "platform/cp932.h"
#include "protocol/command_layout.h"
#include "protocol/fields.h"
#include "protocol/padded_name.h"

using namespace Protocol;

namespace {

// Each field follows the one before it after a space.
constexpr int VerdictPosition = Layout::JudgeName + PaddedNameLength + 1;
constexpr int FirstPosition = VerdictPosition + 2;
constexpr int ExpressionPosition = FirstPosition + 2;

// What opens the chat line with which the server judges a hitter's answer.
const AnsiString JudgedLineOpening = Cp932::FromUtf8("【判定】");

std::optional<TJudgement::TVerdict> Verdict(const AnsiString& field)
{
    if (field == "Y")
        return TJudgement::TVerdict::Reachable;
    if (field == "N")
        return TJudgement::TVerdict::Unreachable;
    if (field == "?")
        return TJudgement::TVerdict::Undecided;
    return std::nullopt;
}

}  // namespace

bool TTableModel::ApplyJudgement(std::string_view text)
{
    const std::optional<TJudgement::TVerdict> verdict = Verdict(Field(text, VerdictPosition, 1));
    const AnsiString first = Field(text, FirstPosition, 1);
    if (!verdict || (first != "0" && first != "1"))
        return false;
    TJudgement judgement;
    judgement.Hitter = NameField(text, Layout::JudgeName);
    judgement.Verdict = *verdict;
    judgement.First = first == "1";
    if (*verdict == TJudgement::TVerdict::Reachable)
        judgement.Expression = FieldFrom(text, ExpressionPosition);
    judgement_ = judgement;
    return true;
}

void TTableModel::ShowExpression()
{
    if (judgement_)
        judgement_->ExpressionShown = true;
}

void TTableModel::ChatLine(std::string_view line)
{
    if (judgement_ && line.substr(0, JudgedLineOpening.size()) == JudgedLineOpening &&
        line.substr(JudgedLineOpening.size(), judgement_->Hitter.size()) == judgement_->Hitter)
        judgement_->ExpressionShown = true;
}
