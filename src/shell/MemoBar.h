#pragma once

#include <QString>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <vector>

class QTextEdit;

namespace vexana::shell {

class StripeColumn;

// One memo of the open text as its icon in the memo bar.
struct MemoMark {
    std::int32_t memo = 0;
    std::int32_t pos = 0; // character offset in the text
    int type = 0;
    QString tip;
    int x = 0, y = 0; // the icon's place; y in the text's document
};

// The narrow bar beside the Text Browser's text with an icon per memo at the line of its
// place; memos on one line stand side by side.
class MemoBar : public QWidget {
    Q_OBJECT
public:
    static constexpr int IconWidth = 12, IconHeight = 14;
    MemoBar(QTextEdit* edit, const StripeColumn* offsets, QWidget* parent = nullptr);

    void setMarks(std::vector<MemoMark> marks);
    const std::vector<MemoMark>& marks() const { return marks_; }
    // Places the icons on the lines of the text as it is laid out now.
    void relayout();
    // The mark whose icon covers p, or -1.
    int markAt(QPoint p) const;

    std::function<void(std::int32_t memo)> activated;
    // A double-click on the bar beside no icon: the first character of the line there.
    std::function<void(std::int32_t lineStart)> emptyActivated;
    // The first character of the line at a height of the bar, or -1 without text there.
    std::int32_t lineStartAt(int y) const;

protected:
    void paintEvent(QPaintEvent*) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;

private:
    int top() const; // document y 0 in this widget

    QTextEdit* edit_;
    const StripeColumn* offsets_;
    std::vector<MemoMark> marks_;
};

} // namespace vexana::shell
