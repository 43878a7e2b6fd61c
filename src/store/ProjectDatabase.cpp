#include "ProjectDatabase.h"

#include "RecordCursor.h"
#include "Schema.h"
#include "Topic.h"
#include "TopicStore.h"
#include "platform/Files.h"
#include "platform/ProfileFile.h"

#include <climits>
#include <sqlite3.h>
#include <sys/stat.h>

namespace vexana::store {

using platform::SqliteStatement;
using Step = SqliteStatement::Step;

namespace {

std::string quoted(std::string_view name) {
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
    std::string sql = "CREATE TABLE " + quoted(table) + " (";
    for (std::size_t i = 0; i < columns.size(); ++i) {
        if (i) sql += ", ";
        sql += quoted(columns[i].first) + " " + std::string(columnType(columns[i].second));
    }
    return sql + ");";
}

std::string createIndexSql(std::string_view table, const std::vector<std::string_view>& columns,
                           bool unique) {
    std::string sql = std::string(unique ? "CREATE UNIQUE INDEX " : "CREATE INDEX ") +
                      quoted(indexName(table)) + " ON " + quoted(table) + " (";
    for (std::size_t i = 0; i < columns.size(); ++i) {
        if (i) sql += ", ";
        sql += quoted(columns[i]);
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

std::string baseName(const std::string& path) {
    const auto pos = path.find_last_of("/\\");
    return pos == std::string::npos ? path : path.substr(pos + 1);
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
    lastError_ = std::string(what) + ": " + db_.errorText();
    if (depth_ > 0) txFailed_ = true;
    return false;
}

bool ProjectDatabase::exec(std::string_view sql) {
    if (db_.exec(sql)) return true;
    return fail("statement failed");
}

SqliteStatement* ProjectDatabase::statement(const std::string& sql) {
    SqliteStatement* st = db_.cached(sql);
    if (!st) fail("cannot prepare a statement");
    return st;
}

bool ProjectDatabase::Open(const std::string& rawPath) {
    Close();
    const std::string path = platform::absolutePath(rawPath);
    if (!platform::fileExists(path)) {
        if (!platform::isDirectory(platform::parentDirectory(path))) {
            show("The folder " + platform::parentDirectory(path) + " does not exist.",
                 MessageIcon::Stop);
            return false;
        }
        if (!createFile(path)) return false;
    }
    path_ = path;
    auto refuse = [&](const std::string& text, MessageIcon icon) {
        db_.close();
        path_.clear();
        show(text, icon);
        return false;
    };
    if (platform::isDirectory(path))
        return refuse(path + " is a folder, not a project file.", MessageIcon::Stop);
    if (!db_.open(path, platform::SqliteDatabase::OpenMode::ReadWrite))
        return refuse("The project " + path + " cannot be opened: " + db_.errorText(),
                      MessageIcon::Stop);
    if (db_.isReadOnly())
        return refuse("The project " + path + " is read-only.", MessageIcon::Stop);

    // Held until the file is closed: a second program gets "busy" at once instead of waiting.
    db_.exec("PRAGMA locking_mode=EXCLUSIVE;");
    if (!db_.exec("BEGIN EXCLUSIVE;")) {
        const int code = db_.errorCode();
        if (code == SQLITE_BUSY || code == SQLITE_LOCKED)
            return refuse("The project " + path + " is open in another program.",
                          MessageIcon::Stop);
        return refuse(path + " is not a project file or is damaged.", MessageIcon::Stop);
    }
    std::string version, dataType;
    bool readable = false;
    {
        SqliteStatement st = db_.prepare("SELECT [Key], [Value] FROM [sys_Setup];");
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
            const int code = db_.errorCode();
            db_.exec("ROLLBACK;");
            if (code == SQLITE_BUSY || code == SQLITE_LOCKED)
                return refuse("The project " + path + " is open in another program.",
                              MessageIcon::Stop);
            return refuse(path + " is not a project file or is damaged.", MessageIcon::Stop);
        }
    }
    db_.exec("COMMIT;");
    dataEngine_ = version;
    if (!dataType.empty()) dataType_ = dataType;

    if (dataEngine_ == Version010406 && upgradeFrom010406()) dataEngine_ = Version020524;
    if (dataEngine_ == Version020524 && upgradeFrom020524()) dataEngine_ = VersionCurrent;
    if (dataEngine_ != VersionCurrent) return refuse("Uncompatible Data Format", MessageIcon::Stop);

    // Write-ahead logging: one sync per change and a file that survives a crash at any point.
    db_.exec("PRAGMA journal_mode=WAL;");
    db_.exec("PRAGMA synchronous=FULL;");
    // Room for the pages of a large project, so big imports do not spill half-way.
    db_.exec("PRAGMA cache_size=-65536;");
    open_ = true;
    return true;
}

void ProjectDatabase::Close() {
    if (depth_ > 0) db_.exec("ROLLBACK;");
    bulk_ = false;
    pending_.clear();
    plans_.clear();
    highestInFile_.clear();
    depth_ = 0;
    txFailed_ = false;
    db_.close();
    open_ = false;
    path_.clear();
}

bool ProjectDatabase::createFile(const std::string& path) {
    // Built beside the target and moved into place complete, so a failure or a crash never
    // leaves half a project at the path.
    const std::string tmp = platform::temporarySibling(path, "new");
    platform::SqliteDatabase db;
    auto abandon = [&](const std::string& why) {
        const std::string text = "The project " + path + " cannot be created: " + why;
        db.close();
        platform::removeFile(tmp);
        platform::removeFile(tmp + "-journal");
        show(text, MessageIcon::Stop);
        return false;
    };
    if (!db.open(tmp, platform::SqliteDatabase::OpenMode::Create)) return abandon(db.errorText());
    if (!db.exec("PRAGMA journal_mode=DELETE;") || !db.exec("BEGIN;"))
        return abandon(db.errorText());

    for (const auto& table : systemTables()) {
        std::vector<std::pair<std::string, int>> cols;
        for (const auto& c : table.columns)
            cols.emplace_back(std::string(c.name), c.type);
        const bool unique = table.name != valuesTable().name;
        if (!db.exec(createTableSql(table.name, cols)) ||
            !db.exec(createIndexSql(table.name, {table.index.begin(), table.index.end()}, unique)))
            return abandon(db.errorText());
    }
    for (const auto& topic : persistentTopics()) {
        if (topic.fields.empty()) continue;
        std::vector<std::pair<std::string, int>> cols;
        for (const auto& f : topic.fields)
            cols.emplace_back(std::string(f.source), f.type);
        if (!db.exec(createTableSql(topic.table, cols)) ||
            !db.exec(createIndexSql(topic.table, {"ID"}, true)))
            return abandon(db.errorText());
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
            if (!st.run()) return abandon(db.errorText());
        }
    }
    {
        SqliteStatement st = db.prepare(insertFieldSql);
        for (const auto& topic : persistentTopics())
            for (const auto& f : topic.fields)
                if (!insertFieldRow(st, topic.id, f.id, f.name, f.source, f.type, f.state,
                                    f.parentTopic))
                    return abandon(db.errorText());
    }
    {
        SqliteStatement st = db.prepare("INSERT INTO sys_Setup([Key], [Value]) VALUES(?, ?);");
        for (const auto& [key, value] :
             {std::pair<std::string_view, std::string_view>{"DataEngine", VersionCurrent},
              {"DataType", dataType_}}) {
            st.reset();
            st.bindText(1, key);
            st.bindText(2, value);
            if (!st.run()) return abandon(db.errorText());
        }
    }
    if (!db.exec("COMMIT;")) return abandon(db.errorText());
    db.close();
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
    if (!db_.exec("BEGIN;")) return false;
    const bool ok =
        db_.exec(createTableSql(table.name, cols)) &&
        db_.exec(createIndexSql(table.name, {table.index.begin(), table.index.end()}, false)) &&
        db_.exec("UPDATE [sys_Setup] SET [Value]='020524' WHERE [Key]='DataEngine';");
    if (ok && db_.exec("COMMIT;")) return true;
    db_.exec("ROLLBACK;");
    return false;
}

bool ProjectDatabase::upgradeFrom020524() {
    if (!db_.exec("BEGIN;")) return false;
    const bool ok = db_.exec("INSERT INTO sys_Setup([Key], [Value]) VALUES('RichText','1');") &&
                    db_.exec("UPDATE [sys_Setup] SET [Value]='020905' WHERE [Key]='DataEngine';");
    if (ok && db_.exec("COMMIT;")) return true;
    db_.exec("ROLLBACK;");
    return false;
}

bool ProjectDatabase::beginTransaction(bool bulk) {
    if (!open_) return false;
    if (depth_ == 0) {
        // Either journal keeps a commit atomic; when the switch is refused the log stays.
        bulk_ = bulk && db_.exec("PRAGMA journal_mode=TRUNCATE;");
        if (!db_.exec("BEGIN IMMEDIATE;")) {
            leaveBulk();
            return fail("cannot begin a transaction");
        }
        txFailed_ = false;
    }
    ++depth_;
    return true;
}

bool ProjectDatabase::endTransaction(bool success) {
    if (depth_ == 0) return false;
    if (!success) txFailed_ = true;
    if (--depth_ > 0) return success;
    if (!txFailed_ && !flushPending()) txFailed_ = true;
    if (!txFailed_ && db_.exec("COMMIT;")) {
        leaveBulk();
        return true;
    }
    if (!txFailed_) lastError_ = "cannot commit: " + db_.errorText();
    pending_.clear();
    db_.exec("ROLLBACK;");
    leaveBulk();
    txFailed_ = false;
    return false;
}

void ProjectDatabase::leaveBulk() {
    if (bulk_) db_.exec("PRAGMA journal_mode=WAL;");
    bulk_ = false;
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
    const std::string table = quoted(topic.source());
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
    const std::string idCol = quoted(topic.field(0)->source);
    {
        SqliteStatement top = db_.prepare("SELECT max(" + idCol + ") FROM " + table + ";");
        if (top.step() == Step::Row)
            highestInFile_[topic.id()] = static_cast<std::int32_t>(top.columnInt(0));
    }
    std::string sql = "SELECT ";
    for (std::size_t i = 0; i < loaded.size(); ++i)
        sql += (i ? "," : "") + quoted(loaded[i]->source);
    if (loaded.empty()) sql += idCol;
    sql += " FROM " + table;
    const std::string& sort = topic.sortField();
    if (sort.empty() || !safeName(sort) || platform::equalsIgnoreAsciiCase(sort, "ID"))
        sql += " ORDER BY " + idCol + ";";
    else
        sql += " ORDER BY " + quoted(sort) + "," + idCol + ";";
    SqliteStatement rows = db_.prepare(sql);
    if (!rows.valid()) return fail("cannot read " + topic.source());
    std::vector<std::pair<const FieldInfo*, int>> mapping;
    for (std::size_t i = 0; i < loaded.size(); ++i)
        mapping.emplace_back(loaded[i], static_cast<int>(i));
    SqliteStatement* values = nullptr;
    if (topic.valueFieldCount() > 0)
        values = statement(
            "SELECT [FieldID], [Value] FROM [sys_Values] WHERE [TopicID]=? AND [ObjectID]=? "
            "ORDER BY [FieldID];");
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
        if (values) {
            values->reset();
            values->bindInt(1, topic.id());
            values->bindInt(2, slot::getInt(img.data(), *topic.field(0)));
            while (values->step() == Step::Row) {
                const FieldInfo* f = topic.field(static_cast<int>(values->columnInt(0)));
                if (f && f->has(FieldState::ValueField))
                    topic.setValueFromText(img.data(), *f, values->columnText(1));
            }
        }
        if (!topic.append(img.data())) return fail("out of memory");
    }
    if (values) values->reset();
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
    const std::string table = quoted(topic.source());
    const std::string idCol = quoted(topic.field(0)->source);
    SavePlan plan;
    for (const auto& f : topic.fields()) {
        if (f.id == 0 || f.type == TypeMemo || f.has(FieldState::Computed) ||
            f.has(FieldState::ValueField))
            continue;
        if (f.type == TypeBlock && !writeBlocks) continue;
        if (f.has(FieldState::Variable) && !full) continue;
        if (!safeName(f.source)) continue;
        plan.fields.push_back(f.id);
    }
    std::string insert = "INSERT INTO " + table + " (" + idCol;
    std::string values = ") VALUES(?";
    std::string update = "UPDATE " + table + " SET ";
    for (std::size_t i = 0; i < plan.fields.size(); ++i) {
        const std::string col = quoted(topic.field(plan.fields[i])->source);
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
    if (!open_ || !topic) return false;
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
    bool ok = true;
    auto pending = std::move(pending_);
    pending_.clear();
    for (auto& [key, p] : pending)
        ok = writeRecord(*p.topic, key.second, p.image.data(), nullptr, false, p.full) && ok;
    return ok;
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
                fail("cannot save a record");
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
            fail("cannot add a record");
            st->reset();
            return done(false);
        }
        st->reset();
        if (id > highest) highest = id;
    }
    if (withValues) {
        for (const auto& f : topic->fields())
            if (f.has(FieldState::ValueField) &&
                !upsertValue(topic->id(), id, f.id, topic->valueText(img, f)))
                return done(false);
    }
    return done(true);
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
    if (!up->run()) return fail("cannot save a value");
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
    return ok || fail("cannot add a value");
}

bool ProjectDatabase::SaveField(Topic& topic, std::int32_t recordId, const FieldInfo& f,
                                const std::uint8_t* image) {
    if (!open_) return false;
    if (f.has(FieldState::ValueField))
        return upsertValue(topic.id(), recordId, f.id, topic.valueText(image, f));
    if (f.type == TypeBlock || f.type == TypeMemo || f.has(FieldState::Computed) ||
        !topic.field(0) || !safeName(topic.source()) || !safeName(f.source))
        return false;
    SqliteStatement* st =
        statement("UPDATE " + quoted(topic.source()) + " SET " + quoted(f.source) + "=? WHERE " +
                  quoted(topic.field(0)->source) + "=?;");
    if (!st) return false;
    st->reset();
    bindField(*st, 1, topic, f, image, nullptr);
    st->bindInt(2, recordId);
    const bool ok = st->run() || fail("cannot save a field");
    st->reset();
    if (!ok) return false;
    return db_.changes() > 0;
}

bool ProjectDatabase::DeleteRecordRow(Topic& topic, std::int32_t recordId) {
    if (!open_ || !topic.field(0) || !safeName(topic.source())) return false;
    pending_.erase({topic.id(), recordId});
    SqliteStatement* st = statement("DELETE FROM " + quoted(topic.source()) + " WHERE " +
                                    quoted(topic.field(0)->source) + "=?;");
    if (!st) return false;
    st->bindInt(1, recordId);
    if (!st->run()) return fail("cannot delete a record");
    st->reset();
    if (SqliteStatement* v =
            statement("DELETE FROM [sys_Values] WHERE [TopicID]=? And [ObjectID]=?;")) {
        v->bindInt(1, topic.id());
        v->bindInt(2, recordId);
        v->run();
        v->reset();
    }
    return true;
}

bool ProjectDatabase::LoadBlocks(RecordCursor& cursor) {
    Topic* topic = cursor.topic();
    if (!open_ || !topic || !topic->field(0) || !safeName(topic->source())) return false;
    std::vector<const FieldInfo*> blocks;
    std::string sql = "SELECT ";
    for (const auto& f : topic->fields()) {
        if (f.type != TypeBlock || !safeName(f.source)) continue;
        sql += (blocks.empty() ? "" : ",") + quoted(f.source);
        blocks.push_back(&f);
    }
    if (blocks.empty()) return true;
    sql += " FROM " + quoted(topic->source()) + " WHERE " + quoted(topic->field(0)->source) + "=?;";
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

bool ProjectDatabase::AddFieldColumn(Topic& topic, const FieldInfo& f) {
    if (!open_ || !safeName(f.source) || !safeName(topic.source())) return false;
    if (!flushPending()) return false;
    forgetPlans(topic.id());
    if (!beginTransaction()) return false;
    bool ok = true;
    if (f.state < FieldState::ValueField)
        ok = exec("ALTER TABLE " + quoted(topic.source()) + " ADD COLUMN " + quoted(f.source) +
                  " " + std::string(columnType(f.type)) + ";");
    if (ok) {
        SqliteStatement* st = statement(insertFieldSql);
        ok = st && (insertFieldRow(*st, topic.id(), f.id, f.name, f.source, f.type, f.state,
                                   f.parentTopic) ||
                    fail("cannot add a field"));
    }
    return endTransaction(ok) && ok;
}

bool ProjectDatabase::RenameFieldRow(int topicId, int fieldId, const std::string& name) {
    if (!open_) return false;
    SqliteStatement* st =
        statement("UPDATE [sys_Fields] SET [Name]=? WHERE [TopicID]=? And [ID]=?;");
    if (!st) return false;
    st->bindText(1, name);
    st->bindInt(2, topicId);
    st->bindInt(3, fieldId);
    const bool ok = st->run();
    st->reset();
    return ok || fail("cannot rename a field");
}

bool ProjectDatabase::DeleteFieldRow(Topic& topic, const FieldInfo& f) {
    if (!open_) return false;
    if (!flushPending()) return false;
    forgetPlans(topic.id());
    if (!beginTransaction()) return false;
    bool ok = false;
    if (SqliteStatement* st = statement("DELETE FROM [sys_Fields] WHERE [TopicID]=? And [ID]=?;")) {
        st->bindInt(1, topic.id());
        st->bindInt(2, f.id);
        ok = st->run() || fail("cannot remove a field");
        st->reset();
    }
    if (ok && f.has(FieldState::ValueField)) {
        if (SqliteStatement* st =
                statement("DELETE FROM [sys_Values] WHERE [TopicID]=? And [FieldID]=?;")) {
            st->bindInt(1, topic.id());
            st->bindInt(2, f.id);
            ok = st->run() || fail("cannot remove the values of a field");
            st->reset();
        }
    } else if (ok && safeName(f.source) && safeName(topic.source())) {
        ok = exec("ALTER TABLE " + quoted(topic.source()) + " DROP COLUMN " + quoted(f.source) +
                  ";");
    }
    return endTransaction(ok) && ok;
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
    SqliteStatement* up = statement("UPDATE [sys_Setup] SET [Value]=? WHERE [Key]=?;");
    if (!up) return false;
    up->bindText(1, value);
    up->bindText(2, key);
    if (!up->run()) return fail("cannot save a setting");
    const bool exists = db_.changes() > 0;
    up->reset();
    if (exists) return true;
    SqliteStatement* ins = statement("INSERT INTO sys_Setup([Key], [Value]) VALUES(?, ?);");
    if (!ins) return false;
    ins->bindText(1, key);
    ins->bindText(2, value);
    const bool ok = ins->run();
    ins->reset();
    return ok || fail("cannot add a setting");
}

bool ProjectDatabase::DeleteSetup(const std::string& key) {
    if (!open_) return false;
    SqliteStatement* st = statement("DELETE FROM [sys_Setup] WHERE [Key]=?;");
    if (!st) return false;
    st->bindText(1, key);
    const bool ok = st->run();
    st->reset();
    return ok || fail("cannot delete a setting");
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
    SqliteStatement st = db_.prepare("VACUUM INTO ?;");
    bool ok = st.valid() && st.bindText(1, tmp) && st.run();
    if (!ok) errorText = db_.errorText();
    st = SqliteStatement();
    if (ok) {
        // The copy takes the journal mode of the source; a backup is an ordinary file.
        platform::SqliteDatabase copy;
        if (copy.open(tmp, platform::SqliteDatabase::OpenMode::ReadWrite))
            copy.exec("PRAGMA journal_mode=DELETE;");
        copy.close();
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
