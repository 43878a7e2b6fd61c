#pragma once

#include <QObject>
#include <functional>

namespace vexana::shell {

class CMainFrame;

// Ends the program from outside (a termination signal, the end of the desktop session, the
// event loop stopping) the way the main window's close box does, so the text being edited is
// saved by the same path. When that save fails the window stays open with the message a close
// gives, and a session end is cancelled: nothing typed is dropped without a word.
class OrderlyShutdown : public QObject {
public:
    // busy: the core is in a long operation (wait cursor, progress); the close waits for it.
    OrderlyShutdown(CMainFrame& frame, std::function<bool()> busy, QObject* parent = nullptr);

    // Closes the main window at the first moment no dialog, pop-up or operation is in the
    // way. Dialogs and pop-ups open then are cancelled, and the close waits until the command
    // that opened them has returned.
    void requestClose();
    bool closePending() const { return pending_; }
    // The session manager's call to save: the edited text is saved now, edit mode ends.
    // False when that failed (the text stays in the window).
    bool commitData();
    // The event loop has ended while the main window was still open.
    void finish();

private:
    void tryClose();

    CMainFrame& frame_;
    std::function<bool()> busy_;
    bool pending_ = false;
    bool retryScheduled_ = false;
};

} // namespace vexana::shell
