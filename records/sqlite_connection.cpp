#include "records/sqlite_connection.h"

#include <sqlite3.h>

namespace Records {

TSqliteConnection::TSqliteConnection(const std::string& path, int flags)
{
    const int code = sqlite3_open_v2(path.c_str(), &db_, flags, nullptr);
    if (code != SQLITE_OK) {
        const std::string message = db_ ? sqlite3_errmsg(db_) : sqlite3_errstr(code);
        sqlite3_close(db_);
        throw ESqliteError(code, message);
    }
    sqlite3_extended_result_codes(db_, 1);
}

TSqliteConnection::~TSqliteConnection()
{
    sqlite3_close(db_);
}

void TSqliteConnection::Check(int code, int accepted) const
{
    if (code != SQLITE_OK && code != accepted)
        throw ESqliteError(code, sqlite3_errmsg(db_));
}

void TSqliteConnection::Execute(const char* sql)
{
    Check(sqlite3_exec(db_, sql, nullptr, nullptr, nullptr));
}

void TSqliteConnection::RollBack() noexcept
{
    if (!sqlite3_get_autocommit(db_))
        sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
}

TSqliteStatement TSqliteConnection::Prepare(std::string_view sql)
{
    sqlite3_stmt* statement = nullptr;
    Check(sqlite3_prepare_v2(db_, sql.data(), static_cast<int>(sql.size()), &statement, nullptr));
    return TSqliteStatement(*this, statement);
}

std::int64_t TSqliteConnection::IntegerOf(const char* sql)
{
    TSqliteStatement statement = Prepare(sql);
    return statement.Step() ? statement.Integer(0) : 0;
}

std::int64_t TSqliteConnection::LastInsertId() const
{
    return sqlite3_last_insert_rowid(db_);
}

TSqliteStatement::TSqliteStatement(const TSqliteConnection& connection, sqlite3_stmt* statement)
    : connection_(connection), statement_(statement)
{
}

TSqliteStatement::~TSqliteStatement()
{
    sqlite3_finalize(statement_);
}

TSqliteStatement::TSqliteStatement(TSqliteStatement&& other) noexcept
    : connection_(other.connection_), statement_(other.statement_)
{
    other.statement_ = nullptr;
}

TSqliteStatement& TSqliteStatement::Bind(int index, std::int64_t value)
{
    connection_.Check(sqlite3_bind_int64(statement_, index, value));
    return *this;
}

TSqliteStatement& TSqliteStatement::Bind(int index, double value)
{
    connection_.Check(sqlite3_bind_double(statement_, index, value));
    return *this;
}

TSqliteStatement& TSqliteStatement::Bind(int index, std::string_view bytes)
{
    connection_.Check(sqlite3_bind_blob64(statement_, index, bytes.data(), bytes.size(), SQLITE_TRANSIENT));
    return *this;
}

TSqliteStatement& TSqliteStatement::BindText(int index, std::string_view ascii)
{
    connection_.Check(sqlite3_bind_text64(statement_, index, ascii.data(), ascii.size(), SQLITE_TRANSIENT, SQLITE_UTF8));
    return *this;
}

TSqliteStatement& TSqliteStatement::BindNull(int index)
{
    connection_.Check(sqlite3_bind_null(statement_, index));
    return *this;
}

bool TSqliteStatement::Step()
{
    const int code = sqlite3_step(statement_);
    if (code == SQLITE_ROW)
        return true;
    connection_.Check(code, SQLITE_DONE);
    return false;
}

void TSqliteStatement::Run()
{
    Step();
    Reset();
}

void TSqliteStatement::Reset()
{
    sqlite3_reset(statement_);
    sqlite3_clear_bindings(statement_);
}

std::int64_t TSqliteStatement::Integer(int column) const
{
    return sqlite3_column_int64(statement_, column);
}

double TSqliteStatement::Real(int column) const
{
    return sqlite3_column_double(statement_, column);
}

std::string TSqliteStatement::Bytes(int column) const
{
    const void* data = sqlite3_column_blob(statement_, column);
    const int size = sqlite3_column_bytes(statement_, column);
    return data ? std::string(static_cast<const char*>(data), static_cast<std::size_t>(size)) : std::string();
}

bool TSqliteStatement::IsNull(int column) const
{
    return sqlite3_column_type(statement_, column) == SQLITE_NULL;
}

std::optional<std::int64_t> TSqliteStatement::OptionalInteger(int column) const
{
    if (IsNull(column))
        return std::nullopt;
    return Integer(column);
}

}  // namespace Records
