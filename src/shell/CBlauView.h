#pragma once

#include "BaseView.h"

#include <QIcon>
#include <array>

namespace vexana::store {
class TopicStore;
}
namespace vexana::analysis {
class Workspace;
}

namespace vexana::shell {

class ObjectTree;

// The Document System: text groups with their texts, and sets with their links.
class CBlauView : public CBaseView {
public:
    CBlauView();
    void fill(store::TopicStore& s, const analysis::Workspace& ws);
    ObjectTree* tree() const { return tree_; }

private:
    ObjectTree* tree_;
    std::array<QIcon, 4> icons_; // group, text, set, link
};

} // namespace vexana::shell
