#pragma once

#include <QAction>
#include <QMenuBar>
#include <functional>
#include <vector>

namespace vexana::shell {

// One command of the main menu and the toolbars: its id, where it sits, and its menu text
// (shown when the item stands for an operation not built yet).
struct MainCommand {
    int id;
    const char* menu;    // the top menu's title, without '&'
    const char* submenu; // a submenu of it, or nullptr
    const char* text;
};

// Every command the main window routes, by the table of its commands. The items of "Undo
// Code" (21004 and on) are made per batch when the menu opens, so they are not listed.
const std::vector<MainCommand>& mainCommands();

// Adds a disabled item, with the reason as its tip, for every command of the table that no
// menu carries yet (existing gives the frame's item for an id). Returns the new items.
std::vector<QAction*> addUnbuiltCommands(QMenuBar* bar,
                                         const std::function<QAction*(int)>& existing);

// The reason an unbuilt command gives; such items also carry the property "unbuilt".
inline constexpr const char* unbuiltReason = "This command is not available in this version.";

} // namespace vexana::shell
