#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

struct sqlite3;
struct sqlite3_stmt;

namespace Records {

// A failed SQLite call: its result code and SQLite's message.
class ESqliteError : public std::runtime_error {
public:
    ESqliteError(int code, const std::string& message) : std::runtime_error(message), Code(code) {}
    int Code;
};

class TSqliteStatement;

// One connection to a database file, closed with the object. Calls throw
// ESqliteError.
class TSqliteConnection {
public:
    // flags: SQLITE_OPEN_* bits.
    TSqliteConnection(const std::string& path, int flags);
    ~TSqliteConnection();
    TSqliteConnection(const TSqliteConnection&) = delete;
    TSqliteConnection& operator=(const TSqliteConnection&) = delete;

    void Execute(const char* sql);
    // Ends an open transaction without its changes; harmless when none is open.
    void RollBack() noexcept;
    TSqliteStatement Prepare(std::string_view sql);
    std::int64_t IntegerOf(const char* sql);  // the first column of the first row
    std::int64_t LastInsertId() const;
    sqlite3* Handle() const { return db_; }

    // Throws for a result code other than the accepted ones.
    void Check(int code, int accepted = 0) const;

private:
    sqlite3* db_ = nullptr;
};

// A prepared statement. Parameters count from 1, columns from 0.
class TSqliteStatement {
public:
    TSqliteStatement(const TSqliteConnection& connection, sqlite3_stmt* statement);
    ~TSqliteStatement();
    TSqliteStatement(TSqliteStatement&& other) noexcept;
    TSqliteStatement(const TSqliteStatement&) = delete;
    TSqliteStatement& operator=(const TSqliteStatement&) = delete;
    TSqliteStatement& operator=(TSqliteStatement&&) = delete;

    TSqliteStatement& Bind(int index, std::int64_t value);
    TSqliteStatement& Bind(int index, int value) { return Bind(index, static_cast<std::int64_t>(value)); }
    TSqliteStatement& Bind(int index, bool value) { return Bind(index, static_cast<std::int64_t>(value)); }
    TSqliteStatement& Bind(int index, double value);
    TSqliteStatement& Bind(int index, std::string_view bytes);  // as a blob: names are CP932 bytes
    // As a text: words and hex digits, so that they compare as texts in SQL.
    TSqliteStatement& BindText(int index, std::string_view ascii);
    template <typename T> TSqliteStatement& Bind(int index, const std::optional<T>& value)
    {
        return value ? Bind(index, *value) : BindNull(index);
    }
    TSqliteStatement& BindNull(int index);

    // Runs to the next row: true while there is one.
    bool Step();
    // Runs a statement that returns no rows, then makes it ready to run again.
    void Run();
    void Reset();

    std::int64_t Integer(int column) const;
    double Real(int column) const;
    std::string Bytes(int column) const;
    bool IsNull(int column) const;
    std::optional<std::int64_t> OptionalInteger(int column) const;

private:
    const TSqliteConnection& connection_;
    sqlite3_stmt* statement_;
};

}  // namespace Records
