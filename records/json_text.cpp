#include "records/json_text.h"

#include <QList>
#include <QString>
#include <cmath>
#include <charconv>

namespace Records {

namespace {

void AppendUtf8(std::string& out, char32_t c)
{
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

void AppendEscaped(std::string& out, std::string_view utf8)
{
    // Decoding through QString replaces invalid bytes, so that only whole
    // characters are written.
    const QString text = QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
    out += '"';
    for (char32_t c : text.toUcs4()) {
        switch (c) {
        case U'"':
            out += "\\\"";
            continue;
        case U'\\':
            out += "\\\\";
            continue;
        case U'\n':
            out += "\\n";
            continue;
        case U'\t':
            out += "\\t";
            continue;
        default:
            break;
        }
        if (c < 0x20 || c == U'<' || c == U'>' || c == U'&' || c == 0x7f) {
            static constexpr char Hex[] = "0123456789abcdef";
            out += "\\u00";
            out += Hex[(c >> 4) & 15];
            out += Hex[c & 15];
        } else if (c == 0x2028 || c == 0x2029) {
            out += c == 0x2028 ? "\\u2028" : "\\u2029";
        } else {
            AppendUtf8(out, c);
        }
    }
    out += '"';
}

}  // namespace

void TJsonText::BeforeValue()
{
    if (afterKey_) {
        afterKey_ = false;
        return;
    }
    if (!first_.empty()) {
        if (!first_.back())
            text_ += ',';
        first_.back() = false;
    }
}

TJsonText& TJsonText::BeginObject()
{
    BeforeValue();
    text_ += '{';
    first_.push_back(true);
    return *this;
}

TJsonText& TJsonText::EndObject()
{
    text_ += '}';
    first_.pop_back();
    return *this;
}

TJsonText& TJsonText::BeginArray()
{
    BeforeValue();
    text_ += '[';
    first_.push_back(true);
    return *this;
}

TJsonText& TJsonText::EndArray()
{
    text_ += ']';
    first_.pop_back();
    return *this;
}

TJsonText& TJsonText::Key(std::string_view name)
{
    BeforeValue();
    AppendEscaped(text_, name);
    text_ += ':';
    afterKey_ = true;
    return *this;
}

TJsonText& TJsonText::String(std::string_view utf8)
{
    BeforeValue();
    AppendEscaped(text_, utf8);
    return *this;
}

TJsonText& TJsonText::Number(std::int64_t value)
{
    BeforeValue();
    text_ += std::to_string(value);
    return *this;
}

TJsonText& TJsonText::Number(double value, int decimals)
{
    if (!std::isfinite(value))
        return Null();
    BeforeValue();
    // to_chars, unlike printf, ignores the locale: the decimal mark is always a point.
    char number[64];
    const auto written = std::to_chars(number, number + sizeof number, value, std::chars_format::fixed, decimals);
    text_.append(number, written.ptr);
    return *this;
}

TJsonText& TJsonText::Bool(bool value)
{
    BeforeValue();
    text_ += value ? "true" : "false";
    return *this;
}

TJsonText& TJsonText::Null()
{
    BeforeValue();
    text_ += "null";
    return *this;
}

TJsonText& TJsonText::Integer(const std::optional<std::int64_t>& value)
{
    return value ? Number(*value) : Null();
}

}  // namespace Records
