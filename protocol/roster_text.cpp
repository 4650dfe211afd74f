#include "protocol/roster_text.h"

#include "platform/cp932.h"

namespace Protocol {

namespace {

constexpr char Quote = '"';
constexpr char Comma = ',';

bool IsBlank(char c)
{
    return static_cast<unsigned char>(c) <= 0x20;
}

bool NeedsQuotes(std::string_view entry)
{
    for (char c : entry)
        if (IsBlank(c) || c == Quote || c == Comma)
            return true;
    return false;
}

// Bytes taken by the character at i: two for a lead byte that has a byte after
// it, otherwise one.
std::size_t CharLength(std::string_view text, std::size_t i)
{
    return Cp932::IsLeadByte(static_cast<unsigned char>(text[i])) && i + 1 < text.size() ? 2 : 1;
}

// The entry inside double quotes, doubling the quotes that a reader, stepping
// over double-byte characters, will see as quotes.
AnsiString Quoted(std::string_view entry)
{
    AnsiString out(1, Quote);
    for (std::size_t i = 0; i < entry.size();) {
        const std::size_t n = CharLength(entry, i);
        out.append(entry.substr(i, n));
        if (n == 1 && entry[i] == Quote)
            out += Quote;
        i += n;
    }
    out += Quote;
    return out;
}

// Reads roster text entry by entry; the position never passes the text's end.
class RosterScanner {
public:
    explicit RosterScanner(std::string_view text) : text_(text.substr(0, text.find('\0'))) {}

    std::vector<AnsiString> Split()
    {
        std::vector<AnsiString> entries;
        SkipBlanks();
        while (!AtEnd()) {
            entries.push_back(At(Quote) ? QuotedEntry() : BareEntry());
            SkipBlanks();
            if (At(Comma)) {
                if (pos_ + 1 == text_.size())
                    entries.emplace_back();
                ++pos_;
                SkipBlanks();
            }
        }
        return entries;
    }

private:
    bool AtEnd() const { return pos_ >= text_.size(); }
    bool At(char c) const { return !AtEnd() && text_[pos_] == c; }

    void SkipBlanks()
    {
        while (!AtEnd() && IsBlank(text_[pos_]))
            ++pos_;
    }

    // Appends the character at the position to the entry and steps past it.
    void TakeChar(AnsiString& entry)
    {
        const std::size_t n = CharLength(text_, pos_);
        entry.append(text_.substr(pos_, n));
        pos_ += n;
    }

    AnsiString QuotedEntry()
    {
        AnsiString entry;
        ++pos_;
        while (!AtEnd()) {
            if (At(Quote)) {
                ++pos_;
                if (!At(Quote))
                    break;
                entry += Quote;
                ++pos_;
            } else {
                TakeChar(entry);
            }
        }
        return entry;
    }

    AnsiString BareEntry()
    {
        AnsiString entry;
        while (!AtEnd() && !At(Comma) && !IsBlank(text_[pos_]))
            TakeChar(entry);
        return entry;
    }

    std::string_view text_;
    std::size_t pos_ = 0;
};

}  // namespace

AnsiString RosterText(const std::vector<AnsiString>& entries)
{
    if (entries.size() == 1 && entries.front().empty())
        return AnsiString(2, Quote);
    AnsiString text;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (i > 0)
            text += Comma;
        text += NeedsQuotes(entries[i]) ? Quoted(entries[i]) : entries[i];
    }
    return text;
}

std::vector<AnsiString> SplitRosterText(std::string_view text)
{
    return RosterScanner(text).Split();
}

}  // namespace Protocol
