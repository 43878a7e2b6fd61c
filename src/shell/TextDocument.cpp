#include "TextDocument.h"

#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

namespace vexana::shell {

namespace {

QTextCharFormat qtFormat(const platform::CharFormat& f) {
    QTextCharFormat q;
    if (!f.font.empty()) q.setFontFamilies({QString::fromStdString(f.font)});
    q.setFontPointSize(f.size / 2.0);
    q.setFontWeight(f.bold ? QFont::Bold : QFont::Normal);
    q.setFontItalic(f.italic);
    q.setFontUnderline(f.underline);
    if (f.color != platform::AutoColor)
        q.setForeground(QColor((f.color >> 16) & 255, (f.color >> 8) & 255, f.color & 255));
    if (f.background != platform::AutoColor)
        q.setBackground(
            QColor((f.background >> 16) & 255, (f.background >> 8) & 255, f.background & 255));
    return q;
}

Qt::Alignment qtAlign(platform::Align a) {
    switch (a) {
    case platform::Align::Center:
        return Qt::AlignHCenter;
    case platform::Align::Right:
        return Qt::AlignRight;
    case platform::Align::Justify:
        return Qt::AlignJustify;
    default:
        return Qt::AlignLeft;
    }
}

} // namespace

void appendToDocument(QTextDocument& document, const platform::RichText& text) {
    QTextCursor cursor(&document);
    cursor.movePosition(QTextCursor::End);
    const int firstBlock = cursor.blockNumber();
    const auto& runs = text.runs();
    const auto& chars = text.chars();
    for (std::size_t r = 0; r < runs.size(); ++r) {
        const std::int32_t a = runs[r].start;
        const std::int32_t b = r + 1 < runs.size() ? runs[r + 1].start : text.length();
        const QTextCharFormat format =
            qtFormat(text.formats()[static_cast<std::size_t>(runs[r].format)]);
        // Paragraph ends become block breaks, so positions keep counting one per end.
        std::int32_t from = a;
        for (std::int32_t i = a; i <= b; ++i) {
            if (i < b && chars[static_cast<std::size_t>(i)] != U'\r') continue;
            const std::u32string piece =
                chars.substr(static_cast<std::size_t>(from), static_cast<std::size_t>(i - from));
            cursor.insertText(QString::fromStdU32String(piece), format);
            if (i < b) cursor.insertBlock(QTextBlockFormat(), format);
            from = i + 1;
        }
    }
    QTextBlock block = document.findBlockByNumber(firstBlock);
    for (int p = 0; p < text.paragraphCount() && block.isValid(); ++p, block = block.next()) {
        QTextCursor c(block);
        QTextBlockFormat bf = block.blockFormat();
        bf.setAlignment(qtAlign(text.paraFormat(p).align));
        c.setBlockFormat(bf);
    }
}

void fillDocument(QTextDocument& document, const platform::RichText& text) {
    document.clear();
    appendToDocument(document, text);
}

} // namespace vexana::shell
