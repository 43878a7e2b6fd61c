#pragma once

#include "browser/TextSearch.h"
#include "store/AppSettings.h"
#include "wordanalysis/StopList.h"

#include <QDialog>

class QListWidget;
class QListWidgetItem;
class QPushButton;

namespace vexana::store {
class UserInterface;
}

namespace vexana::shell {

// "Stop-List": the words never counted. Every change goes straight into the list; when the
// dialog closes after any change, the list is written to the stop-list file.
class StopListDialog : public QDialog {
    Q_OBJECT
public:
    StopListDialog(wordanalysis::StopList& list, const browser::WordDelimiters& delimiters,
                   store::AppSettings& settings, store::UserInterface& ui, std::string filePath,
                   QWidget* parent = nullptr);

    bool changed() const { return changed_; }
    QListWidget* list() const { return list_; }
    QPushButton* button(const QString& text) const;

    // "New": an empty entry at the top, in its editor.
    void newEntry();
    void deleteSelected();
    void openFile(bool merge);
    void saveFile();

    void done(int result) override;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void fill(const std::string& select = {});
    void finishEdit(QListWidgetItem* item);

    wordanalysis::StopList& stopList_;
    const browser::WordDelimiters& delimiters_;
    store::AppSettings& settings_;
    store::UserInterface& ui_;
    std::string filePath_;
    QListWidget* list_;
    bool changed_ = false;
    bool closing_ = false;
};

} // namespace vexana::shell
