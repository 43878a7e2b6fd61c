#pragma once

#include "platform/richtext/ParagraphTable.h"

#include <QWidget>
#include <string_view>

class QTextEdit;

namespace vexana::shell {

class StripeColumn;

// The paragraph numbers beside the Text Browser's text; a click selects a paragraph, with
// Shift it extends the selection to it.
class ParagraphColumn : public QWidget {
    Q_OBJECT
public:
    ParagraphColumn(QTextEdit* edit, const StripeColumn* offsets, QWidget* parent = nullptr);

    // The text's plain form, paragraph ends as carriage returns or line feeds.
    void setText(std::u32string_view plain);
    const platform::ParagraphTable& table() const { return table_; }
    // Selects paragraph n as a click does.
    void selectParagraph(int n, bool extend);

protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent* e) override;

private:
    int yOf(int n) const;           // the top of paragraph n in this widget
    int lastAtOrAbove(int y) const; // the last paragraph starting at or above y; 0 for none

    QTextEdit* edit_;
    const StripeColumn* offsets_;
    platform::ParagraphTable table_;
};

} // namespace vexana::shell
