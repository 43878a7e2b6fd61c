#pragma once

#include "AppSettings.h"
#include "ProjectDatabase.h"
#include "TopicStore.h"
#include "UndoHistory.h"
#include "UserInterface.h"
#include "ViewListener.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace vexana::store {

// Finds the paragraph ends (one character each) in a stored text body; by default the
// rich-text reader's, which defines every offset of the program.
using ParagraphEndLocator = std::function<std::vector<std::int32_t>(const ByteBlock& body)>;

// The project document: the one way into the open project. It owns the store and the
// database, loads and switches projects and tells the views what changed.
class CVexDoc : public BatchHandler {
public:
    CVexDoc(UserInterface& ui, RecentProjects& recent);
    ~CVexDoc() override;
    CVexDoc(const CVexDoc&) = delete;
    CVexDoc& operator=(const CVexDoc&) = delete;

    // Start-up: the remembered command-line path, or the start dialog. False: the program ends.
    void setStartupPath(std::string path) { startupPath_ = std::move(path); }
    // How the start dialog's demo project is had: its path, made when missing (empty when it
    // cannot be); the program knows how to build it, the document does not.
    void setDemoProject(std::function<std::string()> ensure) { demoProject_ = std::move(ensure); }
    bool ChooseProjectAtStartup();

    // Opens (or creates) the file and loads it; the current project stays when that fails.
    bool OpenPath(const std::string& path, bool showProgress);
    bool OpenProject(std::unique_ptr<ProjectDatabase> database, bool showProgress = true);
    void CloseProject();
    bool SaveOptions();
    void LoadOptions();
    bool Backup(const std::string& target, std::string& errorText);

    // Main-window commands.
    bool OnNewProject();
    bool OnOpenProject();
    bool OnBackupProject();
    bool OnRecentProject(int item); // 1 to 5

    // Loads another project file into a store of its own (a merge source, an exchange file),
    // as the open project is loaded, with the same progress texts.
    bool LoadSecondStore(TopicStore& store, ProjectDatabase& db, bool showProgress) {
        return loadInto(store, db, showProgress);
    }

    bool isOpen() const { return db_ && db_->IsOpen(); }
    TopicStore& store() { return *store_; }
    const TopicStore& store() const { return *store_; }
    ProjectDatabase* database() { return db_.get(); }
    const ProjectDatabase* database() const { return db_.get(); }
    UserInterface& ui() { return ui_; }
    RecentProjects& recent() { return recent_; }
    const std::string& title() const { return title_; }
    const std::string& options() const { return options_; }
    void setOptions(std::string options) { options_ = std::move(options); }
    int charSet() const { return charSet_; }
    void setCharSet(int code) { charSet_ = code; }
    std::string setup(const std::string& key);

    void setParagraphEndLocator(ParagraphEndLocator locator) {
        paragraphEnds_ = std::move(locator);
    }

    void addView(ViewListener* view);
    void removeView(ViewListener* view);
    void notify(ViewEvent event, int topic, std::int32_t id);
    void notifyChanged(const ObjectList& changed);

    // Bulk work: one transaction on the file. When it fails, memory is reloaded from the file.
    void beginBatch(bool bulk, std::string_view name) override;
    bool endBatch(bool success) override;
    bool inBatch() const override { return db_ && db_->inTransaction(); }
    void failBatch() override {
        if (db_) db_->failTransaction();
    }

    // Undo and redo of whole units of work; the views are rebuilt afterwards. The history
    // belongs to the open project and is dropped with it.
    bool Undo();
    bool Redo();
    bool canUndo() const { return history_ && history_->canUndo(); }
    bool canRedo() const { return history_ && history_->canRedo(); }
    std::string undoText() const { return history_ ? history_->undoText() : "Undo"; }
    std::string redoText() const { return history_ ? history_->redoText() : "Redo"; }
    UndoHistory* history() { return history_.get(); }
    // What the user does as one command, and its name in the undo menu (see UndoHistory).
    void beginCommand(std::string_view name) {
        if (history_) history_->beginCommand(name);
    }
    void endCommand() {
        if (history_) history_->endCommand();
    }

private:
    bool loadInto(TopicStore& store, ProjectDatabase& db, bool showProgress);
    bool convertParagraphEnds();
    bool reload();
    bool reloadStore();
    bool reloading_ = false;
    bool reloadAgain_ = false;
    // Tells the views that the records changed wholesale; passes ok on.
    bool replaceContents(bool ok);
    // A new project at path, replacing a file there only once the new one stands.
    bool createFresh(const std::string& path, bool showProgress);

    UserInterface& ui_;
    RecentProjects& recent_;
    std::unique_ptr<ProjectDatabase> db_;
    std::unique_ptr<TopicStore> store_;
    std::unique_ptr<UndoHistory> history_;
    std::string startupPath_;
    std::function<std::string()> demoProject_;
    std::string title_;
    std::string options_;
    int charSet_ = 0;
    ParagraphEndLocator paragraphEnds_;
    std::vector<ViewListener*> views_;
};

} // namespace vexana::store
