#include "RefiExport.h"

#include "RefiGuid.h"
#include "XmlWriter.h"
#include "analysis/CodeSystem.h"
#include "analysis/MemoOperations.h"
#include "analysis/Workspace.h"
#include "platform/Files.h"
#include "platform/Parallel.h"
#include "platform/richtext/RichText.h"
#include "store/CVexDoc.h"
#include "store/Schema.h"
#include "store/TopicStore.h"
#include "store/UserInterface.h"
#include "store/ValueText.h"

#include <algorithm>
#include <cstdio>
#include <functional>
#include <map>
#include <unordered_map>

namespace vexana::exchange {

using namespace store;

namespace {

constexpr std::string_view projectNs = "urn:QDA-XML:project:1.0";
constexpr std::string_view codebookNs = "urn:QDA-XML:codebook:1.0";
constexpr std::string_view origin = "VEXANA";
// What the Description of an exported set says, so an import tells groups from text sets.
constexpr std::string_view groupDescription = "Text group";
constexpr std::string_view setDescription = "Text set";

std::string colourOf(int type) {
    const analysis::Rgb c = analysis::CodeSystem::DisplayColour(type);
    char buf[8];
    std::snprintf(buf, sizeof buf, "#%02X%02X%02X", c.red & 0xFF, c.green & 0xFF, c.blue & 0xFF);
    return buf;
}

// xsd:dateTime, or empty for the unset day 0 and values that are no date.
std::string dateTimeText(const DateTime& d) {
    int y, mo, da, h, mi, s;
    if (d.days == 0.0 || !d.toCivil(y, mo, da, h, mi, s)) return {};
    char buf[32];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02dT%02d:%02d:%02d", y, mo, da, h, mi, s);
    return buf;
}

// The plain form with one line feed per paragraph end: every offset stays where it was.
std::string plainLines(const platform::RichText& text) {
    std::string plain = text.plainText();
    std::replace(plain.begin(), plain.end(), '\r', '\n');
    return plain;
}

bool hasFormatting(const platform::RichText& text) {
    if (text.runs().size() > 1) return true;
    if (!text.runs().empty() &&
        text.formats()[static_cast<std::size_t>(text.runs()[0].format)] != platform::CharFormat{})
        return true;
    for (int p = 0; p < text.paragraphCount(); ++p)
        if (text.paraFormat(p) != platform::ParaFormat{}) return true;
    return false;
}

std::string_view refiType(int type) {
    switch (type) {
    case TypeInteger:
        return "Integer";
    case TypeFloat:
        return "Float";
    case TypeBoolean:
        return "Boolean";
    case TypeDateTime:
        return "DateTime";
    default:
        return "Text";
    }
}

// xsd:decimal has no exponent.
std::string decimalText(double v) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.6f", v);
    std::string s = buf;
    while (s.size() > 1 && s.back() == '0')
        s.pop_back();
    if (s.back() == '.') s.pop_back();
    return s;
}

struct CodeTree {
    std::unordered_map<std::int32_t, std::vector<std::int32_t>> children;
};

CodeTree codeTree(const TopicStore& s) {
    CodeTree tree;
    const Topic* codes = s.GetTopic(TopicId::Codes);
    std::vector<std::int32_t> ids = s.ListIds(TopicId::Codes);
    std::vector<std::pair<std::pair<std::int32_t, std::int32_t>, std::int32_t>> keyed;
    keyed.reserve(ids.size());
    for (std::int32_t id : ids)
        keyed.push_back({{s.GetInt(TopicId::Codes, id, CodeField::Index), id}, id});
    std::sort(keyed.begin(), keyed.end());
    for (const auto& [key, id] : keyed) {
        std::int32_t parent = s.GetInt(TopicId::Codes, id, CodeField::Parent);
        // A parent that is gone (or the code itself) would hide the code: it goes to the top.
        if (parent == id || (parent != 0 && !codes->contains(parent))) parent = 0;
        tree.children[parent].push_back(id);
    }
    return tree;
}

// Every code as a "Code" element inside its parent's, depth first without recursion so a deep
// tree cannot exhaust the stack; `code` writes an element's attributes and leading children.
void writeCodes(XmlWriter& x, const CodeTree& tree, const std::function<void(std::int32_t)>& code) {
    auto top = tree.children.find(0);
    if (top == tree.children.end()) return;
    std::vector<std::pair<const std::vector<std::int32_t>*, std::size_t>> stack{{&top->second, 0}};
    while (!stack.empty()) {
        auto& [list, next] = stack.back();
        if (next == list->size()) {
            stack.pop_back();
            if (!stack.empty()) x.close();
            continue;
        }
        const std::int32_t id = (*list)[next++];
        x.open("Code");
        code(id);
        auto kids = tree.children.find(id);
        if (kids != tree.children.end())
            stack.push_back({&kids->second, 0});
        else
            x.close();
    }
}

class ProjectWriter {
public:
    ProjectWriter(analysis::Workspace& ws, ZipWriter& zip)
        : ws_(ws), s_(ws.store()), zip_(zip), project_(projectGuid(ws.doc())) {}

    RefiCounts counts;

    std::string write() {
        std::string out;
        out.reserve(1 << 20);
        XmlWriter x(out);
        x.declaration();
        x.open("Project");
        x.attribute("xmlns", projectNs);
        x.attribute("name", projectName());
        x.attribute("origin", origin);
        users(x);
        codebook(x);
        variables(x);
        sources(x);
        notes(x);
        sets(x);
        x.close();
        return out;
    }

private:
    std::string guid(std::string_view kind, long long id) const {
        return derivedGuid(project_, kind, id);
    }

    const std::string& codeGuid(std::int32_t code) {
        auto it = codeGuids_.find(code);
        if (it == codeGuids_.end()) it = codeGuids_.emplace(code, guid("code", code)).first;
        return it->second;
    }

    std::string projectName() const {
        std::string path = ws_.doc().title();
        const auto slash = path.find_last_of('/');
        if (slash != std::string::npos) path.erase(0, slash + 1);
        if (const auto dot = path.rfind('.'); dot != std::string::npos && dot > 0) path.erase(dot);
        return path.empty() ? std::string("Project") : path;
    }

    void users(XmlWriter& x) {
        std::map<std::string, std::string> byName;
        for (std::int32_t id : s_.ListIds(TopicId::Memos)) {
            const std::string author = s_.GetText(TopicId::Memos, id, MemoField::Author);
            if (!author.empty()) byName.emplace(author, derivedGuid(project_, "user", author));
        }
        if (byName.empty()) return;
        x.open("Users");
        for (const auto& [name, g] : byName) {
            x.open("User");
            x.attribute("guid", g);
            x.attribute("name", name);
            x.close();
            userGuid_[name] = g;
        }
        x.close();
    }

    void codebook(XmlWriter& x) {
        const CodeTree tree = codeTree(s_);
        if (!tree.children.contains(0)) return;
        x.open("CodeBook");
        x.open("Codes");
        writeCodes(x, tree, [&](std::int32_t id) {
            ++counts.codes;
            RecordCursor c;
            s_.GetRecord(TopicId::Codes, id, c);
            x.attribute("guid", guid("code", id));
            x.attribute("name", c.getText(CodeField::Name));
            x.attribute("isCodable", "true");
            x.attribute("color", colourOf(c.getInt(CodeField::Type)));
            for (std::int32_t memo : s_.FindIds(TopicId::Memos, TopicId::Codes, id)) {
                x.open("NoteRef");
                x.attribute("targetGUID", guid("memo", memo));
                x.close();
            }
        });
        x.close();
        x.close();
    }

    void variables(XmlWriter& x) {
        fields_ = s_.ListVariables(TopicId::Texts);
        if (fields_.empty()) return;
        x.open("Variables");
        for (int f : fields_) {
            const FieldInfo* info = s_.GetField(TopicId::Texts, f);
            x.open("Variable");
            x.attribute("guid", guid("variable", f));
            x.attribute("name", info->name);
            x.attribute("typeOfVariable", refiType(info->type));
            x.close();
            ++counts.variables;
        }
        x.close();
    }

    void value(XmlWriter& x, std::int32_t text, int field) {
        const FieldInfo* info = s_.GetField(TopicId::Texts, field);
        const std::string v = s_.GetText(TopicId::Texts, text, field);
        if (v.empty()) return;
        std::string_view element;
        std::string written;
        switch (info->type) {
        case TypeInteger:
            element = "IntegerValue";
            written = std::to_string(textToInt(v));
            break;
        case TypeBoolean:
            element = "BooleanValue";
            written = textToBool(v) ? "true" : "false";
            break;
        case TypeFloat:
            element = "FloatValue";
            written = decimalText(textToFloat(v));
            break;
        case TypeDateTime: {
            DateTime d;
            if (!parseDate(v, d)) return;
            element = "DateTimeValue";
            written = dateTimeText(d);
            if (written.empty()) return;
            break;
        }
        default:
            element = "TextValue";
            written = v;
        }
        x.open("VariableValue");
        x.open("VariableRef");
        x.attribute("targetGUID", guid("variable", field));
        x.close();
        x.element(element, written);
        x.close();
    }

    // A text made plain, on a worker thread.
    struct Prepared {
        std::int32_t id = 0;
        std::string rtf, plain;
        bool formatted = false;
        std::int32_t length = 0;
    };

    void sources(XmlWriter& x) {
        groups_ = s_.ListIds(TopicId::TextGroups);
        // The bodies are read here (the store stays on this thread); making them plain, the
        // larger part of the work, runs on the other cores while this thread writes.
        std::vector<Prepared> texts;
        for (std::int32_t group : groups_)
            for (std::int32_t text : ws_.documents().TextsOfGroup(group)) {
                RecordCursor c;
                if (!s_.GetRecord(TopicId::Texts, text, c, true)) continue;
                const ByteBlock& block = c.block(TextField::Body);
                texts.push_back(
                    {text, std::string(reinterpret_cast<const char*>(block.data()), block.size())});
            }
        if (texts.empty()) return;
        x.open("Sources");
        platform::produceInOrder(
            texts.size(),
            [&](std::size_t i) {
                Prepared& t = texts[i];
                const platform::RichText body = platform::RichText::fromRtf(t.rtf);
                t.plain = plainLines(body);
                t.formatted = hasFormatting(body);
                t.length = body.length();
            },
            [&](std::size_t i) { source(x, texts[i]); });
        x.close();
    }

    void source(XmlWriter& x, Prepared& t) {
        const std::int32_t id = t.id;
        RecordCursor c;
        if (!s_.GetRecord(TopicId::Texts, id, c)) return;
        const std::string g = guid("text", id);
        ++counts.sources;
        x.open("TextSource");
        x.attribute("guid", g);
        x.attribute("name", c.getText(TextField::Name));
        if (t.formatted) {
            x.attribute("richTextPath", "internal://" + g + ".rtf");
            // Beside the plain text it carries only the formats: not worth the time to deflate.
            zip_.add("sources/" + g + ".rtf", std::move(t.rtf), false);
        }
        x.attribute("plainTextPath", "internal://" + g + ".txt");
        if (const std::string d = dateTimeText(c.getDate(TextField::Date)); !d.empty())
            x.attribute("creationDateTime", d);
        zip_.add("sources/" + g + ".txt", std::move(t.plain));
        t.rtf = std::string();

        struct Place {
            std::int32_t start, end;
            bool memo;
            std::int32_t id, code;
        };
        std::vector<Place> places;
        for (std::int32_t k : s_.FindIds(TopicId::Codings, TopicId::Texts, id)) {
            const std::int32_t code = s_.GetInt(TopicId::Codings, k, CodingField::Code);
            if (code == 0) continue; // an analysis's result, no coding of the project
            places.push_back({s_.GetInt(TopicId::Codings, k, CodingField::StartChar),
                              s_.GetInt(TopicId::Codings, k, CodingField::FinishChar), false, k,
                              code});
        }
        for (std::int32_t m : s_.FindIds(TopicId::Memos, TopicId::Texts, id)) {
            const std::int32_t pos = s_.GetInt(TopicId::Memos, m, MemoField::Pos);
            places.push_back({pos, pos, true, m, 0});
        }
        std::sort(places.begin(), places.end(), [](const Place& a, const Place& b) {
            return std::tie(a.start, a.end, a.memo, a.id) < std::tie(b.start, b.end, b.memo, b.id);
        });
        const std::int32_t length = t.length;
        for (const Place& p : places) {
            const std::int32_t a = std::clamp(p.start, 0, length);
            const std::int32_t b = std::clamp(p.end, a, length);
            ++counts.selections;
            x.open("PlainTextSelection");
            x.attribute("guid", guid(p.memo ? "memo place" : "selection", p.id));
            x.attribute("startPosition", a);
            x.attribute("endPosition", b);
            if (p.memo) {
                x.open("NoteRef");
                x.attribute("targetGUID", guid("memo", p.id));
                x.close();
            } else {
                x.open("Coding");
                x.attribute("guid", guid("coding", p.id));
                x.open("CodeRef");
                x.attribute("targetGUID", codeGuid(p.code));
                x.close();
                x.close();
            }
            x.close();
        }
        for (int f : fields_)
            value(x, id, f);
        x.close();
    }

    void notes(XmlWriter& x) {
        const std::vector<std::int32_t> memos = s_.ListIds(TopicId::Memos);
        bool any = false;
        for (std::int32_t id : memos) {
            RecordCursor c;
            if (!s_.GetRecord(TopicId::Memos, id, c, true)) continue;
            if (c.getInt(MemoField::Text) == 0 && c.getInt(MemoField::Code) == 0) continue;
            if (!any) x.open("Notes");
            any = true;
            ++counts.notes;
            const std::string g = guid("memo", id);
            const ByteBlock& block = c.block(MemoField::Body);
            const platform::RichText body = analysis::readMemoBody(block);
            x.open("Note");
            x.attribute("guid", g);
            x.attribute("name", c.getText(MemoField::Title));
            if (hasFormatting(body)) {
                x.attribute("richTextPath", "internal://" + g + ".rtf");
                zip_.add("sources/" + g + ".rtf",
                         std::string(reinterpret_cast<const char*>(block.data()), block.size()));
            }
            if (const auto u = userGuid_.find(c.getText(MemoField::Author)); u != userGuid_.end())
                x.attribute("creatingUser", u->second);
            if (const std::string d = dateTimeText(c.getDate(MemoField::Date)); !d.empty())
                x.attribute("creationDateTime", d);
            x.element("PlainTextContent", plainLines(body));
            x.close();
        }
        if (any) x.close();
    }

    void sets(XmlWriter& x) {
        const std::vector<std::int32_t> sets = s_.ListIds(TopicId::TextSets);
        if (groups_.empty() && sets.empty()) return;
        x.open("Sets");
        for (std::int32_t group : groups_) {
            ++counts.sets;
            x.open("Set");
            x.attribute("guid", guid("group", group));
            x.attribute("name", s_.GetText(TopicId::TextGroups, group, GroupField::Name));
            x.element("Description", groupDescription);
            for (std::int32_t text : ws_.documents().TextsOfGroup(group)) {
                x.open("MemberSource");
                x.attribute("targetGUID", guid("text", text));
                x.close();
            }
            x.close();
        }
        for (std::int32_t set : sets) {
            ++counts.sets;
            x.open("Set");
            x.attribute("guid", guid("set", set));
            x.attribute("name", s_.GetText(TopicId::TextSets, set, GroupField::Name));
            x.element("Description", setDescription);
            std::vector<std::int32_t> seen;
            for (std::int32_t link : s_.FindIds(TopicId::TextLinks, TopicId::TextSets, set)) {
                const std::int32_t text = s_.GetInt(TopicId::TextLinks, link, LinkField::Text);
                if (!s_.GetTopic(TopicId::Texts)->contains(text) ||
                    std::find(seen.begin(), seen.end(), text) != seen.end())
                    continue;
                seen.push_back(text);
                x.open("MemberSource");
                x.attribute("targetGUID", guid("text", text));
                x.close();
            }
            x.close();
        }
        x.close();
    }

    analysis::Workspace& ws_;
    TopicStore& s_;
    ZipWriter& zip_;
    std::string project_;
    std::vector<int> fields_;
    std::vector<std::int32_t> groups_;
    std::unordered_map<std::string, std::string> userGuid_;
    std::unordered_map<std::int32_t, std::string> codeGuids_;
};

} // namespace

bool RefiExport::BuildProject(ZipWriter& zip, RefiCounts* counts) {
    ProjectWriter writer(ws_, zip);
    std::string qde = writer.write();
    zip.add("project.qde", std::move(qde));
    if (counts) *counts = writer.counts;
    return true;
}

std::string RefiExport::BuildCodebook(RefiCounts* counts) {
    TopicStore& s = ws_.store();
    const std::string project = projectGuid(ws_.doc());
    const CodeTree tree = codeTree(s);
    std::string out;
    XmlWriter x(out);
    x.declaration();
    x.open("CodeBook");
    x.attribute("xmlns", codebookNs);
    x.attribute("origin", origin);
    x.open("Codes");
    RefiCounts n;
    writeCodes(x, tree, [&](std::int32_t id) {
        ++n.codes;
        x.attribute("guid", derivedGuid(project, "code", id));
        x.attribute("name", s.GetText(TopicId::Codes, id, CodeField::Name));
        x.attribute("isCodable", "true");
        x.attribute("color", colourOf(s.GetInt(TopicId::Codes, id, CodeField::Type)));
        // The codebook has no notes: the code's memo is its description.
        for (std::int32_t memo : s.FindIds(TopicId::Memos, TopicId::Codes, id)) {
            RecordCursor c;
            if (!s.GetRecord(TopicId::Memos, memo, c, true)) continue;
            const std::string text = plainLines(analysis::readMemoBody(c.block(MemoField::Body)));
            if (!text.empty()) {
                x.element("Description", text);
                break;
            }
        }
    });
    x.close();
    x.close();
    if (counts) *counts = n;
    return out;
}

bool RefiExport::writeWhole(const std::string& path, std::string_view bytes) {
    const std::string error = platform::writeFileAtomic(path, bytes);
    if (error.empty()) return true;
    ws_.ui().message("The file " + path + " cannot be written: " + error + ".", MessageIcon::Stop);
    return false;
}

bool RefiExport::ExportProject(const std::string& path, RefiCounts* counts) {
    ws_.ui().waitCursor(true);
    ZipWriter zip;
    BuildProject(zip, counts);
    std::string bytes, error;
    bool ok = zip.build(bytes, error);
    if (!ok)
        ws_.ui().message("The file " + path + " cannot be written: " + error + ".",
                         MessageIcon::Stop);
    else
        ok = writeWhole(path, bytes);
    ws_.ui().waitCursor(false);
    return ok;
}

bool RefiExport::ExportCodebook(const std::string& path, RefiCounts* counts) {
    return writeWhole(path, BuildCodebook(counts));
}

bool RefiExport::ExportProjectCommand() {
    const std::string path = ws_.ui().chooseFile(FileDialog::ExportRefiProject);
    return !path.empty() && ExportProject(path);
}

bool RefiExport::ExportCodebookCommand() {
    const std::string path = ws_.ui().chooseFile(FileDialog::ExportCodebook);
    return !path.empty() && ExportCodebook(path);
}

} // namespace vexana::exchange
