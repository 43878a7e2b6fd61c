#pragma once

#include "store/AppSettings.h"
#include "wordanalysis/WordFrequencies.h"

#include <QDialog>

class QCheckBox;
class QLineEdit;
class QTextEdit;

namespace vexana::store {
class UserInterface;
}

namespace vexana::shell {

// "VEXLexa Options": the cut-off characters and case of the count, the coder's switches and
// its documentation file. Every value is taken over when the dialog closes, however it closes.
class LexaOptionsDialog : public QDialog {
    Q_OBJECT
public:
    LexaOptionsDialog(wordanalysis::WordOptions& options, store::AppSettings& settings,
                      store::UserInterface& ui, QWidget* parent = nullptr);

    QTextEdit* delimiters() const { return delimiters_; }
    QCheckBox* caseSensitive() const { return case_; }
    QCheckBox* oneWordCount() const { return once_; }
    QCheckBox* noEmptyItems() const { return noEmpty_; }
    QCheckBox* validate() const { return validate_; }
    QLineEdit* validatePath() const { return path_; }

    void done(int result) override;

private:
    wordanalysis::WordOptions& options_;
    store::AppSettings& settings_;
    store::UserInterface& ui_;
    QTextEdit* delimiters_;
    QCheckBox* case_;
    QCheckBox* once_;
    QCheckBox* noEmpty_;
    QCheckBox* validate_;
    QLineEdit* path_;
    bool taken_ = false;
};

// Where the coding documentation goes when none was chosen: the user's documents folder.
std::string defaultDocumentationPath();

} // namespace vexana::shell
