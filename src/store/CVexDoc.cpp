#include "CVexDoc.h"

#include "Schema.h"
#include "SchemaSetup.h"
#include "platform/Files.h"
#include "platform/richtext/RichText.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>

namespace vexana::store {

namespace {

struct LoadStep {
    int topic;
    const char* text;
};

constexpr LoadStep loadSteps[] = {
    {TopicId::TextGroups, "Load Text Groups ..."},
    {TopicId::Texts, "Load Texts ..."},
    {TopicId::TextSets, "Load Sets ..."},
    {TopicId::TextLinks, "Load Textlinks ..."},
    {TopicId::Codes, "Load Code System ..."},
    {TopicId::Codings, "Load Coded Segments ..."},
    {TopicId::Memos, "Load Memos ..."},
};

void applyDisplayNames(Topic& topic) {
    const TopicDef* def = findTopicDef(topic.id());
    if (!def) return;
    for (const auto& f : def->fields)
        if (!f.displayName.empty()) topic.renameFieldInMemory(f.id, std::string(f.displayName));
}

} // namespace

CVexDoc::CVexDoc(UserInterface& ui, RecentProjects& recent)
    : ui_(ui), recent_(recent), store_(std::make_unique<TopicStore>()),
      paragraphEnds_([](const ByteBlock& body) {
          return platform::paragraphEndsOf(
              std::string_view(reinterpret_cast<const char*>(body.data()), body.size()));
      }) {}

CVexDoc::~CVexDoc() = default;

bool CVexDoc::loadInto(TopicStore& store, ProjectDatabase& db, bool showProgress) {
    setUpInMemoryTopics(store);
    for (const auto& step : loadSteps) {
        if (showProgress) ui_.progressText(step.text);
        Topic* t = store.GetTopic(step.topic);
        if (!t || !db.LoadTopic(*t)) return false;
        applyDisplayNames(*t);
    }
    return true;
}

bool CVexDoc::OpenProject(std::unique_ptr<ProjectDatabase> database, bool showProgress) {
    if (!database || !database->IsOpen()) return false;
    // Load into a fresh store first, so a file that opens but cannot be read leaves the
    // current project as it was.
    auto fresh = std::make_unique<TopicStore>();
    if (!loadInto(*fresh, *database, showProgress)) {
        const std::string why = database->lastError();
        ui_.message("The project " + database->path() + " cannot be loaded: " + why,
                    MessageIcon::Stop);
        return false;
    }
    if (isOpen()) CloseProject();
    title_ = database->path();
    db_ = std::move(database);
    history_.reset();
    store_ = std::move(fresh);
    store_->setBatchHandler(this);

    if (showProgress) ui_.progressText("Initialize Windows...");
    convertParagraphEnds();
    // Watching starts after the upgrade: taking that back would misplace every coding.
    history_ = std::make_unique<UndoHistory>(*store_);
    store_->setChangeObserver(history_.get());
    const int oldCharSet = charSet_;
    LoadOptions();
    for (ViewListener* v : views_)
        v->onProjectLoaded(oldCharSet != charSet_);

    for (std::int32_t id : store_->ListIds(TopicId::Texts)) {
        if (store_->GetInt(TopicId::Texts, id, TextField::State) & StateOpenInBrowser) {
            for (ViewListener* v : views_)
                v->onOpenText(id);
            break;
        }
    }
    return true;
}

bool CVexDoc::convertParagraphEnds() {
    // A read-only project keeps its old offsets; they are converted when it can be written.
    if (setup("RichText") == "2" || db_->isReadOnly()) return true;
    const std::vector<std::int32_t> texts = store_->ListIds(TopicId::Texts);
    if (!texts.empty() && !paragraphEnds_) return false;
    StoreBatch batch(*store_);
    for (std::int32_t textId : texts) {
        RecordCursor text;
        if (!store_->GetRecord(TopicId::Texts, textId, text, true)) {
            batch.fail();
            break;
        }
        const std::vector<std::int32_t> ends = paragraphEnds_(text.block(TextField::Body));
        text.Release();
        for (std::int32_t codingId : store_->FindIds(TopicId::Codings, TopicId::Texts, textId)) {
            RecordCursor c;
            if (!store_->GetRecord(TopicId::Codings, codingId, c)) continue;
            std::int32_t start = c.getInt(CodingField::StartChar),
                         finish = c.getInt(CodingField::FinishChar);
            const std::int32_t oldStart = start, oldFinish = finish;
            for (std::int32_t p : ends) {
                if (p >= finish) break;
                if (start > p) --start;
                --finish;
            }
            if (start == oldStart && finish == oldFinish) continue;
            c.setInt(CodingField::StartChar, start);
            c.setInt(CodingField::FinishChar, finish);
            if (!store_->Save(c)) batch.fail();
        }
        for (std::int32_t memoId : store_->FindIds(TopicId::Memos, TopicId::Texts, textId)) {
            RecordCursor m;
            if (!store_->GetRecord(TopicId::Memos, memoId, m)) continue;
            std::int32_t pos = m.getInt(MemoField::Pos);
            const std::int32_t oldPos = pos;
            for (std::int32_t p : ends) {
                if (p >= pos) break;
                --pos;
            }
            if (pos == oldPos) continue;
            m.setInt(MemoField::Pos, pos);
            if (!store_->Save(m)) batch.fail();
        }
    }
    if (!db_->SetSetup("RichText", "2")) batch.fail();
    return batch.finish();
}

void CVexDoc::CloseProject() {
    if (!isOpen()) return;
    SaveOptions();
    for (ViewListener* v : views_)
        v->onProjectClosed();
    if (history_) history_->clear();
    store_->Clear();
}

bool CVexDoc::SaveOptions() {
    if (!isOpen()) return false;
    if (db_->isReadOnly()) return true;
    return db_->SetSetup("Options", options_) && db_->SetSetup("CharSet", std::to_string(charSet_));
}

void CVexDoc::LoadOptions() {
    options_ = setup("Options");
    charSet_ = textToInt(setup("CharSet"));
}

std::string CVexDoc::setup(const std::string& key) {
    std::string value;
    if (db_) db_->GetSetup(key, value);
    return value;
}

bool CVexDoc::Backup(const std::string& target, std::string& errorText) {
    if (!isOpen()) return false;
    return db_->Compact(target, errorText);
}

bool CVexDoc::OpenPath(const std::string& path, bool showProgress) {
    // The open project holds its file exclusively; to open it again, let go of it first.
    if (db_ && db_->isSameFile(path)) {
        CloseProject();
        db_->Close();
    }
    auto db = std::make_unique<ProjectDatabase>(std::string(DataTypeMain), &ui_);
    const bool created = !platform::fileExists(path);
    if (!db->Open(path)) return false;
    const std::string opened = db->path();
    ui_.waitCursor(true);
    if (showProgress) ui_.progressOpen();
    const bool ok = OpenProject(std::move(db), showProgress);
    if (showProgress) ui_.progressClose();
    ui_.waitCursor(false);
    if (ok) {
        recent_.add(title_);
    } else if (created) {
        // A new project that could not be loaded is not left behind half-used.
        platform::removeFile(opened);
        ProjectDatabase::removeSideFiles(opened);
    }
    return ok;
}

bool CVexDoc::createFresh(const std::string& path, bool showProgress) {
    if (db_ && db_->isSameFile(path)) {
        ui_.message("The project " + path + " is open. Choose another file for the new project.",
                    MessageIcon::Stop);
        return false;
    }
    // The file dialog has asked about replacing it. The old file (with its log and journal)
    // is moved aside, and only let go of once the new project stands: when it cannot be
    // made, the old one is put back.
    std::string aside;
    if (platform::fileExists(path)) {
        aside = platform::temporarySibling(path, "replaced");
        if (::rename(path.c_str(), aside.c_str()) != 0) {
            ui_.message("The file " + path +
                            " cannot be replaced: " + platform::systemErrorText(errno) + ".",
                        MessageIcon::Stop);
            return false;
        }
        for (const char* suffix : {"-wal", "-shm", "-journal"})
            if (platform::fileExists(path + suffix))
                ::rename((path + suffix).c_str(), (aside + suffix).c_str());
    }
    const bool ok = OpenPath(path, showProgress);
    if (aside.empty()) return ok;
    if (ok) {
        platform::removeFile(aside);
        ProjectDatabase::removeSideFiles(aside);
    } else if (!platform::fileExists(path)) {
        ::rename(aside.c_str(), path.c_str());
        for (const char* suffix : {"-wal", "-shm", "-journal"})
            if (platform::fileExists(aside + suffix))
                ::rename((aside + suffix).c_str(), (path + suffix).c_str());
    }
    return ok;
}

bool CVexDoc::ChooseProjectAtStartup() {
    if (!startupPath_.empty()) {
        const std::string path = std::move(startupPath_);
        startupPath_.clear();
        return OpenPath(path, true);
    }
    // Cancelling the file dialog that a choice leads to goes back to the choice.
    for (;;) {
        const StartChoice choice = ui_.startDialog(recent_.entries());
        if (choice.cancelled) return false;
        std::string path;
        bool create = false;
        if (choice.kind == StartChoice::Kind::CreateNew) {
            path = ui_.chooseFile(FileDialog::NewProject);
            create = true;
        } else if (choice.kind == StartChoice::Kind::OpenDemo) {
            if (demoProject_) path = demoProject_();
        } else if (!choice.recentPath.empty()) {
            path = choice.recentPath;
        } else {
            path = ui_.chooseFile(FileDialog::OpenProject);
        }
        if (!path.empty() && (create ? createFresh(path, true) : OpenPath(path, true))) return true;
        if (!choice.answered) return false;
    }
}

bool CVexDoc::OnNewProject() {
    const std::string path = ui_.chooseFile(FileDialog::NewProject);
    return !path.empty() && createFresh(path, false);
}

bool CVexDoc::OnOpenProject() {
    const std::string path = ui_.chooseFile(FileDialog::OpenProject);
    if (path.empty()) return false;
    if (db_ && db_->isSameFile(path)) return true; // it is open already
    return OpenPath(path, true);
}

bool CVexDoc::OnRecentProject(int item) {
    const std::string path = recent_.pathForItem(item);
    if (path.empty()) return false;
    return OpenPath(path, true);
}

bool CVexDoc::OnBackupProject() {
    if (!isOpen()) return false;
    const std::string target = ui_.chooseFile(FileDialog::BackupProject);
    if (target.empty()) return false;
    std::string error;
    if (Backup(target, error)) return true;
    if (!error.empty()) ui_.message(error, MessageIcon::Stop);
    return false;
}

void CVexDoc::addView(ViewListener* view) {
    if (view && std::find(views_.begin(), views_.end(), view) == views_.end())
        views_.push_back(view);
}

void CVexDoc::removeView(ViewListener* view) {
    std::erase(views_, view);
}

void CVexDoc::notify(ViewEvent event, int topic, std::int32_t id) {
    for (ViewListener* v : views_)
        v->onViewEvent(event, topic, id);
}

void CVexDoc::notifyChanged(const ObjectList& changed) {
    for (const auto& [topic, id] : changed.items())
        notify(ViewEvent::Changed, topic, id);
}

void CVexDoc::beginBatch(bool bulk, std::string_view name) {
    if (!db_) return;
    const bool outermost = !db_->inTransaction();
    db_->beginTransaction(bulk);
    if (!history_ || !db_->inTransaction()) return;
    if (outermost)
        history_->beginUnit(name);
    else
        history_->nameUnit(name);
}

bool CVexDoc::endBatch(bool success) {
    if (!db_ || !db_->inTransaction()) return success;
    const bool committed = db_->endTransaction(success);
    if (db_->inTransaction()) return committed;
    if (history_) history_->endUnit(committed);
    if (!committed) {
        // The file went back to where it was before the batch; memory must follow. A unit
        // that fails while the views catch up with a reload (a retrieval rebuilt on a disk
        // that keeps failing) is put right once they are done, not by a reload of its own.
        if (reloading_)
            reloadAgain_ = true;
        else
            reload();
        return false;
    }
    return true;
}

bool CVexDoc::Undo() {
    return canUndo() && replaceContents(history_->undo());
}

bool CVexDoc::Redo() {
    return canRedo() && replaceContents(history_->redo());
}

bool CVexDoc::replaceContents(bool ok) {
    for (ViewListener* v : views_)
        v->onContentsReplaced();
    return ok;
}

bool CVexDoc::reload() {
    reloading_ = true;
    const bool ok = reloadStore() && replaceContents(true);
    // What failed meanwhile is in the file as it was; memory follows once more, quietly.
    if (std::exchange(reloadAgain_, false) && isOpen()) {
        store_->Clear();
        loadInto(*store_, *db_, false);
    }
    reloading_ = false;
    return ok;
}

bool CVexDoc::reloadStore() {
    // In place: callers further up may still hold the store's topics.
    store_->Clear();
    bool ok = loadInto(*store_, *db_, false);
    if (!ok) {
        // A rollback that could not finish leaves the connection unusable while the file
        // itself is whole (its journal is rolled back by the next opening): open it anew.
        const std::string path = db_->path();
        db_->Close();
        store_->Clear();
        ok = db_->Open(path) && loadInto(*store_, *db_, false);
    }
    if (!ok) {
        // Nothing that was saved is lost, but this project cannot go on being shown.
        const std::string path = title_;
        for (ViewListener* v : views_)
            v->onProjectClosed();
        store_->Clear();
        if (history_) history_->clear();
        db_->Close();
        ui_.message("The project " + path +
                        " could not be read back after a failed change and was closed. "
                        "Everything saved before is kept; open it again.",
                    MessageIcon::Stop);
        return false;
    }
    return true;
}

} // namespace vexana::store
