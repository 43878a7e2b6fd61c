#include "PrintLayout.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace vexana::browser {

int millimetres(double mm, double dpi) {
    return static_cast<int>(std::lround(mm * dpi / 25.4));
}

PageFrame pageFrame(int pageWidth, int pageHeight, double dpi) {
    PageFrame f;
    f.page = {0, 0, pageWidth, pageHeight};
    f.printable = {millimetres(10, dpi), millimetres(15, dpi), pageWidth - millimetres(15, dpi),
                   pageHeight - millimetres(25, dpi)};
    // A page smaller than its margins still gets an area of one dot, so layout can go on.
    f.printable.right = std::max(f.printable.right, f.printable.left + 1);
    f.printable.bottom = std::max(f.printable.bottom, f.printable.top + 1);
    f.headingY = f.printable.top / 3;
    f.footerY = f.printable.bottom + std::max(0, pageHeight - f.printable.bottom) / 3;
    return f;
}

std::vector<PageSpan> paginate(const LineMetrics& lines, int areaHeight) {
    areaHeight = std::max(areaHeight, 1);
    std::vector<PageSpan> pages;
    const int n = lines.lineCount();
    int i = 0;
    while (i < n) {
        const PrintLine first = lines.line(i);
        PageSpan p;
        p.firstLine = i;
        p.docTop = first.top;
        p.charStart = first.start;
        p.charEnd = first.end;
        int lowest = first.bottom();
        int j = i + 1; // the first line always goes on the page
        int nextTop = 0;
        for (; j < n; ++j) {
            const PrintLine l = lines.line(j);
            if (l.bottom() - p.docTop > areaHeight) {
                nextTop = l.top;
                // Characters between the lines (a paragraph end) stay with this page.
                p.charEnd = std::max(p.charEnd, l.start);
                break;
            }
            p.charStart = std::min(p.charStart, l.start);
            p.charEnd = std::max(p.charEnd, l.end);
            lowest = std::max(lowest, l.bottom());
        }
        p.endLine = j;
        p.docBottom = std::clamp(j < n ? nextTop : lowest, p.docTop + 1, p.docTop + areaHeight);
        pages.push_back(p);
        i = j;
    }
    return pages;
}

int paragraphDigits(int paragraphs) {
    int digits = 1;
    for (int n = paragraphs; n >= 10; n /= 10)
        ++digits;
    return digits;
}

double numberFontScale(int digits, int zerosWidthAt10pt, double dpi) {
    if (zerosWidthAt10pt <= 0) return 1.0;
    return digits * 1.5 * dpi / 25.4 / zerosWidthAt10pt;
}

double defaultTextPoints(int charSet, double scale) {
    return (charSet == 178 ? 12.5 : 10.0) * scale;
}

CodedAreas codedAreas(const PageFrame& frame, double dpi, int digits, int widestLabel,
                      int columns) {
    CodedAreas a;
    const PrintRect& p = frame.printable;
    a.spacing = std::max(1, millimetres(2.5, dpi));
    const int wanted = std::max(0, widestLabel) + (std::max(columns, 1) + 1) * a.spacing;
    const int codesWidth = std::min(wanted, p.width() / 3);
    a.codes = {p.left, p.top, p.left + codesWidth, p.bottom};
    a.numbers = {a.codes.right, p.top, a.codes.right + millimetres(2 + 1.5 * digits, dpi),
                 p.bottom};
    a.text = {a.numbers.right + millimetres(2, dpi), p.top, p.right, p.bottom};
    a.text.right = std::max(a.text.right, a.text.left + 1);
    return a;
}

namespace {

// The line holding a character: the last line starting at or before it.
int lineOfChar(const std::vector<PrintLine>& lines, std::int32_t c) {
    const auto it =
        std::upper_bound(lines.begin(), lines.end(), c,
                         [](std::int32_t v, const PrintLine& l) { return v < l.start; });
    return it == lines.begin() ? 0 : static_cast<int>(it - lines.begin()) - 1;
}

// Labels go down past the ones above them, as on screen; those then pushed below the area come
// back up, each staying above the next, and none above the area's top.
void separateLabels(std::vector<PageStripe>& stripes, const PrintRect& area, int labelHeight) {
    std::vector<std::size_t> order(stripes.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        return stripes[a].labelTop < stripes[b].labelTop;
    });
    for (std::size_t k = 1; k < order.size(); ++k)
        stripes[order[k]].labelTop =
            std::max(stripes[order[k]].labelTop, stripes[order[k - 1]].labelTop + labelHeight);
    int limit = area.bottom;
    for (std::size_t k = order.size(); k-- > 0;) {
        PageStripe& s = stripes[order[k]];
        s.labelTop = std::max(std::min(s.labelTop, limit - labelHeight), area.top);
        limit = s.labelTop;
    }
}

} // namespace

std::vector<CodedPage> layOutCodedText(const LineMetrics& metrics, const CodedAreas& areas,
                                       const std::vector<CodingStripe>& stripes,
                                       const std::vector<std::int32_t>& paragraphStarts,
                                       int labelHeight) {
    std::vector<PrintLine> lines;
    lines.reserve(static_cast<std::size_t>(std::max(metrics.lineCount(), 0)));
    for (int i = 0; i < metrics.lineCount(); ++i)
        lines.push_back(metrics.line(i));
    const VectorLineMetrics held(lines);
    const PrintRect& text = areas.text;
    std::vector<CodedPage> pages;
    for (const PageSpan& span : paginate(held, text.height()))
        pages.push_back({span, {}, {}});
    if (lines.empty()) return pages;

    // The columns as the Text Browser would give them on the printer's lines: by start, equal
    // starts in the order handed in.
    std::vector<std::size_t> byStart;
    for (std::size_t i = 0; i < stripes.size(); ++i)
        if (!stripes[i].deleted()) byStart.push_back(i);
    std::stable_sort(byStart.begin(), byStart.end(), [&](std::size_t a, std::size_t b) {
        return stripes[a].startChar < stripes[b].startChar;
    });
    StripeStrip strip;
    for (std::size_t i : byStart) {
        CodingStripe s = stripes[i];
        s.finishChar = std::max(s.finishChar, s.startChar + 1);
        s.firstLine = s.lastLine = -1;
        strip.stripes().push_back(std::move(s));
    }
    strip.updateLines([&](std::int32_t c) { return lineOfChar(lines, c); });
    const auto& laid = strip.stripes();

    labelHeight = std::max(labelHeight, 1);
    const int q = areas.spacing / 2;
    const auto columnX = [&](int column) {
        // Columns beyond the room the area was given stay inside it, side by side at its edge.
        return std::max(areas.codes.right - column * areas.spacing, areas.codes.left + q);
    };
    for (CodedPage& page : pages) {
        const PageSpan& sp = page.span;
        const auto yOf = [&](int docY) {
            return std::clamp(text.top + docY - sp.docTop, text.top, text.bottom);
        };
        for (std::size_t k = 0; k < laid.size(); ++k) {
            const CodingStripe& s = laid[k];
            if (s.startChar >= sp.charEnd) break; // ordered by start
            if (s.finishChar <= sp.charStart) continue;
            PageStripe p;
            p.index = static_cast<int>(byStart[k]);
            p.column = s.column;
            p.x = columnX(s.column);
            p.colour = s.colour;
            if (s.startChar < sp.charStart) {
                p.flags |= PageStripe::BeganBefore;
                p.top = text.top;
            } else {
                p.top = yOf(lines[static_cast<std::size_t>(lineOfChar(lines, s.startChar))].top);
            }
            if (s.finishChar > sp.charEnd) {
                p.flags |= PageStripe::GoesOn;
                p.bottom = text.bottom;
            } else {
                p.bottom = yOf(
                    lines[static_cast<std::size_t>(lineOfChar(lines, s.finishChar - 1))].bottom());
            }
            p.bottom = std::max(p.bottom, p.top + 1);
            p.labelTop = p.top + (p.bottom - p.top) / 2 - labelHeight / 2;
            page.stripes.push_back(p);
        }
        separateLabels(page.stripes, text, labelHeight);
        for (PageStripe& p : page.stripes) {
            p.labelColumn = p.column;
            for (const PageStripe& o : page.stripes)
                if (o.top <= p.labelTop + labelHeight && o.bottom >= p.labelTop)
                    p.labelColumn = std::max(p.labelColumn, o.column);
            p.labelRight = columnX(p.labelColumn) - q;
        }
        const auto from =
            std::lower_bound(paragraphStarts.begin(), paragraphStarts.end(), sp.charStart);
        for (auto it = from; it != paragraphStarts.end() && *it < sp.charEnd; ++it)
            page.numbers.push_back(
                {static_cast<int>(it - paragraphStarts.begin()) + 1,
                 yOf(lines[static_cast<std::size_t>(lineOfChar(lines, *it))].top)});
    }
    return pages;
}

} // namespace vexana::browser
