#include "ParagraphTable.h"

#include "RichText.h"

#include <algorithm>

namespace vexana::platform {

ParagraphTable::ParagraphTable(const RichText& text) : ParagraphTable(text.chars()) {}

ParagraphTable::ParagraphTable(const std::u32string& plain) {
    const auto last = static_cast<std::int32_t>(plain.size()) - 1;
    std::int32_t i = 0;
    while (i <= last && plain[static_cast<std::size_t>(i)] == U'\r')
        ++i;
    if (i > last) return;
    std::int32_t start = i;
    for (; i <= last; ++i) {
        if (plain[static_cast<std::size_t>(i)] != U'\r') continue;
        pairs_.emplace_back(start, i);
        start = i + 1;
    }
    std::erase_if(pairs_, [](const auto& p) { return p.first == p.second; });
    // The last paragraph ends at its last character, so one of a single character has
    // equal ends too and is no empty one.
    if (start <= last) pairs_.emplace_back(start, last);
}

std::pair<std::int32_t, std::int32_t> ParagraphTable::paragraph(int n) const {
    if (n < 1 || n > count()) return {0, 0};
    return pairs_[static_cast<std::size_t>(n - 1)];
}

int ParagraphTable::numberOf(std::int32_t p) const {
    if (pairs_.size() < 2) return 1;
    if (p < 0 || p > pairs_.back().second) return 0;
    // The first pair whose end is at or after p; the previous end bounds it from below.
    const auto it =
        std::lower_bound(pairs_.begin(), pairs_.end(), p,
                         [](const auto& pair, std::int32_t v) { return pair.second < v; });
    return static_cast<int>(it - pairs_.begin()) + 1;
}

} // namespace vexana::platform
