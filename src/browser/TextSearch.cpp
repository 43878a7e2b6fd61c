#include "TextSearch.h"

#include "analysis/CodingOperations.h"
#include "analysis/Workspace.h"
#include "platform/Files.h"
#include "platform/Utf8.h"
#include "platform/richtext/RichText.h"
#include "store/AppSettings.h"
#include "store/Schema.h"
#include "store/TopicStore.h"
#include "store/ValueText.h"

#include <algorithm>
#include <climits>
#include <map>
#include <unicode/uchar.h>
#include <unordered_map>

namespace vexana::browser {

using namespace vexana::store;

namespace {

// A leading integer as the option string's reader takes it: blanks, a sign, digits; what
// follows is ignored and a non-number is 0. Far too large numbers stop at the int32 range.
std::int32_t leadingInt(std::string_view s) {
    std::size_t i = 0;
    while (i < s.size() && (s[i] == ' ' || s[i] == '\t'))
        ++i;
    bool negative = false;
    if (i < s.size() && (s[i] == '-' || s[i] == '+')) negative = s[i++] == '-';
    long long v = 0;
    for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i)
        v = std::min<long long>(v * 10 + (s[i] - '0'), 1LL << 32);
    v = negative ? -v : v;
    return static_cast<std::int32_t>(std::clamp<long long>(v, INT32_MIN, INT32_MAX));
}

std::string blockText(const ByteBlock& b) {
    return std::string(b.begin(), b.end());
}

platform::RichText bodyOf(TopicStore& store, int topic, std::int32_t id, int field) {
    RecordCursor c;
    if (!store.GetRecord(topic, id, c, true)) return {};
    return platform::RichText::fromRtf(blockText(c.block(field)));
}

// Preview and body of [start, end) for a coding, from the body already read.
analysis::CodingTemplate templateOf(const platform::RichText& body, std::int32_t text,
                                    std::int32_t start, std::int32_t end, int startPara,
                                    int finishPara, std::int32_t code, int weight) {
    analysis::CodingTemplate t;
    t.text = text;
    t.code = code;
    t.start = start;
    t.finish = end;
    t.startPara = startPara;
    t.finishPara = finishPara;
    t.weight = weight;
    t.preview = body.text(start, std::min(end, start + 63));
    t.rtf = body.rangeToRtf(start, end);
    return t;
}

void appendPlain(platform::RichText& out, std::string_view utf8, const platform::CharFormat& f) {
    std::u32string chars = platform::utf8ToChars(utf8);
    for (char32_t& c : chars)
        if (c == U'\n') c = U'\r';
    out.appendChars(chars, f);
}

// Where paragraph n ends: its closing carriage return, or the text's end for the last one,
// whose table entry is its last character.
std::int32_t paragraphEnd(const platform::ParagraphTable& table, const std::u32string& plain,
                          int n) {
    const std::int32_t end = table.paragraph(n).second;
    const bool closed = static_cast<std::size_t>(end) < plain.size() &&
                        plain[static_cast<std::size_t>(end)] == U'\r';
    return closed ? end : std::min<std::int32_t>(end + 1, static_cast<std::int32_t>(plain.size()));
}

// The SearchResults records of one text, in record order.
struct ResultRun {
    std::int32_t text = 0;
    std::vector<std::int32_t> records;
};

std::vector<ResultRun> resultRuns(const TopicStore& store) {
    std::vector<ResultRun> runs;
    for (std::int32_t id : store.ListIds(TopicId::SearchResults)) {
        const std::int32_t text = store.GetInt(TopicId::SearchResults, id, 2);
        if (runs.empty() || runs.back().text != text) runs.push_back({text, {}});
        runs.back().records.push_back(id);
    }
    return runs;
}

} // namespace

// --- settings ---------------------------------------------------------------------------

std::string SearchSettings::optionString() const {
    std::string s;
    for (std::int32_t v : {std::int32_t(inMemos), std::int32_t(useAnd), std::int32_t(within),
                           withinParagraphs, std::int32_t(wholeWords), std::int32_t(caseSensitive),
                           std::int32_t(onlyActiveTexts), std::int32_t(onlyRetrievedSegments)}) {
        if (!s.empty()) s += '|';
        s += std::to_string(v);
    }
    for (const std::string& str : strings)
        s += '|' + str;
    return s;
}

SearchSettings SearchSettings::parse(std::string_view options) {
    SearchSettings s;
    std::int32_t numbers[8] = {0, 0, 0, 1, 0, 0, 0, 0};
    std::string_view rest = options;
    bool more = true;
    for (int k = 0; k < 8 && more; ++k) {
        const std::size_t bar = rest.find('|');
        numbers[k] = leadingInt(rest.substr(0, bar));
        more = bar != std::string_view::npos;
        rest = more ? rest.substr(bar + 1) : std::string_view();
    }
    while (more) {
        const std::size_t bar = rest.find('|');
        const std::string_view piece = rest.substr(0, bar);
        if (!piece.empty()) s.strings.emplace_back(piece);
        more = bar != std::string_view::npos;
        if (more) rest = rest.substr(bar + 1);
    }
    s.inMemos = numbers[0] != 0;
    s.useAnd = numbers[1] != 0;
    s.within = numbers[2] != 0;
    s.withinParagraphs = std::clamp(numbers[3], 1, maxWithinParagraphs);
    s.wholeWords = numbers[4] != 0;
    s.caseSensitive = numbers[5] != 0;
    s.onlyActiveTexts = numbers[6] != 0;
    s.onlyRetrievedSegments = numbers[7] != 0;
    return s;
}

std::string SearchSettings::refusal(std::string_view candidate) {
    if (candidate.find('|') != std::string_view::npos)
        return "A search string cannot contain \"|\": " + std::string(candidate);
    return {};
}

std::string SearchSettings::refusal() const {
    for (const std::string& s : strings)
        if (std::string why = refusal(s); !why.empty()) return why;
    return {};
}

SearchSettings parseSeaBytes(std::string_view bytes) {
    const std::size_t zero = bytes.find('\0');
    return SearchSettings::parse(platform::decodeTextFile(bytes.substr(0, zero)));
}

std::string readSeaFile(const std::string& path, SearchSettings& out) {
    std::string error;
    const auto bytes = platform::readFile(path, maxSeaFileBytes, &error);
    if (!bytes) return "The file " + path + " cannot be read: " + error + ".";
    out = parseSeaBytes(*bytes);
    return {};
}

std::string writeSeaFile(const std::string& path, const SearchSettings& settings) {
    if (std::string why = settings.refusal(); !why.empty()) return why;
    std::string contents = settings.optionString();
    contents.push_back('\0');
    const std::string error = platform::writeFileAtomic(path, contents);
    return error.empty() ? error : "The file " + path + " cannot be written: " + error + ".";
}

SearchSettings storedSearchSettings(const AppSettings& settings) {
    return SearchSettings::parse(settings.profile().readString(lookForSection, "Data"));
}

std::string storedSearchFolder(const AppSettings& settings) {
    return settings.profile().readString(lookForSection, "DefaultPath");
}

void storeSearchSettings(AppSettings& settings, const SearchSettings& search,
                         const std::string& folder) {
    settings.profile().writeString(lookForSection, "Data", search.optionString());
    settings.profile().writeString(lookForSection, "DefaultPath", folder);
}

// --- words and case ---------------------------------------------------------------------

WordDelimiters::WordDelimiters() {
    for (char32_t c : std::u32string_view(U"@!\u00A7$%&/()=?^\u00B0'\u00B4`\"{}[]\\#+*_.:,;<>~"))
        add(c);
    add(U'\n');
    add(U'\r');
    add(U'\t');
    add(U' ');
}

WordDelimiters::WordDelimiters(std::string_view ownSetUtf8) : WordDelimiters() {
    if (ownSetUtf8.find_first_not_of(' ') == std::string_view::npos) return;
    std::fill(std::begin(latin_), std::end(latin_), false);
    others_.clear();
    for (char32_t c : platform::utf8ToChars(ownSetUtf8))
        add(c);
    add(U'\n');
    add(U'\r');
    add(U'\t');
    add(U' ');
}

void WordDelimiters::add(char32_t c) {
    if (c < 256)
        latin_[c] = true;
    else if (!contains(c))
        others_.push_back(c);
}

char32_t foldCase(char32_t c) {
    if (c < 0x80) return c >= U'A' && c <= U'Z' ? c + 32 : c;
    return static_cast<char32_t>(u_foldCase(static_cast<UChar32>(c), U_FOLD_CASE_DEFAULT));
}

// --- searching --------------------------------------------------------------------------

SearchPattern::SearchPattern(const SearchSettings& settings, WordDelimiters delimiters)
    : settings_(settings), delimiters_(std::move(delimiters)) {
    std::erase_if(settings_.strings, [](const std::string& s) { return s.empty(); });
    settings_.withinParagraphs =
        std::clamp(settings_.withinParagraphs, 1, SearchSettings::maxWithinParagraphs);
    for (const std::string& s : settings_.strings) {
        needles_.push_back(platform::utf8ToChars(s));
        if (!settings_.caseSensitive)
            for (char32_t& c : needles_.back())
                c = foldCase(c);
    }
}

std::size_t SearchPattern::searchObject(std::u32string& plain, std::int32_t object,
                                        std::int32_t type,
                                        const std::vector<RetrievedRange>* segments,
                                        std::vector<SearchHit>& hits) const {
    if (!settings_.caseSensitive)
        for (char32_t& c : plain)
            c = foldCase(c);
    const std::size_t first = hits.size();
    const std::u32string_view hay(plain);
    std::optional<platform::ParagraphTable> paragraphs;
    for (std::size_t i = 0; i < needles_.size(); ++i) {
        const std::u32string_view needle(needles_[i]);
        const std::size_t n = needle.size();
        for (std::size_t p = hay.find(needle); p != std::u32string_view::npos;
             p = hay.find(needle, p + n)) {
            if (settings_.wholeWords && ((p > 0 && !delimiters_.contains(hay[p - 1])) ||
                                         (p + n < hay.size() && !delimiters_.contains(hay[p + n]))))
                continue;
            const auto start = static_cast<std::int32_t>(p);
            if (segments && std::none_of(segments->begin(), segments->end(), [&](const auto& s) {
                    return s.begin <= start && start <= s.end;
                }))
                continue;
            if (!paragraphs) paragraphs.emplace(plain);
            hits.push_back({static_cast<std::int32_t>(i), object, type,
                            std::max(1, paragraphs->numberOf(start)), start,
                            start + static_cast<std::int32_t>(n)});
        }
    }
    if (settings_.useAnd && hits.size() > first) {
        std::vector<bool> found(needles_.size(), false);
        for (std::size_t h = first; h < hits.size(); ++h)
            found[static_cast<std::size_t>(hits[h].string)] = true;
        if (std::find(found.begin(), found.end(), false) != found.end())
            hits.resize(first);
        else if (settings_.within)
            keepWithin(hits, first);
    }
    return hits.size() - first;
}

// A hit stays while every other string keeps a hit less than N paragraphs away. Whether a hit
// stays depends only on its string and paragraph, and dropping one never helps another, so
// the hits that stay are the same whatever order they are dropped in: whole (string,
// paragraph) pairs are dropped until a pass drops none.
void SearchPattern::keepWithin(std::vector<SearchHit>& hits, std::size_t first) const {
    const std::int32_t n = settings_.withinParagraphs;
    std::vector<std::map<std::int32_t, int>> places(needles_.size());
    for (std::size_t h = first; h < hits.size(); ++h)
        ++places[static_cast<std::size_t>(hits[h].string)][hits[h].paragraph];
    const auto near = [&](std::size_t s, std::int32_t p) {
        const auto it = places[s].lower_bound(p - n + 1);
        return it != places[s].end() && it->first <= p + n - 1;
    };
    for (bool dropped = true; dropped;) {
        dropped = false;
        for (std::size_t s = 0; s < places.size(); ++s) {
            for (auto it = places[s].begin(); it != places[s].end();) {
                bool stays = true;
                for (std::size_t other = 0; other < places.size() && stays; ++other)
                    stays = other == s || near(other, it->first);
                if (stays) {
                    ++it;
                } else {
                    it = places[s].erase(it);
                    dropped = true;
                }
            }
        }
    }
    const auto gone = [&](const SearchHit& h) {
        return !places[static_cast<std::size_t>(h.string)].contains(h.paragraph);
    };
    hits.erase(std::remove_if(hits.begin() + static_cast<std::ptrdiff_t>(first), hits.end(), gone),
               hits.end());
}

std::vector<RetrievedRange> TextSearch::retrievedRanges() const {
    const TopicStore& st = ws_.store();
    std::vector<RetrievedRange> out;
    out.reserve(ws_.retrieved.size());
    for (std::int32_t id : ws_.retrieved)
        out.push_back({st.GetInt(TopicId::Codings, id, CodingField::Text),
                       st.GetInt(TopicId::Codings, id, CodingField::StartChar),
                       st.GetInt(TopicId::Codings, id, CodingField::FinishChar)});
    std::stable_sort(out.begin(), out.end(),
                     [](const auto& a, const auto& b) { return a.text < b.text; });
    return out;
}

SearchOutcome TextSearch::run(const SearchSettings& settings,
                              const std::vector<RetrievedRange>& retrieved,
                              const WordDelimiters& delimiters) {
    const SearchPattern pattern(settings, delimiters);
    const SearchSettings& s = pattern.settings();
    SearchOutcome out;
    out.strings = s.strings;
    TopicStore& st = ws_.store();
    const bool texts = !s.inMemos;
    const int topic = texts ? TopicId::Texts : TopicId::Memos;
    const int bodyField = texts ? TextField::Body : MemoField::Body;
    std::unordered_map<std::int32_t, std::vector<RetrievedRange>> segments;
    const bool onlyRetrieved = texts && s.onlyRetrievedSegments;
    if (onlyRetrieved)
        for (const RetrievedRange& r : retrieved)
            segments[r.text].push_back(r);
    static const std::vector<RetrievedRange> none;
    UserInterface& ui = ws_.ui();
    ui.progressOpen();
    const std::string label = texts ? "Texts" : "Memos";
    for (std::int32_t id : st.ListIds(topic)) {
        const std::vector<RetrievedRange>* own = nullptr;
        if (onlyRetrieved) {
            const auto it = segments.find(id);
            own = it == segments.end() ? &none : &it->second;
        }
        if (texts && s.onlyActiveTexts) {
            if (!(st.GetInt(topic, id, TextField::State) & StateActive)) continue;
            if (own && own->empty()) continue;
        }
        ++out.searched;
        if (pattern.count() > 0) {
            std::u32string plain = bodyOf(st, topic, id, bodyField).chars();
            const std::int32_t type = texts ? st.GetInt(topic, id, TextField::Type) : 0;
            if (pattern.searchObject(plain, id, type, own, out.hits) > 0) out.objects.push_back(id);
        }
        ui.progressText(label + ": " + std::to_string(out.searched) +
                        ", Hits: " + std::to_string(out.hits.size()));
    }
    ui.progressClose();
    return out;
}

// --- results ----------------------------------------------------------------------------

void TextSearch::storeResults(const SearchOutcome& outcome) {
    TopicStore& st = ws_.store();
    if (!st.GetTopic(TopicId::SearchResults)) return;
    for (std::int32_t id : st.ListIds(TopicId::SearchResults))
        st.DeleteRecordOnly(TopicId::SearchResults, id);
    for (const SearchHit& h : outcome.hits) {
        RecordCursor c;
        if (!st.NewRecord(TopicId::SearchResults, c)) break;
        c.setInt(1, h.type);
        c.setInt(2, h.object);
        c.setText(3, cutText(outcome.strings[static_cast<std::size_t>(h.string)], 63));
        c.setInt(4, h.start);
        c.setInt(5, h.end);
        c.setInt(6, h.paragraph);
        st.Save(c);
    }
}

int TextSearch::textsWithResults() const {
    std::vector<std::int32_t> texts;
    for (const ResultRun& run : resultRuns(ws_.store()))
        texts.push_back(run.text);
    std::sort(texts.begin(), texts.end());
    return static_cast<int>(std::unique(texts.begin(), texts.end()) - texts.begin());
}

std::string TextSearch::resultsLine(int texts) {
    return "in " + std::to_string(texts) + " Texts";
}

std::vector<ParagraphSpan> mergeParagraphSpans(const std::vector<int>& paragraphs, int around,
                                               int count) {
    std::vector<ParagraphSpan> spans;
    count = std::max(count, 1);
    for (std::size_t i = 0; i < paragraphs.size(); ++i) {
        const int p = std::clamp(paragraphs[i], 1, count);
        spans.push_back({std::max(1, p - around), std::min(count, p + around), {i}});
    }
    std::stable_sort(spans.begin(), spans.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<ParagraphSpan> merged;
    for (ParagraphSpan& s : spans) {
        if (!merged.empty() && s.first <= merged.back().last) {
            merged.back().last = std::max(merged.back().last, s.last);
            merged.back().hits.insert(merged.back().hits.end(), s.hits.begin(), s.hits.end());
        } else {
            merged.push_back(std::move(s));
        }
    }
    for (ParagraphSpan& s : merged)
        std::sort(s.hits.begin(), s.hits.end());
    return merged;
}

int TextSearch::codeResults(std::int32_t code, int weight, const HitContext& context,
                            bool announce) {
    TopicStore& st = ws_.store();
    UserInterface& ui = ws_.ui();
    weight = std::clamp(weight, 1, 100);
    const int around = std::clamp(context.paragraphs, 0, 100);
    int made = 0;
    bool belongs = false;
    std::int32_t batch = analysis::CodingOperations::NewBatch;
    analysis::CodingOperations& ops = ws_.codings();
    ui.waitCursor(true);
    ui.progressOpen();
    // The result list holds result codings: a rebuild while it is walked would replace them.
    analysis::DeferredRetrieval defer(ws_);
    StoreBatch unit(st);
    const auto add = [&](analysis::CodingTemplate t) {
        belongs = ops.AddCoding(t, batch) || belongs;
        if (ops.lastCoding() != 0) ++made;
        ui.progressText(std::to_string(made) + " Text Segments coded");
    };
    for (const ResultRun& run : resultRuns(st)) {
        const platform::RichText body = bodyOf(st, TopicId::Texts, run.text, TextField::Body);
        const std::int32_t length = body.length();
        if (context.mode == 0) {
            for (std::int32_t r : run.records) {
                const std::int32_t start = st.GetInt(TopicId::SearchResults, r, 4);
                const std::int32_t end = std::min(st.GetInt(TopicId::SearchResults, r, 5), length);
                if (start < 0 || start >= end) continue;
                const int para = st.GetInt(TopicId::SearchResults, r, 6);
                add(templateOf(body, run.text, start, end, para, para, code, weight));
            }
            continue;
        }
        const platform::ParagraphTable table(body.chars());
        std::vector<int> paras;
        for (std::int32_t r : run.records)
            paras.push_back(st.GetInt(TopicId::SearchResults, r, 6));
        for (const ParagraphSpan& span : mergeParagraphSpans(paras, around, table.count())) {
            const std::int32_t start = table.paragraph(span.first).first;
            const std::int32_t end = paragraphEnd(table, body.chars(), span.last);
            if (start >= end) continue;
            add(templateOf(body, run.text, start, end, span.first, span.last, code, weight));
        }
    }
    if (!unit.finish()) {
        made = -1;
        belongs = false;
    }
    if (belongs) ws_.BuildRetrieval();
    if (!defer.finish()) ws_.notify(ViewEvent::SegmentsReplaced, TopicId::Codings, 0);
    ui.progressClose();
    ui.waitCursor(false);
    if (announce && made >= 0)
        ui.message(std::to_string(made) + " Text Segments coded", MessageIcon::Information);
    return made;
}

std::string TextSearch::exportResults(const std::string& path, const HitContext& context) {
    TopicStore& st = ws_.store();
    platform::CharFormat heading;
    heading.font = "Arial";
    heading.size = 20;
    heading.bold = true;
    const platform::CharFormat plain;
    platform::RichText out;
    const auto close = [&] { out.appendChars(U"\r\r", plain); };
    for (const ResultRun& run : resultRuns(st)) {
        const platform::RichText body = bodyOf(st, TopicId::Texts, run.text, TextField::Body);
        const std::string name = st.GetName(TopicId::Texts, run.text, false);
        if (context.mode == 0) {
            for (std::int32_t r : run.records) {
                const std::int32_t start = st.GetInt(TopicId::SearchResults, r, 4);
                const std::int32_t end = st.GetInt(TopicId::SearchResults, r, 5);
                appendPlain(out,
                            name + " (" + std::to_string(st.GetInt(TopicId::SearchResults, r, 6)) +
                                ")\n",
                            heading);
                out.append(body.range(start, end));
                close();
            }
            continue;
        }
        const platform::ParagraphTable table(body.chars());
        std::vector<int> paras;
        for (std::int32_t r : run.records)
            paras.push_back(st.GetInt(TopicId::SearchResults, r, 6));
        for (const ParagraphSpan& span :
             mergeParagraphSpans(paras, std::clamp(context.paragraphs, 0, 100), table.count())) {
            std::string found;
            for (std::size_t h : span.hits)
                found += st.GetText(TopicId::SearchResults, run.records[h], 3) + "\n";
            appendPlain(out,
                        name + " (" + std::to_string(span.first) + "-" + std::to_string(span.last) +
                            ")\n" + found,
                        heading);
            out.append(body.range(table.paragraph(span.first).first,
                                  paragraphEnd(table, body.chars(), span.last)));
            close();
        }
    }
    const std::string error = platform::writeFileAtomic(path, out.toRtf());
    return error.empty() ? error : "The file " + path + " cannot be written: " + error + ".";
}

} // namespace vexana::browser
