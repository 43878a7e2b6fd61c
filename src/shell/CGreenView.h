#pragma once

#include "BaseView.h"

#include <QIcon>
#include <cstdint>
#include <unordered_map>

class QTreeWidget;
class QTreeWidgetItem;

namespace vexana::store {
class TopicStore;
}
namespace vexana::analysis {
class Workspace;
}

namespace vexana::shell {

// The Code System: the code tree, each code in its colour, active codes in bold.
class CGreenView : public CBaseView {
public:
    CGreenView();
    void fill(store::TopicStore& s, analysis::Workspace& ws);
    QTreeWidget* tree() const { return tree_; }

private:
    void addChildren(store::TopicStore& s, analysis::Workspace& ws, QTreeWidgetItem* parent,
                     std::int32_t code, int depth);
    // A small tag in the code's colour; one pixmap per colour.
    QIcon codeIcon(const QColor& colour);

    QTreeWidget* tree_;
    std::unordered_map<QRgb, QIcon> icons_;
};

} // namespace vexana::shell
