#include "DocumentReaders.h"
#include "RichTextBuilder.h"
#include "SafeXml.h"

#include <optional>

namespace vexana::exchange {

using platform::CharFormat;

namespace {

bool named(const xmlNode* n, std::initializer_list<std::string_view> names) {
    if (!n || n->type != XML_ELEMENT_NODE) return false;
    // The HTML parser gives lower-case names.
    for (std::string_view name : names)
        if (nameOf(n) == name) return true;
    return false;
}

// What a browser lays out on lines of its own.
bool isBlock(const xmlNode* n) {
    return named(n, {"p",          "div",    "h1",      "h2",      "h3",         "h4",    "h5",
                     "h6",         "li",     "ul",      "ol",      "dl",         "dt",    "dd",
                     "blockquote", "pre",    "address", "section", "article",    "aside", "header",
                     "footer",     "nav",    "main",    "figure",  "figcaption", "hr",    "form",
                     "fieldset",   "center", "body",    "html",    "caption"});
}

class Walker {
public:
    explicit Walker(RichTextBuilder& out) : out_(out) {}

    void node(const xmlNode* n, CharFormat f, bool pre, int depth) {
        if (depth > 200) return; // the parser bounds depth too; this keeps the stack small
        if (n->type == XML_TEXT_NODE || n->type == XML_CDATA_SECTION_NODE) {
            if (n->content) out_.text(reinterpret_cast<const char*>(n->content), f, !pre);
            return;
        }
        if (n->type != XML_ELEMENT_NODE) return;
        // Not text a reader sees.
        if (named(n, {"head", "script", "style", "template", "noscript", "title", "object",
                      "iframe", "svg", "math", "select", "button"}))
            return;
        if (named(n, {"br"})) {
            out_.paragraphEnd();
            return;
        }
        if (named(n, {"table"})) {
            table(n, f, depth);
            return;
        }
        if (named(n, {"b", "strong", "h1", "h2", "h3", "h4", "h5", "h6", "th", "dt"}))
            f.bold = true;
        if (named(n, {"i", "em", "cite", "var", "dfn", "address"})) f.italic = true;
        if (named(n, {"u", "ins"})) f.underline = true;
        pre = pre || named(n, {"pre", "textarea", "listing"});
        const bool block = isBlock(n);
        if (block) {
            out_.closeParagraph();
            platform::ParaFormat para;
            const std::string align = attribute(n, "align");
            if (align == "center" || named(n, {"center"}))
                para.align = platform::Align::Center;
            else if (align == "right")
                para.align = platform::Align::Right;
            else if (align == "justify")
                para.align = platform::Align::Justify;
            if (para != platform::ParaFormat{}) out_.paragraphFormat(para);
        }
        for (const xmlNode* c = n->children; c; c = c->next)
            node(c, f, pre, depth + 1);
        if (block) out_.closeParagraph();
    }

private:
    void table(const xmlNode* t, const CharFormat& f, int depth) {
        out_.closeParagraph();
        rows(t, f, depth + 1);
    }
    void rows(const xmlNode* parent, const CharFormat& f, int depth) {
        if (depth > 200) return;
        for (const xmlNode* r = parent->children; r; r = r->next) {
            if (named(r, {"thead", "tbody", "tfoot"})) {
                rows(r, f, depth + 1);
            } else if (named(r, {"tr"})) {
                for (const xmlNode* cell = r->children; cell; cell = cell->next) {
                    if (!named(cell, {"td", "th"})) continue;
                    node(cell, f, false, depth + 1);
                    out_.cellEnd();
                }
                out_.rowEnd();
            } else if (named(r, {"caption"})) {
                node(r, f, false, depth + 1);
            }
        }
    }

    RichTextBuilder& out_;
};

} // namespace

std::optional<platform::RichText> readHtml(std::string_view bytes, std::string& error) {
    std::string why;
    const XmlDoc doc = parseHtml(bytes, why);
    if (!doc) {
        error = why;
        return std::nullopt;
    }
    RichTextBuilder out;
    Walker(out).node(xmlDocGetRootElement(doc.get()), CharFormat{}, false, 0);
    return out.finish();
}

} // namespace vexana::exchange
