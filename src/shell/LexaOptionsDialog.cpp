#include "LexaOptionsDialog.h"

#include "QtUserInterface.h"
#include "store/UserInterface.h"

#include <QCheckBox>
#include <QDir>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStandardPaths>
#include <QTextEdit>
#include <QVBoxLayout>

namespace vexana::shell {

using namespace store;

namespace {

constexpr const char* qnt = "QNT";

QString q(const std::string& s) {
    return QString::fromStdString(s);
}

// The built-in cut-off set, shown when none of the user's own is stored.
const char* const builtInSet = "@!\u00A7$%&/()=?^\u00B0'\u00B4`\"{}[]\\#+*_.:,;<>~";

} // namespace

std::string defaultDocumentationPath() {
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (folder.isEmpty()) folder = QDir::homePath();
    return QDir(folder).filePath("Validate.rtf").toStdString();
}

LexaOptionsDialog::LexaOptionsDialog(wordanalysis::WordOptions& options, AppSettings& settings,
                                     UserInterface& ui, QWidget* parent)
    : QDialog(parent), options_(options), settings_(settings), ui_(ui) {
    setWindowTitle("VEXLexa Options");
    delimiters_ = new QTextEdit(this);
    delimiters_->setAcceptRichText(false);
    delimiters_->setPlainText(options.delimiters.empty() ? QString::fromUtf8(builtInSet)
                                                         : q(options.delimiters));
    delimiters_->setFixedHeight(delimiters_->fontMetrics().lineSpacing() * 3);

    auto* words = new QGroupBox("Word Frequency", this);
    case_ = new QCheckBox("Case Sensitivity", words);
    case_->setChecked(options.caseSensitive);
    (new QVBoxLayout(words))->addWidget(case_);

    auto* coder = new QGroupBox("VEXLexa Coder", this);
    once_ = new QCheckBox("Count Same Words Only Once", coder);
    once_->setChecked(settings.qntFlag("OneWordCount"));
    noEmpty_ = new QCheckBox("Results: List Only Existing Text Units", coder);
    noEmpty_->setChecked(settings.qntFlag("NoEmptyItems"));
    validate_ = new QCheckBox("Coding Documentation File:", coder);
    validate_->setChecked(settings.qntFlag("Validate"));
    path_ = new QLineEdit(q(settings.profile().readString(qnt, "ValidateDir")), coder);
    path_->setPlaceholderText(q(defaultDocumentationPath()));
    auto* browse = new QPushButton("...", coder);
    browse->setAutoDefault(false);
    browse->setFixedWidth(browse->fontMetrics().horizontalAdvance("...") + 24);
    auto* pathRow = new QHBoxLayout;
    pathRow->addWidget(path_, 1);
    pathRow->addWidget(browse);
    auto* coderLayout = new QVBoxLayout(coder);
    coderLayout->addWidget(once_);
    coderLayout->addWidget(noEmpty_);
    coderLayout->addWidget(validate_);
    coderLayout->addLayout(pathRow);

    auto* close = new QPushButton("Close", this);
    auto* bottom = new QHBoxLayout;
    bottom->addStretch();
    bottom->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel("Characters to be cut off", this));
    layout->addWidget(delimiters_);
    layout->addWidget(words);
    layout->addWidget(coder);
    layout->addLayout(bottom);

    setMinimumWidth(440);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    connect(browse, &QPushButton::clicked, this, [this] {
        if (auto* qt = dynamic_cast<QtUserInterface*>(&ui_))
            qt->setStartFolder(path_->text().isEmpty() ? defaultDocumentationPath()
                                                       : path_->text().toStdString());
        const std::string chosen = ui_.chooseFile(FileDialog::SaveDocumentation);
        if (chosen.empty()) return;
        path_->setText(q(chosen));
        validate_->setChecked(true);
    });
}

void LexaOptionsDialog::done(int result) {
    if (!taken_) {
        taken_ = true;
        const std::string typed = delimiters_->toPlainText().toStdString();
        // Line ends and tabs always cut words; kept in the set they would only be noise.
        std::string set;
        for (char c : wordanalysis::withoutBlanks(typed))
            if (c != '\n' && c != '\r' && c != '\t') set += c;
        options_.delimiters = set;
        options_.caseSensitive = case_->isChecked();
        options_.store(settings_);
        platform::ProfileFile& p = settings_.profile();
        p.writeInt(qnt, "OneWordCount", once_->isChecked() ? 1 : 0);
        p.writeInt(qnt, "NoEmptyItems", noEmpty_->isChecked() ? 1 : 0);
        p.writeInt(qnt, "Validate", validate_->isChecked() ? 1 : 0);
        p.writeString(qnt, "ValidateDir", path_->text().trimmed().toStdString());
    }
    QDialog::done(result);
}

} // namespace vexana::shell
