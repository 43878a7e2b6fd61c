#include "CBlauView.h"
#include "CGreenView.h"
#include "CommandScope.h"
#include "MainFrame.h"
#include "ObjectTree.h"
#include "QtText.h"
#include "analysis/ContextCommands.h"
#include "analysis/DocumentSystem.h"
#include "analysis/Workspace.h"
#include "store/CVexDoc.h"
#include "store/Schema.h"
#include "store/TopicStore.h"

#include <QMenu>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>

namespace vexana::shell {

using namespace store;

namespace {

analysis::ContextMenu menuOf(int kind) {
    switch (kind) {
    case TopicId::GroupsRoot:
        return analysis::ContextMenu::TextGroups;
    case TopicId::TextGroups:
        return analysis::ContextMenu::TextGroup;
    case TopicId::Texts:
        return analysis::ContextMenu::Text;
    case TopicId::SetsRoot:
        return analysis::ContextMenu::Sets;
    case TopicId::TextSets:
        return analysis::ContextMenu::Set;
    case TopicId::TextLinks:
        return analysis::ContextMenu::Textlink;
    case TopicId::CodesRoot:
        return analysis::ContextMenu::CodeSystem;
    default:
        return analysis::ContextMenu::Code;
    }
}

} // namespace

bool CMainFrame::contextCommand(int id, std::int32_t object, int kind) {
    contextKind_ = kind;
    return contextCommand(id, object);
}

bool CMainFrame::contextCommand(int id, std::int32_t object) {
    const analysis::ContextCommand* c = analysis::findContextCommand(id);
    // The colours are named by the submenu that holds them.
    const std::string name = id >= 20069 && id <= 20073 ? "Color Attribute"
                             : c ? CommandStack::nameOf(q(std::string(c->text)))
                                 : std::string();
    const CommandScope step(*steps_, name);
    return commands_->Execute(id, object);
}

void CMainFrame::showContextMenu(QTreeWidget* tree, const QPoint& at) {
    QTreeWidgetItem* item = tree->itemAt(at);
    if (!item) return;
    const int kind = item->data(0, Qt::UserRole).toInt();
    if (kind == 0) return;
    const std::int32_t id = item->data(0, Qt::UserRole + 1).toInt();
    QMenu menu(this);
    QMenu* colours = nullptr;
    for (const auto& c : analysis::commandsOf(menuOf(kind))) {
        QMenu* into = &menu;
        if (c.id >= 20069 && c.id <= 20073) {
            if (!colours) colours = menu.addMenu("Color Attribute");
            into = colours;
        }
        QAction* a = into->addAction(q(std::string(c.text)));
        a->setEnabled(commands_->Enabled(c.id, id));
        const int command = c.id;
        connect(a, &QAction::triggered, this,
                [this, command, id, kind] { contextCommand(command, id, kind); });
    }
    menu.exec(tree->viewport()->mapToGlobal(at));
}

QTreeWidgetItem* CMainFrame::findItem(QTreeWidget* tree, int kind, std::int32_t id) {
    for (QTreeWidgetItemIterator it(tree); *it; ++it)
        if ((*it)->data(0, Qt::UserRole).toInt() == kind &&
            (*it)->data(0, Qt::UserRole + 1).toInt() == id)
            return *it;
    return nullptr;
}

void CMainFrame::selectInTree(QTreeWidget* tree, int kind, std::int32_t id) {
    if (QTreeWidgetItem* item = findItem(tree, kind, id)) {
        tree->setCurrentItem(item);
        tree->scrollToItem(item);
    }
}

bool CMainFrame::dropObject(int kind, std::int32_t id, int targetKind, std::int32_t target,
                            bool apply) {
    const TopicStore& s = doc_.store();
    analysis::DocumentSystem& docs = ws_.documents();
    if (kind == TopicId::TextLinks) {
        kind = TopicId::Texts;
        id = s.GetInt(TopicId::TextLinks, id, LinkField::Text);
    }
    if (kind == TopicId::TextGroups && targetKind == TopicId::SetsRoot) {
        if (!s.GetTopic(TopicId::TextGroups)->contains(id)) return false;
        if (!apply) return true;
        const CommandScope step(*steps_, "New Set from Text Group");
        return docs.NewSetFromGroup(id) != 0;
    }
    if (kind != TopicId::Texts || !s.GetTopic(TopicId::Texts)->contains(id)) return false;
    if (targetKind == TopicId::TextLinks) {
        targetKind = TopicId::TextSets;
        target = s.GetInt(TopicId::TextLinks, target, LinkField::Set);
    }
    if (targetKind == TopicId::TextSets) {
        if (!s.GetTopic(TopicId::TextSets)->contains(target) || docs.SetHolds(target, id))
            return false;
        if (!apply) return true;
        const CommandScope step(*steps_, "Add Text to Set");
        return docs.AddTextToSet(target, id) != 0;
    }
    if (targetKind == TopicId::TextGroups || targetKind == TopicId::Texts) {
        if (!s.GetTopic(targetKind)->contains(target)) return false;
        if (!apply) return true;
        const CommandScope step(*steps_, "Copy Text");
        return docs.CopyText(id, targetKind, target) != 0;
    }
    return false;
}

void CMainFrame::beginRename(int topic, std::int32_t id) {
    QTreeWidget* tree = topic == TopicId::Codes ? codes_->tree() : documents_->tree();
    QTreeWidgetItem* item = findItem(tree, topic, id);
    if (!item) return;
    {
        const QSignalBlocker quiet(tree);
        item->setText(0, q(doc_.store().GetName(topic, id, false)));
        item->setFlags(item->flags() | Qt::ItemIsEditable);
    }
    renaming_ = {topic, id};
    tree->setCurrentItem(item);
    tree->scrollToItem(item);
    tree->editItem(item, 0);
}

void CMainFrame::finishRename(QTreeWidgetItem* item) {
    const auto [topic, id] = renaming_;
    if (!topic || item->data(0, Qt::UserRole).toInt() != topic ||
        item->data(0, Qt::UserRole + 1).toInt() != id)
        return;
    renaming_ = {};
    const std::string name = item->text(0).trimmed().toStdString();
    // An emptied name keeps the old one; the tree gets its counts back either way.
    if (!name.empty() && name != doc_.store().GetName(topic, id, false)) {
        // Named as the context menus name renaming.
        const char* command = topic == TopicId::Codes        ? "Rename Code"
                              : topic == TopicId::Texts      ? "Rename Text"
                              : topic == TopicId::TextSets   ? "Rename Set"
                              : topic == TopicId::TextGroups ? "Rename Text Group"
                                                             : "Rename";
        const CommandScope step(*steps_, command);
        ws_.documents().RenameObject(topic, id, name);
    }
    onViewEvent(ViewEvent::Changed, topic, id);
}

} // namespace vexana::shell
