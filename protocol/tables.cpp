#include "protocol/tables.h"

#include <QList>
#include <QString>
#include <charconv>

#include "platform/cp932.h"
#include "protocol/level2.h"

namespace Protocol::Tables {

namespace {

constexpr std::string_view TableField = "TABLE=";
constexpr std::string_view KeyField = "KEY=";
constexpr std::string_view NameKeyField = "NAMEKEY=";
constexpr std::string_view ResumeField = "RESUME=";
constexpr std::string_view WatchField = "WATCH";

bool StartsWith(std::string_view text, std::string_view prefix)
{
    return text.substr(0, prefix.size()) == prefix;
}

// The next space-separated word of text from position at (moved past it).
std::string_view NextWord(std::string_view text, std::size_t& at)
{
    const std::size_t end = std::min(text.find(' ', at), text.size());
    const std::string_view word = text.substr(at, end - at);
    at = end + 1;
    return word;
}

bool ReadCount(std::string_view word, int& value)
{
    const auto [end, error] = std::from_chars(word.data(), word.data() + word.size(), value);
    return error == std::errc() && end == word.data() + word.size() && value >= 0;
}

}  // namespace

bool IsTableName(std::string_view name)
{
    if (name.empty() || name.size() > static_cast<std::size_t>(MaxNameBytes))
        return false;
    const QString text = Cp932::Decode(name);
    // Encoding again must give the same bytes: no invalid pair, no lead byte cut off.
    if (Cp932::Encode(text) != name)
        return false;
    const QList<uint> characters = text.toUcs4();
    if (characters.size() > MaxNameCharacters)
        return false;
    for (uint c : characters) {
        if (c == 0xFFFD || !QChar::isPrint(c) || QChar::isSpace(c))
            return false;
        if (c < 0x80 && ForbiddenNameBytes.find(static_cast<char>(c)) != std::string_view::npos)
            return false;
    }
    return true;
}

bool IsTableKey(std::string_view key)
{
    if (key.empty() || key.size() > static_cast<std::size_t>(MaxKeyLength))
        return false;
    for (char c : key)
        if (c < 0x21 || c > 0x7E)
            return false;
    return true;
}

AnsiString TableNameKey(std::string_view name)
{
    // Shift-JIS second bytes may be ASCII letters: only single-byte
    // characters are lowered.
    AnsiString key(name);
    for (std::size_t i = 0; i < key.size(); ++i) {
        const auto b = static_cast<unsigned char>(key[i]);
        if (Cp932::IsLeadByte(b))
            ++i;
        else if (b >= 'A' && b <= 'Z')
            key[i] = static_cast<char>(b - 'A' + 'a');
    }
    return key;
}

std::optional<TAnnouncement> ReadAnnouncement(std::string_view trailer)
{
    if (!Level2::Announces(trailer))
        return std::nullopt;
    // A trailer may end in a NUL of its own.
    trailer = trailer.substr(0, trailer.find('\0'));
    TAnnouncement announcement;
    std::size_t at = Level2::Announcement.size();
    if (at < trailer.size() && trailer[at] != ' ')
        return announcement;  // "KIVOL/2x": an announcement with no fields we know
    ++at;
    while (at < trailer.size()) {
        const std::string_view field = NextWord(trailer, at);
        if (StartsWith(field, ResumeField)) {
            const std::string_view token = field.substr(ResumeField.size());
            if (Level2::IsToken(token))
                announcement.Token = token;
        } else if (StartsWith(field, TableField)) {
            announcement.Table = AnsiString(field.substr(TableField.size()));
        } else if (StartsWith(field, KeyField)) {
            announcement.Key = std::string(field.substr(KeyField.size()));
        } else if (StartsWith(field, NameKeyField)) {
            announcement.NameKey = std::string(field.substr(NameKeyField.size()));
        } else if (field == WatchField) {
            announcement.Watch = true;
        }
    }
    return announcement;
}

std::string AnnouncementText(const TAnnouncement& announcement)
{
    std::string text(Level2::Announcement);
    if (!announcement.Token.empty())
        text += " " + std::string(ResumeField) + announcement.Token;
    if (announcement.Table)
        text += " " + std::string(TableField) + *announcement.Table;
    if (announcement.Key)
        text += " " + std::string(KeyField) + *announcement.Key;
    if (announcement.NameKey)
        text += " " + std::string(NameKeyField) + *announcement.NameKey;
    if (announcement.Watch)
        text += " " + std::string(WatchField);
    return text;
}

AnsiString TableRowText(const TTableRow& row)
{
    return AnsiString(ListRow) + std::to_string(row.Players) + " " + std::to_string(row.Seated) + " " +
           std::to_string(row.Watchers) + " " + (row.Game ? "1" : "0") + " " + row.Name;
}

std::optional<TTableRow> ReadTableRow(std::string_view text)
{
    if (!StartsWith(text, ListRow))
        return std::nullopt;
    TTableRow row;
    std::size_t at = ListRow.size();
    const std::string_view game = (ReadCount(NextWord(text, at), row.Players) &&
                                   ReadCount(NextWord(text, at), row.Seated) &&
                                   ReadCount(NextWord(text, at), row.Watchers))
                                      ? NextWord(text, at)
                                      : std::string_view("x");
    if ((game != "0" && game != "1") || at > text.size() + 1)
        return std::nullopt;
    row.Game = game == "1";
    row.Name = at < text.size() ? AnsiString(text.substr(at)) : AnsiString();
    return row;
}

std::string_view RefusalReason(TRefusal refusal)
{
    static constexpr std::string_view reasons[] = {"key", "tables", "full", "name", "banned", "kicked", "closed", "claimed"};
    return reasons[static_cast<int>(refusal)];
}

AnsiString RefusalSentence(TRefusal refusal)
{
    static constexpr const char* sentences[] = {
        "このテーブルには鍵が必要です",
        "テーブルの数が上限に達しています",
        "このテーブルは満員です",
        "テーブル名が正しくありません",
        "このサーバーへの接続は禁止されています",
        "管理者によって退出させられました",
        "サーバーまたはテーブルが閉じられました",
        "この名前は登録されています",
    };
    return Cp932::FromUtf8(sentences[static_cast<int>(refusal)]);
}

AnsiString RefusedText(TRefusal refusal, std::string_view text)
{
    return AnsiString(Command::Refused) + " " + AnsiString(RefusalReason(refusal)) + " " + AnsiString(text);
}

std::optional<TRefusedCommand> ReadRefused(std::string_view text)
{
    if (!StartsWith(text, Command::Refused) || text.size() <= Command::Refused.size() || text[Command::Refused.size()] != ' ')
        return std::nullopt;
    std::size_t at = Command::Refused.size() + 1;
    TRefusedCommand command;
    command.Reason = AnsiString(NextWord(text, at));
    command.Text = at < text.size() ? AnsiString(text.substr(at)) : AnsiString();
    return command;
}

}  // namespace Protocol::Tables
