#include "DocumentReaders.h"
#include "RichTextBuilder.h"
#include "SafeXml.h"
#include "ZipArchive.h"

#include <optional>
#include <unordered_map>

namespace vexana::exchange {

using platform::CharFormat;

namespace {

bool onOff(const xmlNode* el) {
    const std::string v = attribute(el, "val");
    return !(v == "0" || v == "false" || v == "off" || v == "none");
}

FormatToggles togglesOf(const xmlNode* rPr) {
    FormatToggles t;
    for (const xmlNode* c = rPr ? rPr->children : nullptr; c; c = c->next) {
        if (isElement(c, "b")) t.bold = onOff(c);
        if (isElement(c, "i")) t.italic = onOff(c);
        if (isElement(c, "u")) t.underline = onOff(c);
    }
    return t;
}

// Named styles with what they say about bold, italic and underline, inherited along
// "basedOn".
class Styles {
public:
    void load(const xmlNode* root) {
        for (const xmlNode* c = root ? root->children : nullptr; c; c = c->next) {
            if (isElement(c, "docDefaults"))
                defaults_ = togglesOf(child(child(c, "rPrDefault"), "rPr"));
            if (!isElement(c, "style")) continue;
            Style& s = styles_[attribute(c, "styleId")];
            s.own = togglesOf(child(c, "rPr"));
            s.basedOn = attribute(child(c, "basedOn"), "val");
        }
    }
    const FormatToggles& defaults() const { return defaults_; }
    FormatToggles of(const std::string& id) const { return resolve(id, 0); }

private:
    struct Style {
        FormatToggles own;
        std::string basedOn;
    };
    // A "basedOn" cycle ends at the depth bound.
    FormatToggles resolve(const std::string& id, int depth) const {
        const auto it = styles_.find(id);
        if (id.empty() || it == styles_.end() || depth > 32) return {};
        return resolve(it->second.basedOn, depth + 1).under(it->second.own);
    }
    std::unordered_map<std::string, Style> styles_;
    FormatToggles defaults_;
};

class Walker {
public:
    Walker(RichTextBuilder& out, const Styles& styles) : out_(out), styles_(styles) {}

    void blocks(const xmlNode* parent, int depth) {
        if (depth > 64) return;
        for (const xmlNode* c = parent->children; c; c = c->next) {
            if (c->type != XML_ELEMENT_NODE) continue;
            if (isElement(c, "p"))
                paragraph(c);
            else if (isElement(c, "tbl"))
                table(c, depth);
            else if (isElement(c, "sdt"))
                blocks(child(c, "sdtContent") ? child(c, "sdtContent") : c, depth + 1);
            else if (isElement(c, "customXml") || isElement(c, "ins") || isElement(c, "moveTo"))
                blocks(c, depth + 1);
        }
    }

private:
    void paragraph(const xmlNode* p) {
        const xmlNode* pPr = child(p, "pPr");
        const FormatToggles base =
            styles_.defaults().under(styles_.of(attribute(child(pPr, "pStyle"), "val")));
        const std::string jc = attribute(child(pPr, "jc"), "val");
        platform::ParaFormat para;
        if (jc == "center")
            para.align = platform::Align::Center;
        else if (jc == "right" || jc == "end")
            para.align = platform::Align::Right;
        else if (jc == "both" || jc == "distribute")
            para.align = platform::Align::Justify;
        out_.paragraphFormat(para);
        inlines(p, base, 0);
        out_.paragraphEnd();
    }

    void inlines(const xmlNode* parent, const FormatToggles& base, int depth) {
        if (depth > 64) return;
        for (const xmlNode* c = parent->children; c; c = c->next) {
            if (c->type != XML_ELEMENT_NODE) continue;
            if (isElement(c, "r")) {
                run(c, base);
                continue;
            }
            // Deleted text is not part of the document; properties hold no text; a fallback
            // repeats the content before it for older readers.
            if (isElement(c, "del") || isElement(c, "moveFrom") || isElement(c, "pPr") ||
                isElement(c, "rPr") || isElement(c, "Fallback"))
                continue;
            inlines(c, base, depth + 1);
        }
    }

    void run(const xmlNode* r, const FormatToggles& base) {
        const xmlNode* rPr = child(r, "rPr");
        const CharFormat f = base.under(styles_.of(attribute(child(rPr, "rStyle"), "val")))
                                 .under(togglesOf(rPr))
                                 .format();
        for (const xmlNode* c = r->children; c; c = c->next) {
            if (isElement(c, "t"))
                out_.text(textContent(c), f);
            else if (isElement(c, "tab") || isElement(c, "ptab"))
                out_.tab(f);
            else if (isElement(c, "br") || isElement(c, "cr"))
                out_.paragraphEnd();
            else if (isElement(c, "noBreakHyphen"))
                out_.text("-", f);
        }
    }

    void table(const xmlNode* tbl, int depth) {
        out_.closeParagraph();
        for (const xmlNode* tr = tbl->children; tr; tr = tr->next) {
            if (!isElement(tr, "tr")) continue;
            for (const xmlNode* tc = tr->children; tc; tc = tc->next) {
                if (!isElement(tc, "tc")) continue;
                blocks(tc, depth + 1);
                out_.cellEnd();
            }
            out_.rowEnd();
        }
    }

    RichTextBuilder& out_;
    const Styles& styles_;
};

// The main part named by the package relationships, else where Word puts it.
std::string mainPart(const ZipArchive& zip) {
    std::string error;
    if (const auto rels = zip.read("_rels/.rels", maxDocumentPartBytes, error)) {
        if (const XmlDoc doc = parseXml(*rels, error)) {
            for (const xmlNode* c = xmlDocGetRootElement(doc.get())->children; c; c = c->next) {
                const std::string type = attribute(c, "Type");
                if (!isElement(c, "Relationship") || !type.ends_with("/officeDocument")) continue;
                std::string target = attribute(c, "Target");
                if (target.starts_with("/")) target.erase(0, 1);
                if (zip.contains(target)) return target;
            }
        }
    }
    return zip.contains("word/document.xml") ? "word/document.xml" : "";
}

} // namespace

std::optional<platform::RichText> readDocx(std::string_view bytes, std::string& error) {
    const std::string what = "is not a Word document";
    // Word keeps a document with a password in a compound file, as it kept every .doc.
    if (bytes.starts_with("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1")) {
        error = what + " (it is protected by a password, or an older .doc file)";
        return std::nullopt;
    }
    std::string why;
    const auto zip = ZipArchive::fromBytes(std::string(bytes), why);
    if (!zip) {
        error = what + " (it " + why + ")";
        return std::nullopt;
    }
    const std::string part = mainPart(*zip);
    if (part.empty()) {
        error = what + " (it has no word/document.xml)";
        return std::nullopt;
    }
    const auto xml = zip->read(part, maxDocumentPartBytes, why);
    if (!xml) {
        error = "can not be read: it " + why;
        return std::nullopt;
    }
    const XmlDoc doc = parseXml(*xml, why);
    if (!doc) {
        error = "can not be read: its " + part + " " + why;
        return std::nullopt;
    }
    const xmlNode* body = child(xmlDocGetRootElement(doc.get()), "body");
    if (!isElement(xmlDocGetRootElement(doc.get()), "document") || !body) {
        error = what + " (its " + part + " holds no document body)";
        return std::nullopt;
    }
    // Styles only add formatting; a document whose styles cannot be read keeps its text.
    Styles styles;
    if (const auto s = zip->read("word/styles.xml", maxDocumentPartBytes, why))
        if (const XmlDoc sd = parseXml(*s, why)) styles.load(xmlDocGetRootElement(sd.get()));
    RichTextBuilder out;
    Walker(out, styles).blocks(body, 0);
    return out.finish();
}

} // namespace vexana::exchange
