#pragma once

#include "store/UserInterface.h"

#include <QPointer>
#include <QString>
#include <QWidget>

class QLabel;

namespace vexana::shell {

// The person at the screen, reached through Qt's dialogs. Without interaction (the
// screenshot mode) nothing waits for an answer: messages go to stderr and are counted.
class QtUserInterface : public store::UserInterface {
public:
    explicit QtUserInterface(bool interactive) : interactive_(interactive) {}
    void setParent(QWidget* parent) { parent_ = parent; }
    int unanswered() const { return unanswered_; }
    // An operation of the core is running (wait cursor or progress window up); the program
    // must not close its project under it.
    bool busy() const;
    // The next file dialog opens in this folder (the one a dialog last used for its files).
    void setStartFolder(const std::string& folder) { startFolder_ = folder; }

    void message(const std::string& text, store::MessageIcon icon) override;
    bool question(const std::string& text, const std::string& yes, const std::string& no) override;
    bool captionedQuestion(const std::string& caption, const std::string& text,
                           const std::string& yes, const std::string& no) override;
    std::string chooseFile(store::FileDialog dialog) override;
    std::vector<std::string> chooseFiles(store::FileDialog dialog) override;
    void proposeFileName(const std::string& name) override { proposedName_ = name; }
    store::StartChoice startDialog(const std::vector<std::string>& recentProjects) override;
    bool askNumber(const std::string& title, const std::string& prompt, double& value) override;
    void progressOpen() override;
    void progressText(const std::string& text) override;
    void progressCount(long count) override;
    void progressClose() override;
    void waitCursor(bool on) override;

private:
    // A save dialog for one file type; asks about replacing once the suffix is on the name.
    QString saveFile(const QString& title, const QString& filter, const QString& suffix,
                     const QString& folder = {}, const QString& proposed = {});

    bool interactive_;
    int unanswered_ = 0;
    int waiting_ = 0;
    std::string startFolder_;
    std::string proposedName_; // for the next save dialog
    QPointer<QWidget> parent_;
    QPointer<QWidget> progress_;
    QLabel* progressLabel_ = nullptr;
};

} // namespace vexana::shell
