#include "ProjectDatabase.h"

#include "ProjectFiles.h"
#include "RecordCursor.h"
#include "Schema.h"
#include "Topic.h"
#include "TopicStore.h"
#include "platform/Files.h"
#include "platform/ProfileFile.h"

#include <cerrno>
#include <climits>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vexana::store {

using namespace projectfile;

using platform::SqliteStatement;
using Step = SqliteStatement::Step;

namespace {

std::string bracketed(std::string_view name) {
    std::string out = "[";
    out += name;
    out += "]";
    return out;
}

// Names of tables and columns come from the file; a bracket inside one would end the quote.
bool safeName(std::string_view name) {
    return !name.empty() && name.find_first_of("[]\0", 0, 3) == std::string_view::npos;
}

std::string indexName(std::string_view table) {
    return std::string(table) + "_ID";
}

std::string createTableSql(std::string_view table,
                           const std::vector<std::pair<std::string, int>>& columns) {
    std::string sql = "CREATE TABLE " + bracketed(table) + " (";
    for (std::size_t i = 0; i < columns.size(); ++i) {
        if (i) sql += ", ";
        sql += bracketed(columns[i].first) + " " + std::string(columnType(columns[i].second));
    }
    return sql + ");";
}

std::string createIndexSql(std::string_view table, const std::vector<std::string_view>& columns,
                           bool unique) {
    std::string sql = std::string(unique ? "CREATE UNIQUE INDEX " : "CREATE INDEX ") +
                      bracketed(indexName(table)) + " ON " + bracketed(table) + " (";
    for (std::size_t i = 0; i < columns.size(); ++i) {
        if (i) sql += ", ";
        sql += bracketed(columns[i]);
    }
    return sql + ");";
}

constexpr const char* insertFieldSql =
    "INSERT INTO sys_Fields([TopicID], [ID], [Name], [Source], [Type], [State], [ParentTopicID]) "
    "VALUES(?, ?, ?, ?, ?, ?, ?);";

bool insertFieldRow(SqliteStatement& st, int topic, int id, std::string_view name,
                    std::string_view source, int type, int state, int parent) {
    st.reset();
    st.bindInt(1, topic);
    st.bindInt(2, id);
    st.bindText(3, name);
    st.bindText(4, source);
    st.bindInt(5, type);
    st.bindInt(6, state);
    st.bindInt(7, parent);
    const bool ok = st.run();
    st.reset();
    return ok;
}

// What a damaged or hostile file may make the program hold: SQLite's own column limit, and
// a bound on the memory of one table's records.
constexpr int maxFieldsPerTopic = 2000;
constexpr std::int64_t maxFieldId = 100000;
constexpr std::int64_t maxProjectBytes = std::int64_t{2} << 30;
// Another program that is opening the same file holds its lock only briefly.
constexpr int openLockWaitMs = 2000;

constexpr const char* createValuesObjectIndexSql =
    "CREATE INDEX IF NOT EXISTS [sys_Values_Object] ON [sys_Values] "
    "([TopicID], [ObjectID], [FieldID]);";

std::string lowerAscii(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
}

} // namespace

ProjectDatabase::ProjectDatabase(std::string dataType, UserInterface* ui)
    : dataEngine_(VersionCurrent), dataType_(std::move(dataType)), ui_(ui) {}

ProjectDatabase::~ProjectDatabase() {
    Close();
}

void ProjectDatabase::show(const std::string& text, MessageIcon icon) {
    lastError_ = text;
    if (ui_) ui_->message(text, icon);
}

bool ProjectDatabase::fail(std::string_view what) {
    // What the user is shown: the cause as the engine gives it, without our inner wording.
    const int code = db_.extendedErrorCode();
    lastError_ = code == SQLITE_OK ? std::string(what) : describeFailure(code, db_.errorText());
    if (depth_ > 0) txFailed_ = true;
    return false;
}

bool ProjectDatabase::exec(std::string_view sql) {
    if (db_.exec(sql)) return true;
    return failWrite("statement failed");
}

bool ProjectDatabase::failWrite(std::string_view what) {
    const std::string cause = describeFailure(db_.extendedErrorCode(), db_.errorText());
    ++writeFailures_;
    if (depth_ > 0) txFailed_ = true;
    // One message per unit: the first failure names the cause, the rest follow from it.
    if (!reportedInUnit_)
        show("The change could not be saved in the project " + path_ + ": " + cause + ".",
             MessageIcon::Stop);
    if (depth_ > 0) reportedInUnit_ = true;
    lastError_ = std::string(what) + ": " + cause;
    return false;
}

bool ProjectDatabase::refuseReadOnly() {
    ++writeFailures_;
    if (depth_ > 0) txFailed_ = true;
    if (!reportedInUnit_)
        show("The project " + path_ + " is open read-only; the change was not saved.",
             MessageIcon::Stop);
    if (depth_ > 0) reportedInUnit_ = true;
    return false;
}

SqliteStatement* ProjectDatabase::statement(const std::string& sql) {
    SqliteStatement* st = db_.cached(sql);
    if (!st) fail("cannot prepare a statement");
    return st;
}

bool ProjectDatabase::Open(const std::string& path) {
    return openPath(path, false);
}

bool ProjectDatabase::OpenForReading(const std::string& path) {
    return openPath(path, true);
}

bool ProjectDatabase::openPath(const std::string& rawPath, bool forReading) {
    Close();
    const std::string path = platform::absolutePath(rawPath);
    const bool created = !platform::fileExists(path);
    if (created && forReading) {
        show("The file " + path + " does not exist.", MessageIcon::Stop);
        return false;
    }
    if (created) {
        if (!platform::isDirectory(platform::parentDirectory(path))) {
            show("The folder " + platform::parentDirectory(path) + " does not exist.",
                 MessageIcon::Stop);
            return false;
        }
        if (!createFile(path)) return false;
    }
    path_ = path;
    const std::string wal = path + "-wal";
    const bool walExisted = platform::fileExists(wal);
    const bool shmExisted = platform::fileExists(path + "-shm");
    auto refuse = [&](const std::string& text) {
        db_.close();
        // An empty log that reading made is not left beside a refused file, and a file made
        // here that cannot be opened is not left at all.
        if (!walExisted && !nonEmptyFile(wal)) platform::removeFile(wal);
        if (forReading && !walExisted && !shmExisted && !platform::fileExists(wal))
            platform::removeFile(path + "-shm");
        if (created) {
            platform::removeFile(path);
            removeSideFiles(path);
        }
        path_.clear();
        readOnly_ = false;
        show(text, MessageIcon::Stop);
        return false;
    };
    if (platform::isDirectory(path)) return refuse(path + " is a folder, not a project file.");
    if (!isRegularFile(path)) return refuse(path + " is not a project file.");
    if (::access(path.c_str(), R_OK) != 0)
        return refuse("The project " + path +
                      " cannot be read: " + platform::systemErrorText(errno) + ".");
    // Without write access to the file and its folder (for the log beside it) a project can
    // still be read.
    readOnly_ = forReading || !canWrite(path);
    const bool opened = readOnly_ ? db_.openUri(readOnlyUri(path, forReading))
                                  : db_.open(path, platform::SqliteDatabase::OpenMode::ReadWrite);
    if (!opened)
        return refuse("The project " + path + " cannot be opened: " + db_.errorText() + ".");
    if (!readOnly_ && db_.isReadOnly()) readOnly_ = true;
    // Nothing may reach a file that is then refused: no checkpoint of its log on close until
    // the file has passed every check.
    db_.setCheckpointOnClose(false);

    if (!readOnly_) {
        // Held until the file is closed: a second program is refused. A program that is only
        // starting up holds the lock for a moment; wait for that before giving up.
        db_.exec("PRAGMA locking_mode=EXCLUSIVE;");
        db_.setBusyTimeout(openLockWaitMs);
    }
    // Why a file that could not be read was refused: taken by another program, not a
    // project at all, or a failure of the disk that the user should hear about as such.
    auto unreadable = [&](int code, const std::string& engineText) {
        switch (code & 0xff) {
        case SQLITE_BUSY:
        case SQLITE_LOCKED:
            return refuse("The project " + path + " is open in another program.");
        case SQLITE_IOERR:
        case SQLITE_FULL:
        case SQLITE_NOMEM:
        case SQLITE_CANTOPEN:
        case SQLITE_READONLY:
        case SQLITE_PERM:
            return refuse("The project " + path +
                          " cannot be opened: " + describeFailure(code, engineText) + ".");
        default:
            return refuse(path + " is not a project file or is damaged.");
        }
    };
    if (!db_.exec(readOnly_ ? "BEGIN;" : "BEGIN EXCLUSIVE;"))
        return unreadable(db_.extendedErrorCode(), db_.errorText());
    db_.setBusyTimeout(0);
    std::string version, dataType, problem;
    {
        SqliteStatement st = db_.prepare("SELECT [Key], [Value] FROM [sys_Setup];");
        bool readable = false;
        if (st.valid()) {
            Step s;
            while ((s = st.step()) == Step::Row) {
                const std::string key = st.columnText(0);
                if (key == "DataEngine" && version.empty()) version = st.columnText(1);
                if (key == "DataType" && dataType.empty()) dataType = st.columnText(1);
            }
            readable = s == Step::Done;
        }
        if (!readable) {
            const int code = db_.extendedErrorCode();
            const std::string text = db_.errorText();
            st = SqliteStatement();
            db_.exec("ROLLBACK;");
            return unreadable(code, text);
        }
    }
    const bool known =
        version == VersionCurrent || version == Version020524 || version == Version010406;
    if (known) problem = checkStructure();
    db_.exec("COMMIT;");
    if (!known) return refuse("Uncompatible Data Format");
    if (!problem.empty())
        return refuse("The project " + path + " is damaged: " + problem +
                      ". It was not opened and not changed.");
    dataEngine_ = version;
    if (!dataType.empty()) dataType_ = dataType;

    if (readOnly_) {
        if (forReading && dataEngine_ != VersionCurrent)
            return refuse("The project " + path +
                          " was made by an older version; open it once to upgrade it, then "
                          "try again.");
        if (dataEngine_ != VersionCurrent)
            return refuse("The project " + path +
                          " is read-only and must be upgraded before it can be opened.");
        forReading_ = forReading;
        madeWal_ = forReading && !walExisted;
        madeShm_ = forReading && !shmExisted;
        if (forReading) {
            // One read transaction while the file is open: what is read is one state of it,
            // and each record read costs no lock and no check of the file of its own.
            db_.exec("PRAGMA cache_size=-65536;");
            db_.exec("BEGIN;");
        }
        open_ = true;
        return true;
    }
    if (dataEngine_ == Version010406 && upgradeFrom010406()) dataEngine_ = Version020524;
    if (dataEngine_ == Version020524 && upgradeFrom020524()) dataEngine_ = VersionCurrent;
    // A known version that stays behind failed to be written, which is what the user is told.
    if (dataEngine_ != VersionCurrent)
        return refuse("The project " + path + " cannot be upgraded: " + lastError_ + ".");
    // Older files lack the index by object that every variable lookup needs.
    db_.exec(createValuesObjectIndexSql);

    // Write-ahead logging: one sync per change and a file that survives a crash at any point.
    db_.exec("PRAGMA journal_mode=WAL;");
    db_.exec("PRAGMA synchronous=FULL;");
    // Room for the pages of a large project, so big imports do not spill half-way.
    db_.exec("PRAGMA cache_size=-65536;");
    db_.setCheckpointOnClose(true);
    open_ = true;
    return true;
}

// Everything that loading relies on, read before anything is written: a file that fails
// here is refused untouched.
std::string ProjectDatabase::checkStructure() {
    std::int64_t projectBytes = 0;
    for (const auto& def : persistentTopics()) {
        if (def.fields.empty()) continue;
        const std::string topicName(def.table);
        std::string source;
        {
            SqliteStatement st = db_.prepare("SELECT [Source] FROM [sys_Topics] WHERE [ID]=?;");
            st.bindInt(1, def.id);
            if (st.step() != Step::Row) return "sys_Topics has no row for " + topicName;
            source = st.columnText(0);
        }
        if (source.empty()) continue;
        if (!safeName(source)) return "sys_Topics names the table of " + topicName + " wrongly";
        const std::string table = bracketed(source);
        int fields = 0;
        std::int64_t recordBytes = 0;
        std::string idSource;
        {
            SqliteStatement st = db_.prepare(
                "SELECT [ID], [Type], [State], [Source] FROM [sys_Fields] WHERE [TopicID]=?;");
            st.bindInt(1, def.id);
            Step s;
            while ((s = st.step()) == Step::Row) {
                const std::int64_t id = st.columnInt(0), type = st.columnInt(1);
                if (++fields > maxFieldsPerTopic)
                    return "sys_Fields holds more than " + std::to_string(maxFieldsPerTopic) +
                           " fields for " + source;
                if (id < 0 || id > maxFieldId || type < TypeInteger || type > TypeBoolean)
                    return "sys_Fields holds a field of " + source + " with id " +
                           std::to_string(id) + " and type " + std::to_string(type);
                recordBytes += slotSize(static_cast<int>(type));
                if (id == 0) {
                    if (type != TypeInteger)
                        return "the id field of " + source + " is not a number";
                    idSource = st.columnText(3);
                }
            }
            if (s != Step::Done) return "sys_Fields cannot be read";
        }
        if (idSource.empty()) return "sys_Fields has no id field for " + source;
        if (!safeName(idSource)) return "sys_Fields names the id column of " + source + " wrongly";
        const std::string idCol = bracketed(idSource);
        SqliteStatement st = db_.prepare("SELECT count(*) FROM " + table + ";");
        if (st.step() != Step::Row) return "the table " + source + " cannot be read";
        projectBytes += st.columnInt(0) * recordBytes;
        if (projectBytes > maxProjectBytes)
            return "the table " + source + " is too large to be held in memory (" +
                   std::to_string(st.columnInt(0)) + " records of " + std::to_string(recordBytes) +
                   " bytes)";
        st = db_.prepare("SELECT " + idCol + " FROM " + table + " WHERE " + idCol + " IS NULL OR " +
                         idCol + "<=0 OR " + idCol + ">2147483647 LIMIT 1;");
        if (!st.valid()) return "the table " + source + " cannot be read";
        Step s = st.step();
        if (s == Step::Row)
            return "the table " + source + " holds a record with the id " + st.columnText(0);
        if (s != Step::Done) return "the table " + source + " cannot be read";
        st = db_.prepare("SELECT " + idCol + " FROM " + table + " GROUP BY " + idCol +
                         " HAVING count(*)>1 LIMIT 1;");
        s = st.step();
        if (s == Step::Row)
            return "the table " + source + " holds two records with the id " + st.columnText(0);
        if (s != Step::Done) return "the table " + source + " cannot be read";
    }
    return {};
}

void ProjectDatabase::Close() {
    if (depth_ > 0) db_.exec("ROLLBACK;");
    bulk_ = false;
    pending_.clear();
    plans_.clear();
    highestInFile_.clear();
    columns_.clear();
    readOnly_ = false;
    txOpen_ = false;
    reportedInUnit_ = false;
    depth_ = 0;
    txFailed_ = false;
    db_.close();
    if (forReading_ && !path_.empty()) {
        // Only what this reading made, and only while no one else has come to use it.
        const std::string wal = path_ + "-wal";
        if (madeWal_ && !nonEmptyFile(wal)) platform::removeFile(wal);
        if (madeShm_ && !platform::fileExists(wal)) platform::removeFile(path_ + "-shm");
    }
    forReading_ = madeWal_ = madeShm_ = false;
    open_ = false;
    path_.clear();
}

std::string ProjectDatabase::describeFailure(int code, const std::string& engineText) {
    switch (code & 0xff) {
    case SQLITE_FULL:
        return "the disk is full";
    case SQLITE_READONLY:
        return "the project file is read-only";
    case SQLITE_IOERR:
        if (code == SQLITE_IOERR_NOMEM) return "there is not enough memory";
        return "an I/O error occurred (" + engineText + ")";
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return "the project is locked by another program";
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
        return "the project file is damaged";
    case SQLITE_NOMEM:
        return "there is not enough memory";
    case SQLITE_CANTOPEN:
        return "a file beside the project cannot be created (" + engineText + ")";
    case SQLITE_PERM:
    case SQLITE_AUTH:
        return "access is denied";
    default:
        return engineText;
    }
}

void ProjectDatabase::removeSideFiles(const std::string& path) {
    for (const char* suffix : {"-wal", "-shm", "-journal"})
        platform::removeFile(path + suffix);
}

bool ProjectDatabase::createFile(const std::string& path) {
    removeStaleTemporaries(path);
    // Built beside the target and moved into place complete, so a failure or a crash never
    // leaves half a project at the path.
    const std::string tmp = platform::temporarySibling(path, "new");
    platform::SqliteDatabase db;
    auto abandon = [&]() {
        const std::string text = "The project " + path + " cannot be created: " +
                                 describeFailure(db.extendedErrorCode(), db.errorText()) + ".";
        db.close();
        platform::removeFile(tmp);
        platform::removeFile(tmp + "-journal");
        show(text, MessageIcon::Stop);
        return false;
    };
    if (!db.open(tmp, platform::SqliteDatabase::OpenMode::Create)) return abandon();
    if (!db.exec("PRAGMA journal_mode=DELETE;") || !db.exec("BEGIN;")) return abandon();

    for (const auto& table : systemTables()) {
        std::vector<std::pair<std::string, int>> cols;
        for (const auto& c : table.columns)
            cols.emplace_back(std::string(c.name), c.type);
        const bool unique = table.name != valuesTable().name;
        if (!db.exec(createTableSql(table.name, cols)) ||
            !db.exec(createIndexSql(table.name, {table.index.begin(), table.index.end()}, unique)))
            return abandon();
    }
    for (const auto& topic : persistentTopics()) {
        if (topic.fields.empty()) continue;
        std::vector<std::pair<std::string, int>> cols;
        for (const auto& f : topic.fields)
            cols.emplace_back(std::string(f.source), f.type);
        if (!db.exec(createTableSql(topic.table, cols)) ||
            !db.exec(createIndexSql(topic.table, {"ID"}, true)))
            return abandon();
    }
    {
        SqliteStatement st =
            db.prepare("INSERT INTO sys_Topics([ID], [Name], [Source], [SortField], [NameFormat], "
                       "[FullNameFormat], [AnnotationFormat]) VALUES(?, ?, ?, ?, ?, ?, ?);");
        for (const auto& topic : persistentTopics()) {
            st.reset();
            st.bindInt(1, topic.id);
            st.bindText(2, topic.table);
            st.bindText(3, topic.table);
            st.bindText(4, topic.sortField);
            st.bindText(5, topic.nameFormat);
            st.bindText(6, topic.fullNameFormat);
            st.bindText(7, topic.annotationFormat);
            if (!st.run()) return abandon();
        }
    }
    {
        SqliteStatement st = db.prepare(insertFieldSql);
        for (const auto& topic : persistentTopics())
            for (const auto& f : topic.fields)
                if (!insertFieldRow(st, topic.id, f.id, f.name, f.source, f.type, f.state,
                                    f.parentTopic))
                    return abandon();
    }
    {
        SqliteStatement st = db.prepare("INSERT INTO sys_Setup([Key], [Value]) VALUES(?, ?);");
        for (const auto& [key, value] :
             {std::pair<std::string_view, std::string_view>{"DataEngine", VersionCurrent},
              {"DataType", dataType_},
              // Nothing to convert in a file without texts; set here, a new project needs
              // no write after it has been created.
              {"RichText", "2"}}) {
            st.reset();
            st.bindText(1, key);
            st.bindText(2, value);
            if (!st.run()) return abandon();
        }
    }
    if (!db.exec(createValuesObjectIndexSql) || !db.exec("COMMIT;")) return abandon();
    db.close();
    // A log or journal left beside the path by an earlier file of that name would be
    // replayed into the new one.
    removeSideFiles(path);
    if (!platform::renameNoReplace(tmp, path)) {
        platform::removeFile(tmp);
        show("The project " + path +
                 " cannot be created: the file exists already or the folder is not writable.",
             MessageIcon::Stop);
        return false;
    }
    return true;
}

bool ProjectDatabase::upgradeFrom010406() {
    const auto& table = valuesTable();
    std::vector<std::pair<std::string, int>> cols;
    for (const auto& c : table.columns)
        cols.emplace_back(std::string(c.name), c.type);
    if (!db_.exec("BEGIN;")) {
        lastError_ = describeFailure(db_.extendedErrorCode(), db_.errorText());
        return false;
    }
    const bool ok =
        db_.exec(createTableSql(table.name, cols)) &&
        db_.exec(createIndexSql(table.name, {table.index.begin(), table.index.end()}, false)) &&
        db_.exec("UPDATE [sys_Setup] SET [Value]='020524' WHERE [Key]='DataEngine';");
    if (ok && db_.exec("COMMIT;")) return true;
    lastError_ = describeFailure(db_.extendedErrorCode(), db_.errorText());
    db_.exec("ROLLBACK;");
    return false;
}

bool ProjectDatabase::upgradeFrom020524() {
    if (!db_.exec("BEGIN;")) {
        lastError_ = describeFailure(db_.extendedErrorCode(), db_.errorText());
        return false;
    }
    const bool ok =
        db_.exec("INSERT OR IGNORE INTO sys_Setup([Key], [Value]) VALUES('RichText','1');") &&
        db_.exec("UPDATE [sys_Setup] SET [Value]='020905' WHERE [Key]='DataEngine';");
    if (ok && db_.exec("COMMIT;")) return true;
    lastError_ = describeFailure(db_.extendedErrorCode(), db_.errorText());
    db_.exec("ROLLBACK;");
    return false;
}

bool ProjectDatabase::beginTransaction(bool bulk) {
    if (!open_) return false;
    if (depth_++ > 0) return !txFailed_;
    txFailed_ = false;
    reportedInUnit_ = false;
    txOpen_ = false;
    if (readOnly_) return true; // every write of the unit is refused on its own
    if (walPending_ && !bulk) leaveBulk();
    // A bulk unit switches the journal, which rewrites the file's header: it waits for its
    // first write, so an import that imports nothing leaves the file as it was.
    if (bulk) {
        bulkPending_ = true;
        return true;
    }
    return openTransaction(false);
}

bool ProjectDatabase::openTransaction(bool bulk) {
    bulkPending_ = false;
    // Either journal keeps a commit atomic; when the switch is refused the log stays.
    bulk_ = bulk && db_.exec("PRAGMA journal_mode=DELETE;");
    if (db_.exec("BEGIN IMMEDIATE;")) {
        txOpen_ = true;
        // A mark in the file's header that only this unit's commit puts there: how a commit
        // that reports a failure can still be told apart.
        if (bulk_) {
            unitMark_ = headerUserVersion(path_) % 0x7fffffff + 1;
            if (!db_.exec("PRAGMA user_version=" + std::to_string(unitMark_) + ";"))
                return failWrite("cannot begin a transaction");
        }
        return true;
    }
    leaveBulk();
    // The unit runs on, refusing its writes, and ends as failed.
    return failWrite("cannot begin a transaction");
}

bool ProjectDatabase::endTransaction(bool success) {
    if (depth_ == 0) return false;
    if (!success) txFailed_ = true;
    if (depth_ > 1) {
        --depth_;
        return success;
    }
    if (!txFailed_ && !flushPending()) txFailed_ = true;
    depth_ = 0;
    bool committed = false;
    if (txOpen_) {
        if (!txFailed_) {
            committed = db_.exec("COMMIT;");
            if (!committed && bulk_ && bulkCommitted()) {
                // Only the sync after the commit point failed: the unit is in the file. Once
                // the emptied journal is on the disk nothing can roll it back; when that
                // cannot be made sure, the user is told both.
                committed = true;
                if (!syncFile(path_ + "-journal"))
                    show("The change was saved in the project " + path_ +
                             ", but the disk reported an error when it was finished: " +
                             describeFailure(db_.extendedErrorCode(), db_.errorText()) +
                             ". Make a backup copy soon.",
                         MessageIcon::Stop);
            } else if (!committed) {
                failWrite("cannot commit");
            }
        }
        // The engine may have rolled back already after a failed write; this makes sure.
        if (!committed) db_.exec("ROLLBACK;");
        leaveBulk();
    } else {
        committed = !txFailed_;
    }
    pending_.clear();
    txOpen_ = false;
    txFailed_ = false;
    bulkPending_ = false;
    reportedInUnit_ = false;
    return committed;
}

// In exclusive mode the journal is kept and its header zeroed at the commit point, and then
// synced; a failure of that sync is reported though the unit is in the file. It is when the
// file's header carries the unit's mark and the journal could not roll it back.
bool ProjectDatabase::bulkCommitted() const {
    return headerUserVersion(path_) == unitMark_ && !journalHoldsPages(path_);
}

// Whether a write may go to the file now. A unit that has failed writes nothing more: after
// some errors the engine has rolled the transaction back, and a later statement would then be
// committed on its own.
bool ProjectDatabase::mayWrite() {
    if (!open_) return false;
    if (readOnly_) return refuseReadOnly();
    if (depth_ > 0 && bulkPending_ && !txFailed_) openTransaction(true);
    return depth_ == 0 || !txFailed_;
}

void ProjectDatabase::leaveBulk() {
    if (bulk_) walPending_ = true;
    bulk_ = false;
    if (!walPending_) return;
    // After a failed commit the journal may still hold pages to put back; the engine does so
    // on the next read. Leaving the journal's mode before that would delete it, and keep the
    // half-written unit in the file.
    db_.exec("SELECT count(*) FROM sqlite_master;");
    if (journalHoldsPages(path_)) return; // tried again when the next unit begins
    if (db_.exec("PRAGMA journal_mode=WAL;")) walPending_ = false;
}

bool ProjectDatabase::hasColumn(const Topic& topic, const std::string& column) const {
    const auto it = columns_.find(topic.id());
    return it != columns_.end() && it->second.count(lowerAscii(column)) > 0;
}

bool ProjectDatabase::recordInFile(Topic& topic, std::int32_t id) {
    if (!topic.field(0) || !safeName(topic.source()) || !safeName(topic.field(0)->source))
        return false;
    SqliteStatement* st = statement("SELECT 1 FROM " + bracketed(topic.source()) + " WHERE " +
                                    bracketed(topic.field(0)->source) + "=?;");
    if (!st) return false;
    st->bindInt(1, id);
    const bool found = st->step() == Step::Row;
    st->reset();
    return found;
}

bool ProjectDatabase::isSameFile(const std::string& other) const {
    if (!open_) return false;
    struct stat a {
    }, b{};
    if (::stat(path_.c_str(), &a) != 0 || ::stat(other.c_str(), &b) != 0)
        return platform::absolutePath(other) == path_;
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

void ProjectDatabase::forgetPlans(int topicId) {
    for (int flags = 0; flags < 4; ++flags)
        plans_.erase(topicId * 4 + flags);
}

bool ProjectDatabase::LoadTopic(Topic& topic) {
    if (!open_) return false;
    forgetPlans(topic.id());
    highestInFile_[topic.id()] = INT32_MAX; // until the file has said otherwise
    TopicStore* store = topic.store();
    topic.clear();
    topic.setListener(this);
    {
        SqliteStatement* st = statement("SELECT * FROM [sys_Topics] WHERE [ID]=?;");
        if (!st) return false;
        st->bindInt(1, topic.id());
        if (st->step() != Step::Row) return fail("no topic row");
        std::string name, source, sort, fmt[3];
        for (int c = 0; c < st->columnCount(); ++c) {
            const std::string col = st->columnName(c);
            const std::string v = st->columnText(c);
            if (platform::equalsIgnoreAsciiCase(col, "Name"))
                name = v;
            else if (platform::equalsIgnoreAsciiCase(col, "Source"))
                source = v;
            else if (platform::equalsIgnoreAsciiCase(col, "SortField"))
                sort = v;
            else if (platform::equalsIgnoreAsciiCase(col, "NameFormat"))
                fmt[0] = v;
            else if (platform::equalsIgnoreAsciiCase(col, "FullNameFormat"))
                fmt[1] = v;
            else if (platform::equalsIgnoreAsciiCase(col, "AnnotationFormat"))
                fmt[2] = v;
        }
        st->reset();
        topic.setNames(name, source, sort);
        topic.setFormats(fmt[0], fmt[1], fmt[2]);
    }
    {
        SqliteStatement* st =
            statement("SELECT [ID], [Name], [Source], [Type], [State], [ParentTopicID] "
                      "FROM [sys_Fields] WHERE [TopicID]=? ORDER BY [ID];");
        if (!st) return false;
        st->bindInt(1, topic.id());
        Step s;
        while ((s = st->step()) == Step::Row) {
            FieldInfo f;
            f.id = static_cast<std::int32_t>(st->columnInt(0));
            f.name = cutText(st->columnText(1), 63);
            f.source = cutText(st->columnText(2), 63);
            f.type = static_cast<int>(st->columnInt(3));
            f.state = static_cast<int>(st->columnInt(4));
            f.parentTopic = static_cast<int>(st->columnInt(5));
            store->AttachField(topic.id(), std::move(f));
        }
        st->reset();
        if (s != Step::Done) return fail("cannot read the fields");
    }
    if (topic.source().empty() || topic.fieldCount() == 0 || topic.field(0) == nullptr) return true;
    if (!safeName(topic.source())) return fail("bad table name");
    const std::string table = bracketed(topic.source());
    {
        SqliteStatement* st = statement("SELECT Count(*) AS Datacount FROM " + table + ";");
        if (st && st->step() == Step::Row)
            topic.reserve(static_cast<std::size_t>(st->columnInt(0)));
        if (st) st->reset();
    }
    // Only the columns that are loaded: byte blocks stay in the file until someone asks.
    std::vector<std::string> existing;
    {
        SqliteStatement info = db_.prepare("PRAGMA table_info(" + table + ");");
        while (info.step() == Step::Row)
            existing.push_back(info.columnText(1));
    }
    auto& columns = columns_[topic.id()];
    columns.clear();
    for (const auto& col : existing)
        columns.insert(lowerAscii(col));
    std::vector<const FieldInfo*> loaded;
    for (const auto& f : topic.fields()) {
        if (f.type == TypeBlock || f.type == TypeMemo || f.has(FieldState::Computed) ||
            f.has(FieldState::ValueField) || !safeName(f.source))
            continue;
        for (const auto& col : existing)
            if (platform::equalsIgnoreAsciiCase(col, f.source)) {
                loaded.push_back(&f);
                break;
            }
    }
    const std::string idCol = bracketed(topic.field(0)->source);
    {
        SqliteStatement top = db_.prepare("SELECT max(" + idCol + ") FROM " + table + ";");
        if (top.step() == Step::Row)
            highestInFile_[topic.id()] = static_cast<std::int32_t>(top.columnInt(0));
    }
    std::string sql = "SELECT ";
    for (std::size_t i = 0; i < loaded.size(); ++i)
        sql += (i ? "," : "") + bracketed(loaded[i]->source);
    if (loaded.empty()) sql += idCol;
    sql += " FROM " + table;
    const std::string& sort = topic.sortField();
    if (sort.empty() || !safeName(sort) || platform::equalsIgnoreAsciiCase(sort, "ID"))
        sql += " ORDER BY " + idCol + ";";
    else
        sql += " ORDER BY " + bracketed(sort) + "," + idCol + ";";
    SqliteStatement rows = db_.prepare(sql);
    if (!rows.valid()) return fail("cannot read " + topic.source());
    std::vector<std::pair<const FieldInfo*, int>> mapping;
    for (std::size_t i = 0; i < loaded.size(); ++i)
        mapping.emplace_back(loaded[i], static_cast<int>(i));
    // The topic's values in one pass, by record: one query per record would make a file
    // without the object index (one opened read-only, say) take minutes.
    std::unordered_map<std::int32_t, std::vector<std::pair<int, std::string>>> values;
    if (topic.valueFieldCount() > 0) {
        SqliteStatement v = db_.prepare("SELECT [ObjectID], [FieldID], [Value] FROM [sys_Values] "
                                        "WHERE [TopicID]=? ORDER BY [ObjectID], [FieldID];");
        v.bindInt(1, topic.id());
        Step vs;
        while ((vs = v.step()) == Step::Row)
            values[static_cast<std::int32_t>(v.columnInt(0))].emplace_back(
                static_cast<int>(v.columnInt(1)), v.columnText(2));
        if (vs != Step::Done) return fail("cannot read the values of " + topic.source());
    }
    std::vector<std::uint8_t> img;
    Step s;
    while ((s = rows.step()) == Step::Row) {
        img.assign(static_cast<std::size_t>(topic.recordSize()), 0);
        for (const auto& [f, c] : mapping) {
            if (rows.isNull(c)) continue;
            switch (f->type) {
            case TypeInteger:
            case TypeBoolean:
                slot::setInt(img.data(), *f, static_cast<std::int32_t>(rows.columnInt(c)));
                break;
            case TypeString:
            case TypeLongString:
                topic.setText(img.data(), *f, rows.columnText(c));
                break;
            case TypeFloat:
                slot::setDouble(img.data(), *f, rows.columnDouble(c));
                break;
            case TypeDateTime:
                slot::setDate(img.data(), *f, DateTime{rows.columnDouble(c), 0});
                break;
            default:
                break;
            }
        }
        if (!values.empty()) {
            const auto it = values.find(slot::getInt(img.data(), *topic.field(0)));
            if (it != values.end())
                for (const auto& [fieldId, text] : it->second) {
                    const FieldInfo* f = topic.field(fieldId);
                    if (f && f->has(FieldState::ValueField))
                        topic.setValueFromText(img.data(), *f, text);
                }
        }
        if (!topic.append(img.data())) return fail("out of memory");
    }
    if (s != Step::Done) return fail("cannot read " + topic.source());
    topic.rebuildIndex();
    return true;
}

// The bound values are not copied: the image, the topic's strings and the cursor's blocks
// outlive the statement's one step, and every use resets its bindings first.
bool ProjectDatabase::bindField(SqliteStatement& st, int index, Topic& topic, const FieldInfo& f,
                                const std::uint8_t* image, const RecordCursor* cursor) {
    switch (f.type) {
    case TypeInteger:
    case TypeBoolean:
        return st.bindInt(index, slot::getInt(image, f));
    case TypeString:
    case TypeLongString:
        return st.bindText(index, topic.getText(image, f), false);
    case TypeFloat:
        return st.bindDouble(index, slot::getDouble(image, f));
    case TypeDateTime: {
        const DateTime d = slot::getDate(image, f);
        return d.valid() ? st.bindDouble(index, d.days) : st.bindNull(index);
    }
    case TypeBlock:
        return cursor ? st.bindBlob(index, cursor->block(f.id), false) : st.bindNull(index);
    default:
        return st.bindNull(index);
    }
}

ProjectDatabase::SavePlan* ProjectDatabase::savePlan(Topic& topic, bool writeBlocks, bool full) {
    const int key = topic.id() * 4 + (writeBlocks ? 1 : 0) + (full ? 2 : 0);
    if (auto it = plans_.find(key); it != plans_.end()) return &it->second;
    if (!topic.field(0) || !safeName(topic.source())) return nullptr;
    const std::string table = bracketed(topic.source());
    const std::string idCol = bracketed(topic.field(0)->source);
    SavePlan plan;
    for (const auto& f : topic.fields()) {
        if (f.id == 0 || f.type == TypeMemo || f.has(FieldState::Computed) ||
            f.has(FieldState::ValueField))
            continue;
        if (f.type == TypeBlock && !writeBlocks) continue;
        if (f.has(FieldState::Variable) && !full) continue;
        // A column that cannot be written is skipped.
        if (!safeName(f.source) || !hasColumn(topic, f.source)) continue;
        plan.fields.push_back(f.id);
    }
    std::string insert = "INSERT INTO " + table + " (" + idCol;
    std::string values = ") VALUES(?";
    std::string update = "UPDATE " + table + " SET ";
    for (std::size_t i = 0; i < plan.fields.size(); ++i) {
        const std::string col = bracketed(topic.field(plan.fields[i])->source);
        insert += "," + col;
        values += ",?";
        update += (i ? "," : "") + col + "=?";
    }
    update += " WHERE " + idCol + "=?;";
    plan.insert = statement(insert + values + ");");
    plan.exists = statement("SELECT 1 FROM " + table + " WHERE " + idCol + "=?;");
    plan.update = plan.fields.empty() ? nullptr : statement(update);
    if (!plan.insert || !plan.exists || (!plan.fields.empty() && !plan.update)) return nullptr;
    return &plans_.emplace(key, std::move(plan)).first->second;
}

bool ProjectDatabase::SaveRecord(RecordCursor& cursor, bool writeBlocks, bool full) {
    Topic* topic = cursor.topic();
    if (!topic || !mayWrite()) return false;
    const auto key = std::make_pair(topic->id(), cursor.id());
    const bool withValues = full && topic->valueFieldCount() > 0;
    if (depth_ > 0 && !writeBlocks && !withValues && cursor.id() <= highestInFile_[topic->id()]) {
        auto [it, fresh] = pending_.try_emplace(key, PendingSave{topic, cursor.image(), full});
        if (!fresh) {
            it->second.image = cursor.image();
            it->second.full = it->second.full || full;
        }
        return true;
    }
    pending_.erase(key);
    return writeRecord(*topic, cursor.id(), cursor.image().data(), &cursor, writeBlocks, full);
}

bool ProjectDatabase::flushPending(int topicId, std::int32_t id) {
    auto it = pending_.find({topicId, id});
    if (it == pending_.end()) return true;
    PendingSave p = std::move(it->second);
    pending_.erase(it);
    return writeRecord(*p.topic, id, p.image.data(), nullptr, false, p.full);
}

bool ProjectDatabase::flushPending() {
    auto pending = std::move(pending_);
    pending_.clear();
    // After a failed write the engine may have rolled the unit back already: a further
    // write would be committed on its own.
    for (auto& [key, p] : pending)
        if (!writeRecord(*p.topic, key.second, p.image.data(), nullptr, false, p.full))
            return false;
    return true;
}

bool ProjectDatabase::writeRecord(Topic& topicRef, std::int32_t id, const std::uint8_t* img,
                                  const RecordCursor* cursor, bool writeBlocks, bool full) {
    Topic* topic = &topicRef;
    SavePlan* plan = savePlan(*topic, writeBlocks, full);
    if (!plan) return false;
    const bool withValues = full && topic->valueFieldCount() > 0;
    if (withValues && !beginTransaction()) return false;
    auto done = [&](bool ok) {
        if (withValues) return endTransaction(ok) && ok;
        if (!ok && depth_ > 0) txFailed_ = true;
        return ok;
    };
    std::int32_t& highest = highestInFile_[topic->id()];
    bool exists = false;
    if (id <= highest) {
        SqliteStatement* st = plan->update ? plan->update : plan->exists;
        st->reset();
        int n = 1;
        if (plan->update)
            for (int fid : plan->fields)
                bindField(*st, n++, *topic, *topic->field(fid), img, cursor);
        st->bindInt(n, id);
        if (plan->update) {
            if (!st->run()) {
                failWrite("cannot save a record");
                st->reset(); // nothing may keep pointing at the record's bytes
                return done(false);
            }
            exists = db_.changes() > 0;
        } else {
            exists = st->step() == Step::Row;
        }
        st->reset();
    }
    if (!exists) {
        SqliteStatement* st = plan->insert;
        st->reset();
        st->bindInt(1, id);
        int n = 2;
        for (int fid : plan->fields)
            bindField(*st, n++, *topic, *topic->field(fid), img, cursor);
        if (!st->run()) {
            failWrite("cannot add a record");
            st->reset();
            return done(false);
        }
        st->reset();
        if (id > highest) highest = id;
    }
    if (withValues) {
        for (const auto& f : topic->fields())
            if (f.has(FieldState::ValueField) && !saveValue(*topic, id, f, img)) return done(false);
    }
    return done(true);
}

// An empty value is kept as no row, which reads back the same: the file then holds one form
// of each state, so taking a change back gives the rows it had.
bool ProjectDatabase::saveValue(Topic& topic, std::int32_t objectId, const FieldInfo& f,
                                const std::uint8_t* image) {
    const std::string text = topic.valueText(image, f);
    const std::vector<std::uint8_t> zero = topic.zeroImage();
    if (text != topic.valueText(zero.data(), f))
        return upsertValue(topic.id(), objectId, f.id, text);
    SqliteStatement* st =
        statement("DELETE FROM [sys_Values] WHERE [TopicID]=? AND [ObjectID]=? AND [FieldID]=?;");
    if (!st) return false;
    st->bindInt(1, topic.id());
    st->bindInt(2, objectId);
    st->bindInt(3, f.id);
    const bool ok = st->run() || failWrite("cannot save a value");
    st->reset();
    return ok;
}

bool ProjectDatabase::upsertValue(int topicId, std::int32_t objectId, int fieldId,
                                  const std::string& value) {
    const std::string text = cutText(value, 64);
    SqliteStatement* up = statement(
        "UPDATE [sys_Values] SET [Value]=? WHERE [TopicID]=? AND [ObjectID]=? AND [FieldID]=?;");
    if (!up) return false;
    up->bindText(1, text);
    up->bindInt(2, topicId);
    up->bindInt(3, objectId);
    up->bindInt(4, fieldId);
    if (!up->run()) return failWrite("cannot save a value");
    const bool exists = db_.changes() > 0;
    up->reset();
    if (exists) return true;
    SqliteStatement* ins = statement(
        "INSERT INTO [sys_Values] ([TopicID], [FieldID], [ObjectID], [Value]) VALUES(?, ?, ?, ?);");
    if (!ins) return false;
    ins->bindInt(1, topicId);
    ins->bindInt(2, fieldId);
    ins->bindInt(3, objectId);
    ins->bindText(4, text);
    const bool ok = ins->run();
    ins->reset();
    return ok || failWrite("cannot add a value");
}

bool ProjectDatabase::SaveField(Topic& topic, std::int32_t recordId, const FieldInfo& f,
                                const std::uint8_t* image) {
    if (!mayWrite()) return false;
    // A save of the whole record waiting for the unit's end must not overwrite this field.
    if (!flushPending(topic.id(), recordId)) return false;
    if (f.has(FieldState::ValueField)) return saveValue(topic, recordId, f, image);
    if (f.type == TypeBlock || f.type == TypeMemo || f.has(FieldState::Computed) ||
        !topic.field(0) || !safeName(topic.source()) || !safeName(f.source))
        return false;
    // A column the table lacks is skipped, as in a record save; the row must exist still.
    if (!hasColumn(topic, f.source)) return recordInFile(topic, recordId);
    SqliteStatement* st =
        statement("UPDATE " + bracketed(topic.source()) + " SET " + bracketed(f.source) +
                  "=? WHERE " + bracketed(topic.field(0)->source) + "=?;");
    if (!st) return false;
    st->reset();
    bindField(*st, 1, topic, f, image, nullptr);
    st->bindInt(2, recordId);
    const bool ok = st->run() || failWrite("cannot save a field");
    st->reset();
    if (!ok) return false;
    return db_.changes() > 0;
}

bool ProjectDatabase::DeleteRecordRow(Topic& topic, std::int32_t recordId) {
    if (!topic.field(0) || !safeName(topic.source()) || !mayWrite()) return false;
    pending_.erase({topic.id(), recordId});
    SqliteStatement* st = statement("DELETE FROM " + bracketed(topic.source()) + " WHERE " +
                                    bracketed(topic.field(0)->source) + "=?;");
    if (!st) return false;
    st->bindInt(1, recordId);
    if (!st->run()) return failWrite("cannot delete a record");
    st->reset();
    if (topic.valueFieldCount() == 0 && dataEngine_ != Version010406) return true;
    // Values left behind would come back with the next record that is given this id.
    SqliteStatement* v = statement("DELETE FROM [sys_Values] WHERE [TopicID]=? And [ObjectID]=?;");
    if (!v) return false;
    v->bindInt(1, topic.id());
    v->bindInt(2, recordId);
    const bool ok = v->run() || failWrite("cannot delete the values of a record");
    v->reset();
    return ok;
}

bool ProjectDatabase::LoadBlocks(RecordCursor& cursor) {
    Topic* topic = cursor.topic();
    if (!open_ || !topic || !topic->field(0) || !safeName(topic->source())) return false;
    std::vector<const FieldInfo*> blocks;
    std::string sql = "SELECT ";
    for (const auto& f : topic->fields()) {
        if (f.type != TypeBlock || !safeName(f.source)) continue;
        sql += (blocks.empty() ? "" : ",") + bracketed(f.source);
        blocks.push_back(&f);
    }
    if (blocks.empty()) return true;
    sql += " FROM " + bracketed(topic->source()) + " WHERE " + bracketed(topic->field(0)->source) +
           "=?;";
    SqliteStatement* st = statement(sql);
    if (!st) return false;
    st->bindInt(1, cursor.id());
    const Step s = st->step();
    if (s == Step::Row)
        for (std::size_t i = 0; i < blocks.size(); ++i)
            cursor.setBlock(blocks[i]->id, st->columnBlob(static_cast<int>(i)));
    st->reset();
    return s != Step::Error || fail("cannot read a text");
}

std::unique_ptr<BlockStream> ProjectDatabase::StreamBlocks(Topic& topic) {
    if (!open_ || !topic.field(0) || !safeName(topic.source()) || !safeName(topic.field(0)->source))
        return nullptr;
    auto stream = std::make_unique<BlockStream>();
    const std::string id = bracketed(topic.field(0)->source);
    std::string sql = "SELECT " + id;
    for (const auto& f : topic.fields()) {
        if (f.type != TypeBlock || !safeName(f.source)) continue;
        sql += "," + bracketed(f.source);
        stream->fields_.push_back(f.id);
    }
    sql += " FROM " + bracketed(topic.source()) + " ORDER BY " + id + ";";
    stream->statement_ = db_.prepare(sql);
    if (!stream->statement_.valid()) return nullptr;
    return stream;
}

bool BlockStream::fill(RecordCursor& cursor) {
    while (!atEnd_ && !failed_ && current_ < cursor.id()) {
        const auto s = statement_.step();
        if (s == platform::SqliteStatement::Step::Row) {
            current_ = static_cast<std::int32_t>(statement_.columnInt(0));
        } else {
            atEnd_ = true;
            failed_ = s == platform::SqliteStatement::Step::Error;
        }
    }
    // Asked out of order, the blocks would be missed without a word.
    if (failed_ || (!atEnd_ && current_ > cursor.id())) return false;
    if (!atEnd_ && current_ == cursor.id())
        for (std::size_t i = 0; i < fields_.size(); ++i)
            cursor.setBlock(fields_[i], statement_.columnBlob(static_cast<int>(i) + 1));
    return true;
}

bool ProjectDatabase::AddFieldColumn(Topic& topic, const FieldInfo& f) {
    if (!safeName(f.source) || !safeName(topic.source()) || !mayWrite()) return false;
    if (!flushPending()) return false;
    forgetPlans(topic.id());
    if (!beginTransaction()) return false;
    bool ok = true;
    if (f.state < FieldState::ValueField)
        ok = exec("ALTER TABLE " + bracketed(topic.source()) + " ADD COLUMN " +
                  bracketed(f.source) + " " + std::string(columnType(f.type)) + ";");
    if (ok) {
        SqliteStatement* st = statement(insertFieldSql);
        ok = st && (insertFieldRow(*st, topic.id(), f.id, f.name, f.source, f.type, f.state,
                                   f.parentTopic) ||
                    failWrite("cannot add a field"));
    }
    if (!endTransaction(ok) || !ok) return false;
    if (f.state < FieldState::ValueField) columns_[topic.id()].insert(lowerAscii(f.source));
    return true;
}

bool ProjectDatabase::RenameFieldRow(int topicId, int fieldId, const std::string& name) {
    if (!mayWrite()) return false;
    SqliteStatement* st =
        statement("UPDATE [sys_Fields] SET [Name]=? WHERE [TopicID]=? And [ID]=?;");
    if (!st) return false;
    st->bindText(1, name);
    st->bindInt(2, topicId);
    st->bindInt(3, fieldId);
    const bool ok = st->run();
    st->reset();
    return ok || failWrite("cannot rename a field");
}

bool ProjectDatabase::DeleteFieldRow(Topic& topic, const FieldInfo& f) {
    if (!mayWrite()) return false;
    if (!flushPending()) return false;
    forgetPlans(topic.id());
    if (!beginTransaction()) return false;
    bool ok = false;
    if (SqliteStatement* st = statement("DELETE FROM [sys_Fields] WHERE [TopicID]=? And [ID]=?;")) {
        st->bindInt(1, topic.id());
        st->bindInt(2, f.id);
        ok = st->run() || failWrite("cannot remove a field");
        st->reset();
    }
    if (ok && f.has(FieldState::ValueField)) {
        if (SqliteStatement* st =
                statement("DELETE FROM [sys_Values] WHERE [TopicID]=? And [FieldID]=?;")) {
            st->bindInt(1, topic.id());
            st->bindInt(2, f.id);
            ok = st->run() || failWrite("cannot remove the values of a field");
            st->reset();
        }
    } else if (ok && safeName(f.source) && safeName(topic.source())) {
        ok = exec("ALTER TABLE " + bracketed(topic.source()) + " DROP COLUMN " +
                  bracketed(f.source) + ";");
    }
    if (!endTransaction(ok) || !ok) return false;
    if (!f.has(FieldState::ValueField)) columns_[topic.id()].erase(lowerAscii(f.source));
    return true;
}

std::string ProjectDatabase::GetProjectName(bool withPath) const {
    if (!open_) return {};
    return withPath ? path_ : baseName(path_);
}

bool ProjectDatabase::GetSetup(const std::string& key, std::string& value) {
    value.clear();
    if (!open_) return false;
    SqliteStatement* st = statement("SELECT [Value] FROM [sys_Setup] WHERE [Key]=?;");
    if (!st) return false;
    st->bindText(1, key);
    const Step s = st->step();
    if (s == Step::Row) value = st->columnText(0);
    st->reset();
    return s != Step::Error || fail("cannot read a setting");
}

bool ProjectDatabase::SetSetup(const std::string& key, const std::string& value) {
    if (!open_) return false;
    // Unchanged keys are not written: closing a project that was only read writes nothing.
    if (SqliteStatement* st = statement("SELECT [Value] FROM [sys_Setup] WHERE [Key]=?;")) {
        st->bindText(1, key);
        const bool same = st->step() == Step::Row && st->columnText(0) == value;
        st->reset();
        if (same) return true;
    }
    if (!mayWrite()) return false;
    SqliteStatement* up = statement("UPDATE [sys_Setup] SET [Value]=? WHERE [Key]=?;");
    if (!up) return false;
    up->bindText(1, value);
    up->bindText(2, key);
    if (!up->run()) return failWrite("cannot save a setting");
    const bool exists = db_.changes() > 0;
    up->reset();
    if (exists) return true;
    SqliteStatement* ins = statement("INSERT INTO sys_Setup([Key], [Value]) VALUES(?, ?);");
    if (!ins) return false;
    ins->bindText(1, key);
    ins->bindText(2, value);
    const bool ok = ins->run();
    ins->reset();
    return ok || failWrite("cannot add a setting");
}

bool ProjectDatabase::DeleteSetup(const std::string& key) {
    if (!mayWrite()) return false;
    SqliteStatement* st = statement("DELETE FROM [sys_Setup] WHERE [Key]=?;");
    if (!st) return false;
    st->bindText(1, key);
    const bool ok = st->run();
    st->reset();
    return ok || failWrite("cannot delete a setting");
}

bool ProjectDatabase::Compact(const std::string& target, std::string& errorText) {
    errorText.clear();
    if (!open_) {
        errorText = "No project is open.";
        return false;
    }
    if (isSameFile(target)) {
        errorText = "A project cannot be backed up onto itself.";
        return false;
    }
    if (depth_ > 0) {
        errorText = "The project is busy.";
        return false;
    }
    // Written beside the target and moved over it complete: a failed copy leaves no
    // half-written file, and an old backup stays until the new one is whole.
    const std::string tmp = platform::temporarySibling(platform::absolutePath(target), "backup");
    removeStaleTemporaries(platform::absolutePath(target));
    SqliteStatement st = db_.prepare("VACUUM INTO ?;");
    bool ok = st.valid() && st.bindText(1, tmp) && st.run();
    if (!ok)
        errorText = "The backup cannot be written to " + target + ": " +
                    describeFailure(db_.extendedErrorCode(), db_.errorText()) + ".";
    st = SqliteStatement();
    if (ok) {
        // The copy takes the journal mode of the source; a backup is an ordinary file. The
        // switch is a committed write, which also brings the whole copy to the disk.
        platform::SqliteDatabase copy;
        ok = copy.open(tmp, platform::SqliteDatabase::OpenMode::ReadWrite) &&
             copy.exec("PRAGMA synchronous=FULL;") && copy.exec("PRAGMA journal_mode=DELETE;") &&
             copy.exec("BEGIN IMMEDIATE;") && copy.exec("PRAGMA user_version=0;") &&
             copy.exec("COMMIT;");
        if (!ok)
            errorText = "The backup cannot be written to " + target + ": " +
                        describeFailure(copy.extendedErrorCode(), copy.errorText()) + ".";
        copy.close();
        platform::removeFile(tmp + "-journal");
    }
    if (ok) {
        // A log left beside the target belongs to the file being replaced.
        removeSideFiles(target);
        if (::rename(tmp.c_str(), target.c_str()) != 0) {
            errorText = "The backup cannot be written to " + target + ": " +
                        platform::systemErrorText(errno);
            ok = false;
        }
    }
    if (!ok) platform::removeFile(tmp);
    return ok;
}

} // namespace vexana::store
