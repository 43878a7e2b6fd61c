#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace vexana::platform {

// Thin RAII layer over SQLite. Nothing here throws; every call reports failure by its
// result and leaves the engine's text in errorText().

class SqliteStatement {
public:
    enum class Step { Row, Done, Error };

    SqliteStatement() = default;
    SqliteStatement(sqlite3_stmt* stmt, sqlite3* db);
    SqliteStatement(SqliteStatement&& other) noexcept;
    SqliteStatement& operator=(SqliteStatement&& other) noexcept;
    SqliteStatement(const SqliteStatement&) = delete;
    SqliteStatement& operator=(const SqliteStatement&) = delete;
    ~SqliteStatement();

    bool valid() const { return stmt_ != nullptr; }

    // Parameters are numbered from 1.
    bool bindInt(int index, std::int64_t value);
    bool bindDouble(int index, double value);
    // copy: false when the value outlives the statement's next step (saves a copy of large values).
    bool bindText(int index, std::string_view value, bool copy = true);
    bool bindBlob(int index, const std::vector<std::uint8_t>& value, bool copy = true);
    bool bindNull(int index);

    Step step();
    // Steps to the end; true when the statement completed.
    bool run();
    void reset();

    int columnCount() const;
    std::string columnName(int col) const;
    bool isNull(int col) const;
    int columnType(int col) const;
    std::int64_t columnInt(int col) const;
    double columnDouble(int col) const;
    std::string columnText(int col) const;
    std::vector<std::uint8_t> columnBlob(int col) const;
    std::size_t columnBytes(int col) const;

private:
    sqlite3_stmt* stmt_ = nullptr;
    sqlite3* db_ = nullptr;
};

class SqliteDatabase {
public:
    enum class OpenMode { ReadWrite, Create, ReadOnly };

    SqliteDatabase() = default;
    SqliteDatabase(const SqliteDatabase&) = delete;
    SqliteDatabase& operator=(const SqliteDatabase&) = delete;
    ~SqliteDatabase();

    bool open(const std::string& path, OpenMode mode);
    // A "file:" URI, read-only.
    bool openUri(const std::string& uri);
    void close();
    bool isOpen() const { return db_ != nullptr; }
    bool isReadOnly() const;
    // Whether a transaction is open on the connection.
    bool inTransaction() const;
    // How long a statement waits for another connection's lock before it gives up.
    void setBusyTimeout(int milliseconds);
    // Off while a file is still being checked: closing must not fold a log into a file that
    // is then refused.
    void setCheckpointOnClose(bool on);

    bool exec(std::string_view sql);
    SqliteStatement prepare(std::string_view sql);
    // A prepared statement kept for reuse; reset before it is handed out again.
    SqliteStatement* cached(const std::string& sql);

    std::int64_t changes() const;
    std::string errorText() const;
    int errorCode() const;
    int extendedErrorCode() const;

private:
    sqlite3* db_ = nullptr;
    std::unordered_map<std::string, std::unique_ptr<SqliteStatement>> cache_;
};

} // namespace vexana::platform
