#pragma once

#include "browser/StripeStrip.h"

#include <cstdint>
#include <vector>

namespace vexana::browser {

// Device units of a printer: x grows to the right, y downwards, (0, 0) the page's corner.
struct PrintRect {
    int left = 0, top = 0, right = 0, bottom = 0;
    int width() const { return right - left; }
    int height() const { return bottom - top; }
};

// Millimetres at a resolution, exactly: truncating dots per millimetre (dpi / 25.4 rounded
// down) would make every distance about 30 % short at 72 dpi.
int millimetres(double mm, double dpi);

// Where a page puts its parts: the printable area inset by 10, 15, 15 and 25 mm (left, top,
// right, bottom), the heading and the page number one third into the room above and below it.
struct PageFrame {
    PrintRect page;
    PrintRect printable;
    int headingY = 0; // top of the heading line
    int footerY = 0;  // top of the page-number line
};
PageFrame pageFrame(int pageWidth, int pageHeight, double dpi);

// One display line of a document laid out for the printer: its characters [start, end) in the
// document's positions, its top and height in device units from the document's top.
struct PrintLine {
    std::int32_t start = 0;
    std::int32_t end = 0;
    int top = 0;
    int height = 0;
    int bottom() const { return top + height; }
};

// The lines of a laid-out document, in reading order with tops ascending; the shell answers
// from Qt's text layout, tests from plain numbers.
class LineMetrics {
public:
    virtual ~LineMetrics() = default;
    virtual int lineCount() const = 0;
    virtual PrintLine line(int index) const = 0;
};

class VectorLineMetrics : public LineMetrics {
public:
    explicit VectorLineMetrics(std::vector<PrintLine> lines) : lines_(std::move(lines)) {}
    int lineCount() const override { return static_cast<int>(lines_.size()); }
    PrintLine line(int index) const override { return lines_[static_cast<std::size_t>(index)]; }

private:
    std::vector<PrintLine> lines_;
};

// The lines [firstLine, endLine) on one page, showing the document's band [docTop, docBottom)
// (clipped to the area's height when a single line is taller than the page).
struct PageSpan {
    int firstLine = 0;
    int endLine = 0;
    int docTop = 0;
    int docBottom = 0;
    std::int32_t charStart = 0;
    std::int32_t charEnd = 0;
};

// Fills pages of `areaHeight` from the top: a page takes the lines that fit whole, and at
// least one, so a picture or a font taller than the page cannot stop the job from ending.
std::vector<PageSpan> paginate(const LineMetrics& lines, int areaHeight);

// A coding stripe as one page prints it.
struct PageStripe {
    static constexpr int BeganBefore = 2, GoesOn = 4;
    int index = 0; // into the stripes handed to the layout
    int top = 0, bottom = 0;
    int column = 1;
    int x = 0;
    int labelTop = 0;
    int labelColumn = 1;
    int labelRight = 0; // labels run from the codes area's left edge to here
    std::uint32_t colour = 0;
    int flags = 0;
};

struct PageNumberMark {
    int paragraph = 0; // counted from 1
    int y = 0;         // top of the paragraph's first character on the page
};

struct CodedPage {
    PageSpan span;
    std::vector<PageStripe> stripes;
    std::vector<PageNumberMark> numbers;
};

// The three areas of the coded-text print, in device units.
struct CodedAreas {
    PrintRect codes, numbers, text;
    int spacing = 0; // between stripe columns
};

// Digits of the largest paragraph number, at least one.
int paragraphDigits(int paragraphs);
// The factor on Arial 10 pt that fits `digits` digits into 1.5 mm each, given the width the
// string of that many zeros takes at 10 pt.
double numberFontScale(int digits, int zerosWidthAt10pt, double dpi);
// The coded text's default height in points: Arial 10 pt times the numbers' scale, 12.5 pt for
// the Arabic character set (178), whose script reads small at 10.
double defaultTextPoints(int charSet, double scale);
// The codes area holds the widest label and the stripe columns, at most a third of the
// printable width; numbers and text follow.
CodedAreas codedAreas(const PageFrame& frame, double dpi, int digits, int widestLabel, int columns);

// Pages of the coded text: stripes are handed in with their characters in the document's
// positions (the screen's columns are ignored: they are assigned again on the printer's
// lines); paragraphStarts are the positions of the paragraphs' first characters, ascending.
std::vector<CodedPage> layOutCodedText(const LineMetrics& lines, const CodedAreas& areas,
                                       const std::vector<CodingStripe>& stripes,
                                       const std::vector<std::int32_t>& paragraphStarts,
                                       int labelHeight);

} // namespace vexana::browser
