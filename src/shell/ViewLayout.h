#pragma once

#include <vector>

namespace vexana::shell {

// The bits of the four main windows in the layout mask.
namespace ViewBit {
inline constexpr int DocumentSystem = 2, TextBrowser = 4, RetrievedSegments = 8, CodeSystem = 16,
                     All = 30;
}

// Which windows stand where: the left column (Document System over Code System) and the
// right column (Text Browser over Retrieved Segments), each holding what the mask shows.
// With one column left, its windows are stacked; with one window, it fills the area.
struct PaneArrangement {
    std::vector<int> left;  // window bits, top to bottom
    std::vector<int> right; // window bits, top to bottom
    int columns() const { return (left.empty() ? 0 : 1) + (right.empty() ? 0 : 1); }
};

// A mask read from outside becomes a valid one: an even value from 2 to 30, else all four.
int validViewState(int mask);
PaneArrangement arrange(int mask);
// Flips a window's bit; the last visible window stays on. Returns the new mask.
int toggleView(int mask, int bit);

} // namespace vexana::shell
