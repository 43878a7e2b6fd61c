#include "ViewLayout.h"

namespace vexana::shell {

int validViewState(int mask) {
    return mask >= 2 && mask <= 30 && mask % 2 == 0 ? mask : ViewBit::All;
}

PaneArrangement arrange(int mask) {
    mask = validViewState(mask);
    PaneArrangement a;
    if (mask & ViewBit::DocumentSystem) a.left.push_back(ViewBit::DocumentSystem);
    if (mask & ViewBit::CodeSystem) a.left.push_back(ViewBit::CodeSystem);
    if (mask & ViewBit::TextBrowser) a.right.push_back(ViewBit::TextBrowser);
    if (mask & ViewBit::RetrievedSegments) a.right.push_back(ViewBit::RetrievedSegments);
    return a;
}

int toggleView(int mask, int bit) {
    const int flipped = validViewState(mask) ^ bit;
    return (flipped & ViewBit::All) == 0 ? validViewState(mask) : flipped;
}

} // namespace vexana::shell
