#include "TextDocument.h"

#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFragment>

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

platform::CharFormat charFormatOf(const QTextCharFormat& q) {
    platform::CharFormat f;
    const QStringList families = q.fontFamilies().toStringList();
    if (!families.isEmpty()) f.font = families.front().toStdString();
    if (q.fontPointSize() > 0) f.size = static_cast<int>(q.fontPointSize() * 2 + 0.5);
    f.bold = q.fontWeight() >= QFont::Bold;
    f.italic = q.fontItalic();
    f.underline = q.fontUnderline();
    auto rgb = [](const QColor& c) { return c.red() << 16 | c.green() << 8 | c.blue(); };
    if (q.hasProperty(QTextFormat::ForegroundBrush)) f.color = rgb(q.foreground().color());
    if (q.hasProperty(QTextFormat::BackgroundBrush)) f.background = rgb(q.background().color());
    return f;
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
    // One change for the layout and the listeners, not one per piece.
    cursor.beginEditBlock();
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
        const platform::ParaFormat& pf = text.paraFormat(p);
        // New blocks start plain; most paragraphs are, and need no second edit.
        if (pf == platform::ParaFormat{} && block.blockFormat() == QTextBlockFormat()) continue;
        QTextCursor c(block);
        QTextBlockFormat bf = block.blockFormat();
        bf.setAlignment(qtAlign(pf.align));
        // What the control does not show still goes back into the file when it is saved.
        const int kept[] = {pf.leftIndent,  pf.rightIndent, pf.firstIndent,
                            pf.spaceBefore, pf.spaceAfter,  pf.lineSpacing};
        for (int k = 0; k < 6; ++k)
            bf.setProperty(QTextFormat::UserProperty + k, kept[k]);
        c.setBlockFormat(bf);
    }
    cursor.endEditBlock();
}

platform::RichText richTextOf(const QTextDocument& document) {
    platform::RichText out;
    int paragraph = 0;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next(), ++paragraph) {
        // The paragraph end before a block was inserted with that block's format.
        if (paragraph > 0) out.appendChars(U"\r", charFormatOf(block.charFormat()));
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            if (fragment.isValid())
                out.appendChars(fragment.text().toStdU32String(),
                                charFormatOf(fragment.charFormat()));
        }
        platform::ParaFormat pf;
        const QTextBlockFormat bf = block.blockFormat();
        int* kept[] = {&pf.leftIndent,  &pf.rightIndent, &pf.firstIndent,
                       &pf.spaceBefore, &pf.spaceAfter,  &pf.lineSpacing};
        for (int k = 0; k < 6; ++k)
            *kept[k] = bf.intProperty(QTextFormat::UserProperty + k);
        const Qt::Alignment a = bf.alignment();
        pf.align = a & Qt::AlignHCenter   ? platform::Align::Center
                   : a & Qt::AlignRight   ? platform::Align::Right
                   : a & Qt::AlignJustify ? platform::Align::Justify
                                          : platform::Align::Left;
        out.setParagraphFormatAt(paragraph, pf);
    }
    return out;
}

void fillDocument(QTextDocument& document, const platform::RichText& text) {
    document.clear();
    appendToDocument(document, text);
}

} // namespace vexana::shell
