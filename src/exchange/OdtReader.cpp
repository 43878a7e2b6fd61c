#include "DocumentReaders.h"
#include "RichTextBuilder.h"
#include "SafeXml.h"
#include "ZipArchive.h"

#include <cstdlib>
#include <optional>
#include <unordered_map>

namespace vexana::exchange {

using platform::CharFormat;

namespace {

// Styles of both parts, by name, with their parents.
class Styles {
public:
    void load(const xmlNode* container) {
        for (const xmlNode* c = container ? container->children : nullptr; c; c = c->next) {
            if (!isElement(c, "style")) continue;
            Style& s = styles_[attribute(c, "name")];
            s = Style{};
            s.parent = attribute(c, "parent-style-name");
            s.align = attribute(child(c, "paragraph-properties"), "text-align");
            const xmlNode* t = child(c, "text-properties");
            if (!t) continue;
            const std::string weight = attribute(t, "font-weight");
            if (!weight.empty()) s.own.bold = weight == "bold" || std::atoi(weight.c_str()) >= 600;
            const std::string style = attribute(t, "font-style");
            if (!style.empty()) s.own.italic = style == "italic" || style == "oblique";
            const std::string underline = attribute(t, "text-underline-style");
            if (!underline.empty()) s.own.underline = underline != "none";
        }
    }
    FormatToggles of(const std::string& name) const { return resolve(name, 0); }
    std::string alignOf(const std::string& name) const {
        const Style* s = find(name);
        for (int depth = 0; s && depth < 32; ++depth, s = find(s->parent))
            if (!s->align.empty()) return s->align;
        return {};
    }

private:
    struct Style {
        FormatToggles own;
        std::string parent, align;
    };
    const Style* find(const std::string& name) const {
        const auto it = styles_.find(name);
        return name.empty() || it == styles_.end() ? nullptr : &it->second;
    }
    // A parent cycle ends at the depth bound.
    FormatToggles resolve(const std::string& name, int depth) const {
        const Style* s = find(name);
        if (!s || depth > 32) return {};
        return resolve(s->parent, depth + 1).under(s->own);
    }
    std::unordered_map<std::string, Style> styles_;
};

class Walker {
public:
    Walker(RichTextBuilder& out, const Styles& styles) : out_(out), styles_(styles) {}

    void blocks(const xmlNode* parent, int depth) {
        if (depth > 64) return;
        for (const xmlNode* c = parent->children; c; c = c->next) {
            if (c->type != XML_ELEMENT_NODE) continue;
            if (isElement(c, "p") || isElement(c, "h"))
                paragraph(c);
            else if (isElement(c, "table"))
                table(c, depth);
            else if (!skipped(c))
                blocks(c, depth + 1); // lists, sections, index bodies
        }
    }

private:
    // Notes, annotations, change records and declarations are not the running text.
    static bool skipped(const xmlNode* c) {
        for (std::string_view n :
             {"note", "annotation", "tracked-changes", "sequence-decls", "variable-decls",
              "user-field-decls", "forms", "index-title-template", "table-of-content-source"})
            if (isElement(c, n)) return true;
        return false;
    }

    void paragraph(const xmlNode* p) {
        const std::string style = attribute(p, "style-name");
        const std::string align = styles_.alignOf(style);
        platform::ParaFormat para;
        if (align == "center")
            para.align = platform::Align::Center;
        else if (align == "end" || align == "right")
            para.align = platform::Align::Right;
        else if (align == "justify")
            para.align = platform::Align::Justify;
        out_.paragraphFormat(para);
        inlines(p, styles_.of(style), 0);
        out_.paragraphEnd();
    }

    void inlines(const xmlNode* parent, const FormatToggles& base, int depth) {
        if (depth > 64) return;
        const CharFormat f = base.format();
        for (const xmlNode* c = parent->children; c; c = c->next) {
            if (c->type == XML_TEXT_NODE) {
                out_.text(reinterpret_cast<const char*>(c->content), f, true);
                continue;
            }
            if (c->type != XML_ELEMENT_NODE || skipped(c)) continue;
            if (isElement(c, "s")) {
                const int n = std::max(1, std::min(1000, std::atoi(attribute(c, "c").c_str())));
                for (int k = 0; k < n; ++k)
                    out_.hardSpace(f);
            } else if (isElement(c, "tab")) {
                out_.tab(f);
            } else if (isElement(c, "line-break")) {
                out_.paragraphEnd();
            } else if (isElement(c, "span")) {
                inlines(c, base.under(styles_.of(attribute(c, "style-name"))), depth + 1);
            } else if (isElement(c, "p") || isElement(c, "h")) {
                paragraph(c); // in a text box
            } else if (!isElement(c, "bookmark") && !isElement(c, "soft-page-break")) {
                inlines(c, base, depth + 1); // links, fields, frames
            }
        }
    }

    void table(const xmlNode* t, int depth) {
        out_.closeParagraph();
        rows(t, depth);
    }
    void rows(const xmlNode* parent, int depth) {
        if (depth > 64) return;
        for (const xmlNode* r = parent->children; r; r = r->next) {
            if (isElement(r, "table-header-rows") || isElement(r, "table-rows") ||
                isElement(r, "table-row-group")) {
                rows(r, depth + 1);
                continue;
            }
            if (!isElement(r, "table-row")) continue;
            for (const xmlNode* cell = r->children; cell; cell = cell->next) {
                if (!isElement(cell, "table-cell") && !isElement(cell, "covered-table-cell"))
                    continue;
                blocks(cell, depth + 1);
                out_.cellEnd();
            }
            out_.rowEnd();
        }
    }

    RichTextBuilder& out_;
    const Styles& styles_;
};

} // namespace

std::optional<platform::RichText> readOdt(std::string_view bytes, std::string& error) {
    const std::string what = "is not an OpenDocument text";
    std::string why;
    const auto zip = ZipArchive::fromBytes(std::string(bytes), why);
    if (!zip) {
        error = what + " (it " + why + ")";
        return std::nullopt;
    }
    if (zip->contains("mimetype")) {
        const auto type = zip->read("mimetype", 200, why);
        if (!type || !type->starts_with("application/vnd.oasis.opendocument.text")) {
            error = what + " (it is " + (type ? *type : std::string("of an unknown kind")) + ")";
            return std::nullopt;
        }
    }
    // With a password, the parts are encrypted within an ordinary archive; only the manifest
    // says so.
    if (const auto manifest = zip->read("META-INF/manifest.xml", maxDocumentPartBytes, why);
        manifest && manifest->find("encryption-data") != std::string::npos) {
        error = "is protected by a password";
        return std::nullopt;
    }
    if (!zip->contains("content.xml")) {
        error = what + " (it has no content.xml)";
        return std::nullopt;
    }
    const auto xml = zip->read("content.xml", maxDocumentPartBytes, why);
    if (!xml) {
        error = "can not be read: it " + why;
        return std::nullopt;
    }
    const XmlDoc doc = parseXml(*xml, why);
    if (!doc) {
        error = "can not be read: its content.xml " + why;
        return std::nullopt;
    }
    const xmlNode* root = xmlDocGetRootElement(doc.get());
    const xmlNode* text = child(child(root, "body"), "text");
    if (!text) {
        error = what + " (its content.xml holds no text body)";
        return std::nullopt;
    }
    // Named styles first, so the document's own automatic styles can refer to them. Styles
    // only add formatting: a document whose styles.xml cannot be read keeps its text.
    Styles styles;
    XmlDoc named;
    if (const auto s = zip->read("styles.xml", maxDocumentPartBytes, why))
        named = parseXml(*s, why);
    if (named) {
        const xmlNode* sr = xmlDocGetRootElement(named.get());
        styles.load(child(sr, "styles"));
        styles.load(child(sr, "automatic-styles"));
    }
    styles.load(child(root, "automatic-styles"));
    RichTextBuilder out;
    Walker(out, styles).blocks(text, 0);
    return out.finish();
}

} // namespace vexana::exchange
