#include "Sqlite.h"

#include <sqlite3.h>

namespace vexana::platform {

SqliteStatement::SqliteStatement(sqlite3_stmt* stmt, sqlite3* db) : stmt_(stmt), db_(db) {}

SqliteStatement::SqliteStatement(SqliteStatement&& other) noexcept
    : stmt_(other.stmt_), db_(other.db_) {
    other.stmt_ = nullptr;
}

SqliteStatement& SqliteStatement::operator=(SqliteStatement&& other) noexcept {
    if (this != &other) {
        sqlite3_finalize(stmt_);
        stmt_ = other.stmt_;
        db_ = other.db_;
        other.stmt_ = nullptr;
    }
    return *this;
}

SqliteStatement::~SqliteStatement() {
    sqlite3_finalize(stmt_);
}

bool SqliteStatement::bindInt(int index, std::int64_t value) {
    return stmt_ && sqlite3_bind_int64(stmt_, index, value) == SQLITE_OK;
}
bool SqliteStatement::bindDouble(int index, double value) {
    return stmt_ && sqlite3_bind_double(stmt_, index, value) == SQLITE_OK;
}
bool SqliteStatement::bindText(int index, std::string_view value, bool copy) {
    return stmt_ &&
           sqlite3_bind_text64(stmt_, index, value.data(), value.size(),
                               copy ? SQLITE_TRANSIENT : SQLITE_STATIC, SQLITE_UTF8) == SQLITE_OK;
}
bool SqliteStatement::bindBlob(int index, const std::vector<std::uint8_t>& value, bool copy) {
    // An empty block is stored as a zero-length blob, not as NULL.
    static const std::uint8_t none = 0;
    return stmt_ &&
           sqlite3_bind_blob64(stmt_, index, value.empty() ? &none : value.data(), value.size(),
                               copy ? SQLITE_TRANSIENT : SQLITE_STATIC) == SQLITE_OK;
}
bool SqliteStatement::bindNull(int index) {
    return stmt_ && sqlite3_bind_null(stmt_, index) == SQLITE_OK;
}

SqliteStatement::Step SqliteStatement::step() {
    if (!stmt_) return Step::Error;
    const int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW) return Step::Row;
    if (rc == SQLITE_DONE) return Step::Done;
    return Step::Error;
}

bool SqliteStatement::run() {
    Step s;
    while ((s = step()) == Step::Row) {
    }
    return s == Step::Done;
}

void SqliteStatement::reset() {
    if (!stmt_) return;
    sqlite3_reset(stmt_);
    sqlite3_clear_bindings(stmt_);
}

int SqliteStatement::columnCount() const {
    return stmt_ ? sqlite3_column_count(stmt_) : 0;
}
std::string SqliteStatement::columnName(int col) const {
    const char* n = stmt_ ? sqlite3_column_name(stmt_, col) : nullptr;
    return n ? n : "";
}
bool SqliteStatement::isNull(int col) const {
    return columnType(col) == SQLITE_NULL;
}
int SqliteStatement::columnType(int col) const {
    return stmt_ ? sqlite3_column_type(stmt_, col) : SQLITE_NULL;
}
std::int64_t SqliteStatement::columnInt(int col) const {
    return stmt_ ? sqlite3_column_int64(stmt_, col) : 0;
}
double SqliteStatement::columnDouble(int col) const {
    return stmt_ ? sqlite3_column_double(stmt_, col) : 0.0;
}
std::string SqliteStatement::columnText(int col) const {
    if (!stmt_) return {};
    const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, col));
    return p ? std::string(p, static_cast<std::size_t>(sqlite3_column_bytes(stmt_, col)))
             : std::string();
}
std::vector<std::uint8_t> SqliteStatement::columnBlob(int col) const {
    if (!stmt_) return {};
    const auto* p = static_cast<const std::uint8_t*>(sqlite3_column_blob(stmt_, col));
    const int n = sqlite3_column_bytes(stmt_, col);
    return p ? std::vector<std::uint8_t>(p, p + n) : std::vector<std::uint8_t>();
}
std::size_t SqliteStatement::columnBytes(int col) const {
    return stmt_ ? static_cast<std::size_t>(sqlite3_column_bytes(stmt_, col)) : 0;
}

SqliteDatabase::~SqliteDatabase() {
    close();
}

bool SqliteDatabase::open(const std::string& path, OpenMode mode) {
    close();
    int flags = (mode == OpenMode::ReadOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE) |
                SQLITE_OPEN_NOMUTEX;
    if (mode == OpenMode::Create) flags |= SQLITE_OPEN_CREATE;
    sqlite3* db = nullptr;
    const int rc = sqlite3_open_v2(path.c_str(), &db, flags, nullptr);
    db_ = db;
    if (rc != SQLITE_OK) return false;
    sqlite3_extended_result_codes(db_, 1);
    return true;
}

bool SqliteDatabase::openUri(const std::string& uri) {
    close();
    sqlite3* db = nullptr;
    const int rc = sqlite3_open_v2(
        uri.c_str(), &db, SQLITE_OPEN_READONLY | SQLITE_OPEN_URI | SQLITE_OPEN_NOMUTEX, nullptr);
    db_ = db;
    if (rc != SQLITE_OK) return false;
    sqlite3_extended_result_codes(db_, 1);
    return true;
}

void SqliteDatabase::close() {
    cache_.clear();
    if (db_) sqlite3_close_v2(db_);
    db_ = nullptr;
}

bool SqliteDatabase::isReadOnly() const {
    return db_ && sqlite3_db_readonly(db_, "main") == 1;
}

bool SqliteDatabase::inTransaction() const {
    return db_ && sqlite3_get_autocommit(db_) == 0;
}

void SqliteDatabase::setBusyTimeout(int milliseconds) {
    if (db_) sqlite3_busy_timeout(db_, milliseconds);
}

void SqliteDatabase::setCheckpointOnClose(bool on) {
    if (db_) sqlite3_db_config(db_, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, on ? 0 : 1, nullptr);
}

bool SqliteDatabase::exec(std::string_view sql) {
    if (!db_) return false;
    return sqlite3_exec(db_, std::string(sql).c_str(), nullptr, nullptr, nullptr) == SQLITE_OK;
}

SqliteStatement SqliteDatabase::prepare(std::string_view sql) {
    if (!db_) return {};
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db_, sql.data(), static_cast<int>(sql.size()), &stmt, nullptr) !=
        SQLITE_OK) {
        sqlite3_finalize(stmt);
        return {};
    }
    return SqliteStatement(stmt, db_);
}

SqliteStatement* SqliteDatabase::cached(const std::string& sql) {
    if (auto it = cache_.find(sql); it != cache_.end()) {
        it->second->reset();
        return it->second.get();
    }
    auto stmt = std::make_unique<SqliteStatement>(prepare(sql));
    if (!stmt->valid()) return nullptr;
    return cache_.emplace(sql, std::move(stmt)).first->second.get();
}

std::int64_t SqliteDatabase::changes() const {
    return db_ ? sqlite3_changes64(db_) : 0;
}

std::string SqliteDatabase::errorText() const {
    return db_ ? sqlite3_errmsg(db_) : "the database is not open";
}
int SqliteDatabase::errorCode() const {
    return db_ ? sqlite3_errcode(db_) : SQLITE_MISUSE;
}
int SqliteDatabase::extendedErrorCode() const {
    return db_ ? sqlite3_extended_errcode(db_) : SQLITE_MISUSE;
}

} // namespace vexana::platform
