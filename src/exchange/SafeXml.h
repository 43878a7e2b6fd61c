#pragma once

#include <cstddef>
#include <libxml/tree.h>
#include <memory>
#include <string>
#include <string_view>

namespace vexana::exchange {

struct XmlDocFree {
    void operator()(xmlDoc* doc) const;
};
// A parsed document, freed with its owner.
using XmlDoc = std::unique_ptr<xmlDoc, XmlDocFree>;

// Files from elsewhere are parsed with nothing fetched from the network, no DTD loaded, no
// entity declared in the document accepted (so no billion laughs and no external entities),
// depth kept to libxml2's default bound and size to `maxBytes`. Null on failure, with `error`
// saying why and where.
inline constexpr std::size_t maxXmlBytes = 256u << 20;
XmlDoc parseXml(std::string_view bytes, std::string& error, std::size_t maxBytes = maxXmlBytes);
// HTML as browsers take it: malformed markup is repaired rather than refused, but nothing is
// fetched and the same size bound holds.
XmlDoc parseHtml(std::string_view bytes, std::string& error, std::size_t maxBytes = maxXmlBytes);

// Small readers for walking a tree without the casts libxml2's unsigned chars need.
bool isElement(const xmlNode* node, std::string_view localName);
// The first child element of that local name, or null.
const xmlNode* child(const xmlNode* parent, std::string_view localName);
// The element's namespace URI, or empty.
std::string_view namespaceOf(const xmlNode* node);
// An attribute by local name; namespaced attributes match whatever their namespace.
std::string attribute(const xmlNode* node, std::string_view localName);
// All text beneath a node.
std::string textContent(const xmlNode* node);
inline std::string_view nameOf(const xmlNode* node) {
    return node && node->name ? std::string_view(reinterpret_cast<const char*>(node->name))
                              : std::string_view();
}

} // namespace vexana::exchange
