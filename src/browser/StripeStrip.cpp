#include "StripeStrip.h"

#include <algorithm>
#include <cstdlib>

namespace vexana::browser {

void StripeStrip::add(CodingStripe stripe) {
    const auto at =
        std::upper_bound(stripes_.begin(), stripes_.end(), stripe.startChar,
                         [](std::int32_t s, const CodingStripe& x) { return s < x.startChar; });
    stripes_.insert(at, std::move(stripe));
}

bool StripeStrip::update(const CodingStripe& stripe) {
    if (!remove(stripe.codingId)) return false;
    add(stripe);
    return true;
}

bool StripeStrip::remove(std::int32_t codingId) {
    const auto n = stripes_.size();
    std::erase_if(stripes_, [&](const CodingStripe& s) { return s.codingId == codingId; });
    return stripes_.size() != n;
}

void StripeStrip::updateLines(const std::function<int(std::int32_t)>& lineOf) {
    bool changed = false;
    for (auto& s : stripes_) {
        const int first = lineOf(s.startChar),
                  last = lineOf(std::max(s.startChar, s.finishChar - 1));
        changed = changed || first != s.firstLine || last != s.lastLine;
        s.firstLine = first;
        s.lastLine = last;
    }
    if (changed) assignColumns();
}

namespace {
bool linesMeet(const CodingStripe& a, const CodingStripe& b) {
    return (b.firstLine <= a.firstLine && a.firstLine <= b.lastLine) ||
           (b.firstLine <= a.lastLine && a.lastLine <= b.lastLine);
}
} // namespace

void StripeStrip::assignColumns() {
    // Only stripes whose line ranges meet can push each other; listing those first keeps the
    // passes near linear on long texts. Lists are in array order, so the outcome is that of
    // visiting every pair.
    const std::size_t n = stripes_.size();
    std::vector<std::size_t> order;
    order.reserve(n);
    int longest = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const CodingStripe& s = stripes_[i];
        if (s.deleted()) continue;
        order.push_back(i);
        longest = std::max(longest, std::abs(s.lastLine - s.firstLine));
    }
    auto lo = [&](std::size_t i) { return std::min(stripes_[i].firstLine, stripes_[i].lastLine); };
    auto hi = [&](std::size_t i) { return std::max(stripes_[i].firstLine, stripes_[i].lastLine); };
    std::sort(order.begin(), order.end(),
              [&](std::size_t a, std::size_t b) { return lo(a) < lo(b); });
    std::vector<std::vector<std::size_t>> near(n);
    for (std::size_t k = 0; k < order.size(); ++k) {
        const std::size_t i = order[k];
        const auto from = std::lower_bound(order.begin(), order.end(), lo(i) - longest,
                                           [&](std::size_t a, int v) { return lo(a) < v; });
        for (auto it = from; it != order.end() && lo(*it) <= hi(i); ++it)
            if (*it != i && hi(*it) >= lo(i) &&
                (linesMeet(stripes_[i], stripes_[*it]) || linesMeet(stripes_[*it], stripes_[i])))
                near[i].push_back(*it);
        std::sort(near[i].begin(), near[i].end());
    }
    for (std::size_t i = 0; i < n; ++i) {
        CodingStripe& s = stripes_[i];
        if (s.deleted()) continue;
        s.column = 1;
        for (std::size_t j : near[i]) {
            if (j >= i) break;
            if (linesMeet(s, stripes_[j]) && s.column == stripes_[j].column) ++s.column;
        }
    }
    // Bounded: each pass raises a column, and no column exceeds the number of stripes.
    for (std::size_t pass = 0; pass <= n; ++pass) {
        bool changed = false;
        for (std::size_t i = 0; i < n; ++i)
            for (std::size_t j : near[i])
                if (linesMeet(stripes_[i], stripes_[j]) &&
                    stripes_[i].column == stripes_[j].column) {
                    ++stripes_[i].column;
                    changed = true;
                }
        if (!changed) break;
    }
}

int StripeStrip::largestColumn() const {
    int largest = 0;
    for (const auto& s : stripes_)
        if (!s.deleted()) largest = std::max(largest, s.column);
    return largest;
}

void StripeStrip::layOut(const TextGeometry& g) {
    for (auto& s : stripes_) {
        s.bottom = -1;
        s.labelStack = 0;
    }
    int first = -1, last = -1;
    for (std::size_t i = 0; i < stripes_.size(); ++i) {
        CodingStripe& s = stripes_[i];
        if (s.deleted()) continue;
        if (s.startChar < g.firstVisibleChar && s.finishChar < g.firstVisibleChar) continue;
        const int y = g.yOfChar(s.startChar);
        if (y >= g.height) break;
        s.top = std::max(y, 0) + 1;
        const int line = s.lastLine;
        s.bottom = line + 1 < g.lineCount ? g.yOfLine(line + 1) - 2 : g.yOfLine(line) + 14;
        s.labelY = s.top + (s.bottom - s.top) / 2 - 7;
        if (first < 0) first = static_cast<int>(i);
        last = static_cast<int>(i);
    }
    if (first >= 0) layOutLabels(first, last);
}

void StripeStrip::layOutLabels(int first, int last) {
    // Pairwise until nothing moves; each pass moves a label down, and labels only go down.
    for (int pass = 0; pass < 10000; ++pass) {
        bool moved = false;
        for (int i = first; i <= last; ++i)
            for (int j = i + 1; j <= last; ++j) {
                CodingStripe& a = stripes_[static_cast<std::size_t>(i)];
                CodingStripe& b = stripes_[static_cast<std::size_t>(j)];
                if (!a.laidOut() || !b.laidOut() || std::abs(a.labelY - b.labelY) >= LabelHeight)
                    continue;
                CodingStripe& lower = b.labelY >= a.labelY ? b : a;
                const CodingStripe& upper = &lower == &b ? a : b;
                lower.labelY = upper.labelY + LabelHeight;
                moved = true;
            }
        if (!moved) break;
    }
    for (int i = first; i <= last; ++i) {
        CodingStripe& s = stripes_[static_cast<std::size_t>(i)];
        if (!s.laidOut()) continue;
        s.labelColumn = s.column;
        for (int j = first; j <= last; ++j) {
            const CodingStripe& o = stripes_[static_cast<std::size_t>(j)];
            if (o.laidOut() && o.top <= s.labelY + LabelHeight && o.bottom >= s.labelY)
                s.labelColumn = std::max(s.labelColumn, o.column);
        }
    }
}

int StripeStrip::neededWidth(bool labels,
                             const std::function<int(const std::string&)>& labelWidth) const {
    const int largest = largestColumn();
    int width = ColumnStep * largest;
    if (!labels) return width;
    int extra = 0;
    for (const auto& s : stripes_)
        if (!s.deleted()) extra = std::max(extra, 3 * s.column + labelWidth(s.label));
    return width + extra;
}

int StripeStrip::hitTest(int x, int y) const {
    for (std::size_t i = 0; i < stripes_.size(); ++i) {
        const CodingStripe& s = stripes_[i];
        if (s.deleted() || !s.laidOut()) continue;
        const int cx = columnX(s.column);
        if (x >= cx - 4 && x <= cx + 4 && y >= s.top - 1 && y <= s.bottom + 1)
            return static_cast<int>(i);
    }
    return -1;
}

std::uint32_t StripeStrip::lighten(std::uint32_t rgb) {
    auto part = [](std::uint32_t c) {
        return c <= 127 ? c + c / 2 + c / 4 : c + (255 - c) / 2 + (255 - c) / 4;
    };
    return part((rgb >> 16) & 255) << 16 | part((rgb >> 8) & 255) << 8 | part(rgb & 255);
}

void followEdit(std::vector<CodingStripe>& stripes, std::vector<MemoPlace>& memos,
                std::int32_t lengthBefore, std::int32_t lengthAfter, std::int32_t s,
                std::int32_t e) {
    if (lengthAfter < lengthBefore) {
        const std::int32_t d = lengthBefore - lengthAfter;
        for (auto& st : stripes) {
            if (st.deleted()) continue;
            const std::int32_t a = st.startChar, b = st.finishChar;
            bool touched = true;
            if (a >= s && b <= e)
                st.flags |= CodingStripe::Deleted;
            else if (a >= s && a <= e && b > e)
                st.startChar = s, st.finishChar = b - d;
            else if (b >= s && b <= e && a < s)
                st.finishChar = s;
            else if (a > e)
                st.startChar = a - d, st.finishChar = b - d;
            else if (a < s && b > e)
                st.finishChar = b - d;
            else
                touched = false;
            if (st.startChar >= st.finishChar) st.flags |= CodingStripe::Deleted;
            if (touched) st.flags |= CodingStripe::Changed;
        }
        for (auto& m : memos) {
            if (m.pos > s && m.pos < e)
                m.pos = s, m.flags |= CodingStripe::Changed;
            else if (m.pos >= e)
                m.pos -= d, m.flags |= CodingStripe::Changed;
        }
    } else if (lengthAfter > lengthBefore) {
        const std::int32_t n = lengthAfter - lengthBefore;
        for (auto& st : stripes) {
            if (st.deleted()) continue;
            if (st.startChar >= e)
                st.startChar += n, st.finishChar += n, st.flags |= CodingStripe::Changed;
            else if (st.startChar <= s && st.finishChar >= e)
                st.finishChar += n, st.flags |= CodingStripe::Changed;
        }
        for (auto& m : memos)
            if (m.pos >= e) m.pos += n, m.flags |= CodingStripe::Changed;
    } else {
        for (auto& st : stripes)
            if (!st.deleted() && st.startChar < std::max(e, s + 1) && st.finishChar > s)
                st.flags |= CodingStripe::Changed;
    }
}

ChangedRange changedRange(std::u32string_view before, std::u32string_view after) {
    const std::size_t shorter = std::min(before.size(), after.size());
    std::size_t prefix = 0;
    while (prefix < shorter && before[prefix] == after[prefix])
        ++prefix;
    std::size_t suffix = 0;
    while (suffix < shorter - prefix &&
           before[before.size() - 1 - suffix] == after[after.size() - 1 - suffix])
        ++suffix;
    return {static_cast<std::int32_t>(prefix), static_cast<std::int32_t>(before.size() - suffix)};
}

std::string memoHeading(std::string_view title, std::string_view author, std::string_view date) {
    std::string out(title);
    out += " (";
    if (!author.empty()) {
        out += author;
        out += ", ";
    }
    out += date;
    out += ")";
    return out;
}

} // namespace vexana::browser
