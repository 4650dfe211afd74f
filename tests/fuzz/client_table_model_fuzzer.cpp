// The client's table model alone, fed arbitrary commands. Each input is a
// series of packets (a length byte, then that many payload bytes); each
// payload's text goes to the model as a table command, as a judgement and as
// a chat line, and its first 8 bytes mark or unmark an away player.
// After every packet:
// - the only failure is a seat field that is not a digit (EConvertError), and
//   a failing "/take", "/leave" or "/fleav" changes nothing;
// - a text that is no table command leaves the table alone;
// - the field holds at most twelve cards, none of them the empty pile's "99",
//   and every name on the table is at most 8 bytes;
// - a judgement carries an expression only for a reachable target.
#include "client/table_model.h"
#include "fuzz_support.h"
#include "platform/exceptions.h"
#include "protocol/command_words.h"

namespace {

using namespace Protocol;

bool ReadsSeatFirst(std::string_view text)
{
    return IsCommand(text, Command::Take) || IsCommand(text, Command::Leave) || IsCommand(text, Command::FLeave);
}

void Check(const TTableModel& model)
{
    const TTableState& table = model.Table();
    if (table.Field.size() > TTableModel::SlotCount)
        fuzz::Fail("more than twelve field cards: " + std::to_string(table.Field.size()));
    for (const TFieldCard& card : table.Field) {
        if (card.Number.size() > 2 || card.Number == "99")
            fuzz::Fail("a field card numbered '" + card.Number + "'");
        if (card.Drawer.size() > 8)
            fuzz::Fail("a drawer's name of " + std::to_string(card.Drawer.size()) + " bytes");
    }
    for (const auto& occupant : table.Occupants)
        if (occupant && occupant->size() > 8)
            fuzz::Fail("an occupant's name of " + std::to_string(occupant->size()) + " bytes");
    if (table.Setter.size() > 8)
        fuzz::Fail("a setter's name of " + std::to_string(table.Setter.size()) + " bytes");
    const auto& judgement = model.Judgement();
    if (judgement && !judgement->Expression.empty() && judgement->Verdict != TJudgement::TVerdict::Reachable)
        fuzz::Fail("an expression without a reachable target");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    TTableModel model;
    fuzz::InputReader input(data, size);
    while (!input.AtEnd()) {
        const std::string_view payload = input.Bytes(input.Byte());
        const std::string_view text = payload.substr(0, payload.find('\0'));
        const TTableState before = model.Table();
        try {
            model.Apply(text);
        } catch (const EConvertError&) {
            if (ReadsSeatFirst(text) && !(model.Table() == before))
                fuzz::Fail("a failing seat command changed the table: " + std::string(text));
        }
        if (!TTableModel::IsTableCommand(text) && !(model.Table() == before))
            fuzz::Fail("a text that is no table command changed the table: " + std::string(text));
        model.ApplyJudgement(text);
        model.ChatLine(text);
        model.SetAway(AnsiString(text.substr(0, 8)), payload.size() % 2 == 0);
        model.ClaimSeatsOf(AnsiString(text.substr(0, 8)));
        Check(model);
    }
    return 0;
}
