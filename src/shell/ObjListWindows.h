#pragma once

#include "ObjList.h"

#include <QObject>
#include <QPointer>
#include <map>

namespace vexana::shell {

// The main window's object list windows, one per kind: a repeated command refills the open
// window and brings it to the front (restored when minimised).
class ObjListWindows : public QObject {
    Q_OBJECT
public:
    ObjListWindows(store::CVexDoc& doc, store::AppSettings& settings, QWidget* mainWindow);

    ObjList* show(int kind, const std::string& title, std::vector<std::int32_t> ids);
    ObjList* window(int kind) const;
    void closeAll();
    // Applied to every window made from now on.
    std::function<void(ObjList&)> prepare;

private:
    store::CVexDoc& doc_;
    store::AppSettings& settings_;
    QWidget* mainWindow_;
    std::map<int, QPointer<ObjList>> windows_;
};

// What the main window's list commands call: opens or refills the window of that kind over
// the ids, with the title, kept as a child of mainWindow.
ObjList* showObjectList(QWidget* mainWindow, store::CVexDoc& doc, store::AppSettings& settings,
                        int kind, const std::string& title, std::vector<std::int32_t> ids);

} // namespace vexana::shell
