#include "ObjListWindows.h"

namespace vexana::shell {

ObjListWindows::ObjListWindows(store::CVexDoc& doc, store::AppSettings& settings,
                               QWidget* mainWindow)
    : QObject(mainWindow), doc_(doc), settings_(settings), mainWindow_(mainWindow) {
    setObjectName("objListWindows");
}

ObjList* ObjListWindows::window(int kind) const {
    const auto it = windows_.find(kind);
    return it == windows_.end() ? nullptr : it->second.data();
}

ObjList* ObjListWindows::show(int kind, const std::string& title, std::vector<std::int32_t> ids) {
    ObjList* w = window(kind);
    if (!w) {
        w = new ObjList(doc_, settings_, kind, mainWindow_);
        if (prepare) prepare(*w);
        windows_[kind] = w;
    }
    w->refill(title, std::move(ids));
    if (w->isMinimized())
        w->showNormal();
    else
        w->show();
    w->raise();
    w->activateWindow();
    return w;
}

void ObjListWindows::closeAll() {
    for (auto& [kind, w] : windows_)
        if (w) w->close();
}

ObjList* showObjectList(QWidget* mainWindow, store::CVexDoc& doc, store::AppSettings& settings,
                        int kind, const std::string& title, std::vector<std::int32_t> ids) {
    auto* windows =
        mainWindow->findChild<ObjListWindows*>("objListWindows", Qt::FindDirectChildrenOnly);
    if (!windows) windows = new ObjListWindows(doc, settings, mainWindow);
    return windows->show(kind, title, std::move(ids));
}

} // namespace vexana::shell
