#pragma once

#include <QColor>
#include <QString>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <vector>

class QTextEdit;

namespace vexana::shell {

// One retrieved segment in the window: its coding and where its content lies in the control.
struct SegmentBlock {
    std::int32_t coding = 0;
    int start = 0, end = 0; // control positions
    QString source;         // the text's name
    QString paragraphs;     // "3-5"
    QColor colour;
    QString note; // the mark's tooltip: the text's full name, its paragraphs and the code
};

// The column beside the Retrieved Segments that marks each segment's source, aligned with its
// block while the text scrolls. A click on a mark reports the block's coding.
class SegmentColumn : public QWidget {
    Q_OBJECT
public:
    explicit SegmentColumn(QTextEdit* edit, QWidget* parent = nullptr);

    void setBlocks(std::vector<SegmentBlock> blocks);
    const std::vector<SegmentBlock>& blocks() const { return blocks_; }
    // The block holding control position pos, or -1.
    int blockAt(int pos) const;
    // The block whose mark covers height y of this column, or -1.
    int blockAtY(int y) const;

    std::function<void(std::int32_t coding)> clicked;

protected:
    void paintEvent(QPaintEvent*) override;
    bool event(QEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;

private:
    // The top and bottom of block i in this column's coordinates.
    std::pair<int, int> extent(std::size_t i) const;

    QTextEdit* edit_;
    std::vector<SegmentBlock> blocks_;
    QMetaObject::Connection layoutWatch_;
};

} // namespace vexana::shell
