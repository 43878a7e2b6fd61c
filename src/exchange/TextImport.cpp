#include "TextImport.h"

#include "DocumentReaders.h"
#include "analysis/CodeSystem.h"
#include "analysis/CodingOperations.h"
#include "analysis/DocumentSystem.h"
#include "analysis/Workspace.h"
#include "platform/Files.h"
#include "platform/Parallel.h"
#include "platform/richtext/ParagraphTable.h"
#include "store/Schema.h"

#include <algorithm>
#include <sys/stat.h>
#include <unicode/uchar.h>
#include <unistd.h>
#include <unordered_map>

namespace vexana::exchange {

using namespace store;
using analysis::CodingTemplate;
using platform::RichText;

namespace {

// Larger files are not texts anyone codes; refusing them keeps memory bounded.
constexpr std::size_t maxFileBytes = 512u << 20;

std::string trimmed(const std::string& s) {
    const auto first = s.find_first_not_of(" \t");
    if (first == std::string::npos) return {};
    return s.substr(first, s.find_last_not_of(" \t") - first + 1);
}

// The next occurrence at or after p in a sorted list, or -1.
std::int32_t nextAt(const std::vector<std::int32_t>& sorted, std::int32_t p) {
    const auto it = std::lower_bound(sorted.begin(), sorted.end(), p);
    return it == sorted.end() ? -1 : *it;
}

// Tag positions of the whole document, found once: every later "find the next tag" is a
// lookup.
struct Tags {
    std::vector<std::int32_t> text, endText, code, endCode, ends;
    explicit Tags(const RichText& d);
};

char32_t folded(char32_t c) {
    if (c < 0x80) return c >= U'A' && c <= U'Z' ? c + 32 : c;
    return static_cast<char32_t>(u_foldCase(static_cast<UChar32>(c), U_FOLD_CASE_DEFAULT));
}

// One pass over the document for all four tags, each compared without case.
Tags::Tags(const RichText& d) : ends(d.paragraphEnds()) {
    static constexpr std::u32string_view names[] = {U"text", U"endtext", U"code", U"endcode"};
    std::vector<std::int32_t>* lists[] = {&text, &endText, &code, &endCode};
    const std::u32string& s = d.chars();
    for (std::size_t i = s.find(U'#'); i != std::u32string::npos; i = s.find(U'#', i + 1)) {
        for (int k = 0; k < 4; ++k) {
            const auto& name = names[k];
            if (i + 1 + name.size() > s.size()) continue;
            bool match = true;
            for (std::size_t j = 0; j < name.size() && match; ++j)
                match = folded(s[i + 1 + j]) == name[j];
            if (match) lists[k]->push_back(static_cast<std::int32_t>(i));
        }
    }
}

// The entries of a sorted list within [a, b), shifted to start at a.
std::vector<std::int32_t> within(const std::vector<std::int32_t>& sorted, std::int32_t a,
                                 std::int32_t b) {
    std::vector<std::int32_t> out;
    for (auto it = std::lower_bound(sorted.begin(), sorted.end(), a); it != sorted.end() && *it < b;
         ++it)
        out.push_back(*it - a);
    return out;
}

// A tag found in the document can reach past the body's end; such a one is not the body's.
std::vector<std::int32_t> tagsWithin(const std::vector<std::int32_t>& sorted, std::int32_t a,
                                     std::int32_t b, std::int32_t tagLength) {
    std::vector<std::int32_t> out = within(sorted, a, b);
    while (!out.empty() && a + out.back() + tagLength > b)
        out.pop_back();
    return out;
}

struct TextPiece {
    std::string name;
    std::string body;
    std::vector<CodingTemplate> passages; // code holds no id yet; path below
    std::vector<std::string> paths;
};

// Removes the "#CODE" / "#ENDCODE" lines of the body [a, b) of the document and collects
// its passages.
void codePassages(const RichText& document, const Tags& doc, std::int32_t a, std::int32_t b,
                  TextPiece& piece) {
    RichText text = document.range(a, b);
    const RichText& source = text;
    struct {
        std::vector<std::int32_t> open, close, ends;
    } tags{tagsWithin(doc.code, a, b, 5), tagsWithin(doc.endCode, a, b, 8), within(doc.ends, a, b)};
    const std::int32_t length = source.length();
    std::vector<std::pair<std::int32_t, std::int32_t>> removed;
    struct Passage {
        std::int32_t start, end;
        std::string path;
    };
    std::vector<Passage> passages;
    std::int32_t from = 0;
    for (std::int32_t p = nextAt(tags.open, from); p >= 0; p = nextAt(tags.open, from)) {
        const std::int32_t cr = nextAt(tags.ends, p);
        if (cr < 0) {
            removed.emplace_back(p, length);
            break;
        }
        const std::string path = trimmed(source.text(p + 5, cr));
        removed.emplace_back(p, cr + 1);
        const std::int32_t start = cr + 1;
        const std::int32_t e = nextAt(tags.close, start);
        const std::int32_t c = nextAt(tags.open, start);
        std::int32_t end = length;
        if (e >= 0 && (c < 0 || e < c)) {
            const std::int32_t ecr = nextAt(tags.ends, e);
            removed.emplace_back(e, ecr < 0 ? length : ecr + 1);
            end = e - 1;
            from = ecr < 0 ? length : ecr + 1;
        } else if (c >= 0) {
            end = c - 1;
            from = c;
        } else {
            from = length;
        }
        // An empty block still names its code, which is made all the same.
        if (!path.empty()) passages.push_back({start, std::max(start, end), path});
    }
    // An "#ENDCODE" that closes nothing is a tag line all the same: it goes too.
    for (std::int32_t e : tags.close) {
        const bool gone = std::any_of(removed.begin(), removed.end(),
                                      [&](const auto& r) { return r.first <= e && e < r.second; });
        if (gone) continue;
        const std::int32_t ecr = nextAt(tags.ends, e);
        removed.emplace_back(e, ecr < 0 ? length : ecr + 1);
    }
    removed = platform::mergeRanges(std::move(removed));
    text.removeRanges(removed);
    // Offsets after the tag lines are gone.
    auto map = [&](std::int32_t p) {
        std::int32_t shift = 0;
        for (const auto& [a, b] : removed)
            if (b <= p)
                shift += b - a;
            else if (a < p)
                shift += p - a;
        return p - shift;
    };
    const platform::ParagraphTable paragraphs(text);
    for (const Passage& ps : passages) {
        const std::int32_t a = map(ps.start), b = map(ps.end);
        const int pa = paragraphs.numberOf(a), pb = paragraphs.numberOf(b > a ? b - 1 : a);
        CodingTemplate t;
        if (pa == 0 || pb == 0 || b <= a) {
            // No passage to code (start = finish): only the code is made.
            piece.passages.push_back(std::move(t));
            piece.paths.push_back(ps.path);
            continue;
        }
        t.start = a;
        t.finish = b;
        t.startPara = pa;
        t.finishPara = pb;
        t.weight = 100;
        t.preview = text.text(a, std::min(b, a + 63));
        t.rtf = text.rangeToRtf(a, b);
        piece.passages.push_back(std::move(t));
        piece.paths.push_back(ps.path);
    }
    piece.body = text.toRtf();
}

} // namespace

std::optional<std::string> TextImport::readOrWarn(const std::string& path) {
    auto bytes = platform::readFile(path, maxFileBytes);
    if (!bytes) ws_.ui().message(CannotOpen(path), MessageIcon::Warning);
    return bytes;
}

std::string TextImport::CannotOpen(const std::string& path) {
    return platform::absolutePath(path) + "  can not be opened";
}

bool TextImport::Readable(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
           ::access(path.c_str(), R_OK) == 0;
}

std::string TextImport::NameForFile(const std::string& path) {
    const auto slash = path.find_last_of("/\\");
    const std::string file = slash == std::string::npos ? path : path.substr(slash + 1);
    const std::string name = file.substr(0, file.find('.'));
    // A file named ".notes.rtf" would otherwise give a text without a name.
    return name.empty() ? file : name;
}

int TextImport::ImportTextsCommand(std::int32_t group) {
    if (!ws_.store().GetTopic(TopicId::TextGroups)->contains(group)) return 0;
    const auto files = ws_.ui().chooseFiles(FileDialog::ImportTexts);
    return files.empty() ? 0 : ImportFiles(group, files);
}

int TextImport::PreprocessorCommand(std::int32_t group) {
    if (!ws_.store().GetTopic(TopicId::TextGroups)->contains(group)) return 0;
    const auto files = ws_.ui().chooseFiles(FileDialog::PreprocessTexts);
    return files.empty() ? 0 : PreprocessFiles(group, files);
}

int TextImport::ImportFiles(std::int32_t group, const std::vector<std::string>& paths) {
    if (!ws_.store().GetTopic(TopicId::TextGroups)->contains(group)) return 0;
    ws_.ui().waitCursor(true);
    int created = 0;
    StoreBatch batch(ws_.store(), true);
    for (const std::string& path : paths) {
        const auto bytes = readOrWarn(path);
        if (!bytes) continue;
        // RTF is kept byte for byte; plain text is stored as RTF of its lines, and the other
        // document formats as RTF of what their reader makes of them.
        const DocumentFormat format = formatForFile(path);
        std::string body;
        if (format == DocumentFormat::RtfOrPlain) {
            body = RichText::looksLikeRtf(*bytes) ? *bytes : RichText::fromRtf(*bytes).toRtf();
        } else {
            std::string error;
            const auto rich = readDocument(format, *bytes, error);
            if (!rich) {
                ws_.ui().message(platform::absolutePath(path) + "  " + error, MessageIcon::Warning);
                continue;
            }
            body = rich->toRtf();
        }
        if (ws_.documents().CreateTextWith(group, NameForFile(path), body)) ++created;
    }
    if (!batch.finish()) created = 0;
    ws_.ui().waitCursor(false);
    return created;
}

int TextImport::PreprocessFiles(std::int32_t group, const std::vector<std::string>& paths) {
    if (!ws_.store().GetTopic(TopicId::TextGroups)->contains(group)) return 0;
    int created = 0;
    for (const std::string& path : paths) {
        const auto bytes = readOrWarn(path);
        if (!bytes) continue;
        const int n = ImportPreprocessed(group, RichText::fromRtf(*bytes));
        if (n > 0) created += n;
    }
    return created;
}

int TextImport::ImportPreprocessed(std::int32_t group, const RichText& document) {
    TopicStore& s = ws_.store();
    if (!s.GetTopic(TopicId::TextGroups)->contains(group)) return -1;
    UserInterface& ui = ws_.ui();
    ui.waitCursor(true);
    ui.progressOpen();
    ui.progressText("Importing Texts ...");

    // The texts, each with its tag lines already taken out and its passages noted. Cutting
    // the bodies out only reads the document, so it runs on the other cores while this
    // thread stores the texts and their codings in document order.
    const Tags tags(document);
    struct Span {
        std::string name;
        std::int32_t start, end;
    };
    std::vector<Span> spans;
    for (std::int32_t p = nextAt(tags.text, 0); p >= 0;) {
        const std::int32_t cr = nextAt(tags.ends, p);
        if (cr < 0) break;
        std::string name = trimmed(document.text(p + 5, cr));
        const std::int32_t bodyStart = cr + 1;
        const std::int32_t e = nextAt(tags.endText, bodyStart);
        const std::int32_t next = nextAt(tags.text, bodyStart);
        std::int32_t end = document.length();
        if (e >= 0 && (next < 0 || e < next))
            end = e - 1;
        else if (next >= 0)
            end = next - 1;
        if (!name.empty()) spans.push_back({std::move(name), bodyStart, std::max(bodyStart, end)});
        p = next;
    }
    // One coding batch per document, so one Undo takes them all back. A path names the same
    // code every time it comes up again.
    std::int32_t created = 0;
    std::int32_t codingBatch = analysis::CodingOperations::NewBatch;
    std::unordered_map<std::string, std::int32_t> resolved;
    bool belongs = false;
    auto codeText = [&](TextPiece& piece, std::int32_t text) {
        for (std::size_t k = 0; k < piece.passages.size(); ++k) {
            CodingTemplate& t = piece.passages[k];
            t.text = text;
            const std::string& path = piece.paths[k];
            auto known = resolved.find(path);
            if (known == resolved.end() || !s.GetTopic(TopicId::Codes)->contains(known->second))
                known =
                    resolved.insert_or_assign(path, ws_.codes().ResolvePathIgnoringCase(0, path))
                        .first;
            t.code = known->second;
            if (t.code == 0 || t.finish <= t.start) continue;
            belongs = ws_.codings().AddCoding(t, codingBatch) || belongs;
        }
    };
    std::vector<TextPiece> pieces(spans.size());
    const std::string ofAll = " / " + std::to_string(spans.size());
    StoreBatch batch(s, true);
    platform::produceInOrder(
        spans.size(),
        [&](std::size_t i) { // Tags has cached the document's paragraph ends: read only
            pieces[i].name = spans[i].name;
            codePassages(document, tags, spans[i].start, spans[i].end, pieces[i]);
        },
        [&](std::size_t i) {
            TextPiece piece = std::move(pieces[i]);
            const std::int32_t id = ws_.documents().CreateTextWith(group, piece.name, piece.body);
            if (!id) return; // only a failing store refuses a text, and then the batch fails
            ui.progressText("Texts Imported: " + std::to_string(++created));
            codeText(piece, id);
            ui.progressText("Texts coded: " + std::to_string(created) + ofAll);
        });
    const bool ok = batch.finish();
    ui.progressClose();
    ui.waitCursor(false);
    if (!ok) return -1;
    if (belongs) ws_.BuildRetrieval();
    return created;
}

} // namespace vexana::exchange
