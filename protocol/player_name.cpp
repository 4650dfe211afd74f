#include "protocol/player_name.h"

#include <QString>

#include "platform/cp932.h"
#include "protocol/padded_name.h"
#include "protocol/tables.h"

namespace Protocol {

AnsiString TrimmedName(std::string_view name)
{
    const std::size_t end = name.find_last_not_of(' ');
    return AnsiString(end == std::string_view::npos ? std::string_view() : name.substr(0, end + 1));
}

AnsiString PlayerNameKey(std::string_view name)
{
    return Tables::TableNameKey(TrimmedName(name));
}

std::optional<AnsiString> PlayerNameFromUtf8(std::string_view utf8)
{
    const QString text = QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
    const AnsiString bytes = Cp932::Encode(text);
    if (bytes.empty() || bytes.size() > static_cast<std::size_t>(PaddedNameLength) || bytes.back() == ' ')
        return std::nullopt;
    if (Cp932::Decode(bytes) != text)
        return std::nullopt;
    for (QChar c : text)
        if (c.category() == QChar::Other_Control)
            return std::nullopt;
    return bytes;
}

}  // namespace Protocol
