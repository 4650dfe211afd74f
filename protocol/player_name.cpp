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

namespace {

unsigned char AsciiLower(unsigned char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<unsigned char>(c - 'A' + 'a') : c;
}

}  // namespace

bool SameNameIgnoringCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const auto x = static_cast<unsigned char>(a[i]);
        const auto y = static_cast<unsigned char>(b[i]);
        if (Cp932::IsLeadByte(x) && i + 1 < a.size()) {
            // A double-byte character: lead and trail byte as they are.
            if (x != y || a[i + 1] != b[i + 1])
                return false;
            ++i;
        } else if (AsciiLower(x) != AsciiLower(y)) {
            return false;
        }
    }
    return true;
}
