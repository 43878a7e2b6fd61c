#pragma once

#include "BaseView.h"
#include "ViewLayout.h"
#include "store/AppSettings.h"
#include "store/ViewListener.h"

#include <QMainWindow>
#include <QPointer>
#include <array>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

class QAction;
class QComboBox;
class QDropEvent;
class QFontComboBox;
class QMenu;
class QPrinter;
class QTextCharFormat;
class QToolBar;
class QSplitter;
class QTextEdit;
class QTreeWidget;
class QTreeWidgetItem;

namespace vexana::store {
class CVexDoc;
}
namespace vexana::browser {
class GridOwner;
}
namespace vexana::analysis {
class Workspace;
class Retrieval;
class ContextCommands;
struct CodingTemplate;
} // namespace vexana::analysis

namespace vexana::shell {

class CommandStack;
class LexaCommands;
class ObjList;
class ObjListWindows;

namespace CommandId {
constexpr int Undo = 57643;
constexpr int Redo = 57644;
// Ours: coded passages shown on a ground of their code's colour.
constexpr int TintPassages = 34010;
} // namespace CommandId

class CBlauView;  // Document System
class CGreenView; // Code System
class CWhiteView; // Text Browser
class CBlackView; // Retrieved Segments

// The main window: the four panes in the layout of ViewState, the menus, and the layout kept
// in the settings file.
class CMainFrame : public QMainWindow, public store::ViewListener {
public:
    CMainFrame(store::CVexDoc& doc, analysis::Workspace& ws, analysis::Retrieval& retrieval,
               store::AppSettings& settings);
    ~CMainFrame() override;

    int viewState() const { return viewState_; }
    void toggleView(int bit);
    // Shows a text in the Text Browser.
    void openText(std::int32_t text);
    void refreshAll();
    // Fills the Retrieved Segments window from the current retrieval.
    void showRetrieved();
    // Edit mode (32906). Switching it off saves the text with its codings and memo places;
    // false when that failed (the edits stay in the window) or no text is open.
    bool editMode() const;
    bool setEditMode(bool on);
    // Font Color (3000 + index; 16 is "Automatic") on the selection while editing.
    void setFontColour(int index);
    // Writes the layout, recent projects and options to the settings file.
    void saveSettings();
    // Shows the window where the settings file last had it (maximised by default).
    void showAtStoredPlace();
    CBaseView* view(int bit) const;
    // The Text Browser's selection as a coding template; false without a text or a selection.
    bool selection(analysis::CodingTemplate& t) const;
    // Code (32905), In-Vivo (32904) and one batch of the uncode menu (21004 + k).
    bool codeSelection();
    bool inVivo();
    bool undoBatch(int k);
    // The same from the menu: a batch of more than one coding is named and confirmed first.
    bool confirmUndoBatch(int k);
    // A code clicked or activated in the Code System becomes the Code command's code.
    void chooseCode(std::int32_t code);
    // Opens a coding's text when needed and selects its characters.
    void selectCoding(std::int32_t coding);
    // A click on the stripe strip (coding 0: outside any stripe).
    void stripeClicked(std::int32_t coding, Qt::MouseButton button, bool twice, QPoint at);
    // Every menu item and toolbar button by its command id; nullptr for an unknown id.
    QAction* command(int id) const;
    // Runs a command as its menu item or button does; false when unknown or disabled.
    bool runCommand(int id);
    // Enabling, checks and texts of every command, after anything they depend on changed.
    void updateCommands();
    // Undo (57643) and Redo (57644): the editor's own while editing, else the project's.
    void undoLast();
    void redoLast();
    // "VEXANA - PATH", with "(read-only)" when the project cannot be changed.
    static QString windowTitleOf(const std::string& project, bool readOnly);
    // Character Set (33100 to 33104): the font character-set number, kept with the project.
    void setCharSet(int code);
    // Export as RTF: asks for the file, then writes what make gives, whole or not at all.
    void exportRtf(const std::function<std::string()>& make);
    // A drop in the Document System: a text on a set (or a member of it) joins the set, a text
    // on a group or text is copied there, a group on "Sets" becomes a set. False when the
    // drop means nothing; apply false only asks.
    bool dropObject(int kind, std::int32_t id, int targetKind, std::int32_t target, bool apply);
    // A context command on an object, as the menus send it.
    bool contextCommand(int id, std::int32_t object);
    // The same on an object of that kind (a topic id), as the Document System's menus send it.
    bool contextCommand(int id, std::int32_t object, int kind);
    // Opens (or refills and raises) the object list window of that kind.
    ObjList* showList(int kind, const std::string& title, std::vector<std::int32_t> ids);
    // Word Frequencies (33065, 33078) and Last Frequencies (33067): the word list window.
    void countWords(bool onlyActive);
    void showWordList();
    LexaCommands& lexa() const { return *lexa_; }
    // Print (32982 to 32986): what that command prints, or an empty job when there is nothing
    // (no text open, no project). printToPdf runs it into a file; empty, or what went wrong.
    std::function<std::string(QPrinter&)> printJob(int id);
    std::string printToPdf(int id, const std::string& path);

    void onViewEvent(store::ViewEvent event, int topic, std::int32_t id) override;
    void onProjectLoaded(bool) override;
    void onProjectClosed() override;
    void onOpenText(std::int32_t id) override { openText(id); }

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    QAction* addCommand(int id, const QString& text, std::function<void()> run,
                        bool checkable = false);
    void buildMenus();
    void buildToolbars();
    void buildPrintMenu(QMenu* project);
    void updatePrintCommands();
    void fillUndoMenu(QMenu* menu);
    void updateQuickList();
    void applyCharFormat(const QTextCharFormat& f);
    void rebuildPanes();
    void readSplitters();
    // A splitter whose first pane is to be `first` pixels, once the splitter has its room.
    void placeDivider(QSplitter* split, int first);
    void applyDivider(QSplitter* split);
    // The code under a drop of the Text Browser's selection on the Code System, or 0.
    std::int32_t passageDropTarget(const QDropEvent* e) const;
    void showContextMenu(QTreeWidget* tree, const QPoint& at);
    void showBrowserMenu(const QPoint& at);
    static void selectInTree(QTreeWidget* tree, int kind, std::int32_t id);
    static QTreeWidgetItem* findItem(QTreeWidget* tree, int kind, std::int32_t id);
    // In-place rename: the item shows its bare name in an editor; the edit is stored on commit.
    void beginRename(int topic, std::int32_t id);
    void finishRename(QTreeWidgetItem* item);
    bool readOnly() const;

    store::CVexDoc& doc_;
    analysis::Workspace& ws_;
    analysis::Retrieval& retrieval_;
    store::AppSettings& settings_;
    int viewState_ = ViewBit::All;
    int oldViewState_ = ViewBit::All;
    int splitters_[3] = {350, 350, 350};
    int toolbars_[3] = {350, 430, 430};
    int buttonState_ = 1;
    CBlauView* documents_;
    CGreenView* codes_;
    CWhiteView* browser_;
    CBlackView* segments_;
    QPointer<QSplitter> outer_, left_, right_;
    std::map<int, QAction*> actions_;
    std::array<QToolBar*, 3> bars_{};
    QComboBox* quickList_ = nullptr;
    QFontComboBox* fontFace_ = nullptr;
    QComboBox* fontSize_ = nullptr;
    bool dirty_ = false;
    // Finding the batches walks every coding: done once per refill, not per cursor move.
    bool undoAvailable_ = false;
    std::pair<int, std::int32_t> renaming_{}, pendingRename_{};
    std::int32_t openText_ = 0;
    std::unique_ptr<analysis::ContextCommands> commands_;
    // The commands under way: what each changes is one step of the undo history.
    std::unique_ptr<CommandStack> steps_;
    // The list windows, one per kind; their field commands go through the variables' rules.
    ObjListWindows* lists_ = nullptr;
    std::unique_ptr<browser::GridOwner> storeFields_, fields_;
    // Word frequencies, the stop list, the dictionary and its coder.
    LexaCommands* lexa_ = nullptr;
    // The kind of object the last context menu was opened on.
    int contextKind_ = 0;
};

} // namespace vexana::shell
