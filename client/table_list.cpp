#include "client/table_list.h"

#include <QRandomGenerator>

#include "client/server_address.h"
#include "protocol/command_words.h"

using namespace Protocol;

namespace {

// Random lowercase hex digits from the system's source.
std::string RandomHex(int digits)
{
    static constexpr char Hex[] = "0123456789abcdef";
    std::string text;
    for (int i = 0; i < digits; ++i)
        text += Hex[QRandomGenerator::system()->bounded(16)];
    return text;
}

}  // namespace

bool TTableList::Apply(std::string_view text)
{
    if (text == Tables::ListBegin) {
        incoming_.clear();
        receiving_ = true;
    } else if (text == Tables::ListEnd && receiving_) {
        rows_ = std::move(incoming_);
        incoming_.clear();
        receiving_ = false;
        return true;
    } else if (receiving_) {
        if (std::optional<Tables::TTableRow> row = Tables::ReadTableRow(text))
            incoming_.push_back(std::move(*row));
    }
    return false;
}

void TTableList::Clear()
{
    rows_.clear();
    incoming_.clear();
    receiving_ = false;
}

std::optional<TTableChoice> TTableList::ListedChoice(int row, bool watch) const
{
    if (row < 0 || row >= static_cast<int>(rows_.size()))
        return std::nullopt;
    TTableChoice choice;
    const AnsiString& name = rows_[static_cast<std::size_t>(row)].Name;
    if (!name.empty())
        choice.Table = name;
    choice.Watch = watch;
    return choice;
}

std::optional<TTableChoice> TTableList::NewTableChoice(const QString& name, const QString& key, QString& problem)
{
    TTableChoice choice;
    choice.Table = ReadTableName(name.trimmed());
    if (!choice.Table) {
        problem = AddressProblemSentence(TAddressProblem::Table);
        return std::nullopt;
    }
    if (!key.isEmpty()) {
        const std::string bytes = key.toStdString();
        if (!Tables::IsTableKey(bytes)) {
            problem = AddressProblemSentence(TAddressProblem::Key);
            return std::nullopt;
        }
        choice.Key = bytes;
    }
    problem.clear();
    return choice;
}

TTableChoice TTableList::PracticeChoice(const QString& namePrefix)
{
    TTableChoice choice;
    // Eight digits after the prefix keep the name within 16 characters; a
    // prefix that no table name may hold is left out.
    const std::string digits = RandomHex(8);
    choice.Table = ReadTableName(namePrefix.left(8) + QString::fromStdString(digits)).value_or(AnsiString(digits));
    choice.Key = RandomHex(24);
    return choice;
}
