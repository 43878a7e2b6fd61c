#include "RichText.h"

#include "platform/Utf8.h"

#include <algorithm>
#include <unicode/uchar.h>

namespace vexana::platform {

namespace {

// Simple case folding, with the common ASCII case done without a table lookup.
char32_t fold(char32_t c) {
    if (c < 0x80) return c >= U'A' && c <= U'Z' ? c + 32 : c;
    return static_cast<char32_t>(u_foldCase(static_cast<UChar32>(c), U_FOLD_CASE_DEFAULT));
}

} // namespace

RichText::RichText() {
    formats_.push_back(CharFormat{});
    runs_.push_back({0, 0});
    paraFormats_.push_back(ParaFormat{});
    paraFmt_.push_back(0);
}

void RichText::touch() {
    plainValid_ = false;
    endsValid_ = false;
    foldedValid_ = false;
}

int RichText::formatIndex(const CharFormat& f) {
    // Documents use few distinct formats; the newest ones are the likeliest matches.
    for (std::size_t i = formats_.size(); i-- > 0;)
        if (formats_[i] == f) return static_cast<int>(i);
    formats_.push_back(f);
    return static_cast<int>(formats_.size() - 1);
}

int RichText::paraFormatIndex(const ParaFormat& f) {
    for (std::size_t i = paraFormats_.size(); i-- > 0;)
        if (paraFormats_[i] == f) return static_cast<int>(i);
    paraFormats_.push_back(f);
    return static_cast<int>(paraFormats_.size() - 1);
}

RichText RichText::fromPlain(std::string_view utf8, const CharFormat& format) {
    RichText r;
    r.formats_[0] = format;
    for (std::size_t i = 0; i < utf8.size();) {
        char32_t c = utf8Decode(utf8, i);
        if (c == U'\r' && i < utf8.size() && utf8[i] == '\n') ++i;
        if (c == U'\n') c = U'\r';
        if (c == 0) continue;
        r.chars_.push_back(c);
        if (c == U'\r') r.paraFmt_.push_back(0);
    }
    return r;
}

void RichText::appendChars(std::u32string_view chars, const CharFormat& format) {
    if (chars.empty()) return;
    const auto pos = static_cast<std::int32_t>(chars_.size());
    if (formats_[static_cast<std::size_t>(runs_.back().format)] != format) {
        const int idx = formatIndex(format);
        if (runs_.back().start == pos) {
            runs_.back().format = idx;
            if (runs_.size() > 1 && runs_[runs_.size() - 2].format == idx) runs_.pop_back();
        } else {
            runs_.push_back({pos, idx});
        }
    }
    chars_.append(chars);
    for (char32_t c : chars)
        if (c == U'\r') paraFmt_.push_back(paraFmt_.back());
    touch();
}

void RichText::setParagraphFormatAt(int paragraph, const ParaFormat& format) {
    if (paragraph < 0 || paragraph >= static_cast<int>(paraFmt_.size())) return;
    paraFmt_[static_cast<std::size_t>(paragraph)] = paraFormatIndex(format);
}

const std::string& RichText::plainText() const {
    if (!plainValid_) {
        plainCache_.clear();
        plainCache_.reserve(chars_.size());
        for (char32_t c : chars_)
            utf8Append(plainCache_, c);
        plainValid_ = true;
    }
    return plainCache_;
}

void RichText::clampRange(std::int32_t& a, std::int32_t& b) const {
    a = std::clamp(a, 0, length());
    b = std::clamp(b, a, length());
}

std::string RichText::text(std::int32_t a, std::int32_t b) const {
    clampRange(a, b);
    std::string out;
    for (std::int32_t i = a; i < b; ++i)
        utf8Append(out, chars_[static_cast<std::size_t>(i)]);
    return out;
}

CharFormat RichText::charFormatAt(std::int32_t pos) const {
    auto it = std::upper_bound(runs_.begin(), runs_.end(), pos,
                               [](std::int32_t p, const Run& r) { return p < r.start; });
    if (it != runs_.begin()) --it;
    return formats_[static_cast<std::size_t>(it->format)];
}

void RichText::splitRunAt(std::int32_t pos) {
    if (pos <= 0 || pos >= length()) return;
    auto it = std::upper_bound(runs_.begin(), runs_.end(), pos,
                               [](std::int32_t p, const Run& r) { return p < r.start; });
    const Run& prev = *(it - 1);
    if (prev.start == pos) return;
    runs_.insert(it, {pos, prev.format});
}

void RichText::normalizeRuns() {
    std::vector<Run> out;
    out.reserve(runs_.size());
    for (const Run& r : runs_) {
        if (r.start >= length() && !out.empty()) continue;
        if (!out.empty() && out.back().start == r.start)
            out.back().format = r.format;
        else if (!out.empty() && out.back().format == r.format)
            continue;
        else
            out.push_back(r);
        if (out.size() >= 2 && out[out.size() - 2].format == out.back().format) out.pop_back();
    }
    if (out.empty()) out.push_back({0, runs_.empty() ? 0 : runs_.front().format});
    out.front().start = 0;
    runs_.swap(out);
}

void RichText::setCharFormat(std::int32_t a, std::int32_t b, const CharFormat& format, int mask) {
    clampRange(a, b);
    if (a == b) return;
    splitRunAt(a);
    splitRunAt(b);
    for (auto& r : runs_) {
        if (r.start < a || r.start >= b) continue;
        CharFormat f = formats_[static_cast<std::size_t>(r.format)];
        if (mask & CharMask::Font) f.font = format.font;
        if (mask & CharMask::Size) f.size = format.size;
        if (mask & CharMask::Bold) f.bold = format.bold;
        if (mask & CharMask::Italic) f.italic = format.italic;
        if (mask & CharMask::Underline) f.underline = format.underline;
        if (mask & CharMask::Color) f.color = format.color;
        if (mask & CharMask::Background) f.background = format.background;
        r.format = formatIndex(f);
    }
    normalizeRuns();
}

const std::vector<std::int32_t>& RichText::paragraphEnds() const {
    if (!endsValid_) {
        endsCache_.clear();
        for (std::size_t i = 0; i < chars_.size(); ++i)
            if (chars_[i] == U'\r') endsCache_.push_back(static_cast<std::int32_t>(i));
        endsValid_ = true;
    }
    return endsCache_;
}

int RichText::paragraphCount() const {
    return static_cast<int>(paragraphEnds().size()) + 1;
}

int RichText::paragraphOf(std::int32_t pos) const {
    const auto& ends = paragraphEnds();
    return static_cast<int>(std::lower_bound(ends.begin(), ends.end(), pos) - ends.begin());
}

std::pair<std::int32_t, std::int32_t> RichText::paragraphRange(int paragraph) const {
    const auto& ends = paragraphEnds();
    if (paragraph < 0 || paragraph > static_cast<int>(ends.size())) return {0, 0};
    const std::int32_t start =
        paragraph == 0 ? 0 : ends[static_cast<std::size_t>(paragraph - 1)] + 1;
    const std::int32_t end = paragraph < static_cast<int>(ends.size())
                                 ? ends[static_cast<std::size_t>(paragraph)]
                                 : length();
    return {start, end};
}

const ParaFormat& RichText::paraFormat(int paragraph) const {
    if (paragraph < 0 || paragraph >= static_cast<int>(paraFmt_.size()))
        return paraFormats_.front();
    return paraFormats_[static_cast<std::size_t>(paraFmt_[static_cast<std::size_t>(paragraph)])];
}

void RichText::setParaFormat(std::int32_t a, std::int32_t b, const ParaFormat& format) {
    clampRange(a, b);
    const int idx = paraFormatIndex(format);
    for (int p = paragraphOf(a), last = paragraphOf(b); p <= last; ++p)
        paraFmt_[static_cast<std::size_t>(p)] = idx;
}

void RichText::replace(std::int32_t a, std::int32_t b, std::string_view plainUtf8) {
    clampRange(a, b);
    RichText ins = fromPlain(plainUtf8, charFormatAt(a > 0 ? a - 1 : 0));
    const ParaFormat pf = paraFormat(paragraphOf(a));
    for (int p = 0; p < ins.paragraphCount(); ++p)
        ins.setParagraphFormatAt(p, pf);
    replace(a, b, ins);
}

void RichText::replace(std::int32_t a, std::int32_t b, const RichText& ins) {
    clampRange(a, b);
    const int pa = paragraphOf(a), pb = paragraphOf(b);
    const std::int32_t delta = ins.length() - (b - a);

    // Character runs: ours before a, the inserted ones, ours from b on (shifted).
    std::vector<Run> runs;
    runs.reserve(runs_.size() + ins.runs_.size() + 1);
    const CharFormat atB = charFormatAt(b);
    for (const Run& r : runs_)
        if (r.start < a) runs.push_back(r);
    for (const Run& r : ins.runs_)
        if (r.start < ins.length())
            runs.push_back(
                {a + r.start, formatIndex(ins.formats_[static_cast<std::size_t>(r.format)])});
    bool tailStarted = false;
    for (const Run& r : runs_) {
        if (r.start <= b) continue;
        if (!tailStarted && r.start > b) {
            runs.push_back({b + delta, formatIndex(atB)});
            tailStarted = true;
        }
        runs.push_back({r.start + delta, r.format});
    }
    if (!tailStarted) runs.push_back({b + delta, formatIndex(atB)});

    // Paragraph formats: the inserted paragraphs closed by inserted returns keep theirs;
    // the one closed by our old return after b keeps that paragraph's.
    std::vector<int> paras(paraFmt_.begin(), paraFmt_.begin() + pa);
    const int insCount = ins.paragraphCount();
    if (insCount == 1) {
        paras.push_back(paraFmt_[static_cast<std::size_t>(pa)]);
    } else {
        for (int p = 0; p + 1 < insCount; ++p)
            paras.push_back(paraFormatIndex(ins.paraFormat(p)));
        paras.push_back(paraFmt_[static_cast<std::size_t>(pb)]);
    }
    paras.insert(paras.end(), paraFmt_.begin() + pb + 1, paraFmt_.end());

    chars_.replace(static_cast<std::size_t>(a), static_cast<std::size_t>(b - a), ins.chars_);
    runs_.swap(runs);
    paraFmt_.swap(paras);
    touch();
    normalizeRuns();
}

void RichText::append(const RichText& rich) {
    const int base = paragraphCount() - 1;
    const std::u32string_view chars(rich.chars_);
    for (std::size_t r = 0; r < rich.runs_.size(); ++r) {
        const auto a = static_cast<std::size_t>(rich.runs_[r].start);
        const auto b = static_cast<std::size_t>(r + 1 < rich.runs_.size() ? rich.runs_[r + 1].start
                                                                          : rich.length());
        if (a < b)
            appendChars(chars.substr(a, b - a),
                        rich.formats_[static_cast<std::size_t>(rich.runs_[r].format)]);
    }
    // As with replace: paragraphs closed by appended returns keep their formats, the open
    // last one keeps ours.
    for (int p = 0; p + 1 < rich.paragraphCount(); ++p)
        setParagraphFormatAt(base + p, rich.paraFormat(p));
}

RichText RichText::range(std::int32_t a, std::int32_t b) const {
    clampRange(a, b);
    RichText r;
    r.chars_ = chars_.substr(static_cast<std::size_t>(a), static_cast<std::size_t>(b - a));
    r.formats_ = formats_;
    r.runs_.clear();
    auto it = std::upper_bound(runs_.begin(), runs_.end(), a,
                               [](std::int32_t p, const Run& x) { return p < x.start; });
    if (it != runs_.begin()) --it;
    r.runs_.push_back({0, it->format});
    for (++it; it != runs_.end() && it->start < b; ++it)
        r.runs_.push_back({it->start - a, it->format});
    r.paraFormats_ = paraFormats_;
    r.paraFmt_.assign(paraFmt_.begin() + paragraphOf(a), paraFmt_.begin() + paragraphOf(b) + 1);
    r.normalizeRuns();
    return r;
}

Ranges mergeRanges(Ranges input) {
    std::erase_if(input, [](const auto& r) { return r.first >= r.second; });
    std::sort(input.begin(), input.end());
    Ranges out;
    for (const auto& r : input) {
        if (!out.empty() && r.first <= out.back().second)
            out.back().second = std::max(out.back().second, r.second);
        else
            out.push_back(r);
    }
    return out;
}

void RichText::removeRanges(const std::vector<std::pair<std::int32_t, std::int32_t>>& input) {
    Ranges clamped;
    for (auto [a, b] : input) {
        clampRange(a, b);
        clamped.emplace_back(a, b);
    }
    const Ranges ranges = mergeRanges(std::move(clamped));
    if (ranges.empty()) return;
    // Offsets after the removal: ranges are sorted, so a binary search finds what lies before.
    std::vector<std::int32_t> removedBefore(ranges.size() + 1, 0);
    for (std::size_t i = 0; i < ranges.size(); ++i)
        removedBefore[i + 1] = removedBefore[i] + ranges[i].second - ranges[i].first;
    auto map = [&](std::int32_t p) {
        const auto it = std::upper_bound(ranges.begin(), ranges.end(), p,
                                         [](std::int32_t v, const auto& r) { return v < r.first; });
        const std::size_t k =
            static_cast<std::size_t>(it - ranges.begin()); // ranges starting at or before p
        if (k == 0) return p;
        const auto& r = ranges[k - 1];
        return (p < r.second ? r.first : p - (r.second - r.first)) - removedBefore[k - 1];
    };

    // Paragraphs: one whose end is removed joins the next and keeps its own format.
    const std::vector<std::int32_t> ends = paragraphEnds();
    std::vector<int> paras;
    paras.reserve(paraFmt_.size());
    int current = -1;
    std::size_t r = 0;
    for (std::size_t p = 0; p < ends.size(); ++p) {
        if (current < 0) current = paraFmt_[p];
        while (r < ranges.size() && ranges[r].second <= ends[p])
            ++r;
        const bool gone = r < ranges.size() && ranges[r].first <= ends[p];
        if (!gone) {
            paras.push_back(current);
            current = -1;
        }
    }
    paras.push_back(current < 0 ? paraFmt_.back() : current);

    // Compacted in place: a second buffer of a long text costs more in fresh pages than
    // in copying.
    for (Run& run : runs_)
        run.start = map(std::min(run.start, length()));
    std::size_t kept = static_cast<std::size_t>(ranges.front().first);
    for (std::size_t i = 0; i < ranges.size(); ++i) {
        const auto from = static_cast<std::size_t>(ranges[i].second);
        const std::size_t to =
            i + 1 < ranges.size() ? static_cast<std::size_t>(ranges[i + 1].first) : chars_.size();
        std::char_traits<char32_t>::move(chars_.data() + kept, chars_.data() + from, to - from);
        kept += to - from;
    }
    chars_.resize(kept);
    paraFmt_.swap(paras);
    touch();
    normalizeRuns();
}

std::vector<std::int32_t> RichText::findAll(std::string_view needleUtf8, bool caseSensitive) const {
    std::vector<std::int32_t> hits;
    const std::int32_t n = static_cast<std::int32_t>(utf8Length(needleUtf8));
    for (std::int32_t p = find(needleUtf8, 0, caseSensitive); p >= 0 && n > 0;
         p = find(needleUtf8, p + n, caseSensitive))
        hits.push_back(p);
    return hits;
}

std::int32_t RichText::find(std::string_view needleUtf8, std::int32_t from,
                            bool caseSensitive) const {
    std::u32string needle;
    for (std::size_t i = 0; i < needleUtf8.size();)
        needle.push_back(utf8Decode(needleUtf8, i));
    if (needle.empty() || from < 0 || from > length()) return -1;
    const std::u32string* hay = &chars_;
    if (!caseSensitive) {
        if (!foldedValid_) {
            foldedCache_ = chars_;
            for (char32_t& c : foldedCache_)
                c = fold(c);
            foldedValid_ = true;
        }
        hay = &foldedCache_;
        for (char32_t& c : needle)
            c = fold(c);
    }
    const auto pos = hay->find(needle, static_cast<std::size_t>(from));
    return pos == std::u32string::npos ? -1 : static_cast<std::int32_t>(pos);
}

bool RichText::sameContent(const RichText& other) const {
    if (chars_ != other.chars_ || paragraphCount() != other.paragraphCount()) return false;
    for (int p = 0; p < paragraphCount(); ++p)
        if (!(paraFormat(p) == other.paraFormat(p))) return false;
    // Compare formats character by character through both run lists.
    std::size_t i = 0, j = 0;
    for (std::int32_t pos = 0; pos < length();) {
        while (i + 1 < runs_.size() && runs_[i + 1].start <= pos)
            ++i;
        while (j + 1 < other.runs_.size() && other.runs_[j + 1].start <= pos)
            ++j;
        if (!(formats_[static_cast<std::size_t>(runs_[i].format)] ==
              other.formats_[static_cast<std::size_t>(other.runs_[j].format)]))
            return false;
        const std::int32_t nextA = i + 1 < runs_.size() ? runs_[i + 1].start : length();
        const std::int32_t nextB = j + 1 < other.runs_.size() ? other.runs_[j + 1].start : length();
        pos = std::min(nextA, nextB);
    }
    return true;
}

std::vector<std::int32_t> paragraphEndsOf(std::string_view body) {
    return RichText::fromRtf(body).paragraphEnds();
}

} // namespace vexana::platform
