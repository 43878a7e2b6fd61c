#include "ObjectTree.h"

#include <QDropEvent>
#include <QMimeData>
#include <QVBoxLayout>

namespace vexana::shell {

void tag(QTreeWidgetItem* item, int kind, std::int32_t id) {
    item->setData(0, Qt::UserRole, kind);
    item->setData(0, Qt::UserRole + 1, id);
}

void holdTree(QWidget* view, QTreeWidget* tree) {
    auto* l = new QVBoxLayout(view);
    l->setContentsMargins(0, 0, 0, 0);
    l->addWidget(tree);
    tree->setHeaderHidden(true);
}

ObjectTree::ObjectTree(QWidget* parent) : QTreeWidget(parent) {
    setDragEnabled(true);
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
    setDropIndicatorShown(true);
    setDragDropMode(QAbstractItemView::DragDrop);
    setDefaultDropAction(Qt::CopyAction);
}

ObjectTree::Object ObjectTree::objectOf(const QTreeWidgetItem* item) {
    if (!item) return {};
    return {item->data(0, Qt::UserRole).toInt(), item->data(0, Qt::UserRole + 1).toInt()};
}

QStringList ObjectTree::mimeTypes() const {
    return {MimeType};
}

QMimeData* ObjectTree::mimeData(const QList<QTreeWidgetItem*>& items) const {
    if (items.isEmpty()) return nullptr;
    const Object o = objectOf(items.front());
    if (o.kind == 0) return nullptr;
    auto* data = new QMimeData;
    data->setData(MimeType, QByteArray::number(o.kind) + ' ' + QByteArray::number(o.id));
    return data;
}

bool ObjectTree::dropAt(const QMimeData* data, QPoint at, Object& what, Object& target) const {
    if (!data || !data->hasFormat(MimeType)) return false;
    const QList<QByteArray> parts = data->data(MimeType).split(' ');
    if (parts.size() != 2) return false;
    bool okKind = false, okId = false;
    what = {parts[0].toInt(&okKind), parts[1].toInt(&okId)};
    if (!okKind || !okId) return false;
    target = objectOf(itemAt(at));
    return target.kind != 0 && accepts && accepts(what, target);
}

void ObjectTree::dragEnterEvent(QDragEnterEvent* e) {
    if (e->mimeData()->hasFormat(MimeType))
        e->acceptProposedAction();
    else
        e->ignore();
}

void ObjectTree::dragMoveEvent(QDragMoveEvent* e) {
    Object what, target;
    if (dropAt(e->mimeData(), e->position().toPoint(), what, target)) {
        e->setDropAction(Qt::CopyAction);
        e->accept();
    } else {
        e->ignore();
    }
}

bool ObjectTree::drop(const QMimeData* data, QPoint at) {
    Object what, target;
    if (!dropAt(data, at, what, target)) return false;
    if (dropped) dropped(what, target);
    return true;
}

void ObjectTree::dropEvent(QDropEvent* e) {
    // The tree is refilled from the store afterwards; its own item moving stays out.
    if (drop(e->mimeData(), e->position().toPoint())) {
        e->setDropAction(Qt::CopyAction);
        e->accept();
    } else {
        e->ignore();
    }
}

} // namespace vexana::shell
