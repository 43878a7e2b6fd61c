#include "CommandTable.h"

#include <QMenu>

namespace vexana::shell {

namespace {

QString plain(QString title) {
    return title.remove('&');
}

QMenu* findMenu(const QList<QAction*>& actions, const QString& title) {
    for (QAction* a : actions)
        if (a->menu() && plain(a->text()) == plain(title)) return a->menu();
    return nullptr;
}

} // namespace

const std::vector<MainCommand>& mainCommands() {
    static const std::vector<MainCommand> table = [] {
        std::vector<MainCommand> t = {
            {32891, "Project", nullptr, "&New Project..."},
            {32783, "Project", nullptr, "&Open Project..."},
            {32892, "Project", nullptr, "&Backup Project..."},
            {32977, "Project", nullptr, "&Merge Projects..."},
            {32923, "Project", nullptr, "&Import PREVEX 98 Archive"},
            {33019, "Project", "Export", "&Document System"},
            {33020, "Project", "Export", "&Code System"},
            {33021, "Project", "Export", "&Text Browser"},
            {33022, "Project", "Export", "&Retrieved Segments"},
            {33023, "Project", "Export", "Matrix of Code&frequency"},
            {33901, "Project", "Export", "REFI-QDA &Project..."},
            {33902, "Project", "Export", "REFI-QDA &Codebook..."},
            {33903, "Project", "Import", "REFI-QDA &Project..."},
            {33904, "Project", "Import", "REFI-QDA &Codebook..."},
            {32982, "Project", "Print", "&Document System"},
            {32983, "Project", "Print", "&Code System"},
            {32984, "Project", "Print", "&Text Browser"},
            {32985, "Project", "Print", "&Retrieved Segments"},
            {32986, "Project", "Print", "&Project Information"},
            {57609, "Project", "Print", "Print Pre&view..."},
        };
        for (int id = 33028; id <= 33032; ++id)
            t.push_back({id, "Project", nullptr, ""});
        t.push_back({57665, "Project", nullptr, "E&xit VEX"});
        for (int id : {57635, 57634, 57637, 32906, 32799, 32800, 32802, 32773})
            t.push_back({id, "Edit", nullptr, ""});
        for (int id = 3000; id <= 3016; ++id)
            t.push_back({id, "Edit", "Font Color", ""});
        for (int id = 33100; id <= 33104; ++id)
            t.push_back({id, "Edit", "Character Set", ""});
        for (int id : {32905, 32904, 32907})
            t.push_back({id, "Coding", nullptr, ""});
        // The main menu's Analysis repeats the context commands 20084 to 20100.
        for (int id = 20084; id <= 20100; ++id)
            t.push_back({id, "Analysis", id <= 20093 ? "?" : nullptr, ""});
        for (int id : {32996, 32989, 32911, 32784, 32910, 32988})
            t.push_back({id, "Analysis", nullptr, ""});
        for (int id : {32912, 32987, 33053, 32999})
            t.push_back({id, "Variables", nullptr, ""});
        for (int id : {33065, 33078, 33067})
            t.push_back({id, "VEXLexa", nullptr, ""});
        for (const auto& [id, text] : {std::pair{33072, "&Stop-List"},
                                       {33090, "Only &Dictionary Words"},
                                       {33084, "&Dictionary"},
                                       {33098, "Last &Results of Coder"},
                                       {33096, "&Options"}})
            t.push_back({id, "VEXLexa", nullptr, text});
        for (int id = 32769; id <= 32772; ++id)
            t.push_back({id, "Window", nullptr, ""});
        for (int id = 33049; id <= 33051; ++id)
            t.push_back({id, "Help", nullptr, ""});
        return t;
    }();
    return table;
}

std::vector<QAction*> addUnbuiltCommands(QMenuBar* bar,
                                         const std::function<QAction*(int)>& existing) {
    std::vector<QAction*> made;
    for (const MainCommand& c : mainCommands()) {
        if (existing(c.id)) continue;
        QMenu* top = findMenu(bar->actions(), c.menu);
        if (!top) top = bar->addMenu(c.menu);
        QMenu* into = top;
        if (c.submenu) {
            into = findMenu(top->actions(), c.submenu);
            if (!into) {
                // A new submenu of the Project menu goes after Export, where its sibling is.
                QMenu* exports = findMenu(top->actions(), "Export");
                const QList<QAction*> all = top->actions();
                const qsizetype at = exports ? all.indexOf(exports->menuAction()) + 1 : -1;
                into = new QMenu(QString("&") + c.submenu, top);
                if (at > 0 && at < all.size())
                    top->insertMenu(all[at], into);
                else
                    top->addMenu(into);
            }
        }
        auto* a = new QAction(c.text, into);
        a->setData(c.id);
        a->setEnabled(false);
        a->setToolTip(unbuiltReason);
        a->setStatusTip(unbuiltReason);
        a->setProperty("unbuilt", true);
        // The project's own commands come before its Export, as in the menu of the table.
        QMenu* exports = c.submenu ? nullptr : findMenu(into->actions(), "Export");
        if (exports)
            into->insertAction(exports->menuAction(), a);
        else
            into->addAction(a);
        made.push_back(a);
    }
    return made;
}

} // namespace vexana::shell
