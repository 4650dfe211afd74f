#pragma once

#include <cstddef>
#include <cstdlib>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

// The little of Redis's wire protocol (RESP) that a publisher and its
// subscribers need, for the yardstick of the tables benchmark.
namespace load {

// A command as an array of bulk strings.
inline std::string RedisCommand(std::initializer_list<std::string_view> words)
{
    std::string out;
    out.append("*").append(std::to_string(words.size())).append("\r\n");
    for (std::string_view word : words)
        out.append("$").append(std::to_string(word.size())).append("\r\n").append(word).append("\r\n");
    return out;
}

namespace detail {

// Parses one value at in[at...]; its strings (nested arrays flattened) go to
// words. Returns the position after it, or npos while it is incomplete.
inline std::size_t ParseRedisValue(std::string_view in, std::size_t at, std::vector<std::string_view>& words)
{
    const std::size_t end = in.find("\r\n", at);
    if (end == std::string_view::npos)
        return std::string_view::npos;
    const std::string_view line = in.substr(at + 1, end - at - 1);
    const long number = line.empty() ? 0 : std::atol(std::string(line).c_str());
    switch (in[at]) {
    case '$': {
        if (number < 0)
            return end + 2;
        const auto length = static_cast<std::size_t>(number);
        if (in.size() < end + 2 + length + 2)
            return std::string_view::npos;
        words.push_back(in.substr(end + 2, length));
        return end + 2 + length + 2;
    }
    case '*': {
        std::size_t next = end + 2;
        for (long i = 0; i < number && next != std::string_view::npos; ++i)
            next = ParseRedisValue(in, next, words);
        return next;
    }
    default:  // simple string, error or integer: one line
        words.push_back(line);
        return end + 2;
    }
}

}  // namespace detail

// Calls take(text) for every whole reply at the front of in, then drops them:
// a published message gives its payload, a subscription's confirmation
// "/subscribe", anything else (a publish's count of receivers) nothing.
template <typename Take>
void CutRedisReplies(std::string& in, Take&& take)
{
    std::size_t at = 0;
    std::vector<std::string_view> words;
    while (at < in.size()) {
        words.clear();
        const std::size_t next = detail::ParseRedisValue(in, at, words);
        if (next == std::string_view::npos)
            break;
        if (words.size() == 3 && words[0] == "message")
            take(words[2]);
        else if (!words.empty() && words[0] == "subscribe")
            take(std::string_view("/subscribe"));
        at = next;
    }
    in.erase(0, at);
}

}  // namespace load
