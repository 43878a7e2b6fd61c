#include "CBlauView.h"

#include "ObjectTree.h"
#include "QtText.h"
#include "ViewLayout.h"
#include "analysis/Workspace.h"
#include "browser/ProjectExports.h"
#include "store/Schema.h"
#include "store/TopicStore.h"

#include <QStyle>
#include <utility>

namespace vexana::shell {

using namespace store;

CBlauView::CBlauView() : CBaseView(ViewBit::DocumentSystem), tree_(new ObjectTree) {
    holdTree(this, tree_);
}

void CBlauView::fill(TopicStore& s, const analysis::Workspace& ws) {
    tree_->clear();
    // The style draws its icons anew on every call: once is enough.
    if (icons_[0].isNull())
        for (const auto [i, pixmap] : {std::pair{0, QStyle::SP_DirIcon},
                                       {1, QStyle::SP_FileIcon},
                                       {2, QStyle::SP_DirLinkIcon},
                                       {3, QStyle::SP_FileLinkIcon}})
            icons_[static_cast<std::size_t>(i)] = style()->standardIcon(pixmap);
    const QIcon& folder = icons_[0];
    const QIcon& file = icons_[1];
    const QIcon& linkFolder = icons_[2];
    const QIcon& linkFile = icons_[3];
    auto* groups = new QTreeWidgetItem(tree_, {"Text Groups"});
    tag(groups, TopicId::GroupsRoot, 0);
    // Siblings by Index, so a sort shows at once, as it will after reopening.
    using browser::inIndexOrder;
    for (std::int32_t g : inIndexOrder(s, TopicId::TextGroups, s.ListIds(TopicId::TextGroups))) {
        auto* gi = new QTreeWidgetItem(groups, {q(s.GetName(TopicId::TextGroups, g, false))});
        tag(gi, TopicId::TextGroups, g);
        gi->setIcon(0, folder);
        for (std::int32_t t :
             inIndexOrder(s, TopicId::Texts, s.FindIds(TopicId::Texts, TopicId::TextGroups, g))) {
            const QString label =
                q(s.GetName(TopicId::Texts, t, false)) +
                QString(" (%1)").arg(s.GetInt(TopicId::Texts, t, TextField::Codes));
            auto* ti = new QTreeWidgetItem(gi, {label});
            tag(ti, TopicId::Texts, t);
            ti->setIcon(0, file);
            if (ws.IsActive(TopicId::Texts, t)) ti->setForeground(0, QColor(200, 0, 0));
        }
    }
    auto* sets = new QTreeWidgetItem(tree_, {"Sets"});
    tag(sets, TopicId::SetsRoot, 0);
    for (std::int32_t set : inIndexOrder(s, TopicId::TextSets, s.ListIds(TopicId::TextSets))) {
        auto* si = new QTreeWidgetItem(sets, {q(s.GetName(TopicId::TextSets, set, false))});
        tag(si, TopicId::TextSets, set);
        si->setIcon(0, linkFolder);
        for (std::int32_t link : inIndexOrder(
                 s, TopicId::TextLinks, s.FindIds(TopicId::TextLinks, TopicId::TextSets, set))) {
            const std::int32_t t = s.GetInt(TopicId::TextLinks, link, LinkField::Text);
            auto* li = new QTreeWidgetItem(si, {q(s.GetName(TopicId::Texts, t, false))});
            tag(li, TopicId::TextLinks, link);
            li->setIcon(0, linkFile);
            if (ws.IsActive(TopicId::Texts, t)) li->setForeground(0, QColor(200, 0, 0));
        }
    }
    tree_->expandAll();
}

} // namespace vexana::shell
