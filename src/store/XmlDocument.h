#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace vexana::store {

// A markup document held as one text with an index of its elements. It is parsed from a text
// or built element by element; the list grid builds its HTML export with it.
//
// Positions: the current element (0 for none), its parent (0 for the document) and the
// current child of the current element (0 for none).
class XmlDocument {
public:
    // Deeper nesting is refused: the parser keeps its own stack, and a hostile document must
    // not make it grow without bound.
    static constexpr int maxDepth = 256;

    XmlDocument();

    // Replaces the document. On the first error the parse stops and keeps the error text;
    // the index then holds what was read before it.
    bool parse(std::string_view text);
    const std::string& error() const { return error_; }
    const std::string& text() const { return doc_; }

    // The next element at the current level (only one named `name` when given).
    bool findElem(std::string_view name = {});
    // The next child of the current element; finds the current element first when there is none.
    bool findChildElem(std::string_view name = {});
    // The current element's children become the current level.
    bool intoElem();
    bool outOfElem();
    void resetPos();

    // Adds an element after the current one (as the last one when there is none) and makes
    // it current. Data is escaped.
    bool addElem(std::string_view name, std::string_view data = {});
    // Adds a child after the current child (as the last child when there is none) of the
    // current element and makes it the current child.
    bool addChildElem(std::string_view name, std::string_view data = {});
    // Sets an attribute of the current element or the current child; the value is escaped.
    bool setAttrib(std::string_view name, std::string_view value);
    bool setChildAttrib(std::string_view name, std::string_view value);

    std::string tagName() const;
    std::string childTagName() const;
    // The unescaped data of an element without children; empty otherwise.
    std::string data() const;
    std::string childData() const;
    std::string attrib(std::string_view name) const;
    std::string childAttrib(std::string_view name) const;

    // "&", "<", ">" and '"' as entities.
    static std::string escape(std::string_view text);
    // The five named entities and numeric character references back to characters.
    static std::string unescape(std::string_view text);

private:
    struct Element {
        std::size_t startBegin = 0, startEnd = 0; // the start tag, "<" to after ">"
        std::size_t endBegin = 0, endEnd = 0;     // the end tag; both startEnd without one
        int parent = 0, firstChild = 0, nextSibling = 0, lastChild = 0;
    };

    bool addElement(bool child, std::string_view name, std::string_view data);
    bool setAttribute(int element, std::string_view name, std::string_view value);
    std::string nameOf(int element) const;
    std::string dataOf(int element) const;
    std::string attribOf(int element, std::string_view name) const;
    // Where an attribute's value stands in the start tag, quotes included.
    struct AttributeSpan {
        bool found = false;
        std::size_t begin = 0, end = 0;
        std::string_view value; // without quotes, as written
    };
    AttributeSpan locateAttribute(int element, std::string_view name) const;
    int nextAtLevel(int parent, int after, std::string_view name) const;
    // Replaces [pos, pos + length) and moves every position behind it; element `fixed` is
    // left for the caller to set.
    void replaceText(std::size_t pos, std::size_t length, std::string_view with, int fixed);
    bool fail(std::string text);

    std::string doc_;
    std::vector<Element> elements_;
    int pos_ = 0, parentPos_ = 0, childPos_ = 0;
    std::string error_;
};

} // namespace vexana::store
