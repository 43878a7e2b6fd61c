#pragma once

#include <QTreeWidget>
#include <cstdint>
#include <functional>

namespace vexana::shell {

// A tree of project objects whose items can be dragged onto one another. The object travels
// as "kind id" under the private format "VEXObject"; the owner decides what a drop means.
class ObjectTree : public QTreeWidget {
    Q_OBJECT
public:
    static constexpr const char* MimeType = "VEXObject";
    struct Object {
        int kind = 0;
        std::int32_t id = 0;
    };
    explicit ObjectTree(QWidget* parent = nullptr);

    static Object objectOf(const QTreeWidgetItem* item);
    // Whether dropping what onto target does something, and doing it; both from the owner.
    std::function<bool(Object what, Object target)> accepts;
    std::function<void(Object what, Object target)> dropped;

    // Drops data at a point of the viewport; false when nothing is done.
    bool drop(const QMimeData* data, QPoint at);
    // The dragged form of the first item.
    QMimeData* mimeData(const QList<QTreeWidgetItem*>& items) const override;

protected:
    QStringList mimeTypes() const override;
    void dragEnterEvent(QDragEnterEvent* e) override;
    void dragMoveEvent(QDragMoveEvent* e) override;
    void dropEvent(QDropEvent* e) override;

private:
    // The dragged object and the item under the point, when the drop is one the owner takes.
    bool dropAt(const QMimeData* data, QPoint at, Object& what, Object& target) const;
};

// Tree items know what they show: its kind (the topic, or a root's number) and its id.
void tag(QTreeWidgetItem* item, int kind, std::int32_t id);

// A tree filling its view, without a header.
void holdTree(QWidget* view, QTreeWidget* tree);

} // namespace vexana::shell
