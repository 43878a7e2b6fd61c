#include "SafeXml.h"

#include "platform/Utf8.h"

#include <climits>
#include <libxml/HTMLparser.h>
#include <libxml/parser.h>
#include <libxml/xmlerror.h>
#include <mutex>

namespace vexana::exchange {

void XmlDocFree::operator()(xmlDoc* doc) const {
    xmlFreeDoc(doc);
}

namespace {

void ignoreMessage(void*, const char*, ...) {}

void initOnce() {
    static std::once_flag once;
    std::call_once(once, [] { xmlInitParser(); });
    // Encoding and I/O complaints would go to stderr past the program's own messages; the
    // reasons reach the caller through the context's last error. The handler is per thread.
    xmlSetGenericErrorFunc(nullptr, ignoreMessage);
}

struct CtxtFree {
    void operator()(xmlParserCtxt* c) const { xmlFreeParserCtxt(c); }
};
struct HtmlCtxtFree {
    void operator()(htmlParserCtxt* c) const { htmlFreeParserCtxt(c); }
};

// A declared entity is where both entity attacks begin; documents from the tools we read
// never declare one, so the first declaration ends the parse.
void refuseEntity(void* ctx, const xmlChar*, int, const xmlChar*, const xmlChar*, xmlChar*) {
    auto* ctxt = static_cast<xmlParserCtxt*>(ctx);
    ctxt->_private = reinterpret_cast<void*>(1);
    xmlStopParser(ctxt);
}

std::string trimmedMessage(const xmlError* e) {
    std::string m = e && e->message ? e->message : "unknown error";
    while (!m.empty() && (m.back() == '\n' || m.back() == ' '))
        m.pop_back();
    if (e && e->line > 0) m += " (line " + std::to_string(e->line) + ")";
    return m;
}

bool tooLarge(std::string_view bytes, std::size_t maxBytes, std::string& error) {
    if (bytes.size() <= maxBytes && bytes.size() <= static_cast<std::size_t>(INT_MAX)) return false;
    error = "is larger than " + std::to_string(maxBytes) + " bytes";
    return true;
}

// libxml2 takes HTML that names no encoding as Latin-1; pages saved today are UTF-8, and the
// older ones Windows-1252. A BOM or a charset in the head still decides.
const char* htmlEncoding(std::string_view bytes) {
    if (bytes.size() >= 2 && (static_cast<unsigned char>(bytes[0]) >= 0xFE)) return nullptr;
    std::string head(bytes.substr(0, 4096));
    for (char& c : head)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    if (head.find("charset") != std::string::npos || head.find("encoding=") != std::string::npos)
        return nullptr;
    return platform::isValidUtf8(bytes) ? "UTF-8" : "windows-1252";
}

} // namespace

XmlDoc parseXml(std::string_view bytes, std::string& error, std::size_t maxBytes) {
    initOnce();
    if (tooLarge(bytes, maxBytes, error)) return nullptr;
    std::unique_ptr<xmlParserCtxt, CtxtFree> ctxt(xmlNewParserCtxt());
    if (!ctxt) {
        error = "can not be parsed (out of memory)";
        return nullptr;
    }
    ctxt->sax->entityDecl = refuseEntity;
    ctxt->_private = nullptr;
    // No NOENT (entities stay references), no DTDLOAD/DTDATTR, no HUGE (depth and text
    // bounds stay on); errors go to the caller, not to stderr.
    const int options =
        XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING | XML_PARSE_NOCDATA;
    XmlDoc doc(xmlCtxtReadMemory(ctxt.get(), bytes.data(), static_cast<int>(bytes.size()), nullptr,
                                 nullptr, options));
    if (ctxt->_private) {
        error = "declares entities, which are not accepted";
        return nullptr;
    }
    if (!doc || !ctxt->wellFormed) {
        error = "is not well-formed XML: " + trimmedMessage(xmlCtxtGetLastError(ctxt.get()));
        return nullptr;
    }
    if (!xmlDocGetRootElement(doc.get())) {
        error = "is not well-formed XML: no root element";
        return nullptr;
    }
    return doc;
}

XmlDoc parseHtml(std::string_view bytes, std::string& error, std::size_t maxBytes) {
    initOnce();
    if (tooLarge(bytes, maxBytes, error)) return nullptr;
    std::unique_ptr<htmlParserCtxt, HtmlCtxtFree> ctxt(htmlNewParserCtxt());
    if (!ctxt) {
        error = "can not be parsed (out of memory)";
        return nullptr;
    }
    const int options =
        HTML_PARSE_NONET | HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING | HTML_PARSE_RECOVER;
    XmlDoc doc(htmlCtxtReadMemory(ctxt.get(), bytes.data(), static_cast<int>(bytes.size()), nullptr,
                                  htmlEncoding(bytes), options));
    if (!doc || !xmlDocGetRootElement(doc.get())) {
        error = "can not be read as HTML: " + trimmedMessage(xmlCtxtGetLastError(ctxt.get()));
        return nullptr;
    }
    return doc;
}

bool isElement(const xmlNode* node, std::string_view localName) {
    return node && node->type == XML_ELEMENT_NODE && nameOf(node) == localName;
}

std::string_view namespaceOf(const xmlNode* node) {
    if (!node || !node->ns || !node->ns->href) return {};
    return reinterpret_cast<const char*>(node->ns->href);
}

const xmlNode* child(const xmlNode* parent, std::string_view localName) {
    for (const xmlNode* c = parent ? parent->children : nullptr; c; c = c->next)
        if (isElement(c, localName)) return c;
    return nullptr;
}

std::string attribute(const xmlNode* node, std::string_view localName) {
    if (!node || node->type != XML_ELEMENT_NODE) return {};
    for (const xmlAttr* a = node->properties; a; a = a->next) {
        if (!a->name || reinterpret_cast<const char*>(a->name) != localName) continue;
        xmlChar* v = xmlNodeListGetString(node->doc, a->children, 1);
        std::string out = v ? reinterpret_cast<const char*>(v) : "";
        xmlFree(v);
        return out;
    }
    return {};
}

std::string textContent(const xmlNode* node) {
    if (!node) return {};
    xmlChar* v = xmlNodeGetContent(node);
    std::string out = v ? reinterpret_cast<const char*>(v) : "";
    xmlFree(v);
    return out;
}

} // namespace vexana::exchange
