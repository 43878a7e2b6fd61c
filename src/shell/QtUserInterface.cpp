#include "QtUserInterface.h"

#include "SavePath.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCursor>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QInputDialog>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <iostream>
#include <utility>

namespace vexana::shell {

using store::FileDialog;

namespace {

const QString projectFilter = "VEX-Projects (*.vxp)";
const QString variablesFilter = "*.txt";
const QString conditionFilter = "Activation by Variables (*.loa)";
const QString stopListFilter = "Text-Datei (*.txt)";
const QString dictionaryFilter = "Dictionary (*.vxl)";

QString q(const std::string& s) {
    return QString::fromStdString(s);
}

} // namespace

void QtUserInterface::message(const std::string& text, store::MessageIcon icon) {
    if (!interactive_) {
        ++unanswered_;
        std::cerr << text << "\n";
        return;
    }
    QMessageBox box(icon == store::MessageIcon::Stop      ? QMessageBox::Critical
                    : icon == store::MessageIcon::Warning ? QMessageBox::Warning
                                                          : QMessageBox::Information,
                    "VEXANA", q(text), QMessageBox::Ok, parent_);
    box.exec();
}

bool QtUserInterface::question(const std::string& text, const std::string& yes,
                               const std::string& no) {
    if (!interactive_) {
        ++unanswered_;
        std::cerr << (text.empty() ? yes : text) << "\n";
        return false;
    }
    if (text.empty()) {
        // A confirmation without words: the action and "Cancel" as a small pop-up at the mouse.
        QMenu popup(parent_);
        QAction* first = popup.addAction(q(yes));
        popup.addAction(q(no));
        return popup.exec(QCursor::pos()) == first;
    }
    QMessageBox box(QMessageBox::Question, "VEXANA", q(text), QMessageBox::NoButton, parent_);
    QPushButton* first = box.addButton(q(yes), QMessageBox::AcceptRole);
    box.addButton(q(no), QMessageBox::RejectRole);
    box.exec();
    return box.clickedButton() == first;
}

bool QtUserInterface::captionedQuestion(const std::string& caption, const std::string& text,
                                        const std::string& yes, const std::string& no) {
    if (!interactive_ || text.empty()) return question(text, yes, no);
    QMessageBox box(QMessageBox::Question, q(caption), q(text), QMessageBox::NoButton, parent_);
    QPushButton* first = box.addButton(q(yes), QMessageBox::AcceptRole);
    box.addButton(q(no), QMessageBox::RejectRole);
    box.exec();
    return box.clickedButton() == first;
}

QString QtUserInterface::saveFile(const QString& title, const QString& filter,
                                  const QString& suffix, const QString& folder,
                                  const QString& proposed) {
    QFileDialog dialog(parent_, title, folder, filter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(suffix);
    // Some dialogs ask about the name as typed, before the suffix is on it ("victim" while
    // "victim.vxp" is replaced); the one question comes from finishSavePath instead.
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    if (!proposed.isEmpty()) dialog.selectFile(proposed);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return finishSavePath(dialog.selectedFiles().front(), suffix, [this](const QString& text) {
        return question(text.toStdString(), "Yes", "No");
    });
}

std::string QtUserInterface::chooseFile(FileDialog dialog) {
    const QString folder = q(std::exchange(startFolder_, {}));
    const QString proposed = q(std::exchange(proposedName_, {}));
    if (!interactive_) return {};
    QString path;
    switch (dialog) {
    case FileDialog::NewProject:
        path = saveFile("New Project", projectFilter, "vxp", proposed);
        break;
    case FileDialog::BackupProject:
        path = saveFile("Save Project as", projectFilter, "vxp");
        break;
    case FileDialog::OpenProject:
        path = QFileDialog::getOpenFileName(parent_, "Open Project", {}, projectFilter);
        break;
    case FileDialog::MergeProjects:
        path = QFileDialog::getOpenFileName(parent_, "Merge Projects", {}, projectFilter);
        break;
    case FileDialog::SaveActivation:
        path = saveFile("Save Activation", "Activation (*.act)", "act");
        break;
    case FileDialog::LoadActivation:
        path = QFileDialog::getOpenFileName(parent_, "Load Activation", {}, "Activation (*.act)");
        break;
    case FileDialog::ExportRtf:
        path = saveFile("Export", "*.rtf", "rtf");
        break;
    case FileDialog::ExportVariables:
        path = saveFile("Export Variables", variablesFilter, "txt", folder);
        break;
    case FileDialog::ImportVariables:
        path = QFileDialog::getOpenFileName(parent_, "Import Variables", folder, variablesFilter);
        break;
    case FileDialog::SaveCondition:
        path = saveFile("Save Logical Condition", conditionFilter, "loa", folder);
        break;
    case FileDialog::OpenCondition:
        path = QFileDialog::getOpenFileName(parent_, "Open Logical Condition", folder,
                                            conditionFilter);
        break;
    case FileDialog::SaveSearch:
        path = saveFile("Save Search Settings", "Search Settings (*.sea)", "sea", folder);
        break;
    case FileDialog::OpenSearch:
        path = QFileDialog::getOpenFileName(parent_, "Open Search Settings", folder,
                                            "Search Settings (*.sea)");
        break;
    case FileDialog::ExportMatrix:
        path = saveFile("Export", "Text (*.txt)", "txt");
        break;
    case FileDialog::OpenStopList:
    case FileDialog::AddStopList:
        path = QFileDialog::getOpenFileName(
            parent_, dialog == FileDialog::OpenStopList ? "Open Stop-Liste" : "Add Stop-Liste",
            folder, stopListFilter);
        break;
    case FileDialog::SaveStopList:
        path = saveFile("Save Stop-List", stopListFilter, "txt", folder);
        break;
    case FileDialog::OpenDictionary:
    case FileDialog::AddDictionary:
        path = QFileDialog::getOpenFileName(
            parent_, dialog == FileDialog::OpenDictionary ? "Open Dictionary" : "Add Dictionary",
            folder, dictionaryFilter);
        break;
    case FileDialog::SaveDictionary:
        path = saveFile("Save Dictionary", dictionaryFilter, "vxl", folder);
        break;
    case FileDialog::SaveDocumentation: {
        // The folder given is the whole proposed path here.
        QFileDialog d(parent_, "Coding Documentation File", folder, "Rich Text Format (*.rtf)");
        d.setAcceptMode(QFileDialog::AcceptSave);
        d.setDefaultSuffix("rtf");
        if (d.exec() == QDialog::Accepted && !d.selectedFiles().isEmpty())
            path = d.selectedFiles().front();
        break;
    }
    case FileDialog::ImportArchive:
        path = QFileDialog::getOpenFileName(parent_, "Import Archive", {}, "VEX-Archive (*.vxa)");
    case FileDialog::ExportFragment:
        path =
            saveFile("Export Project Fragment ", "VEX-Exchange (*.vxe)", "vxe", folder, proposed);
        break;
    case FileDialog::ImportFragment:
        path = QFileDialog::getOpenFileName(parent_, "Import Coded Segments/Memos ", folder,
                                            "VEX-Exchange (*.vxe)");
        break;
    case FileDialog::ExportCodeSystem:
        path =
            saveFile("Export Project Fragment ", "VEX-Exchange (*.vxt)", "vxt", folder, proposed);
        break;
    case FileDialog::ImportCodeSystem:
        path = QFileDialog::getOpenFileName(parent_, "Import Coded Segments/Memos ", folder,
                                            "VEX-Exchange (*.vxt)");
    case FileDialog::ExportRefiProject:
        path = saveFile("Export REFI-QDA Project", "REFI-QDA Project (*.qdpx)", "qdpx", folder);
        break;
    case FileDialog::ImportRefiProject:
        path = QFileDialog::getOpenFileName(parent_, "Import REFI-QDA Project", folder,
                                            "REFI-QDA Project (*.qdpx)");
        break;
    case FileDialog::ExportCodebook:
        path = saveFile("Export Codebook", "REFI-QDA Codebook (*.qdc)", "qdc", folder);
        break;
    case FileDialog::ImportCodebook:
        path = QFileDialog::getOpenFileName(parent_, "Import Codebook", folder,
                                            "REFI-QDA Codebook (*.qdc)");
        break;
    default:
        break;
    }
    return path.toStdString();
}

std::vector<std::string> QtUserInterface::chooseFiles(FileDialog dialog) {
    std::vector<std::string> out;
    if (!interactive_) return out;
    const QString title = dialog == FileDialog::PreprocessTexts ? "Import Texts (Preprocessor)"
                                                                : "Import Text File(s)";
    // The usual filter first, then each format the import reads, then anything at all.
    // The preprocessor reads tags from RTF and plain text only.
    const QString documents = dialog == FileDialog::ImportTexts
                                  ? "Word (*.docx);;OpenDocument Text (*.odt);;HTML (*.html "
                                    "*.htm);;Markdown (*.md *.markdown);;PDF (*.pdf);;"
                                  : "";
    const QString filters = "RTF-Texts (*rtf);;Rich Text Format (*.rtf);;Plain Text (*.txt);;" +
                            documents + "All files (*)";
    for (const QString& f : QFileDialog::getOpenFileNames(parent_, title, {}, filters))
        out.push_back(f.toStdString());
    return out;
}

store::StartChoice QtUserInterface::startDialog(const std::vector<std::string>& recentProjects) {
    store::StartChoice choice;
    if (!interactive_) {
        choice.cancelled = true;
        return choice;
    }
    QDialog dlg(parent_);
    dlg.setWindowTitle("VEXANA");
    auto* layout = new QVBoxLayout(&dlg);
    if (recentProjects.empty()) {
        auto* welcome = new QLabel("Welcome to VEXANA. The demo project is a small study of five "
                                   "interviews and two field notes, already coded: a good place "
                                   "to look around before you start your own project.");
        welcome->setWordWrap(true);
        welcome->setMinimumWidth(360);
        layout->addWidget(welcome);
    }
    auto* create = new QRadioButton("Create and Open New Project");
    auto* open = new QRadioButton("Open Existing Project");
    // A first start has no projects yet: the demo study is the way in.
    auto* demo = new QRadioButton("Open the Demo Project");
    (recentProjects.empty() ? demo : open)->setChecked(true);
    auto* list = new QListWidget;
    list->addItem("Other Projects...");
    for (const auto& p : recentProjects)
        list->addItem(q(p));
    // The project used last is the likely one.
    list->setCurrentRow(recentProjects.empty() ? 0 : 1);
    list->setEnabled(open->isChecked());
    QObject::connect(open, &QRadioButton::toggled, list, [list](bool on) { list->setEnabled(on); });
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok);
    buttons->addButton("Quit", QDialogButtonBox::RejectRole);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dlg, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dlg, &QDialog::reject);
    QObject::connect(list, &QListWidget::itemDoubleClicked, &dlg, &QDialog::accept);
    layout->addWidget(create);
    layout->addWidget(open);
    layout->addWidget(list);
    layout->addWidget(demo);
    layout->addWidget(buttons);
    if (dlg.exec() != QDialog::Accepted) {
        choice.cancelled = true;
        return choice;
    }
    choice.answered = true;
    if (create->isChecked()) {
        choice.kind = store::StartChoice::Kind::CreateNew;
    } else if (demo->isChecked()) {
        choice.kind = store::StartChoice::Kind::OpenDemo;
    } else if (list->currentRow() > 0) {
        choice.recentPath = recentProjects[static_cast<std::size_t>(list->currentRow() - 1)];
    }
    return choice;
}

bool QtUserInterface::askNumber(const std::string& title, const std::string& prompt,
                                double& value) {
    if (!interactive_) return false;
    bool ok = false;
    const double v =
        QInputDialog::getDouble(parent_, q(title), q(prompt), value, 0, 10000000, 2, &ok);
    if (ok) value = v;
    return ok;
}

void QtUserInterface::progressOpen() {
    if (!interactive_ || progress_) return;
    auto* w = new QWidget(parent_, Qt::Tool);
    w->setAttribute(Qt::WA_DeleteOnClose);
    auto* layout = new QVBoxLayout(w);
    progressLabel_ = new QLabel(" ");
    progressLabel_->setMinimumWidth(260);
    layout->addWidget(progressLabel_);
    progress_ = w;
    w->show();
}

void QtUserInterface::progressText(const std::string& text) {
    if (!progress_ || !progressLabel_) return;
    progressLabel_->setText(q(text));
    QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void QtUserInterface::progressCount(long count) {
    progressText(std::to_string(count));
}

void QtUserInterface::progressClose() {
    if (progress_) progress_->close();
    progressLabel_ = nullptr;
}

void QtUserInterface::waitCursor(bool on) {
    if (on) {
        ++waiting_;
        QApplication::setOverrideCursor(Qt::WaitCursor);
    } else if (waiting_ > 0) {
        --waiting_;
        QApplication::restoreOverrideCursor();
    }
}

bool QtUserInterface::busy() const {
    return waiting_ > 0 || (progress_ && progress_->isVisible());
}

} // namespace vexana::shell
