#pragma once

#include <stdexcept>
#include <string>

// The exception family of the framework. Messages are UTF-8 texts meant for
// the user (message boxes, logs); they never travel on the wire.
class Exception : public std::runtime_error {
public:
    explicit Exception(const std::string& message) : std::runtime_error(message) {}
    std::string Message() const { return what(); }
};

class EStreamError : public Exception { using Exception::Exception; };
class EReadError : public EStreamError { using EStreamError::EStreamError; };
class EWriteError : public EStreamError { using EStreamError::EStreamError; };
class EFOpenError : public EStreamError { using EStreamError::EStreamError; };
class EFCreateError : public EStreamError { using EStreamError::EStreamError; };
class ESocketError : public Exception { using Exception::Exception; };
class EInvalidCast : public Exception { using Exception::Exception; };
class EConvertError : public Exception { using Exception::Exception; };
class ERangeError : public Exception { using Exception::Exception; };
class EOutOfMemory : public Exception { using Exception::Exception; };

// The framework's own message texts.
namespace Messages {
inline constexpr const char* ReadError = "ストリームからの読み込みエラー";
inline constexpr const char* WriteError = "ストリームへの書き込みエラー";
inline constexpr const char* FOpenError = "ファイル %s は開けません";
inline constexpr const char* FCreateError = "ファイル %s を作成できません";
inline constexpr const char* InvalidCast = "無効なクラスキャストです";
inline constexpr const char* OutOfMemory = "メモリが足りません";
inline constexpr const char* RangeError = "範囲チェックエラー";
inline constexpr const char* InvalidInteger = "'%s' は整数値ではありません";
}  // namespace Messages

// Replaces the first "%s" of a framework message with the argument.
std::string FormatMessage(const char* pattern, const std::string& argument);
