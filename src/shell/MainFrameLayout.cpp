#include "CBlackView.h"
#include "CBlauView.h"
#include "CGreenView.h"
#include "CWhiteView.h"
#include "MainFrame.h"
#include "analysis/Retrieval.h"
#include "analysis/Workspace.h"
#include "store/CVexDoc.h"

#include <QScreen>
#include <QSplitter>
#include <QToolBar>
#include <QVariant>
#include <algorithm>

namespace vexana::shell {

using namespace store;

CBaseView* CMainFrame::view(int bit) const {
    switch (bit) {
    case ViewBit::DocumentSystem:
        return documents_;
    case ViewBit::CodeSystem:
        return codes_;
    case ViewBit::TextBrowser:
        return browser_;
    default:
        return segments_;
    }
}

void CMainFrame::readSplitters() {
    if (outer_ && outer_->count() == 2) splitters_[0] = outer_->sizes().value(0, splitters_[0]);
    if (right_ && right_->count() == 2) splitters_[1] = right_->sizes().value(0, splitters_[1]);
    if (left_ && left_->count() == 2) splitters_[2] = left_->sizes().value(0, splitters_[2]);
}

void CMainFrame::rebuildPanes() {
    // The windows survive the splitters that held them.
    for (CBaseView* v : {static_cast<CBaseView*>(documents_), static_cast<CBaseView*>(codes_),
                         static_cast<CBaseView*>(browser_), static_cast<CBaseView*>(segments_)})
        v->setParent(nullptr);
    delete outer_;
    const PaneArrangement a = arrange(viewState_);
    auto column = [&](const std::vector<int>& bits, int firstSize) -> QWidget* {
        if (bits.size() == 1) return view(bits[0]);
        auto* split = new QSplitter(Qt::Vertical);
        for (int bit : bits)
            split->addWidget(view(bit));
        placeDivider(split, firstSize);
        return split;
    };
    outer_ = new QSplitter(a.columns() == 2 ? Qt::Horizontal : Qt::Vertical);
    left_ = nullptr;
    right_ = nullptr;
    if (a.columns() == 2) {
        QWidget* l = column(a.left, splitters_[2]);
        QWidget* r = column(a.right, splitters_[1]);
        left_ = qobject_cast<QSplitter*>(l);
        right_ = qobject_cast<QSplitter*>(r);
        outer_->addWidget(l);
        outer_->addWidget(r);
        placeDivider(outer_, splitters_[0]);
    } else {
        // One column: its windows stacked in the one splitter.
        for (int bit : a.left.empty() ? a.right : a.left)
            outer_->addWidget(view(bit));
        if (outer_->count() == 2)
            placeDivider(outer_, a.left.empty() ? splitters_[1] : splitters_[2]);
        (a.left.empty() ? right_ : left_) = outer_;
    }
    setCentralWidget(outer_);
    outer_->show();
    for (CBaseView* v : {static_cast<CBaseView*>(documents_), static_cast<CBaseView*>(codes_),
                         static_cast<CBaseView*>(browser_), static_cast<CBaseView*>(segments_)})
        if (viewState_ & v->bit()) v->show();
}

void CMainFrame::placeDivider(QSplitter* split, int first) {
    // The first pane keeps its pixels when the window grows or shrinks; sizes given before the
    // splitter has its room would be scaled to it, so they wait for its first real size.
    split->setStretchFactor(0, 0);
    split->setStretchFactor(1, 1);
    split->setProperty("firstPane", first);
    split->installEventFilter(this);
    if (!split->size().isEmpty() && split->isVisible()) applyDivider(split);
}

void CMainFrame::applyDivider(QSplitter* split) {
    const QVariant first = split->property("firstPane");
    if (!first.isValid()) return;
    const int room = (split->orientation() == Qt::Horizontal ? split->width() : split->height()) -
                     split->handleWidth();
    if (room <= 0) return;
    split->setProperty("firstPane", QVariant());
    // A size kept from a larger window leaves the second pane some room too.
    const int f = std::clamp(first.toInt(), 0, std::max(room / 2, room - 120));
    split->setSizes({f, room - f});
}

void CMainFrame::toggleView(int bit) {
    readSplitters();
    oldViewState_ = viewState_;
    viewState_ = shell::toggleView(viewState_, bit);
    buttonState_ = 1;
    rebuildPanes();
    updateCommands();
}

void CMainFrame::saveSettings() {
    readSplitters();
    // Where the window stands, in its unmaximised rectangle, and whether it is maximised.
    store::WindowPlacement place;
    const QRect normal = normalGeometry().isValid() ? normalGeometry() : geometry();
    place.left = normal.left();
    place.top = normal.top();
    place.right = normal.right() + 1;
    place.bottom = normal.bottom() + 1;
    place.showCmd = isMaximized() ? 3 : 1;
    settings_.setWindowPos("MainWindow", place);
    for (std::size_t i = 0; i < 3; ++i)
        toolbars_[i] = bars_[i]->width();
    settings_.setMainWindow(buttonState_, viewState_, oldViewState_, splitters_, toolbars_);
    settings_.setRecentProjects(doc_.recent().entries());
    settings_.setProgramOptions(retrieval_.ProgramOptions());
    const auto [first, width] = segments_->layoutSettings();
    settings_.setSegmentsCtrl(first, width);
    settings_.setTextCoderWindow(browser_->sideSettings());
    const std::string error = settings_.save();
    if (!error.empty()) ws_.ui().message(error, MessageIcon::Warning);
}

void CMainFrame::showAtStoredPlace() {
    const store::WindowPlacement place =
        settings_.windowPos("MainWindow", store::AppSettings::mainWindowDefault());
    QRect r(place.left, place.top, place.right - place.left, place.bottom - place.top);
    // Kept on the screen it opens on: a place stored on a larger screen, or at another scale,
    // must not put the window beyond the edges.
    if (const QScreen* sc = screen(); sc && !sc->availableGeometry().isEmpty()) {
        const QRect area = sc->availableGeometry();
        // Bars held open by their stored widths give way on a screen too narrow for them (a
        // small one, or one scaled up), so the window never needs more than the screen.
        if (minimumSizeHint().width() > area.width())
            for (QToolBar* bar : bars_)
                bar->setMinimumWidth(0);
        r.setWidth(std::min(std::max(r.width(), 320), area.width()));
        r.setHeight(std::min(std::max(r.height(), 240), area.height()));
        r.moveLeft(std::clamp(r.left(), area.left(), area.right() - r.width() + 1));
        r.moveTop(std::clamp(r.top(), area.top(), area.bottom() - r.height() + 1));
    }
    setGeometry(r);
    if (place.showCmd == 3)
        showMaximized();
    else
        show();
}

} // namespace vexana::shell
