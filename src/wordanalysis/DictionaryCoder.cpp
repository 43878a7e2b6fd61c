#include "DictionaryCoder.h"

#include "Dictionary.h"
#include "analysis/DocumentSystem.h"
#include "analysis/Workspace.h"
#include "platform/Files.h"
#include "platform/Utf8.h"
#include "platform/richtext/RichText.h"
#include "store/AppSettings.h"
#include "store/Schema.h"
#include "store/SchemaSetup.h"
#include "store/TopicStore.h"

#include <algorithm>
#include <array>
#include <climits>
#include <optional>
#include <span>
#include <unordered_map>

namespace vexana::wordanalysis {

using namespace vexana::store;

namespace {

std::size_t utf8Bytes(char32_t c) {
    return c < 0x80 ? 1 : c < 0x800 ? 2 : c < 0x10000 ? 3 : 4;
}

platform::RichText bodyOf(TopicStore& store, std::int32_t text) {
    RecordCursor c;
    if (!store.GetRecord(TopicId::Texts, text, c, true)) return {};
    const ByteBlock& b = c.block(TextField::Body);
    return platform::RichText::fromRtf(
        std::string_view(reinterpret_cast<const char*>(b.data()), b.size()));
}

std::unordered_map<std::int32_t, std::vector<std::int32_t>> childrenOf(const TopicStore& store) {
    std::unordered_map<std::int32_t, std::vector<std::int32_t>> children;
    for (std::int32_t c : store.ListIds(TopicId::Codes))
        children[store.GetInt(TopicId::Codes, c, CodeField::Parent)].push_back(c);
    return children;
}

void attach(TopicStore& store, int id, std::string name, int state, int parent) {
    FieldInfo f;
    f.id = id;
    f.name = std::move(name);
    f.type = TypeInteger;
    f.state = state;
    f.parentTopic = parent;
    store.AttachField(TopicId::CoderResults, std::move(f));
}

} // namespace

CoderOptions CoderOptions::fromSettings(const AppSettings& settings) {
    CoderOptions o;
    o.oneWordCount = settings.qntFlag("OneWordCount") != 0;
    o.noEmptyItems = settings.qntFlag("NoEmptyItems") != 0;
    // No default path: one made up for another system means nothing here.
    if (settings.qntFlag("Validate") != 0)
        o.documentation = settings.profile().readString("QNT", "ValidateDir");
    return o;
}

// --- matching ---------------------------------------------------------------------------

DictionaryMatcher::DictionaryMatcher(const Dictionary& dictionary,
                                     browser::WordDelimiters delimiters)
    : delimiters_(std::move(delimiters)) {
    const TopicStore& st = dictionary.store();
    std::vector<std::pair<std::u32string, std::int32_t>> named;
    for (std::int32_t c : dictionary.categories())
        if (st.GetInt(TopicId::DictCategories, c, DictCategoryField::Type) == 0)
            named.emplace_back(
                foldedName(st.GetText(TopicId::DictCategories, c, DictCategoryField::Name)), c);
    std::stable_sort(named.begin(), named.end());
    if (named.size() > static_cast<std::size_t>(CoderField::MaxCategories))
        named.resize(static_cast<std::size_t>(CoderField::MaxCategories));
    for (const auto& [name, c] : named) {
        columns_.push_back(c);
        Column column{st.GetInt(TopicId::DictCategories, c, DictCategoryField::Number), {}};
        for (std::int32_t i : dictionary.items(c)) {
            if (st.GetInt(TopicId::DictItems, i, DictItemField::Type) != 0) continue;
            Needle n{platform::utf8ToChars(st.GetText(TopicId::DictItems, i, DictItemField::Text)),
                     st.GetInt(TopicId::DictItems, i, DictItemField::Exact) != 0,
                     st.GetInt(TopicId::DictItems, i, DictItemField::Case) != 0,
                     st.GetInt(TopicId::DictItems, i, DictItemField::Start) != 0};
            // An empty needle would be found everywhere without ever advancing.
            if (n.text.empty()) continue;
            if (!n.caseSensitive) {
                for (char32_t& ch : n.text)
                    ch = browser::foldCase(ch);
                anyFolded_ = true;
            }
            column.needles.push_back(std::move(n));
        }
        items_.push_back(std::move(column));
    }
}

bool DictionaryMatcher::separatorAt(std::u32string_view text, std::size_t i) const {
    return delimiters_.contains(text[i]);
}

namespace {

// Where each character stands in a unit, so an item is looked for only at the places of its
// rarest character instead of scanning the whole unit once per item.
class CharIndex {
public:
    explicit CharIndex(std::u32string_view text) {
        std::array<std::uint32_t, 257> start{};
        for (char32_t c : text)
            if (c < 256)
                ++start[c + 1];
            else
                others_[c].push_back(0);
        for (std::size_t c = 1; c < start.size(); ++c)
            start[c] += start[c - 1];
        first_ = start;
        latin_.resize(start[256]);
        for (auto& [c, places] : others_)
            places.clear();
        for (std::size_t i = 0; i < text.size(); ++i) {
            const char32_t c = text[i];
            if (c < 256)
                latin_[start[c]++] = static_cast<std::uint32_t>(i);
            else
                others_[c].push_back(static_cast<std::uint32_t>(i));
        }
    }
    std::span<const std::uint32_t> places(char32_t c) const {
        if (c < 256) return {latin_.data() + first_[c], latin_.data() + first_[c + 1]};
        const auto it = others_.find(c);
        return it == others_.end() ? std::span<const std::uint32_t>() : it->second;
    }

private:
    std::array<std::uint32_t, 257> first_{};
    std::vector<std::uint32_t> latin_;
    std::unordered_map<char32_t, std::vector<std::uint32_t>> others_;
};

} // namespace

void DictionaryMatcher::match(std::u32string_view text, bool once,
                              std::vector<std::int32_t>& counts,
                              std::vector<CoderHit>* hits) const {
    std::u32string foldedCopy;
    if (anyFolded_) {
        foldedCopy.assign(text);
        for (char32_t& c : foldedCopy)
            c = browser::foldCase(c);
    }
    const std::u32string_view folded(foldedCopy);
    std::optional<CharIndex> plainIndex, foldedIndex;
    // The places a category has counted, marked in the unit and unmarked after it.
    std::vector<std::uint8_t> listed(text.size(), 0);
    std::vector<std::size_t> marked;
    counts.resize(items_.size(), 0);
    for (std::size_t col = 0; col < items_.size(); ++col) {
        const Column& column = items_[col];
        std::int32_t total = 0;
        for (const Needle& n : column.needles) {
            const std::u32string_view hay = n.caseSensitive ? text : folded;
            const std::size_t len = n.text.size();
            if (len > hay.size()) continue;
            std::optional<CharIndex>& index = n.caseSensitive ? plainIndex : foldedIndex;
            if (!index) index.emplace(hay);
            // The needle's rarest character in this unit decides where to look.
            std::size_t key = 0;
            std::span<const std::uint32_t> candidates = index->places(n.text[0]);
            for (std::size_t k = 1; k < len && !candidates.empty(); ++k) {
                const auto other = index->places(n.text[k]);
                if (other.size() < candidates.size()) {
                    candidates = other;
                    key = k;
                }
            }
            const std::u32string_view needle(n.text);
            std::size_t from = 0; // the search goes on after each occurrence, as a scan would
            for (const std::uint32_t q : candidates) {
                if (q < key) continue;
                const std::size_t p = q - key;
                if (p < from) continue;
                if (p + len > hay.size()) break;
                if (hay.compare(p, len, needle) != 0) continue;
                from = p + len;
                const bool before = p == 0 || separatorAt(hay, p - 1);
                if (n.exact) {
                    if (!before || (p + len < hay.size() && !separatorAt(hay, p + len))) continue;
                } else if (n.startingLetters && !before) {
                    continue;
                }
                if (listed[p]) {
                    if (once) break;
                    continue;
                }
                listed[p] = 1;
                marked.push_back(p);
                ++total;
                if (hits)
                    hits->push_back({column.number, static_cast<std::int32_t>(p),
                                     static_cast<std::int32_t>(p + len)});
                if (once) break;
            }
        }
        counts[col] += total;
        for (std::size_t p : marked)
            listed[p] = 0;
        marked.clear();
    }
}

std::int32_t DictionaryMatcher::words(std::u32string_view text) const {
    std::int32_t n = 0;
    std::size_t bytes = 0;
    for (std::size_t i = 0; i <= text.size(); ++i) {
        if (i == text.size() || delimiters_.contains(text[i])) {
            if (bytes > 0 && bytes < 64) ++n;
            bytes = 0;
        } else {
            bytes += utf8Bytes(text[i]);
        }
    }
    return n;
}

// --- the coder --------------------------------------------------------------------------

DictionaryCoder::DictionaryCoder(analysis::Workspace& ws, const Dictionary& dictionary,
                                 browser::WordDelimiters delimiters)
    : ws_(ws), dictionary_(dictionary), delimiters_(std::move(delimiters)) {}

std::vector<std::int32_t> DictionaryCoder::textsOf(const TopicStore& store,
                                                   analysis::ActivationScope scope,
                                                   std::int32_t id) {
    using analysis::ActivationScope;
    std::vector<std::int32_t> texts;
    const auto linkText = [&](std::int32_t link) {
        const std::int32_t t = store.GetInt(TopicId::TextLinks, link, LinkField::Text);
        if (store.GetTopic(TopicId::Texts)->contains(t)) texts.push_back(t);
    };
    switch (scope) {
    case ActivationScope::AllTexts:
        return store.ListIds(TopicId::Texts);
    case ActivationScope::Group:
        for (std::int32_t t : store.ListIds(TopicId::Texts))
            if (store.GetInt(TopicId::Texts, t, TextField::Group) == id) texts.push_back(t);
        break;
    case ActivationScope::AllSets:
    case ActivationScope::Set:
        for (std::int32_t l : store.ListIds(TopicId::TextLinks))
            if (scope == ActivationScope::AllSets ||
                store.GetInt(TopicId::TextLinks, l, LinkField::Set) == id)
                linkText(l);
        break;
    case ActivationScope::Text:
        if (store.GetTopic(TopicId::Texts)->contains(id)) texts.push_back(id);
        break;
    case ActivationScope::Link:
        if (store.GetTopic(TopicId::TextLinks)->contains(id)) linkText(id);
        break;
    default:
        break;
    }
    return texts;
}

int DictionaryCoder::levelBound(const TopicStore& store, const std::vector<std::int32_t>& codes) {
    if (codes.empty()) return 1;
    const auto children = childrenOf(store);
    int bound = INT_MAX;
    for (std::int32_t code : codes) {
        // Breadth first: the first code without subcodes is the shallowest.
        std::vector<std::int32_t> level{code};
        int depth = 1;
        for (; !level.empty(); ++depth) {
            std::vector<std::int32_t> next;
            bool leaf = false;
            for (std::int32_t c : level) {
                const auto it = children.find(c);
                if (it == children.end() || it->second.empty()) {
                    leaf = true;
                    break;
                }
                next.insert(next.end(), it->second.begin(), it->second.end());
            }
            if (leaf) break;
            level = std::move(next);
        }
        bound = std::min(bound, depth);
    }
    return bound;
}

std::string DictionaryCoder::codesSetting(const std::vector<std::int32_t>& codes) {
    std::string s;
    for (std::int32_t c : codes)
        s += "[" + std::to_string(c) + "]";
    return s;
}

std::vector<std::int32_t> DictionaryCoder::parseCodesSetting(std::string_view setting) {
    std::vector<std::int32_t> codes;
    for (std::size_t open = setting.find('['); open != std::string_view::npos;
         open = setting.find('[', open + 1)) {
        const std::size_t close = setting.find(']', open);
        if (close == std::string_view::npos) break;
        const std::string_view digits = setting.substr(open + 1, close - open - 1);
        if (digits.empty() || digits.size() > 10 ||
            digits.find_first_not_of("0123456789") != std::string_view::npos)
            continue;
        const long long v = std::stoll(std::string(digits));
        if (v > 0 && v <= INT32_MAX) codes.push_back(static_cast<std::int32_t>(v));
    }
    return codes;
}

std::vector<std::int32_t> DictionaryCoder::storedCodes() const {
    return parseCodesSetting(ws_.doc().setup("QntCodes"));
}

int DictionaryCoder::storedLevel() const {
    const std::string v = ws_.doc().setup("QntDepth");
    if (v.empty() || v.size() > 6 || v.find_first_not_of("0123456789") != std::string::npos)
        return 0;
    return std::stoi(v);
}

CoderOutcome DictionaryCoder::run(const std::vector<std::int32_t>& texts,
                                  const CoderOptions& options) {
    CoderOutcome out;
    CVexDoc& doc = ws_.doc();
    TopicStore& st = ws_.store();
    UserInterface& ui = ws_.ui();
    const int level =
        std::clamp(options.level, 0, options.level > 0 ? levelBound(st, options.codes) : 0);
    const DictionaryMatcher matcher(dictionary_, delimiters_);

    // The units: (text, code) pairs, the code 0 for whole texts.
    const auto children = childrenOf(st);
    std::vector<std::int32_t> unitCodes;
    if (level == 0) {
        unitCodes.push_back(0);
    } else {
        for (std::int32_t code : options.codes) {
            std::vector<std::int32_t> reached{code};
            for (int step = 1; step < level; ++step) {
                std::vector<std::int32_t> next;
                for (std::int32_t c : reached)
                    if (const auto it = children.find(c); it != children.end())
                        next.insert(next.end(), it->second.begin(), it->second.end());
                reached = std::move(next);
            }
            unitCodes.insert(unitCodes.end(), reached.begin(), reached.end());
        }
    }

    StoreBatch unit(st, "VEXLexa Coder");
    ProjectDatabase* db = doc.database();
    if (db && !db->isReadOnly() &&
        (!db->SetSetup("QntDepth", std::to_string(level)) ||
         !db->SetSetup("QntCodes", codesSetting(options.codes)))) {
        unit.fail();
        unit.finish();
        out.error = "The coder's choices could not be stored in the project.";
        return out;
    }

    Topic* results = st.CreateTopic(TopicId::CoderResults);
    results->clear();
    attach(st, CoderField::ID, "ID", 9, 0);
    attach(st, CoderField::Type, "Type", 33, 0);
    attach(st, CoderField::TextGroup, "Text Group", 1, TopicId::TextGroups);
    attach(st, CoderField::Text, "Text", 1, TopicId::Texts);
    attach(st, CoderField::TextId, "Text-ID", 1, 0);
    attach(st, CoderField::Code, "Code", 1, TopicId::Codes);
    attach(st, CoderField::Words, "Words", 1, 0);
    for (std::size_t k = 0; k < matcher.columns().size(); ++k)
        attach(st, CoderField::FirstCategory + static_cast<int>(k),
               st.GetText(TopicId::DictCategories, matcher.columns()[k], DictCategoryField::Name),
               1, 0);

    const bool documenting = !options.documentation.empty();
    platform::RichText documentation;
    platform::CharFormat tagFormat;
    tagFormat.font = "Tahoma";
    tagFormat.size = 18;
    tagFormat.background = 0xFFFF00;
    const platform::CharFormat plainFormat;

    ui.progressOpen();
    std::vector<std::int32_t> counts;
    std::vector<CoderHit> hits;
    bool failed = false;
    for (std::int32_t text : texts) {
        if (failed) break;
        const platform::RichText body = bodyOf(st, text);
        const std::u32string& chars = body.chars();
        for (std::int32_t code : unitCodes) {
            std::vector<std::pair<std::int32_t, std::int32_t>> ranges;
            if (code == 0) {
                ranges.emplace_back(0, body.length());
            } else {
                for (std::int32_t coding :
                     st.FindIds(TopicId::Codings, TopicId::Texts, text, TopicId::Codes, code)) {
                    const std::int32_t a =
                        std::clamp(st.GetInt(TopicId::Codings, coding, CodingField::StartChar), 0,
                                   body.length());
                    const std::int32_t b =
                        std::clamp(st.GetInt(TopicId::Codings, coding, CodingField::FinishChar), a,
                                   body.length());
                    ranges.emplace_back(a, b);
                }
                std::sort(ranges.begin(), ranges.end());
            }
            counts.assign(matcher.columns().size(), 0);
            std::int32_t words = 0;
            platform::RichText unitText;
            for (const auto& [a, b] : ranges) {
                const std::u32string_view segment = std::u32string_view(chars).substr(
                    static_cast<std::size_t>(a), static_cast<std::size_t>(b - a));
                words += matcher.words(segment);
                hits.clear();
                // Each segment keeps its own hit list: its places count from its own start.
                matcher.match(segment, options.oneWordCount, counts, documenting ? &hits : nullptr);
                if (!documenting) continue;
                platform::RichText piece = body.range(a, b);
                std::stable_sort(hits.begin(), hits.end(),
                                 [](const auto& x, const auto& y) { return x.end < y.end; });
                // From the back, so the earlier places stay where they are.
                for (auto h = hits.rbegin(); h != hits.rend(); ++h) {
                    platform::RichText tag;
                    const std::string label = "[" + std::to_string(h->category) + "]";
                    tag.appendChars(std::u32string(label.begin(), label.end()), tagFormat);
                    piece.replace(h->end, h->end, tag);
                }
                unitText.append(piece);
            }
            if (code != 0 && options.noEmptyItems && words == 0) continue;
            RecordCursor c;
            if (!st.NewRecord(TopicId::CoderResults, c)) {
                failed = true;
                break;
            }
            c.setInt(CoderField::TextGroup, st.GetInt(TopicId::Texts, text, TextField::Group));
            c.setInt(CoderField::Text, text);
            c.setInt(CoderField::TextId, text);
            c.setInt(CoderField::Code, code);
            c.setInt(CoderField::Words, words);
            for (std::size_t k = 0; k < counts.size(); ++k)
                c.setInt(CoderField::FirstCategory + static_cast<int>(k), counts[k]);
            if (!st.Save(c)) {
                failed = true;
                break;
            }
            ++out.units;
            ui.progressText("Text Units: " + std::to_string(out.units));
            if (documenting) {
                const std::string heading =
                    st.GetName(TopicId::Texts, text, false) + "\\" +
                    (code ? st.GetName(TopicId::Codes, code, false) : std::string());
                documentation.appendChars(platform::utf8ToChars(heading) + U"\r\r", plainFormat);
                documentation.append(unitText);
                documentation.appendChars(U"\r\r", plainFormat);
            }
        }
    }
    ui.progressClose();
    if (failed) unit.fail();
    if (!unit.finish() || failed) {
        results->clear();
        out.units = 0;
        out.error = "The results of the coder could not be kept.";
        return out;
    }
    out.ok = true;
    if (documenting) {
        const std::string error =
            platform::writeFileAtomic(options.documentation, documentation.toRtf());
        if (error.empty())
            out.documented = true;
        else
            out.error =
                "The documentation " + options.documentation + " cannot be written: " + error + ".";
    }
    return out;
}

} // namespace vexana::wordanalysis
