#include "CGreenView.h"

#include "CodeColour.h"
#include "ObjectTree.h"
#include "QtText.h"
#include "ViewLayout.h"
#include "analysis/CodeSystem.h"
#include "analysis/Workspace.h"
#include "browser/ProjectExports.h"
#include "store/Schema.h"
#include "store/TopicStore.h"

#include <QPainter>
#include <QPixmap>
#include <QTreeWidget>

namespace vexana::shell {

using namespace store;

CGreenView::CGreenView() : CBaseView(ViewBit::CodeSystem), tree_(new QTreeWidget) {
    holdTree(this, tree_);
}

void CGreenView::fill(TopicStore& s, analysis::Workspace& ws) {
    tree_->clear();
    auto* root = new QTreeWidgetItem(tree_, {"Code System"});
    tag(root, TopicId::CodesRoot, 0);
    addChildren(s, ws, root, 0, 0);
    tree_->expandAll();
}

void CGreenView::addChildren(TopicStore& s, analysis::Workspace& ws, QTreeWidgetItem* parent,
                             std::int32_t code, int depth) {
    if (depth > 100) return;
    // Siblings by Index, so a sort shows at once, as it will after reopening.
    for (std::int32_t child : browser::inIndexOrder(s, TopicId::Codes, ws.codes().Children(code))) {
        const QString label =
            q(s.GetName(TopicId::Codes, child, false)) +
            QString(" (%1)").arg(s.GetInt(TopicId::Codes, child, CodeField::Codes));
        auto* item = new QTreeWidgetItem(parent, {label});
        tag(item, TopicId::Codes, child);
        const QColor colour = codeColour(s, child);
        item->setForeground(0, colour);
        item->setIcon(0, codeIcon(colour));
        if (ws.IsActive(TopicId::Codes, child)) {
            QFont f = item->font(0);
            f.setBold(true);
            item->setFont(0, f);
        }
        addChildren(s, ws, item, child, depth + 1);
    }
}

QIcon CGreenView::codeIcon(const QColor& colour) {
    auto [it, fresh] = icons_.try_emplace(colour.rgb());
    if (fresh) {
        QPixmap p(12, 12);
        p.fill(Qt::transparent);
        QPainter painter(&p);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setBrush(colour);
        painter.setPen(colour.darker(140));
        painter.drawRoundedRect(QRectF(1.5, 2.5, 9, 7), 2, 2);
        it->second = QIcon(p);
    }
    return it->second;
}

} // namespace vexana::shell
