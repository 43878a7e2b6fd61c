#pragma once

#include "browser/StripeStrip.h"
#include "platform/richtext/RichText.h"

#include <QWidget>
#include <functional>

class QTextEdit;

namespace vexana::shell {

// A text is laid out in bursts of layout updates; `relayout` runs once after each burst, on
// `owner`'s event loop turn.
void relayoutAfterLayoutBursts(QWidget* owner, QTextEdit* edit, std::function<void()> relayout);

// The column of coding stripes beside the Text Browser's text. Positions come from the text
// control; the layout itself is the browser library's.
class StripeColumn : public QWidget {
    Q_OBJECT
public:
    StripeColumn(QTextEdit* edit, QWidget* parent = nullptr);

    // The text shown (for offsets: the control counts characters outside the Basic
    // Multilingual Plane twice) and its stripes.
    void setText(const platform::RichText& text);
    // The text changed under the stripes, which keep what the edit made of them.
    void textEdited(std::u32string_view chars);
    browser::StripeStrip& strip() { return strip_; }
    void relayout();
    bool labelsShown() const { return labels_; }
    void setLabelsShown(bool on);

    int toControl(std::int32_t offset) const;
    std::int32_t fromControl(int position) const;

    // A click on the strip: the stripe's coding id (0 outside any stripe), the button, whether
    // it was a double-click, and where on the screen.
    std::function<void(std::int32_t coding, Qt::MouseButton button, bool twice, QPoint at)> clicked;
    // The text shown while the mouse rests on a stripe.
    std::function<QString(std::int32_t coding)> tooltipOf;

protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void leaveEvent(QEvent*) override;

private:
    void collectLines();
    int viewportOffset() const;
    int stripeAt(QPoint p) const;
    void highlight(int index);

    QTextEdit* edit_;
    browser::StripeStrip strip_;
    std::vector<std::int32_t> astral_; // offsets of characters that take two positions
    std::vector<int> lineStarts_;      // control position of each display line's start
    std::vector<int> lineTops_;        // its top in the document
    bool linesValid_ = false;
    int lineWidth_ = -1; // the width the lines were wrapped at
    bool labels_ = true;
};

} // namespace vexana::shell
