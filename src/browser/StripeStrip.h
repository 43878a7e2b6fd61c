#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace vexana::browser {

// One coding of the open text as the stripe beside it.
struct CodingStripe {
    std::int32_t codingId = 0;
    std::int32_t code = 0;
    std::int32_t startChar = 0;
    std::int32_t finishChar = 0;
    std::int32_t weight = 100;
    std::string label;
    int firstLine = -1; // -1 until the control has said
    int lastLine = -1;
    int column = 1;
    int top = 0;
    int bottom = -1; // -1: not laid out
    int flags = 0;
    std::uint32_t colour = 0x008000;
    int labelStack = 0;
    int labelColumn = 0;
    int labelY = 0;

    static constexpr int Highlighted = 1, Changed = 2, Deleted = 4;
    bool deleted() const { return flags & Deleted; }
    bool laidOut() const { return bottom != -1; }
};

// What the strip needs to know of the text control's layout.
struct TextGeometry {
    std::function<int(std::int32_t)> lineOf;  // display line of a character
    std::function<int(int)> yOfLine;          // top pixel of a display line
    std::function<int(std::int32_t)> yOfChar; // top pixel of a character
    int lineCount = 0;
    std::int32_t firstVisibleChar = 0;
    int height = 0; // of the window
};

// The stripes of the open text: their columns, extents and labels, computed without any
// window; the shell paints what this says.
class StripeStrip {
public:
    static constexpr int ColumnStep = 9;
    static constexpr int LabelHeight = 13;

    // Ordered by start; equal starts keep the order they came in.
    void add(CodingStripe stripe);
    bool update(const CodingStripe& stripe);
    bool remove(std::int32_t codingId);
    void clear() { stripes_.clear(); }
    const std::vector<CodingStripe>& stripes() const { return stripes_; }
    std::vector<CodingStripe>& stripes() { return stripes_; }

    // Lines from the control; columns are reassigned when any line changed.
    void updateLines(const std::function<int(std::int32_t)>& lineOf);
    void assignColumns();
    int largestColumn() const;
    void layOut(const TextGeometry& g);
    void layOutLabels(int first, int last);

    // x of a column, counted from the strip's outer edge.
    static int columnX(int column) { return 4 + ColumnStep * (column - 1); }
    // The width the stripes (and, when shown, their labels) need.
    int neededWidth(bool labels, const std::function<int(const std::string&)>& labelWidth) const;
    // The stripe under a point (x from the outer edge), or -1.
    int hitTest(int x, int y) const;
    static std::uint32_t lighten(std::uint32_t rgb);

private:
    std::vector<CodingStripe> stripes_;
};

// A memo placed in the text, as edits move it.
struct MemoPlace {
    std::int32_t memoId = 0;
    std::int32_t pos = 0;
    int flags = 0;
};

// The first line of a memo icon's tooltip: "Title (Author, date)", or "Title (date)" without
// an author.
std::string memoHeading(std::string_view title, std::string_view author, std::string_view date);

// Keeps stripes and memo places on their characters while the user edits the text: a change
// is known by the length before and after and by the selection (s, e) before it.
void followEdit(std::vector<CodingStripe>& stripes, std::vector<MemoPlace>& memos,
                std::int32_t lengthBefore, std::int32_t lengthAfter, std::int32_t s,
                std::int32_t e);

// The range [start, end) of `before` that an edit replaced, found from the texts themselves
// (a control's own report may claim the whole text for a one-character change).
struct ChangedRange {
    std::int32_t start = 0;
    std::int32_t end = 0;
};
ChangedRange changedRange(std::u32string_view before, std::u32string_view after);

} // namespace vexana::browser
