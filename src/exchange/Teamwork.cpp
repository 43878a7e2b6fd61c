#include "Teamwork.h"

#include "StoreJoin.h"
#include "analysis/MemoOperations.h"
#include "analysis/Workspace.h"
#include "platform/Files.h"
#include "platform/richtext/RichText.h"
#include "store/ProjectDatabase.h"
#include "store/Schema.h"
#include "store/SchemaSetup.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <unordered_map>

namespace vexana::exchange {

using namespace store;

namespace {

constexpr const char* importQuestion =
    "Coded Segments & Memos from\n\nProject:\t%s\nText:\t%s\n\nimport?";

std::string fileName(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string lowerAscii(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
}

// The wait cursor and the progress window for as long as an operation runs.
class Busy {
public:
    Busy(UserInterface& ui, const std::string& text) : ui_(ui) {
        ui_.waitCursor(true);
        ui_.progressOpen();
        ui_.progressText(text);
    }
    ~Busy() {
        ui_.progressClose();
        ui_.waitCursor(false);
    }
    Busy(const Busy&) = delete;
    Busy& operator=(const Busy&) = delete;

private:
    UserInterface& ui_;
};

} // namespace

std::string Teamwork::WithExtension(const std::string& path, const std::string& ext) {
    if (path.size() >= ext.size() &&
        lowerAscii(path.substr(path.size() - ext.size())) == lowerAscii(ext))
        return path;
    return path + ext;
}

bool Teamwork::sameAsOpen(const std::string& path) {
    const ProjectDatabase* db = ws_.doc().database();
    return db && db->IsOpen() && db->isSameFile(path);
}

std::unique_ptr<ProjectDatabase> Teamwork::openSource(const std::string& path,
                                                      const std::string& dataType) {
    UserInterface& ui = ws_.ui();
    if (sameAsOpen(path)) {
        ui.message(dataType == DataTypeMain
                       ? "The open project cannot be merged into itself; merge a copy of it."
                       : "The file " + path + " is the open project, not an exchange file.",
                   MessageIcon::Stop);
        return nullptr;
    }
    // Messages of the opening itself go to the user as they are.
    auto db = std::make_unique<ProjectDatabase>(dataType, &ui);
    if (!db->OpenForReading(path)) return nullptr;
    // A file without the key is no more of the kind than one of another kind.
    std::string type;
    db->GetSetup("DataType", type);
    if (type != dataType) {
        ui.message(dataType == DataTypeMain
                       ? "The file " + path + " is not a project (its data type is \"" + type +
                             "\"); nothing was merged."
                       : "The file " + path + " is not an exchange file (its data type is \"" +
                             type + "\"); nothing was imported.",
                   MessageIcon::Stop);
        return nullptr;
    }
    return db;
}

bool Teamwork::MergeCommand() {
    if (!ws_.doc().isOpen()) return false;
    const std::string path = ws_.ui().chooseFile(FileDialog::MergeProjects);
    return !path.empty() && Merge(path).has_value();
}

std::optional<MergeCounts> Teamwork::Merge(const std::string& source) {
    CVexDoc& doc = ws_.doc();
    UserInterface& ui = ws_.ui();
    if (!doc.isOpen()) return std::nullopt;
    auto src = openSource(source, std::string(DataTypeMain));
    if (!src) return std::nullopt;
    Busy busy(ui, "Merging Projects ...");
    TopicStore from;
    if (!doc.LoadSecondStore(from, *src, true)) {
        ui.message("The project " + src->path() + " cannot be loaded: " + src->lastError() +
                       "; nothing was merged.",
                   MessageIcon::Stop);
        return std::nullopt;
    }
    ui.progressText("Merging Projects ...");
    TopicStore& to = doc.store();
    MergeCounts n;
    {
        analysis::DeferredRetrieval deferred(ws_);
        StoreBatch batch(to, "Merge Projects", true);
        StoreJoin join(from, to);
        join.joinCodes([](std::int32_t) { return true; });
        n.memos += join.joinCodeMemos().first;
        join.joinVariables();
        std::vector<std::int32_t> texts;
        for (std::int32_t g : from.ListIds(TopicId::TextGroups)) {
            if (!join.ok()) break;
            RecordCursor source, group;
            if (!from.GetRecord(TopicId::TextGroups, g, source) ||
                !to.NewRecord(TopicId::TextGroups, group)) {
                join.fail();
                break;
            }
            const std::int32_t gid = group.id();
            group.setInt(GroupField::State, source.getInt(GroupField::State));
            group.setText(GroupField::Name, source.getText(GroupField::Name));
            group.setInt(GroupField::Index, 0);
            if (!to.Save(group, true, true)) {
                join.fail();
                break;
            }
            ++n.groups;
            for (std::int32_t t : from.FindIds(TopicId::Texts, TopicId::TextGroups, g)) {
                const std::int32_t tid = join.copyText(t, gid, true);
                if (!tid) break;
                ++n.texts;
                for (std::int32_t m : from.FindIds(TopicId::Memos, TopicId::Texts, t)) {
                    if (!join.copyMemo(m, tid, 0)) break;
                    ++n.memos;
                }
                if (!join.ok()) break;
                texts.push_back(tid);
                ui.progressCount(n.texts);
            }
        }
        // The codings once the texts stand, in id order, so that their blocks are read from
        // the source one after the other.
        auto blocks = src->StreamBlocks(*from.GetTopic(TopicId::Codings));
        join.setCodingBlocks(blocks.get());
        std::vector<std::int32_t> codings = from.ListIds(TopicId::Codings);
        std::sort(codings.begin(), codings.end());
        for (std::int32_t c : codings) {
            if (!join.ok()) break;
            const auto text =
                join.textMap().find(from.GetInt(TopicId::Codings, c, CodingField::Text));
            if (text != join.textMap().end() && join.copyCoding(c, text->second)) ++n.codings;
        }
        join.setCodingBlocks(nullptr);
        for (std::int32_t s : from.ListIds(TopicId::TextSets)) {
            if (!join.ok()) break;
            RecordCursor source, set;
            if (!from.GetRecord(TopicId::TextSets, s, source) ||
                !to.NewRecord(TopicId::TextSets, set)) {
                join.fail();
                break;
            }
            const std::int32_t sid = set.id();
            set.setInt(GroupField::State, source.getInt(GroupField::State));
            set.setText(GroupField::Name, source.getText(GroupField::Name));
            set.setInt(GroupField::Index, 0);
            if (!to.Save(set, true, true)) {
                join.fail();
                break;
            }
            ++n.sets;
            for (std::int32_t l : from.FindIds(TopicId::TextLinks, TopicId::TextSets, s)) {
                // A link to a text that did not come over would point at nothing.
                const auto mapped =
                    join.textMap().find(from.GetInt(TopicId::TextLinks, l, LinkField::Text));
                if (mapped == join.textMap().end()) continue;
                RecordCursor link;
                if (!to.NewRecord(TopicId::TextLinks, link)) {
                    join.fail();
                    break;
                }
                link.setInt(LinkField::Index, from.GetInt(TopicId::TextLinks, l, LinkField::Index));
                link.setInt(LinkField::Set, sid);
                link.setInt(LinkField::Text, mapped->second);
                if (!to.Save(link, true, true)) {
                    join.fail();
                    break;
                }
                ++n.links;
            }
        }
        // The counters say what the project holds, whatever the source's said.
        for (std::int32_t t : texts)
            if (join.ok() && !StoreJoin::recountText(to, t)) join.fail();
        for (std::int32_t c : join.touchedCodes())
            if (join.ok() && !StoreJoin::recountCode(to, c)) join.fail();
        n.codesCreated = join.codesCreated();
        n.variablesCreated = join.variablesCreated();
        if (!join.ok()) batch.fail();
        if (!batch.finish()) {
            ui.message("Nothing was merged.", MessageIcon::Stop);
            return std::nullopt;
        }
        if (n.codings > 0) ws_.BuildRetrieval();
    }
    for (int root : {TopicId::GroupsRoot, TopicId::SetsRoot, TopicId::CodesRoot})
        ws_.notify(ViewEvent::Changed, root, 0);
    return n;
}

namespace {

// An exchange file written whole beside its target and moved over it complete.
class ExchangeWriter {
public:
    ExchangeWriter(CVexDoc& doc, std::string target) : doc_(doc), target_(std::move(target)) {
        tmp_ = platform::temporarySibling(platform::absolutePath(target_), "new");
    }
    ~ExchangeWriter() {
        if (!done_) {
            db_.Close();
            platform::removeFile(tmp_);
            ProjectDatabase::removeSideFiles(tmp_);
        }
    }
    bool open() {
        if (!platform::isDirectory(platform::parentDirectory(platform::absolutePath(target_)))) {
            why_ = "the folder does not exist";
            return false;
        }
        if (!db_.Open(tmp_) || !doc_.LoadSecondStore(store_, db_, false)) {
            why_ = db_.lastError();
            return false;
        }
        return db_.beginTransaction(true);
    }
    TopicStore& store() { return store_; }
    ProjectDatabase& db() { return db_; }
    bool commit(bool ok) {
        if (ok)
            ok = db_.endTransaction(true);
        else if (db_.inTransaction())
            db_.endTransaction(false);
        if (!ok && why_.empty()) why_ = db_.lastError();
        db_.Close();
        if (!ok) return false;
        // A log left beside the target belongs to the file being replaced.
        ProjectDatabase::removeSideFiles(target_);
        if (std::rename(tmp_.c_str(), target_.c_str()) != 0) {
            why_ = platform::systemErrorText(errno);
            return false;
        }
        done_ = true;
        return true;
    }
    const std::string& why() const { return why_; }

private:
    CVexDoc& doc_;
    std::string target_, tmp_, why_;
    ProjectDatabase db_{std::string(DataTypeExchange), nullptr};
    TopicStore store_;
    bool done_ = false;
};

} // namespace

std::optional<ExchangeCounts> Teamwork::ExportText(std::int32_t text, const std::string& given) {
    CVexDoc& doc = ws_.doc();
    UserInterface& ui = ws_.ui();
    TopicStore& from = doc.store();
    if (!doc.isOpen() || !from.GetTopic(TopicId::Texts)->contains(text)) return std::nullopt;
    const std::string path = WithExtension(given, ".vxe");
    if (sameAsOpen(path)) {
        ui.message("The open project cannot be overwritten by an exchange file.",
                   MessageIcon::Stop);
        return std::nullopt;
    }
    Busy busy(ui, "Exporting Coded Segments/Memos...");
    ExchangeWriter out(doc, path);
    ExchangeCounts n;
    bool ok = out.open();
    if (ok) {
        TopicStore& to = out.store();
        std::unordered_map<std::int32_t, int> used;
        for (std::int32_t c : from.FindIds(TopicId::Codings, TopicId::Texts, text))
            ++used[from.GetInt(TopicId::Codings, c, CodingField::Code)];
        StoreJoin join(from, to);
        join.joinCodes([&](std::int32_t code) { return used.count(code) > 0; });
        n.memos.added += join.joinCodeMemos().first;
        join.joinVariables();
        const std::int32_t copy = join.ok() ? join.copyText(text, 0, false) : 0;
        if (copy) {
            for (std::int32_t m : from.FindIds(TopicId::Memos, TopicId::Texts, text))
                if (join.copyMemo(m, copy, 0)) ++n.memos.added;
            for (std::int32_t c : from.FindIds(TopicId::Codings, TopicId::Texts, text))
                if (join.copyCoding(c, copy)) ++n.codings.added;
            for (std::int32_t c : join.touchedCodes())
                if (join.ok() && !StoreJoin::recountCode(to, c)) join.fail();
            if (join.ok() && !StoreJoin::recountText(to, copy)) join.fail();
        }
        n.codes.added = join.codesCreated();
        n.variables.added = join.variablesCreated();
        ok = join.ok() && copy != 0 &&
             out.db().SetSetup("SourceProject", fileName(doc.database()->path())) &&
             out.db().SetSetup("SourceText", from.GetText(TopicId::Texts, text, TextField::Name));
    }
    if (!out.commit(ok)) {
        ui.message("The exchange file " + path + " cannot be written: " + out.why() + ".",
                   MessageIcon::Stop);
        return std::nullopt;
    }
    return n;
}

std::optional<ExchangeCounts> Teamwork::ExportCodeSystem(const std::string& given) {
    CVexDoc& doc = ws_.doc();
    UserInterface& ui = ws_.ui();
    if (!doc.isOpen()) return std::nullopt;
    const std::string path = WithExtension(given, ".vxt");
    if (sameAsOpen(path)) {
        ui.message("The open project cannot be overwritten by an exchange file.",
                   MessageIcon::Stop);
        return std::nullopt;
    }
    Busy busy(ui, "Exporting Code System ...");
    ExchangeWriter out(doc, path);
    ExchangeCounts n;
    bool ok = out.open();
    if (ok) {
        StoreJoin join(doc.store(), out.store());
        join.joinCodes([](std::int32_t) { return true; });
        n.memos.added = join.joinCodeMemos().first;
        n.codes.added = join.codesCreated();
        ok = join.ok() && out.db().SetSetup("SourceProject", fileName(doc.database()->path()));
    }
    if (!out.commit(ok)) {
        ui.message("The exchange file " + path + " cannot be written: " + out.why() + ".",
                   MessageIcon::Stop);
        return std::nullopt;
    }
    return n;
}

std::optional<ExchangeCounts> Teamwork::ImportText(std::int32_t text, const std::string& path,
                                                   bool ask) {
    CVexDoc& doc = ws_.doc();
    UserInterface& ui = ws_.ui();
    TopicStore& to = doc.store();
    if (!doc.isOpen() || !to.GetTopic(TopicId::Texts)->contains(text)) return std::nullopt;
    auto file = openSource(path, std::string(DataTypeExchange));
    if (!file) return std::nullopt;
    std::string project, sourceText;
    file->GetSetup("SourceProject", project);
    file->GetSetup("SourceText", sourceText);
    if (ask) {
        std::string q = importQuestion;
        q.replace(q.find("%s"), 2, project);
        q.replace(q.find("%s"), 2, sourceText);
        if (!ui.question(q, "Yes", "No")) return std::nullopt;
    }
    const std::string targetName = to.GetText(TopicId::Texts, text, TextField::Name);
    // Positions only mean something in the text they were taken from.
    if (sourceText != targetName) {
        ui.message("The file " + path + " holds the coded segments of the text \"" + sourceText +
                       "\", not of \"" + targetName + "\"; nothing was imported.",
                   MessageIcon::Stop);
        return std::nullopt;
    }
    Busy busy(ui, "Importing Coded Segments/Memos...");
    TopicStore from;
    constexpr std::int32_t fileText = 1;
    if (!doc.LoadSecondStore(from, *file, false) ||
        !from.GetTopic(TopicId::Texts)->contains(fileText)) {
        ui.message("The file " + path + " holds no text" +
                       (file->lastError().empty() ? "" : " (" + file->lastError() + ")") +
                       "; nothing was imported.",
                   MessageIcon::Stop);
        return std::nullopt;
    }
    ExchangeCounts n;
    analysis::DeferredRetrieval deferred(ws_);
    StoreBatch batch(to, "Import Teamwork");
    StoreJoin join(from, to);
    join.joinCodes([](std::int32_t) { return true; });
    n.codes.added = join.codesCreated();
    n.codes.skipped = std::max(0, join.codesJoined() - join.codesCreated());
    const auto [memosAdded, memosSkipped] = join.joinCodeMemos();
    n.memos = {memosAdded, memosSkipped};
    join.joinVariables();
    n.variables.added = join.variablesCreated();
    n.variables.skipped = join.variablesJoined() - join.variablesCreated();
    join.takeValues(fileText, text);
    for (std::int32_t m : from.FindIds(TopicId::Memos, TopicId::Texts, fileText)) {
        if (!join.ok()) break;
        const std::int32_t pos = from.GetInt(TopicId::Memos, m, MemoField::Pos);
        const std::string title = from.GetText(TopicId::Memos, m, MemoField::Title);
        bool known = false;
        for (std::int32_t e : to.FindIds(TopicId::Memos, TopicId::Texts, text))
            known = known || (to.GetInt(TopicId::Memos, e, MemoField::Pos) == pos &&
                              to.GetText(TopicId::Memos, e, MemoField::Title) == title);
        if (known)
            ++n.memos.skipped;
        else if (join.copyMemo(m, text, 0))
            ++n.memos.added;
    }
    bool codingsChanged = false;
    // A segment beyond the text (the text was shortened in this copy) would point at nothing.
    const std::int32_t textLength = analysis::textLength(to, text);
    for (std::int32_t c : from.FindIds(TopicId::Codings, TopicId::Texts, fileText)) {
        if (!join.ok()) break;
        const std::int32_t code =
            join.mappedCode(from.GetInt(TopicId::Codings, c, CodingField::Code));
        if (!code) continue;
        const std::int32_t start = from.GetInt(TopicId::Codings, c, CodingField::StartChar);
        const std::int32_t finish = from.GetInt(TopicId::Codings, c, CodingField::FinishChar);
        if (start < 0 || finish > textLength || start >= finish) {
            ++n.codings.skipped;
            continue;
        }
        const auto existing =
            to.FindIds(TopicId::Codings, TopicId::Texts, text, TopicId::Codes, code);
        bool enclosed = false;
        for (std::int32_t e : existing)
            enclosed =
                enclosed || (to.GetInt(TopicId::Codings, e, CodingField::StartChar) <= start &&
                             to.GetInt(TopicId::Codings, e, CodingField::FinishChar) >= finish);
        if (enclosed) {
            ++n.codings.skipped;
            continue;
        }
        // Only a coding that is added replaces the ones it encloses.
        for (std::int32_t e : existing)
            if (to.GetInt(TopicId::Codings, e, CodingField::StartChar) >= start &&
                to.GetInt(TopicId::Codings, e, CodingField::FinishChar) <= finish &&
                !to.DeleteRecord(TopicId::Codings, e))
                join.fail();
        if (join.copyCoding(c, text)) {
            ++n.codings.added;
            codingsChanged = true;
        }
    }
    for (std::int32_t c : join.touchedCodes())
        if (join.ok() && !StoreJoin::recountCode(to, c)) join.fail();
    if (join.ok() && !StoreJoin::recountText(to, text)) join.fail();
    if (!join.ok()) batch.fail();
    if (!batch.finish()) {
        ui.message("Nothing was imported from " + path + ".", MessageIcon::Stop);
        return std::nullopt;
    }
    if (codingsChanged) ws_.BuildRetrieval();
    for (int root : {TopicId::GroupsRoot, TopicId::SetsRoot, TopicId::CodesRoot})
        ws_.notify(ViewEvent::Changed, root, 0);
    ws_.notify(ViewEvent::Changed, TopicId::Texts, text);
    return n;
}

std::optional<ExchangeCounts> Teamwork::ImportCodeSystem(const std::string& path) {
    CVexDoc& doc = ws_.doc();
    UserInterface& ui = ws_.ui();
    if (!doc.isOpen()) return std::nullopt;
    auto file = openSource(path, std::string(DataTypeExchange));
    if (!file) return std::nullopt;
    Busy busy(ui, "Importing Code System ...");
    TopicStore from;
    if (!doc.LoadSecondStore(from, *file, false)) {
        ui.message("The file " + path + " cannot be read: " + file->lastError() +
                       "; nothing was imported.",
                   MessageIcon::Stop);
        return std::nullopt;
    }
    ExchangeCounts n;
    StoreBatch batch(doc.store(), "Import Code System");
    StoreJoin join(from, doc.store());
    join.joinCodes([](std::int32_t) { return true; });
    n.codes.added = join.codesCreated();
    n.codes.skipped = std::max(0, join.codesJoined() - join.codesCreated());
    const auto [added, skipped] = join.joinCodeMemos();
    n.memos = {added, skipped};
    if (!join.ok()) batch.fail();
    if (!batch.finish()) {
        ui.message("Nothing was imported from " + path + ".", MessageIcon::Stop);
        return std::nullopt;
    }
    ws_.notify(ViewEvent::Changed, TopicId::CodesRoot, 0);
    return n;
}

bool Teamwork::ExportTextCommand(std::int32_t text) {
    if (!ws_.store().GetTopic(TopicId::Texts)->contains(text)) return false;
    ws_.ui().proposeFileName(ws_.store().GetText(TopicId::Texts, text, TextField::Name));
    const std::string path = ws_.ui().chooseFile(FileDialog::ExportFragment);
    return !path.empty() && ExportText(text, path).has_value();
}

bool Teamwork::ImportTextCommand(std::int32_t text) {
    if (!ws_.store().GetTopic(TopicId::Texts)->contains(text)) return false;
    const std::string path = ws_.ui().chooseFile(FileDialog::ImportFragment);
    return !path.empty() && ImportText(text, path, true).has_value();
}

bool Teamwork::ExportCodeSystemCommand() {
    ws_.ui().proposeFileName("Code System");
    const std::string path = ws_.ui().chooseFile(FileDialog::ExportCodeSystem);
    return !path.empty() && ExportCodeSystem(path).has_value();
}

bool Teamwork::ImportCodeSystemCommand() {
    const std::string path = ws_.ui().chooseFile(FileDialog::ImportCodeSystem);
    return !path.empty() && ImportCodeSystem(path).has_value();
}

} // namespace vexana::exchange
