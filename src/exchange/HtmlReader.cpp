#include "DocumentReaders.h"
#include "RichTextBuilder.h"
#include "SafeXml.h"

#include <optional>
#include <unordered_map>

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

std::string lowered(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    return out;
}

// What a CSS declaration list ("font-weight:700; font-style:italic") says about bold, italic
// and underline, applied to f.
void applyCss(std::string_view css, CharFormat& f) {
    const std::string d = lowered(css);
    std::size_t at = 0;
    while (at < d.size()) {
        std::size_t end = d.find(';', at);
        if (end == std::string::npos) end = d.size();
        const std::string_view decl = std::string_view(d).substr(at, end - at);
        at = end + 1;
        const std::size_t colon = decl.find(':');
        if (colon == std::string_view::npos) continue;
        auto trim = [](std::string_view v) {
            while (!v.empty() && (v.front() == ' ' || v.front() == '\t' || v.front() == '\n'))
                v.remove_prefix(1);
            while (!v.empty() && (v.back() == ' ' || v.back() == '\t' || v.back() == '\n'))
                v.remove_suffix(1);
            return v;
        };
        const std::string_view name = trim(decl.substr(0, colon));
        const std::string_view value = trim(decl.substr(colon + 1));
        if (name == "font-weight")
            f.bold = value == "bold" || value == "bolder" ||
                     (!value.empty() && value[0] >= '6' && value[0] <= '9' && value.size() == 3);
        else if (name == "font-style")
            f.italic = value.starts_with("italic") || value.starts_with("oblique");
        else if (name == "text-decoration" || name == "text-decoration-line")
            f.underline = value.find("underline") != std::string_view::npos;
    }
}

// Rules for single classes in the page's style sheets (".c3{font-weight:700}"), as word
// processors write them when they save a document as HTML; other selectors are passed over.
std::unordered_map<std::string, std::string> classRules(const xmlNode* n, int depth) {
    std::unordered_map<std::string, std::string> rules;
    if (!n || depth > 200) return rules;
    for (const xmlNode* c = n->children; c; c = c->next) {
        if (c->type != XML_ELEMENT_NODE) continue;
        if (nameOf(c) != "style") {
            rules.merge(classRules(c, depth + 1));
            continue;
        }
        const std::string css = textContent(c);
        for (std::size_t open = css.find('{'); open != std::string::npos;
             open = css.find('{', open + 1)) {
            const std::size_t close = css.find('}', open);
            if (close == std::string::npos) break;
            std::size_t start = css.find_last_of("}\n", open);
            start = start == std::string::npos ? 0 : start + 1;
            std::string_view selectors = std::string_view(css).substr(start, open - start);
            const std::string body = css.substr(open + 1, close - open - 1);
            // "a, .c1 , p.c2" : each plain class selector gets the declarations.
            for (std::size_t k = 0; k <= selectors.size();) {
                std::size_t comma = selectors.find(',', k);
                if (comma == std::string_view::npos) comma = selectors.size();
                std::string_view sel = selectors.substr(k, comma - k);
                while (!sel.empty() && (sel.front() == ' ' || sel.front() == '\t'))
                    sel.remove_prefix(1);
                while (!sel.empty() && (sel.back() == ' ' || sel.back() == '\t'))
                    sel.remove_suffix(1);
                if (sel.size() > 1 && sel[0] == '.' &&
                    sel.find_first_of(" .:>+~[#", 1) == std::string_view::npos)
                    rules[std::string(sel.substr(1))] += body + ";";
                k = comma + 1;
            }
            open = close;
        }
    }
    return rules;
}

class Walker {
public:
    Walker(RichTextBuilder& out, std::unordered_map<std::string, std::string> classes)
        : out_(out), classes_(std::move(classes)) {}

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
        styled(n, f);
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
    // Class rules first, then the element's own style, as the cascade has it.
    void styled(const xmlNode* n, CharFormat& f) const {
        if (!classes_.empty()) {
            const std::string names = attribute(n, "class");
            for (std::size_t k = 0; k < names.size();) {
                std::size_t end = names.find(' ', k);
                if (end == std::string::npos) end = names.size();
                const auto rule = classes_.find(names.substr(k, end - k));
                if (rule != classes_.end()) applyCss(rule->second, f);
                k = end + 1;
            }
        }
        const std::string style = attribute(n, "style");
        if (!style.empty()) applyCss(style, f);
    }

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
    std::unordered_map<std::string, std::string> classes_;
};

} // namespace

std::optional<platform::RichText> readHtml(std::string_view bytes, std::string& error) {
    // The parser repairs anything into a page; zero bytes say it was never one.
    if (bytes.find('\0') != std::string_view::npos) {
        error = "is not an HTML page (it holds binary data)";
        return std::nullopt;
    }
    std::string why;
    const XmlDoc doc = parseHtml(bytes, why);
    if (!doc) {
        error = why;
        return std::nullopt;
    }
    RichTextBuilder out;
    const xmlNode* root = xmlDocGetRootElement(doc.get());
    Walker(out, classRules(root, 0)).node(root, CharFormat{}, false, 0);
    return out.finish();
}

} // namespace vexana::exchange
