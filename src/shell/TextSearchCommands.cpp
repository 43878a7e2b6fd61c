#include "TextSearchCommands.h"

#include "CommandScope.h"
#include "HitsDialog.h"
#include "ObjList.h"
#include "ObjListWindows.h"
#include "QtText.h"
#include "SearchDialog.h"
#include "analysis/CodeSystem.h"
#include "analysis/Workspace.h"
#include "store/Schema.h"

#include <QCoreApplication>
#include <QCursor>
#include <QMenu>
#include <QPushButton>
#include <algorithm>
#include <memory>

namespace vexana::shell {

using namespace vexana::store;

TextSearchCommands& TextSearchCommands::of(QWidget* mainWindow, analysis::Workspace& ws,
                                           AppSettings& settings, CommandStack* commands) {
    auto* found = mainWindow->findChild<TextSearchCommands*>("textSearchCommands",
                                                             Qt::FindDirectChildrenOnly);
    if (!found) found = new TextSearchCommands(mainWindow, ws, settings, commands);
    return *found;
}

TextSearchCommands::TextSearchCommands(QWidget* mainWindow, analysis::Workspace& ws,
                                       AppSettings& settings, CommandStack* commands)
    : QObject(mainWindow), mainWindow_(mainWindow), ws_(ws), settings_(settings),
      commands_(commands), search_(ws) {
    setObjectName("textSearchCommands");
}

void TextSearchCommands::search() {
    if (!ws_.doc().isOpen()) return;
    SearchDialog dialog(settings_, ws_.ui(), mainWindow_);
    if (dialog.exec() != QDialog::Accepted) return;
    run(dialog.searchSettings());
}

void TextSearchCommands::run(const browser::SearchSettings& settings) {
    if (!ws_.doc().isOpen()) return;
    // The screen is redrawn before the search holds the program.
    QCoreApplication::processEvents();
    ws_.ui().waitCursor(true);
    const bool retrieved = settings.onlyRetrievedSegments && !settings.inMemos;
    const browser::SearchOutcome outcome = search_.run(
        settings, retrieved ? search_.retrievedRanges() : std::vector<browser::RetrievedRange>{},
        browser::WordDelimiters(settings_.delimiters()));
    ws_.ui().waitCursor(false);
    if (settings.inMemos) {
        showObjectList(mainWindow_, ws_.doc(), settings_, TopicId::Memos, "Search Results",
                       outcome.objects);
        return;
    }
    search_.storeResults(outcome);
    showResults();
}

ObjList* TextSearchCommands::showResults() {
    if (!ws_.doc().isOpen()) return nullptr;
    ObjList* list = showObjectList(mainWindow_, ws_.doc(), settings_, TopicId::SearchResults,
                                   browser::TextSearch::resultsLine(search_.textsWithResults()),
                                   ws_.store().ListIds(TopicId::SearchResults));
    if (list) prepare(*list);
    return list;
}

bool TextSearchCommands::resultsEnabled(analysis::Workspace& ws) {
    return ws.store().RecordCount(TopicId::SearchResults) > 0;
}

void TextSearchCommands::prepare(ObjList& list) {
    list.setCodeHandler([this] { codeMenu(); });
    list.setOptionsHandler([this](int) { hitsOptions(); });
    list.ownerExport = [this](int, const std::vector<std::int32_t>&) {
        exportHits();
        return true;
    };
}

void TextSearchCommands::hitsOptions() {
    HitsDialog dialog(context, mainWindow_);
    dialog.exec();
    context = dialog.context();
}

void TextSearchCommands::codeMenu() {
    const std::vector<std::int32_t>& codes = ws_.quickList.codes();
    if (codes.empty()) {
        ws_.ui().message("Quick-List is empty", MessageIcon::Information);
        return;
    }
    QMenu menu(mainWindow_);
    for (std::int32_t code : codes)
        menu.addAction(q(ws_.codes().FullName(code)))->setData(code);
    if (QAction* chosen = menu.exec(QCursor::pos())) codeWith(chosen->data().toInt());
}

int TextSearchCommands::codeWith(std::int32_t code) {
    double weight = ws_.options.defaultWeight;
    if (!ws_.ui().askNumber(ws_.codes().FullName(code), "with Weight", weight)) return 0;
    ws_.options.defaultWeight = static_cast<int>(std::clamp(weight, 1.0, 100.0));
    // The whole coding is one step of the undo history.
    std::unique_ptr<CommandScope> scope;
    if (commands_)
        scope = std::make_unique<CommandScope>(*commands_, "Code");
    else
        ws_.doc().beginCommand("Code");
    const int made = search_.codeResults(code, ws_.options.defaultWeight, context);
    if (!commands_) ws_.doc().endCommand();
    return made;
}

void TextSearchCommands::exportHits() {
    const std::string path = ws_.ui().chooseFile(FileDialog::ExportRtf);
    if (path.empty()) return;
    if (const std::string why = search_.exportResults(path, context); !why.empty())
        ws_.ui().message(why, MessageIcon::Stop);
}

} // namespace vexana::shell
