#pragma once

#include "browser/TextSearch.h"
#include "store/AppSettings.h"

#include <QObject>

class QWidget;

namespace vexana::analysis {
class Workspace;
}

namespace vexana::shell {

class CommandStack;
class ObjList;

// The main window's text search: the "Search" dialog, the "Search Results" list with its
// Code, Export and Options buttons, and the "Hits" dialog's choice, kept for the session.
// One per main window, as its child.
class TextSearchCommands : public QObject {
    Q_OBJECT
public:
    // The main window's one, made on first use. commands: where coding the hits is one step
    // of the undo history (the document's own when null).
    static TextSearchCommands& of(QWidget* mainWindow, analysis::Workspace& ws,
                                  store::AppSettings& settings, CommandStack* commands = nullptr);

    // 32910 "Text Search": the dialog; on "Run Search" the search and its results.
    void search();
    // Runs a search with these options and shows its results, as "Run Search" does.
    void run(const browser::SearchSettings& settings);
    // 32988 "Search Results": the stored results again; enabled while there are any.
    ObjList* showResults();
    static bool resultsEnabled(analysis::Workspace& ws);
    // 33001, the Options button of the results: the "Hits" dialog.
    void hitsOptions();

    // What the Code button's menu does with the chosen code: asks the weight, codes the hits.
    int codeWith(std::int32_t code);
    // What Export does: asks for the file, writes the hits.
    void exportHits();

    browser::HitContext context;

private:
    TextSearchCommands(QWidget* mainWindow, analysis::Workspace& ws, store::AppSettings& settings,
                       CommandStack* commands);
    void prepare(ObjList& list);
    void codeMenu();

    QWidget* mainWindow_;
    analysis::Workspace& ws_;
    store::AppSettings& settings_;
    CommandStack* commands_;
    browser::TextSearch search_;
};

} // namespace vexana::shell
