#include "OrderlyShutdown.h"

#include "MainFrame.h"

#include <QApplication>
#include <QDialog>
#include <QSessionManager>
#include <QTimer>

namespace vexana::shell {

namespace {

// Long enough for a cancelled dialog's event loop and its caller to unwind first.
constexpr int retryMs = 20;

} // namespace

OrderlyShutdown::OrderlyShutdown(CMainFrame& frame, std::function<bool()> busy, QObject* parent)
    : QObject(parent), frame_(frame), busy_(std::move(busy)) {
#ifndef QT_NO_SESSIONMANAGER
    // The manager waits for the answer inside this call.
    connect(
        qApp, &QGuiApplication::commitDataRequest, this,
        [this](QSessionManager& manager) {
            if (!commitData()) manager.cancel();
        },
        Qt::DirectConnection);
#endif
    connect(qApp, &QCoreApplication::aboutToQuit, this, [this] { finish(); });
}

void OrderlyShutdown::requestClose() {
    pending_ = true;
    tryClose();
}

void OrderlyShutdown::tryClose() {
    if (!pending_) return;
    if (!frame_.isVisible()) {
        pending_ = false;
        return;
    }
    // A dialog or pop-up runs its own event loop inside some command, which must return
    // before the project may close under it.
    bool blocked = busy_ && busy_();
    if (QWidget* popup = QApplication::activePopupWidget()) {
        popup->close();
        blocked = true;
    }
    if (QWidget* modal = QApplication::activeModalWidget()) {
        if (auto* dialog = qobject_cast<QDialog*>(modal))
            dialog->reject();
        else
            modal->close();
        blocked = true;
    }
    if (blocked) {
        if (!retryScheduled_) {
            retryScheduled_ = true;
            QTimer::singleShot(retryMs, this, [this] {
                retryScheduled_ = false;
                tryClose();
            });
        }
        return;
    }
    pending_ = false;
    frame_.close();
}

bool OrderlyShutdown::commitData() {
    return !frame_.editMode() || frame_.setEditMode(false);
}

void OrderlyShutdown::finish() {
    pending_ = false;
    if (frame_.isVisible()) frame_.close();
}

} // namespace vexana::shell
