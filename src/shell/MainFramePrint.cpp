#include "CBlauView.h"
#include "CGreenView.h"
#include "CWhiteView.h"
#include "MainFrame.h"
#include "ObjectTree.h"
#include "PrintEngine.h"
#include "StripeColumn.h"
#include "TextDocument.h"
#include "analysis/Workspace.h"
#include "browser/PrintDocuments.h"
#include "browser/ProjectExports.h"
#include "browser/SegmentsDocument.h"
#include "store/CVexDoc.h"
#include "store/Schema.h"
#include "store/TopicStore.h"

#include <QAction>
#include <QMenu>
#include <QTextDocument>
#include <QTextEdit>
#include <memory>

namespace vexana::shell {

using namespace store;

namespace {

// A plain print of a rich text under the program's name and today's date.
PrintJob plainJob(const platform::RichText& text, QString title) {
    auto document = std::make_shared<QTextDocument>();
    fillDocument(*document, text);
    return [document, title = std::move(title)](QPrinter& printer) {
        return CPrintEngine(*document, title, printDate()).print(printer);
    };
}

} // namespace

void CMainFrame::buildPrintMenu(QMenu* project) {
    QMenu* print = project->addMenu("&Print");
    const std::pair<int, const char*> entries[] = {{32982, "&Document System"},
                                                   {32983, "&Code System"},
                                                   {32984, "&Text Browser"},
                                                   {32985, "&Retrieved Segments"},
                                                   {32986, "&Project Information"}};
    for (const auto& [id, text] : entries)
        print->addAction(addCommand(id, text, [this, id = id] {
            if (const PrintJob job = printJob(id)) printInteractively(this, ws_.ui(), job, false);
        }));
    print->addSeparator();
    // The preview shows the coded text as the Text Browser entry prints it.
    print->addAction(addCommand(57609, "Print Pre&view...", [this] {
        if (const PrintJob job = printJob(32984)) printInteractively(this, ws_.ui(), job, true);
    }));
}

void CMainFrame::updatePrintCommands() {
    const bool open = doc_.isOpen();
    command(32982)->setEnabled(open && (viewState_ & ViewBit::DocumentSystem));
    command(32983)->setEnabled(open && (viewState_ & ViewBit::CodeSystem));
    command(32984)->setEnabled(open && openText_ != 0);
    command(32985)->setEnabled(open);
    command(32986)->setEnabled(open);
    command(57609)->setEnabled(open && openText_ != 0);
}

std::function<std::string(QPrinter&)> CMainFrame::printJob(int id) {
    if (!doc_.isOpen()) return {};
    TopicStore& s = doc_.store();
    switch (id) {
    case 32982:
        return plainJob(browser::documentSystemExport(s), "VEX.ANA");
    case 32983:
        return plainJob(browser::codeSystemExport(s), "VEX.ANA");
    case 32985:
        return plainJob(browser::segmentsExport(s, ws_.retrieved), "VEX.ANA");
    case 32986:
        return plainJob(browser::projectInformationSheet(s), "VEX.ANA");
    case 32984: {
        if (!openText_) return {};
        // What the window shows, edits included, with the stripes where the control counts.
        std::shared_ptr<QTextDocument> document(browser_->edit()->document()->clone());
        StripeColumn* column = browser_->stripes();
        std::vector<browser::CodingStripe> stripes;
        for (browser::CodingStripe st : column->strip().stripes()) {
            if (st.deleted()) continue;
            st.startChar = column->toControl(st.startChar);
            st.finishChar = column->toControl(st.finishChar);
            stripes.push_back(std::move(st));
        }
        const QString title = QString::fromStdString(s.GetName(TopicId::Texts, openText_, false));
        return [document, stripes = std::move(stripes), title,
                charSet = doc_.charSet()](QPrinter& printer) {
            return CCodedTextPrintEngine(*document, stripes, title, printDate(), charSet)
                .print(printer);
        };
    }
    default:
        return {};
    }
}

std::string CMainFrame::printToPdf(int id, const std::string& path) {
    const PrintJob job = printJob(id);
    if (!job) return "There is nothing to print.";
    return shell::printToPdf(path, job);
}

} // namespace vexana::shell
