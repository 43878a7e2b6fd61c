#include "ProjectExports.h"

#include "analysis/CodeSystem.h"
#include "platform/Files.h"
#include "platform/Utf8.h"
#include "store/Schema.h"

#include <algorithm>
#include <functional>
#include <unordered_map>
#include <unordered_set>

namespace vexana::browser {

using namespace store;

namespace {

// Past this depth a tree is a damaged file's, not a person's.
constexpr int maxDepth = 1000;
constexpr int indentPerLevel = 360; // twips: a quarter inch

// The order a tree gives, plus what it left out, in record order.
std::vector<std::int32_t> withStragglers(const TopicStore& store, int topic,
                                         std::vector<std::int32_t> ordered) {
    const std::unordered_set<std::int32_t> placed(ordered.begin(), ordered.end());
    store.GetTopic(topic)->forEach([&](std::int32_t id, const std::uint8_t*) {
        if (!placed.count(id)) ordered.push_back(id);
    });
    return ordered;
}

// Record id to position in a list. Ids are handed out one after the other, so a plain
// array serves unless a damaged file holds a few far-flung ones.
class PositionOf {
public:
    explicit PositionOf(const std::vector<std::int32_t>& ids) {
        std::int32_t top = 0;
        for (std::int32_t id : ids)
            top = std::max(top, id);
        dense_ = ids.empty() || std::size_t(top) <= 4 * ids.size() + 1024;
        if (dense_) byId_.assign(std::size_t(top) + 1, -1);
        for (std::size_t i = 0; i < ids.size(); ++i) {
            if (ids[i] < 0) continue;
            if (dense_)
                byId_[std::size_t(ids[i])] = static_cast<std::int32_t>(i);
            else
                sparse_.emplace(ids[i], static_cast<std::int32_t>(i));
        }
    }
    // -1 when the id is not in the list.
    std::int32_t operator()(std::int32_t id) const {
        if (dense_) return id >= 0 && std::size_t(id) < byId_.size() ? byId_[std::size_t(id)] : -1;
        const auto it = sparse_.find(id);
        return it == sparse_.end() ? -1 : it->second;
    }

private:
    bool dense_ = true;
    std::vector<std::int32_t> byId_;
    std::unordered_map<std::int32_t, std::int32_t> sparse_;
};

struct Lines {
    platform::RichText text;
    int count = 0;

    void add(const std::string& utf8, const platform::CharFormat& format, int depth) {
        text.append(platform::RichText::fromPlain(utf8 + "\r", format));
        platform::ParaFormat p;
        p.leftIndent = depth * indentPerLevel;
        text.setParagraphFormatAt(count++, p);
    }
};

platform::CharFormat listFormat() {
    platform::CharFormat f;
    f.font = "Arial";
    f.size = 20; // 10 points
    return f;
}

std::string counted(const TopicStore& s, int topic, std::int32_t id, int field) {
    return s.GetName(topic, id, false) + " (" + std::to_string(s.GetInt(topic, id, field)) + ")";
}

bool active(const TopicStore& s, int topic, std::int32_t id) {
    return (s.GetInt(topic, id, topic == TopicId::Texts ? TextField::State : CodeField::State) &
            StateActive) != 0;
}

void addCodes(const TopicStore& s, std::int32_t parent, int depth,
              std::unordered_set<std::int32_t>& seen,
              const std::function<void(std::int32_t, int)>& f) {
    if (depth > maxDepth) return;
    for (std::int32_t code :
         inIndexOrder(s, TopicId::Codes, s.FindIds(TopicId::Codes, TopicId::Codes, parent))) {
        if (!seen.insert(code).second) continue;
        f(code, depth);
        addCodes(s, code, depth + 1, seen, f);
    }
}

} // namespace

std::vector<std::int32_t> inIndexOrder(const TopicStore& store, int topic,
                                       std::vector<std::int32_t> ids) {
    const Topic* t = store.GetTopic(topic);
    const FieldInfo* index = t ? t->field(GroupField::Index) : nullptr;
    if (!index) return ids;
    std::vector<std::pair<std::int32_t, std::int32_t>> keyed;
    keyed.reserve(ids.size());
    for (std::int32_t id : ids) {
        const std::uint8_t* image = t->image(id);
        keyed.emplace_back(image ? slot::getInt(image, *index) : 0, id);
    }
    std::sort(keyed.begin(), keyed.end());
    for (std::size_t i = 0; i < ids.size(); ++i)
        ids[i] = keyed[i].second;
    return ids;
}

std::vector<std::int32_t> textsInTreeOrder(const TopicStore& store) {
    std::vector<std::int32_t> out;
    out.reserve(static_cast<std::size_t>(store.RecordCount(TopicId::Texts)));
    for (std::int32_t group :
         inIndexOrder(store, TopicId::TextGroups, store.ListIds(TopicId::TextGroups)))
        for (std::int32_t text : inIndexOrder(
                 store, TopicId::Texts, store.FindIds(TopicId::Texts, TopicId::TextGroups, group)))
            out.push_back(text);
    return withStragglers(store, TopicId::Texts, std::move(out));
}

std::vector<std::int32_t> codesInTreeOrder(const TopicStore& store) {
    std::vector<std::int32_t> out;
    out.reserve(static_cast<std::size_t>(store.RecordCount(TopicId::Codes)));
    std::unordered_set<std::int32_t> seen;
    addCodes(store, 0, 0, seen, [&](std::int32_t code, int) { out.push_back(code); });
    return withStragglers(store, TopicId::Codes, std::move(out));
}

platform::RichText documentSystemExport(const TopicStore& s) {
    const platform::CharFormat plain = listFormat();
    platform::CharFormat root = plain, activeText = plain;
    root.bold = true;
    activeText.color = 0xC80000; // the window's red for active texts
    const auto textFormat = [&](std::int32_t text) {
        return active(s, TopicId::Texts, text) ? activeText : plain;
    };
    Lines out;
    out.add("Text Groups", root, 0);
    for (std::int32_t group :
         inIndexOrder(s, TopicId::TextGroups, s.ListIds(TopicId::TextGroups))) {
        out.add(s.GetName(TopicId::TextGroups, group, false), plain, 1);
        for (std::int32_t text :
             inIndexOrder(s, TopicId::Texts, s.FindIds(TopicId::Texts, TopicId::TextGroups, group)))
            out.add(counted(s, TopicId::Texts, text, TextField::Codes), textFormat(text), 2);
    }
    out.add("Sets", root, 0);
    for (std::int32_t set : inIndexOrder(s, TopicId::TextSets, s.ListIds(TopicId::TextSets))) {
        out.add(s.GetName(TopicId::TextSets, set, false), plain, 1);
        for (std::int32_t link : inIndexOrder(
                 s, TopicId::TextLinks, s.FindIds(TopicId::TextLinks, TopicId::TextSets, set))) {
            const std::int32_t text = s.GetInt(TopicId::TextLinks, link, LinkField::Text);
            out.add(s.GetName(TopicId::Texts, text, false), textFormat(text), 2);
        }
    }
    return std::move(out.text);
}

platform::RichText codeSystemExport(const TopicStore& s) {
    platform::CharFormat root = listFormat();
    root.bold = true;
    Lines out;
    out.add("Code System", root, 0);
    std::unordered_set<std::int32_t> seen;
    addCodes(s, 0, 1, seen, [&](std::int32_t code, int depth) {
        platform::CharFormat f = listFormat();
        const analysis::Rgb c =
            analysis::CodeSystem::DisplayColour(s.GetInt(TopicId::Codes, code, CodeField::Type));
        f.color = (c.red << 16) | (c.green << 8) | c.blue;
        f.bold = active(s, TopicId::Codes, code); // the window shows active codes bold
        out.add(counted(s, TopicId::Codes, code, CodeField::Codes), f, depth);
    });
    return std::move(out.text);
}

bool countCodeMatrix(const TopicStore& store, std::vector<std::int32_t> texts,
                     std::vector<std::int32_t> codes, CodeMatrix& out) {
    out = {};
    if (!codes.empty() && texts.size() > maxMatrixCells / codes.size()) return false;
    const PositionOf row(texts), column(codes);
    out.counts.assign(texts.size() * codes.size(), 0);
    const std::size_t width = codes.size();
    const Topic* codings = store.GetTopic(TopicId::Codings);
    const FieldInfo* textField = codings->field(CodingField::Text);
    const FieldInfo* codeField = codings->field(CodingField::Code);
    if (textField && codeField && width > 0)
        codings->forEach([&](std::int32_t, const std::uint8_t* image) {
            const std::int32_t r = row(slot::getInt(image, *textField));
            const std::int32_t c = column(slot::getInt(image, *codeField));
            if (r >= 0 && c >= 0) ++out.counts[std::size_t(r) * width + std::size_t(c)];
        });
    out.texts = std::move(texts);
    out.codes = std::move(codes);
    return true;
}

bool anyActiveCode(const TopicStore& store) {
    bool any = false;
    const Topic* codes = store.GetTopic(TopicId::Codes);
    const FieldInfo* state = codes->field(CodeField::State);
    if (state)
        codes->forEach([&](std::int32_t, const std::uint8_t* image) {
            any = any || (slot::getInt(image, *state) & StateActive);
        });
    return any;
}

std::vector<std::int32_t> matrixCodes(const TopicStore& store, bool onlyActive) {
    std::vector<std::int32_t> codes = codesInTreeOrder(store);
    // With no code active the desktop does not even ask: every code is a column.
    if (onlyActive && anyActiveCode(store))
        std::erase_if(codes,
                      [&](std::int32_t code) { return !active(store, TopicId::Codes, code); });
    return codes;
}

std::string matrixText(const TopicStore& store, const CodeMatrix& m) {
    // A tab or line end inside a name would shift its row.
    const auto cell = [](std::string s) {
        for (char& c : s)
            if (c == '\t' || c == '\r' || c == '\n') c = ' ';
        return s;
    };
    std::string out = "Textname";
    for (std::int32_t code : m.codes)
        out += "\t" + cell(store.GetName(TopicId::Codes, code, true));
    out += "\r\n";
    for (std::size_t r = 0; r < m.texts.size(); ++r) {
        out += cell(store.GetName(TopicId::Texts, m.texts[r], true));
        for (std::size_t c = 0; c < m.codes.size(); ++c) {
            out += '\t';
            out += std::to_string(m.at(r, c));
        }
        out += "\r\n";
    }
    return out;
}

std::string writeExportFile(const std::string& path, std::string_view bytes) {
    platform::AtomicFile file(path);
    if (file.open() && file.write(bytes) && file.commit()) return {};
    return "The file " + path +
           " cannot be written: " + platform::writeFailureText(file.errorNumber()) + ".";
}

std::string exportCodeMatrix(const TopicStore& store, bool onlyActive, const std::string& path) {
    CodeMatrix m;
    if (!countCodeMatrix(store, textsInTreeOrder(store), matrixCodes(store, onlyActive), m))
        return "The matrix of " + std::to_string(store.RecordCount(TopicId::Texts)) +
               " texts and " + std::to_string(matrixCodes(store, onlyActive).size()) +
               " codes is too large to be written.";
    return writeExportFile(path, platform::encodeTextFile(matrixText(store, m)));
}

bool codeMatrixCommand(const TopicStore& store, UserInterface& ui) {
    const bool onlyActive =
        anyActiveCode(store) &&
        ui.captionedQuestion("Matrix of Codefrequency", "Export only active codes?", "Yes", "No");
    const std::string path = ui.chooseFile(FileDialog::ExportMatrix);
    if (path.empty()) return false;
    const std::string error = exportCodeMatrix(store, onlyActive, path);
    if (!error.empty()) ui.message(error, MessageIcon::Stop);
    return error.empty();
}

} // namespace vexana::browser
