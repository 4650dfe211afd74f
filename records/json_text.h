#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace Records {

// Builds JSON text one value at a time, putting the commas in. Every text is
// escaped: quotes, backslashes, control characters, and <, >, & and the line
// separators U+2028 and U+2029 so that the text is safe inside a page, too.
// Texts must be UTF-8; invalid bytes become U+FFFD.
class TJsonText {
public:
    TJsonText& BeginObject();
    TJsonText& EndObject();
    TJsonText& BeginArray();
    TJsonText& EndArray();
    TJsonText& Key(std::string_view name);
    TJsonText& String(std::string_view utf8);
    TJsonText& Number(std::int64_t value);
    TJsonText& Number(double value, int decimals);
    TJsonText& Bool(bool value);
    TJsonText& Null();
    TJsonText& Integer(const std::optional<std::int64_t>& value);  // null when nothing

    const std::string& Text() const { return text_; }

private:
    void BeforeValue();
    std::string text_;
    std::vector<bool> first_;  // per open object or array: nothing written in it yet
    bool afterKey_ = false;
};

}  // namespace Records
