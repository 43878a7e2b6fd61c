#include "RefiImport.h"

#include "RefiGuid.h"
#include "SafeXml.h"
#include "ZipArchive.h"
#include "analysis/CodeSystem.h"
#include "analysis/CodingOperations.h"
#include "analysis/MemoOperations.h"
#include "analysis/Workspace.h"
#include "platform/Files.h"
#include "platform/Parallel.h"
#include "platform/Utf8.h"
#include "platform/richtext/ParagraphTable.h"
#include "platform/richtext/RichText.h"
#include "store/CVexDoc.h"
#include "store/Schema.h"
#include "store/TopicStore.h"
#include "store/UserInterface.h"
#include "store/ValueText.h"
#include "variables/Variables.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <optional>
#include <unordered_map>
#include <unordered_set>

namespace vexana::exchange {

using namespace store;
using platform::RichText;

namespace {

constexpr std::size_t maxSourceBytes = 64u << 20;
constexpr std::string_view groupDescription = "Text group";

// ---- The file's contents, as read -------------------------------------------------------

// A GUID as its 128 bits: hundreds of thousands of them are kept and compared, as keys of
// their own rather than strings on the heap.
struct Gk {
    std::uint64_t hi = 0, lo = 0;
    bool operator==(const Gk&) const = default;
};
struct GkHash {
    std::size_t operator()(const Gk& k) const {
        return static_cast<std::size_t>(k.hi * 0x9E3779B97F4A7C15ULL ^ k.lo);
    }
};
template <typename V> using GkMap = std::unordered_map<Gk, V, GkHash>;

Gk keyOf(std::string_view t) {
    Gk k;
    int n = 0;
    for (char c : t) {
        int v;
        if (c >= '0' && c <= '9')
            v = c - '0';
        else if (c >= 'a' && c <= 'f')
            v = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F')
            v = c - 'A' + 10;
        else
            continue;
        std::uint64_t& half = n < 16 ? k.hi : k.lo;
        half = half << 4 | static_cast<std::uint64_t>(v);
        if (++n == 32) break;
    }
    return k;
}

std::string text(const Gk& k) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "%08llX-%04llX-%04llX-%04llX-%012llX",
                  static_cast<unsigned long long>(k.hi >> 32),
                  static_cast<unsigned long long>((k.hi >> 16) & 0xFFFF),
                  static_cast<unsigned long long>(k.hi & 0xFFFF),
                  static_cast<unsigned long long>(k.lo >> 48),
                  static_cast<unsigned long long>(k.lo & 0xFFFFFFFFFFFFULL));
    return buf;
}

struct RCode {
    Gk guid;
    std::string name, description, colour;
    int parent = -1; // index into codes
    std::vector<Gk> notes;
};
struct RSelection {
    Gk guid;
    std::string name;
    long long start = 0, end = 0;
    std::vector<Gk> codes, notes;
};
struct RValue {
    Gk variable;
    std::string kind, text;
};
struct RSource {
    Gk guid;
    std::string name, plainPath, richPath, content, created;
    bool hasContent = false;
    std::vector<RSelection> selections;
    std::vector<Gk> wholeCodes, notes;
    std::vector<RValue> values;
};
struct RVariable {
    Gk guid;
    std::string name, type;
};
struct RNote {
    Gk guid, user;
    std::string name, created, content, richPath;
};
struct RSet {
    Gk guid;
    std::string name, description;
    std::vector<Gk> sources;
    bool isCase = false;
};
struct RModel {
    std::string name;
    GkMap<std::string> users;
    std::vector<RCode> codes;
    std::vector<RVariable> variables;
    std::vector<RSource> sources;
    std::vector<RNote> notes;
    std::vector<RSet> sets;
    std::vector<std::string> notCarried;
};

struct Refusal {
    std::string why;
};

const xmlNode* firstElement(const xmlNode* n) {
    for (; n; n = n->next)
        if (n->type == XML_ELEMENT_NODE) return n;
    return nullptr;
}

template <typename F> void eachChild(const xmlNode* parent, F&& f) {
    for (const xmlNode* n = parent ? parent->children : nullptr; n; n = n->next)
        if (n->type == XML_ELEMENT_NODE) f(n);
}

std::string quoted(std::string_view s) {
    return "\"" + std::string(platform::utf8Prefix(s, 63)) + "\"";
}

class Reader {
public:
    explicit Reader(RModel& m) : m_(m) {}
    void reserve(std::size_t guids) { seen_.reserve(guids); }

    // Registers an object's GUID; a second object with the same GUID refuses the file.
    Gk take(const xmlNode* n, std::string_view kind) {
        const std::string g = attribute(n, "guid");
        if (!isGuid(g))
            throw Refusal{
                std::string(kind) + " " + quoted(attribute(n, "name")) +
                (g.empty() ? " has no GUID." : " has no valid GUID (" + quoted(g) + ").")};
        const Gk key = keyOf(g);
        const auto [it, fresh] = seen_.emplace(key, kind);
        if (!fresh)
            throw Refusal{"The GUID " + g + " names two things (" + std::string(it->second) +
                          " and " + std::string(kind) + ")."};
        return key;
    }

    static Gk ref(const xmlNode* n) { return keyOf(attribute(n, "targetGUID")); }

    void project(const xmlNode* root) {
        if (!isElement(root, "Project"))
            throw Refusal{"The project file's root is <" + std::string(nameOf(root)) +
                          ">, not <Project>."};
        m_.name = attribute(root, "name");
        eachChild(root, [&](const xmlNode* n) {
            const std::string_view e = nameOf(n);
            if (e == "Users")
                eachChild(n, [&](const xmlNode* u) {
                    if (isElement(u, "User")) m_.users[take(u, "User")] = attribute(u, "name");
                });
            else if (e == "CodeBook")
                eachChild(n, [&](const xmlNode* c) {
                    if (isElement(c, "Codes")) codes(c, -1, 0);
                });
            else if (e == "Variables")
                eachChild(n, [&](const xmlNode* v) {
                    if (isElement(v, "Variable"))
                        m_.variables.push_back({take(v, "Variable"), attribute(v, "name"),
                                                attribute(v, "typeOfVariable")});
                });
            else if (e == "Cases")
                eachChild(n, [&](const xmlNode* c) {
                    if (isElement(c, "Case")) kase(c);
                });
            else if (e == "Sources")
                eachChild(n, [&](const xmlNode* s) { source(s); });
            else if (e == "Notes")
                eachChild(n, [&](const xmlNode* s) {
                    if (isElement(s, "Note")) note(s);
                });
            else if (e == "Sets")
                eachChild(n, [&](const xmlNode* s) {
                    if (isElement(s, "Set")) set(s);
                });
            else if (e == "Links") {
                int k = 0;
                eachChild(n, [&](const xmlNode*) { ++k; });
                if (k) m_.notCarried.push_back(std::to_string(k) + " links between objects");
            } else if (e == "Graphs")
                eachChild(n, [&](const xmlNode* g) {
                    m_.notCarried.push_back("Graph " + quoted(attribute(g, "name")));
                });
            else if (e == "NoteRef")
                projectNotes_.push_back(ref(n));
        });
    }

    void codebook(const xmlNode* root) {
        if (!isElement(root, "CodeBook"))
            throw Refusal{"The codebook's root is <" + std::string(nameOf(root)) +
                          ">, not <CodeBook>."};
        eachChild(root, [&](const xmlNode* n) {
            if (isElement(n, "Codes")) codes(n, -1, 0);
            if (isElement(n, "Sets"))
                eachChild(n, [&](const xmlNode* s) {
                    m_.notCarried.push_back("Code set " + quoted(attribute(s, "name")));
                });
        });
    }

    // Notes referred to from the project itself or from things not carried.
    std::vector<Gk> projectNotes_;

private:
    void codes(const xmlNode* list, int parent, int depth) {
        eachChild(list, [&](const xmlNode* c) {
            if (!isElement(c, "Code")) return;
            // A GUID met again among the code's own ancestors makes the tree a cycle.
            const Gk g = keyOf(attribute(c, "guid"));
            for (int a = parent; a >= 0; a = m_.codes[static_cast<std::size_t>(a)].parent)
                if (m_.codes[static_cast<std::size_t>(a)].guid == g)
                    throw Refusal{"The code " + quoted(attribute(c, "name")) +
                                  " contains itself (its GUID " + text(g) +
                                  " is one of its own parents)."};
            RCode code;
            code.guid = take(c, "Code");
            code.name = attribute(c, "name");
            code.colour = attribute(c, "color");
            code.parent = parent;
            const int self = static_cast<int>(m_.codes.size());
            m_.codes.push_back(std::move(code));
            eachChild(c, [&](const xmlNode* k) {
                RCode& me = m_.codes[static_cast<std::size_t>(self)];
                if (isElement(k, "Description"))
                    me.description = textContent(k);
                else if (isElement(k, "NoteRef"))
                    me.notes.push_back(ref(k));
                else if (isElement(k, "Code"))
                    return;
            });
            codes(c, self, depth + 1);
        });
    }

    void values(const xmlNode* n, std::vector<RValue>& out) {
        RValue v;
        eachChild(n, [&](const xmlNode* k) {
            if (isElement(k, "VariableRef"))
                v.variable = ref(k);
            else {
                v.kind = std::string(nameOf(k));
                v.text = textContent(k);
            }
        });
        out.push_back(std::move(v));
    }

    void kase(const xmlNode* c) {
        RSet set;
        set.guid = take(c, "Case");
        set.name = attribute(c, "name");
        set.isCase = true;
        std::vector<RValue> vals;
        int other = 0;
        eachChild(c, [&](const xmlNode* k) {
            if (isElement(k, "SourceRef"))
                set.sources.push_back(ref(k));
            else if (isElement(k, "VariableValue"))
                values(k, vals);
            else if (isElement(k, "CodeRef") || isElement(k, "SelectionRef"))
                ++other;
        });
        if (other)
            m_.notCarried.push_back("Case " + quoted(set.name) + ": " + std::to_string(other) +
                                    " references to codes or selections");
        caseValues_.push_back({set.sources, std::move(vals)});
        m_.sets.push_back(std::move(set));
    }

    void source(const xmlNode* s) {
        const std::string_view e = nameOf(s);
        if (e != "TextSource") {
            take(s, "Source");
            m_.notCarried.push_back(std::string(e) + " " + quoted(attribute(s, "name")) +
                                    " (VEXANA holds texts only)");
            return;
        }
        RSource src;
        src.guid = take(s, "TextSource");
        src.name = attribute(s, "name");
        src.plainPath = attribute(s, "plainTextPath");
        src.richPath = attribute(s, "richTextPath");
        src.created = attribute(s, "creationDateTime");
        eachChild(s, [&](const xmlNode* k) {
            const std::string_view n = nameOf(k);
            if (n == "PlainTextContent") {
                src.content = textContent(k);
                src.hasContent = true;
            } else if (n == "PlainTextSelection") {
                RSelection sel;
                sel.guid = take(k, "PlainTextSelection");
                sel.name = attribute(k, "name");
                sel.start = number(k, "startPosition", src.name);
                sel.end = number(k, "endPosition", src.name);
                eachChild(k, [&](const xmlNode* j) {
                    if (isElement(j, "Coding")) {
                        take(j, "Coding");
                        eachChild(j, [&](const xmlNode* r) {
                            if (isElement(r, "CodeRef")) sel.codes.push_back(ref(r));
                        });
                    } else if (isElement(j, "NoteRef"))
                        sel.notes.push_back(ref(j));
                });
                src.selections.push_back(std::move(sel));
            } else if (n == "Coding") {
                take(k, "Coding");
                eachChild(k, [&](const xmlNode* r) {
                    if (isElement(r, "CodeRef")) src.wholeCodes.push_back(ref(r));
                });
            } else if (n == "NoteRef")
                src.notes.push_back(ref(k));
            else if (n == "VariableValue")
                values(k, src.values);
        });
        m_.sources.push_back(std::move(src));
    }

    long long number(const xmlNode* n, const char* name, const std::string& source) {
        const std::string t = attribute(n, name);
        char* end = nullptr;
        errno = 0;
        const long long v = std::strtoll(t.c_str(), &end, 10);
        if (t.empty() || *end != '\0' || errno != 0)
            throw Refusal{"A selection in the source " + quoted(source) + " has no number as " +
                          name + " (" + quoted(t) + ")."};
        return v;
    }

    void note(const xmlNode* n) {
        RNote note;
        note.guid = take(n, "Note");
        note.name = attribute(n, "name");
        note.user = keyOf(attribute(n, "creatingUser"));
        note.created = attribute(n, "creationDateTime");
        note.richPath = attribute(n, "richTextPath");
        eachChild(n, [&](const xmlNode* k) {
            if (isElement(k, "PlainTextContent")) note.content = textContent(k);
        });
        m_.notes.push_back(std::move(note));
    }

    void set(const xmlNode* n) {
        RSet set;
        set.guid = take(n, "Set");
        set.name = attribute(n, "name");
        int codes = 0, notes = 0;
        eachChild(n, [&](const xmlNode* k) {
            if (isElement(k, "Description"))
                set.description = textContent(k);
            else if (isElement(k, "MemberSource"))
                set.sources.push_back(ref(k));
            else if (isElement(k, "MemberCode"))
                ++codes;
            else if (isElement(k, "MemberNote"))
                ++notes;
        });
        if (codes)
            m_.notCarried.push_back("Set " + quoted(set.name) + ": " + std::to_string(codes) +
                                    " member codes (text sets hold texts only)");
        if (notes)
            m_.notCarried.push_back("Set " + quoted(set.name) + ": " + std::to_string(notes) +
                                    " member notes (text sets hold texts only)");
        m_.sets.push_back(std::move(set));
    }

public:
    std::vector<std::pair<std::vector<Gk>, std::vector<RValue>>> caseValues_;

private:
    RModel& m_;
    // Kinds are element names of the tree or literals, alive while the reader is.
    GkMap<std::string_view> seen_;
};

XmlDoc parseOrRefuse(std::string_view bytes, std::string_view what) {
    std::string error;
    XmlDoc doc = parseXml(bytes, error);
    // The parser's reason names what is wrong ("is not well-formed XML: ...").
    if (!doc) throw Refusal{"The " + std::string(what) + " " + error + "."};
    return doc;
}

// Reads the .qde's XML into a model; throws a Refusal.
std::unique_ptr<Reader> readProject(std::string_view qde, RModel& m) {
    XmlDoc doc = parseOrRefuse(qde, "project file");
    auto reader = std::make_unique<Reader>(m);
    // About one GUID per 150 bytes of a large project file: no rehashing on the way.
    reader->reserve(qde.size() / 150);
    reader->project(firstElement(xmlDocGetRootElement(doc.get())));
    return reader;
}

// ---- Positions ----------------------------------------------------------------------------

// One source's text as VEXANA holds it, and the way from the file's positions to its offsets.
struct SourceText {
    std::string normalized;             // CR LF and lone CR as LF, NUL as U+FFFD
    std::vector<std::int32_t> atCp;     // VEXANA offset at each code point position (0..n)
    std::vector<std::int32_t> cpAtUnit; // code point at each UTF-16 position; -1 inside a pair
    std::u32string chars;               // the file's code points, without a byte-order mark
    bool astral = false;

    long long units(PositionMode mode) const {
        return mode == PositionMode::Utf16 && astral ? static_cast<long long>(cpAtUnit.size()) - 1
                                                     : static_cast<long long>(chars.size());
    }
    // The VEXANA offset of a position, or -1 when it lies inside a character.
    std::int32_t offset(long long p, PositionMode mode) const {
        if (p < 0 || p > units(mode)) return -1;
        std::int32_t cp = static_cast<std::int32_t>(p);
        if (mode == PositionMode::Utf16 && astral) cp = cpAtUnit[static_cast<std::size_t>(p)];
        return cp < 0 ? -1 : atCp[static_cast<std::size_t>(cp)];
    }
    // The text between two positions under a mode, for comparing with a selection's name.
    std::u32string between(long long a, long long b, PositionMode mode) const {
        std::int32_t x = static_cast<std::int32_t>(a), y = static_cast<std::int32_t>(b);
        if (mode == PositionMode::Utf16 && astral) {
            x = cpAtUnit[static_cast<std::size_t>(a)];
            y = cpAtUnit[static_cast<std::size_t>(b)];
        }
        return chars.substr(static_cast<std::size_t>(x), static_cast<std::size_t>(y - x));
    }
};

SourceText makeSourceText(std::string_view utf8) {
    SourceText t;
    if (utf8.starts_with("\xEF\xBB\xBF")) utf8.remove_prefix(3);
    t.chars = platform::utf8ToChars(utf8);
    t.atCp.reserve(t.chars.size() + 1);
    t.normalized.reserve(utf8.size());
    std::int32_t v = 0;
    for (std::size_t i = 0; i < t.chars.size(); ++i) {
        t.atCp.push_back(v);
        const char32_t c = t.chars[i];
        if (c >= 0x10000) t.astral = true;
        if (c == U'\n' && i > 0 && t.chars[i - 1] == U'\r') continue; // CR LF is one end
        ++v;
        if (c == U'\r' || c == U'\n')
            t.normalized.push_back('\n');
        else
            platform::utf8Append(t.normalized, c == 0 ? char32_t(0xFFFD) : c);
    }
    t.atCp.push_back(v);
    if (t.astral) {
        t.cpAtUnit.reserve(t.chars.size() * 2 + 1);
        for (std::size_t i = 0; i < t.chars.size(); ++i) {
            t.cpAtUnit.push_back(static_cast<std::int32_t>(i));
            if (t.chars[i] >= 0x10000) t.cpAtUnit.push_back(-1);
        }
        t.cpAtUnit.push_back(static_cast<std::int32_t>(t.chars.size()));
    }
    return t;
}

bool fits(const RSource& s, const SourceText& t, PositionMode mode) {
    for (const RSelection& sel : s.selections)
        if (sel.start > sel.end || t.offset(sel.start, mode) < 0 || t.offset(sel.end, mode) < 0)
            return false;
    return true;
}

PositionMode detect(const std::vector<RSource>& sources, const std::vector<SourceText>& texts) {
    bool cpFits = true, u16Fits = true, astral = false;
    long long cpVotes = 0, u16Votes = 0;
    for (std::size_t i = 0; i < sources.size(); ++i) {
        const SourceText& t = texts[i];
        if (!t.astral || sources[i].selections.empty()) continue;
        astral = true;
        const bool cp = fits(sources[i], t, PositionMode::CodePoints);
        const bool u16 = fits(sources[i], t, PositionMode::Utf16);
        cpFits = cpFits && cp;
        u16Fits = u16Fits && u16;
        // Many tools name a selection after the text it selects.
        for (const RSelection& sel : sources[i].selections) {
            if (sel.name.empty()) continue;
            const std::u32string name = platform::utf8ToChars(sel.name);
            if (cp && t.between(sel.start, sel.end, PositionMode::CodePoints) == name) ++cpVotes;
            if (u16 && t.between(sel.start, sel.end, PositionMode::Utf16) == name) ++u16Votes;
        }
    }
    if (!astral) return PositionMode::CodePoints;
    if (u16Fits && !cpFits) return PositionMode::Utf16;
    if (cpFits && !u16Fits) return PositionMode::CodePoints;
    return u16Votes > cpVotes ? PositionMode::Utf16 : PositionMode::CodePoints;
}

// ---- Building ---------------------------------------------------------------------------

int nearestColour(std::string_view rgb) {
    if (rgb.size() != 7 && rgb.size() != 4) return 0;
    if (rgb.front() != '#') return 0;
    auto hex = [](std::string_view h) {
        return static_cast<int>(std::strtol(std::string(h).c_str(), nullptr, 16));
    };
    int r, g, b;
    if (rgb.size() == 7) {
        r = hex(rgb.substr(1, 2));
        g = hex(rgb.substr(3, 2));
        b = hex(rgb.substr(5, 2));
    } else {
        r = hex(rgb.substr(1, 1)) * 17;
        g = hex(rgb.substr(2, 1)) * 17;
        b = hex(rgb.substr(3, 1)) * 17;
    }
    int best = 0;
    long bestDistance = LONG_MAX;
    for (int k = 0; k < 5; ++k) {
        const analysis::Rgb c = analysis::CodeSystem::DisplayColour(k);
        const long d =
            (c.red - r) * (c.red - r) + (c.green - g) * (c.green - g) + (c.blue - b) * (c.blue - b);
        if (d < bestDistance) {
            bestDistance = d;
            best = k;
        }
    }
    return best;
}

// "\" separates the levels of a code path, so a name cannot hold one.
std::string codeName(std::string_view name, int& changed) {
    std::string n(name);
    std::replace(n.begin(), n.end(), '\\', '/');
    std::string s = analysis::shortenName(n, 31);
    if (s != name) ++changed;
    return s;
}

std::int32_t createCode(TopicStore& s, std::int32_t parent, std::string_view name, int colour,
                        std::int32_t index) {
    RecordCursor c;
    if (!s.NewRecord(TopicId::Codes, c)) return 0;
    const std::int32_t id = c.id();
    c.setText(CodeField::Name, name.empty() ? "Code " + std::to_string(id) : std::string(name));
    c.setInt(CodeField::Parent, parent);
    c.setInt(CodeField::Index, index);
    c.setInt(CodeField::State, 1);
    c.setInt(CodeField::Type, colour);
    if (!s.Save(c, true, true)) {
        s.DeleteRecordOnly(TopicId::Codes, id);
        return 0;
    }
    return id;
}

std::optional<DateTime> xsdDate(std::string_view text) {
    std::string t(text.substr(0, 19));
    std::replace(t.begin(), t.end(), 'T', ' ');
    DateTime d;
    if (!parseDate(t, d)) return std::nullopt;
    return d;
}

std::string memoRtf(std::string_view plain) {
    return RichText::fromPlain(plain).toRtf();
}

std::int32_t createMemo(TopicStore& s, std::int32_t text, std::int32_t code, std::int32_t pos,
                        const std::string& title, const std::string& author,
                        std::optional<DateTime> date, const std::string& rtf) {
    RecordCursor c;
    if (!s.NewRecord(TopicId::Memos, c)) return 0;
    const std::int32_t id = c.id();
    c.setInt(MemoField::Text, text);
    c.setInt(MemoField::Code, code);
    c.setInt(MemoField::Pos, pos);
    c.setText(MemoField::Title, cutText(title.empty() ? "Memo " + std::to_string(id) : title,
                                        analysis::MemoTextLimit));
    c.setText(MemoField::Author, cutText(author, analysis::MemoTextLimit));
    c.setDate(MemoField::Date, date ? *date : DateTime::now());
    c.setBlock(MemoField::Body, rtf);
    c.setText(MemoField::Preview,
              analysis::memoPreview(analysis::readMemoBody(
                  {reinterpret_cast<const std::uint8_t*>(rtf.data()), rtf.size()})));
    if (!s.Save(c, true, true)) {
        s.DeleteRecordOnly(TopicId::Memos, id);
        return 0;
    }
    return id;
}

int variableType(std::string_view t) {
    if (t == "Integer") return TypeInteger;
    if (t == "Float") return TypeFloat;
    if (t == "Boolean") return TypeBoolean;
    if (t == "Date" || t == "DateTime") return TypeDateTime;
    return TypeString;
}

std::string valueText(const RValue& v, int type) {
    std::string t(variables::trimmed(v.text));
    if (v.kind == "BooleanValue" || type == TypeBoolean) {
        if (t == "true") return "1";
        if (t == "false") return "0";
    }
    if (v.kind == "DateValue" || v.kind == "DateTimeValue") {
        t = t.substr(0, 19);
        std::replace(t.begin(), t.end(), 'T', ' ');
    }
    return t;
}

// Everything of the file that was read: the archive's members resolved to texts.
struct Loaded {
    RModel model;
    std::unique_ptr<Reader> reader;
    std::vector<SourceText> texts;
    std::vector<bool> skip;
    std::vector<std::string> rtf; // a source's own RTF, taken when it says what the plain text says
    GkMap<std::string> noteRtf;
};

// The archive's members by name without case, looked up once each.
class Members {
public:
    explicit Members(const ZipArchive& zip) : zip_(zip) {
        for (const std::string& n : zip.names())
            byName_.emplace(lower(n), n);
    }

    // A source's file by its path in the project file: "internal://" or not, under
    // "sources/", "Sources/" or as given; missing says why there is none.
    std::optional<std::string> read(std::string_view path, std::string_view what,
                                    std::string& missing) const {
        std::string p(path);
        if (p.starts_with("internal://")) p.erase(0, 11);
        if (p.find("://") != std::string::npos) {
            missing =
                std::string(what) + " lies outside the project file (" + std::string(path) + ")";
            return std::nullopt;
        }
        for (const std::string& t : {"sources/" + p, p}) {
            const auto it = byName_.find(lower(t));
            if (it == byName_.end()) continue;
            std::string error;
            auto bytes = zip_.read(it->second, maxSourceBytes, error);
            if (!bytes) throw Refusal{"The member " + it->second + " cannot be read: " + error};
            return bytes;
        }
        missing =
            std::string(what) + " is missing from the project file (" + std::string(path) + ")";
        return std::nullopt;
    }

private:
    static std::string lower(std::string s) {
        for (char& c : s)
            if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        return s;
    }
    const ZipArchive& zip_;
    std::unordered_map<std::string, std::string> byName_;
};

Loaded load(const std::string& qdpx, PositionMode mode, RefiImportReport& report) {
    if (!platform::fileExists(qdpx)) throw Refusal{"The file " + qdpx + " does not exist."};
    std::string error;
    auto zip = ZipArchive::open(qdpx, error);
    if (!zip)
        throw Refusal{"The file " + qdpx + " cannot be read as a REFI-QDA project: it " + error +
                      "."};
    std::string qdeName = zip->contains("project.qde") ? std::string("project.qde") : "";
    if (qdeName.empty())
        for (const std::string& n : zip->names())
            if (n.find('/') == std::string::npos && n.size() > 4 &&
                variables::equalIgnoringCase(n.substr(n.size() - 4), ".qde")) {
                qdeName = n;
                break;
            }
    if (qdeName.empty())
        throw Refusal{"The file " + qdpx +
                      " holds no project (.qde) file; it is no REFI-QDA project."};
    auto qde = zip->read(qdeName, maxXmlBytes, error);
    if (!qde) throw Refusal{"The member " + qdeName + " cannot be read: " + error};

    Loaded l;
    const Members members(*zip);
    l.reader = readProject(*qde, l.model);
    qde->clear();
    RModel& m = l.model;
    l.texts.resize(m.sources.size());
    l.skip.assign(m.sources.size(), false);
    l.rtf.resize(m.sources.size());
    int otherRich = 0;
    for (std::size_t i = 0; i < m.sources.size(); ++i) {
        RSource& s = m.sources[i];
        std::string missing;
        std::optional<std::string> bytes;
        if (!s.plainPath.empty())
            bytes = members.read(s.plainPath, "The text of the source " + quoted(s.name), missing);
        else if (s.hasContent)
            bytes = s.content;
        else
            missing = "The source " + quoted(s.name) + " has no plain text";
        if (!bytes) {
            m.notCarried.push_back(missing + "; the source and its selections are left out");
            l.skip[i] = true;
            continue;
        }
        if (!platform::isValidUtf8(*bytes))
            throw Refusal{"The text of the source " + quoted(s.name) + " is not UTF-8 text."};
        l.texts[i] = makeSourceText(*bytes);
        if (!s.richPath.empty()) {
            const std::string_view r = s.richPath;
            if (r.size() > 4 && variables::equalIgnoringCase(r.substr(r.size() - 4), ".rtf")) {
                std::string ignored;
                auto rtf = members.read(r, "", ignored);
                // Whether it says what the plain text says is seen when the text is made.
                if (rtf) l.rtf[i] = std::move(*rtf);
            } else
                ++otherRich;
        }
    }
    if (otherRich)
        m.notCarried.push_back(std::to_string(otherRich) +
                               " sources' rich text (not RTF): the plain text was taken");
    for (RNote& n : m.notes) {
        const std::string_view r = n.richPath;
        if (r.size() > 4 && variables::equalIgnoringCase(r.substr(r.size() - 4), ".rtf")) {
            std::string ignored;
            if (auto rtf = members.read(r, "", ignored)) l.noteRtf[n.guid] = std::move(*rtf);
        }
    }

    // Positions: detected over every source unless the caller said.
    std::vector<RSource> kept;
    report.positions = mode == PositionMode::Auto ? detect(m.sources, l.texts) : mode;
    for (std::size_t i = 0; i < m.sources.size(); ++i) {
        if (l.skip[i]) continue;
        const RSource& s = m.sources[i];
        const SourceText& t = l.texts[i];
        for (const RSelection& sel : s.selections) {
            const std::string which =
                "The selection " + text(sel.guid) + " of the source " + quoted(s.name);
            if (sel.start > sel.end)
                throw Refusal{which + " ends (" + std::to_string(sel.end) + ") before it starts (" +
                              std::to_string(sel.start) + ")."};
            if (sel.start < 0 || sel.end > t.units(report.positions))
                throw Refusal{which + " (" + std::to_string(sel.start) + " to " +
                              std::to_string(sel.end) + ") lies outside its text of " +
                              std::to_string(t.units(report.positions)) + " " +
                              std::string(positionModeName(report.positions)) + "."};
            if (t.offset(sel.start, report.positions) < 0 ||
                t.offset(sel.end, report.positions) < 0)
                throw Refusal{which + " starts or ends inside a character; try --positions " +
                              "codepoints."};
        }
    }
    return l;
}

class Builder {
public:
    Builder(analysis::Workspace& ws, Loaded& l, RefiImportReport& r)
        : ws_(ws), s_(ws.store()), l_(l), m_(l.model), r_(r) {}

    bool run() {
        if (!codes() || !sources() || !variables() || !sets() || !memos()) return false;
        summary();
        return true;
    }

private:
    bool codes() {
        std::unordered_map<std::int32_t, std::int32_t> nextIndex;
        for (const RCode& c : m_.codes) {
            const std::int32_t parent =
                c.parent < 0 ? 0 : codeIds_[static_cast<std::size_t>(c.parent)];
            const std::int32_t id = createCode(s_, parent, codeName(c.name, renamedCodes_),
                                               nearestColour(c.colour), nextIndex[parent]++);
            if (!id) return false;
            codeIds_.push_back(id);
            codeByGuid_[c.guid] = id;
            ++r_.counts.codes;
        }
        return true;
    }

    std::int32_t code(const Gk& guid, const std::string& where) {
        auto it = codeByGuid_.find(guid);
        if (it != codeByGuid_.end()) return it->second;
        r_.notCarried.push_back("A coding in " + where + " names a code that is not in the file (" +
                                text(guid) + ")");
        return 0;
    }

    // A source made ready on a worker thread: its body and the templates of its codings.
    struct PreparedCoding {
        Gk code;
        analysis::CodingTemplate t;
        bool empty = false;
    };
    struct PreparedSource {
        std::string rtf;
        std::vector<PreparedCoding> codings;
    };

    void prepare(std::size_t i, PreparedSource& out) {
        const RSource& src = m_.sources[i];
        const SourceText& t = l_.texts[i];
        RichText body = RichText::fromPlain(t.normalized);
        if (!l_.rtf[i].empty()) {
            RichText rich = RichText::fromRtf(l_.rtf[i]);
            if (rich.chars() == body.chars()) {
                body = std::move(rich);
                out.rtf = std::move(l_.rtf[i]);
            }
            l_.rtf[i] = std::string();
        }
        if (out.rtf.empty()) out.rtf = body.toRtf();
        // One paragraph table per text: a template of its own would build it per coding.
        const platform::ParagraphTable paragraphs(body);
        auto add = [&](const Gk& code, std::int32_t a, std::int32_t b) {
            PreparedCoding& c = out.codings.emplace_back();
            c.code = code;
            if (a < 0 || b > body.length() || a >= b) {
                c.empty = true;
                return;
            }
            c.t.start = a;
            c.t.finish = b;
            c.t.startPara = paragraphs.numberOf(a);
            c.t.finishPara = paragraphs.numberOf(b - 1);
            c.t.preview = cutText(body.text(a, b), 63);
            c.t.rtf = body.rangeToRtf(a, b);
        };
        for (const RSelection& sel : src.selections)
            for (const Gk& c : sel.codes)
                add(c, t.offset(sel.start, r_.positions), t.offset(sel.end, r_.positions));
        for (const Gk& c : src.wholeCodes)
            add(c, 0, body.length());
    }

    bool sources() {
        // Each text goes into the group whose set names it first; the others into one group.
        GkMap<std::size_t> groupOf;
        for (std::size_t k = 0; k < m_.sets.size(); ++k)
            if (!m_.sets[k].isCase && m_.sets[k].description == groupDescription)
                for (const Gk& g : m_.sets[k].sources)
                    groupOf.emplace(g, k);
        std::int32_t rest = 0;
        analysis::CodingOperations& codings = ws_.codings();
        std::int32_t batch = analysis::CodingOperations::NoBatch;
        bool ok = true;
        std::vector<PreparedSource> prepared(m_.sources.size());
        // The texts are made ready on the other cores while this thread stores them in order,
        // as the preprocessor does.
        platform::produceInOrder(
            m_.sources.size(),
            [&](std::size_t i) {
                if (!l_.skip[i]) prepare(i, prepared[i]);
            },
            [&](std::size_t i) {
                if (!ok || l_.skip[i]) return;
                PreparedSource ready = std::move(prepared[i]);
                ok = store(i, ready, groupOf, rest, codings, batch);
            });
        return ok;
    }

    bool store(std::size_t i, PreparedSource& ready, const GkMap<std::size_t>& groupOf,
               std::int32_t& rest, analysis::CodingOperations& codings, std::int32_t& batch) {
        const RSource& src = m_.sources[i];
        std::int32_t group = 0;
        if (auto g = groupOf.find(src.guid); g != groupOf.end()) {
            group = groupFor(g->second);
        } else {
            if (!rest) rest = newGroup(m_.name.empty() ? "Texts" : m_.name);
            group = rest;
        }
        if (!group) return false;
        const std::string name =
            src.name.empty() ? "Source " + std::to_string(r_.counts.sources + 1) : src.name;
        const std::int32_t text = ws_.documents().CreateTextWith(group, name, ready.rtf);
        if (!text) return false;
        ready.rtf = std::string();
        ++r_.counts.sources;
        textByGuid_[src.guid] = text;
        if (auto d = xsdDate(src.created)) {
            RecordCursor c;
            if (!s_.GetRecord(TopicId::Texts, text, c)) return false;
            c.setDate(TextField::Date, *d);
            if (!s_.Save(c)) return false;
        }
        const std::string where = "the source " + quoted(src.name);
        for (PreparedCoding& c : ready.codings) {
            const std::int32_t code = this->code(c.code, where);
            if (!code) continue;
            if (c.empty) {
                ++emptyCodings_;
                continue;
            }
            c.t.text = text;
            c.t.code = code;
            codings.AddCoding(c.t, batch);
            if (codings.lastCoding())
                ++stored_;
            else
                ++contained_;
        }
        const SourceText& t = l_.texts[i];
        for (const RSelection& sel : src.selections) {
            ++r_.counts.selections;
            for (const Gk& n : sel.notes)
                places_.push_back({n, text, 0, t.offset(sel.start, r_.positions)});
        }
        for (const Gk& n : src.notes)
            places_.push_back({n, text, 0, 0});
        values_.push_back({text, &src.values});
        return true;
    }

    std::int32_t newGroup(const std::string& name) {
        const std::int32_t g = ws_.documents().NewTextGroup();
        if (!g || !ws_.documents().RenameObject(TopicId::TextGroups, g,
                                                cutText(name.empty() ? "Texts" : name, 63)))
            return 0;
        return g;
    }

    std::int32_t groupFor(std::size_t set) {
        auto it = groups_.find(set);
        if (it != groups_.end()) return it->second;
        const std::int32_t g = newGroup(m_.sets[set].name);
        groups_[set] = g;
        return g;
    }

    bool variables() {
        variables::Variables vars(ws_.doc());
        GkMap<int> fieldOf;
        for (const RVariable& v : m_.variables) {
            std::string name = cutText(variables::trimmed(v.name), 63);
            if (name.empty()) name = "Variable";
            // A name VEXANA keeps for itself, or one given twice, gets a number.
            const std::string base = cutText(variables::trimmed(v.name), 56);
            for (int k = 2; !vars.CheckName(name).empty() && k < 100; ++k)
                name = base + " (" + std::to_string(k) + ")";
            for (int k = 1; !vars.CheckName(name).empty() && k < 100; ++k)
                name = "Variable " + std::to_string(k) + " " + base;
            if (name != v.name)
                r_.notCarried.push_back("The variable " + quoted(v.name) + " is called " +
                                        quoted(name));
            const int field = vars.Add(name, variableType(v.type));
            if (field < 0) return false;
            fieldOf[v.guid] = field;
            ++r_.counts.variables;
        }
        // Values of a case go to each of its texts that has none of its own.
        for (auto& [sources, vals] : l_.reader->caseValues_)
            for (const Gk& g : sources)
                if (auto t = textByGuid_.find(g); t != textByGuid_.end())
                    values_.push_back({t->second, &vals});
        int unreadable = 0;
        std::unordered_set<long long> done;
        for (const auto& [text, list] : values_)
            for (const RValue& v : *list) {
                auto f = fieldOf.find(v.variable);
                if (f == fieldOf.end()) {
                    ++unreadable;
                    continue;
                }
                if (!done.insert((static_cast<long long>(text) << 20) ^ f->second).second) continue;
                const int type = s_.GetField(TopicId::Texts, f->second)->type;
                const std::string value = valueText(v, type);
                if (!readsWholly(type, value)) {
                    ++unreadable;
                    continue;
                }
                if (!vars.SetValue(text, f->second, value)) return false;
            }
        if (unreadable)
            r_.notCarried.push_back(
                std::to_string(unreadable) +
                " variable values that name no variable or do not fit its type");
        return true;
    }

    bool sets() {
        for (const RSet& set : m_.sets) {
            if (!set.isCase && set.description == groupDescription) {
                ++r_.counts.sets;
                continue;
            }
            std::vector<std::int32_t> members;
            for (const Gk& g : set.sources)
                if (auto t = textByGuid_.find(g); t != textByGuid_.end())
                    members.push_back(t->second);
            if (set.isCase && members.empty()) {
                r_.notCarried.push_back("Case " + quoted(set.name) + " (no text of its own)");
                continue;
            }
            const std::int32_t id = ws_.documents().NewSet(false);
            if (!id || !ws_.documents().RenameObject(
                           TopicId::TextSets, id, cutText(set.name.empty() ? "Set" : set.name, 63)))
                return false;
            for (std::int32_t text : members)
                if (!ws_.documents().SetHolds(id, text) && !ws_.documents().AddTextToSet(id, text))
                    return false;
            ++r_.counts.sets;
        }
        return true;
    }

    bool memos() {
        GkMap<const RNote*> notes;
        for (const RNote& n : m_.notes)
            notes[n.guid] = &n;
        std::unordered_set<Gk, GkHash> used;
        auto rtfOf = [&](const RNote& n) {
            auto r = l_.noteRtf.find(n.guid);
            return r != l_.noteRtf.end() ? r->second : memoRtf(n.content);
        };
        auto author = [&](const RNote& n) {
            auto u = m_.users.find(n.user);
            return u != m_.users.end() ? u->second : std::string();
        };
        for (const Place& p : places_) {
            auto n = notes.find(p.note);
            if (n == notes.end()) {
                r_.notCarried.push_back("A reference to a note that is not in the file (" +
                                        text(p.note) + ")");
                continue;
            }
            used.insert(p.note);
            if (!createMemo(s_, p.text, 0, p.pos, n->second->name, author(*n->second),
                            xsdDate(n->second->created), rtfOf(*n->second)))
                return false;
            ++r_.counts.notes;
        }
        // A code has one memo: its notes and description, one after the other.
        for (std::size_t k = 0; k < m_.codes.size(); ++k) {
            const RCode& c = m_.codes[k];
            std::vector<const RNote*> own;
            for (const Gk& g : c.notes)
                if (auto n = notes.find(g); n != notes.end()) {
                    own.push_back(n->second);
                    used.insert(g);
                } else
                    r_.notCarried.push_back("A reference to a note that is not in the file (" +
                                            text(g) + ")");
            if (own.empty() && c.description.empty()) continue;
            std::string rtf, title = c.name, who;
            std::optional<DateTime> date;
            if (own.size() == 1 && c.description.empty()) {
                rtf = rtfOf(*own[0]);
                title = own[0]->name.empty() ? c.name : own[0]->name;
                who = author(*own[0]);
                date = xsdDate(own[0]->created);
            } else {
                std::string plain = c.description;
                for (const RNote* n : own) {
                    if (!plain.empty()) plain += "\n\n";
                    plain += n->content;
                }
                rtf = memoRtf(plain);
                if (!own.empty()) who = author(*own[0]);
            }
            const std::int32_t code = codeIds_[k];
            const std::int32_t memo = createMemo(s_, 0, code, 0, title, who, date, rtf);
            RecordCursor kc;
            if (!memo || !s_.GetRecord(TopicId::Codes, code, kc)) return false;
            kc.setInt(CodeField::MemoID, memo);
            if (!s_.Save(kc)) return false;
            r_.counts.notes += static_cast<int>(std::max<std::size_t>(own.size(), 1));
        }
        for (const RNote& n : m_.notes)
            if (!used.count(n.guid))
                r_.notCarried.push_back("Note " + quoted(n.name) +
                                        " (it belongs to nothing VEXANA holds)");
        return true;
    }

    void summary() {
        if (contained_)
            r_.notCarried.push_back(std::to_string(contained_) +
                                    " codings inside another coding of the same code (merged "
                                    "into it)");
        if (emptyCodings_)
            r_.notCarried.push_back(std::to_string(emptyCodings_) + " codings of empty selections");
        if (renamedCodes_)
            r_.notCarried.push_back(std::to_string(renamedCodes_) +
                                    " code names shortened to 31 characters or with \"\\\" "
                                    "replaced by \"/\"");
        for (std::string& line : m_.notCarried)
            r_.notCarried.push_back(std::move(line));
    }

    struct Place {
        Gk note;
        std::int32_t text, code, pos;
    };

    analysis::Workspace& ws_;
    TopicStore& s_;
    Loaded& l_;
    RModel& m_;
    RefiImportReport& r_;
    std::vector<std::int32_t> codeIds_;
    GkMap<std::int32_t> codeByGuid_, textByGuid_;
    std::unordered_map<std::size_t, std::int32_t> groups_;
    std::vector<Place> places_;
    std::vector<std::pair<std::int32_t, const std::vector<RValue>*>> values_;
    int renamedCodes_ = 0, contained_ = 0, emptyCodings_ = 0, stored_ = 0;
};

} // namespace

std::string_view positionModeName(PositionMode mode) {
    switch (mode) {
    case PositionMode::Utf16:
        return "UTF-16 code units";
    case PositionMode::CodePoints:
        return "code points";
    default:
        return "auto";
    }
}

std::string CheckRefiProjectXml(std::string_view qde) {
    try {
        RModel m;
        readProject(qde, m);
        // Sources that carry their text inline go through detection and placing as well.
        std::vector<SourceText> texts;
        for (const RSource& src : m.sources)
            texts.push_back(platform::isValidUtf8(src.content) ? makeSourceText(src.content)
                                                               : SourceText{});
        const PositionMode mode = detect(m.sources, texts);
        for (std::size_t i = 0; i < m.sources.size(); ++i)
            if (m.sources[i].hasContent && !fits(m.sources[i], texts[i], mode))
                return "A selection of the source " + quoted(m.sources[i].name) +
                       " lies outside its text.";
        return {};
    } catch (const Refusal& r) {
        return r.why;
    }
}

std::string CheckCodebookXml(std::string_view qdc) {
    try {
        RModel m;
        XmlDoc doc = parseOrRefuse(qdc, "codebook");
        Reader(m).codebook(firstElement(xmlDocGetRootElement(doc.get())));
        return {};
    } catch (const Refusal& r) {
        return r.why;
    }
}

bool ImportRefiProject(const std::string& qdpx, const std::string& projectPath, PositionMode mode,
                       UserInterface& ui, RefiImportReport& report) {
    report = RefiImportReport{};
    if (platform::fileExists(projectPath)) {
        ui.message("The project " + projectPath + " exists already.", MessageIcon::Stop);
        return false;
    }
    ui.waitCursor(true);
    std::optional<Loaded> loaded;
    try {
        loaded.emplace(load(qdpx, mode, report));
    } catch (const Refusal& r) {
        ui.waitCursor(false);
        ui.message(r.why + " Nothing was imported.", MessageIcon::Stop);
        return false;
    }
    std::string error;
    const std::string folder = platform::parentDirectory(projectPath);
    const std::string building = platform::temporarySibling(projectPath, "import");
    bool whole = false;
    {
        RecentProjects recent;
        CVexDoc doc(ui, recent);
        if (doc.OpenPath(building, false)) {
            analysis::Workspace ws(doc);
            StoreBatch unit(doc.store(), true);
            if (!Builder(ws, *loaded, report).run()) unit.fail();
            whole = unit.finish();
            doc.CloseProject();
        }
    }
    ui.waitCursor(false);
    if (whole && platform::renameNoReplace(building, projectPath)) return true;
    if (whole)
        ui.message("The project cannot be put in place as " + projectPath + ".", MessageIcon::Stop);
    platform::removeFile(building);
    report.counts = RefiCounts{};
    return false;
}

bool ImportCodebook(analysis::Workspace& ws, const std::string& path, RefiImportReport& report) {
    report = RefiImportReport{};
    UserInterface& ui = ws.ui();
    RModel m;
    try {
        std::string error;
        const auto bytes = platform::readFile(path, maxXmlBytes, &error);
        if (!bytes) throw Refusal{"The file " + path + " cannot be read: " + error + "."};
        XmlDoc doc = parseOrRefuse(*bytes, "codebook");
        Reader(m).codebook(firstElement(xmlDocGetRootElement(doc.get())));
    } catch (const Refusal& r) {
        ui.message(r.why + " Nothing was imported.", MessageIcon::Stop);
        return false;
    }
    TopicStore& s = ws.store();
    // Children by folded name, built once: finding each of many codes by path stays linear.
    std::unordered_map<std::int32_t, std::unordered_map<std::string, std::int32_t>> named;
    std::unordered_map<std::int32_t, std::int32_t> count;
    for (std::int32_t id : s.ListIds(TopicId::Codes)) {
        const std::int32_t parent = s.GetInt(TopicId::Codes, id, CodeField::Parent);
        named[parent].emplace(variables::foldedKey(s.GetText(TopicId::Codes, id, CodeField::Name)),
                              id);
        ++count[parent];
    }
    StoreBatch unit(s, "Import Codebook", true);
    std::vector<std::int32_t> ids;
    int renamed = 0, existing = 0;
    bool ok = true;
    for (const RCode& c : m.codes) {
        const std::int32_t parent = c.parent < 0 ? 0 : ids[static_cast<std::size_t>(c.parent)];
        const std::string level = cutText(variables::trimmed(c.name), 63);
        auto& siblings = named[parent];
        std::int32_t id = 0;
        for (const std::string& key :
             {variables::foldedKey(level), variables::foldedKey(analysis::shortenName(level, 31))})
            if (auto it = siblings.find(key); it != siblings.end()) {
                id = it->second;
                break;
            }
        if (id) {
            ++existing;
        } else {
            const std::string name = codeName(c.name, renamed);
            id = createCode(s, parent, name, nearestColour(c.colour), count[parent]++);
            if (!id) {
                ok = false;
                break;
            }
            siblings.emplace(variables::foldedKey(name), id);
            ws.notify(ViewEvent::Inserted, TopicId::Codes, id);
            ++report.counts.codes;
            if (!c.description.empty()) {
                const std::int32_t memo =
                    createMemo(s, 0, id, 0, name, "", std::nullopt, memoRtf(c.description));
                RecordCursor kc;
                if (!memo || !s.GetRecord(TopicId::Codes, id, kc)) {
                    ok = false;
                    break;
                }
                kc.setInt(CodeField::MemoID, memo);
                if (!s.Save(kc)) {
                    ok = false;
                    break;
                }
                ++report.counts.notes;
            }
        }
        ids.push_back(id);
    }
    if (!ok) unit.fail();
    if (!unit.finish()) {
        report.counts = RefiCounts{};
        return false;
    }
    if (existing)
        report.notCarried.push_back(std::to_string(existing) +
                                    " codes were in the project already (kept as they were)");
    if (renamed)
        report.notCarried.push_back(std::to_string(renamed) +
                                    " code names shortened to 31 characters or with \"\\\" "
                                    "replaced by \"/\"");
    for (std::string& line : m.notCarried)
        report.notCarried.push_back(std::move(line));
    return true;
}

std::string reportText(const RefiImportReport& r) {
    std::string out;
    auto line = [&](const char* kind, int n) {
        out += kind;
        out += '\t';
        out += std::to_string(n);
        out += '\n';
    };
    line("sources", r.counts.sources);
    line("codes", r.counts.codes);
    line("selections", r.counts.selections);
    line("notes", r.counts.notes);
    line("variables", r.counts.variables);
    line("sets", r.counts.sets);
    for (const std::string& s : r.notCarried)
        out += "not carried: " + s + '\n';
    return out;
}

std::string ImportRefiProjectCommand(UserInterface& ui) {
    const std::string file = ui.chooseFile(FileDialog::ImportRefiProject);
    if (file.empty()) return {};
    const std::string project = ui.chooseFile(FileDialog::NewProject);
    if (project.empty()) return {};
    RefiImportReport report;
    if (!ImportRefiProject(file, project, PositionMode::Auto, ui, report)) return {};
    ui.message("Imported from " + file + " (positions as " +
                   std::string(positionModeName(report.positions)) + "):\n" + reportText(report),
               MessageIcon::Information);
    return project;
}

bool ImportCodebookCommand(analysis::Workspace& ws) {
    const std::string file = ws.ui().chooseFile(FileDialog::ImportCodebook);
    if (file.empty()) return false;
    RefiImportReport report;
    if (!ImportCodebook(ws, file, report)) return false;
    ws.ui().message("Imported from " + file + ":\n" + reportText(report), MessageIcon::Information);
    return true;
}

} // namespace vexana::exchange
