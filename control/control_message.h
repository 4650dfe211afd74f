#pragma once

#include <sys/types.h>

#include <QByteArray>
#include <QJsonValue>
#include <functional>
#include <optional>
#include <string>
#include <vector>

// What travels over the control socket: one request from the client, one
// answer from the server, then the server closes. Each is one line of
// compact JSON (UTF-8) ended by a line feed:
//   request  {"arguments": ["kick", "taro", "--reason", "..."]}
//   answer   {"ok": true|false, "text": "lines for a person", "json": <for scripts>}
namespace Control {

// The longest request a server reads; an answer may be longer.
inline constexpr qsizetype MaxRequestBytes = 64 * 1024;
inline constexpr qsizetype MaxAnswerBytes = 64 * 1024 * 1024;

struct TControlRequest {
    std::vector<std::string> Arguments;
    // The caller, as the kernel tells it (SO_PEERCRED).
    uid_t Uid = 0;
    gid_t Gid = 0;
    pid_t Pid = 0;
};

struct TControlAnswer {
    bool Ok = true;
    std::string Text;  // the lines for a person; on refusal, the reason
    QJsonValue Json;   // the same for scripts (null when there is nothing more than the text)
    // Set when the answer comes later (the work is done on another thread):
    // the control server calls it with the function that sends the answer,
    // to be called once, on the event loop's thread. Text and Json are unused then.
    using TReply = std::function<void(const TControlAnswer& answer)>;
    std::function<void(TReply reply)> Later;

    static TControlAnswer Refused(std::string reason) { return {false, std::move(reason), QJsonValue(), {}}; }
};

QByteArray RequestLine(const std::vector<std::string>& arguments);
// The arguments of a request line (its line feed already removed); nothing
// when it is not one.
std::optional<std::vector<std::string>> ReadRequestLine(const QByteArray& line);

QByteArray AnswerLine(const TControlAnswer& answer);
std::optional<TControlAnswer> ReadAnswerLine(const QByteArray& line);

}  // namespace Control
