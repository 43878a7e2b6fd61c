#include "XmlDocument.h"

#include "platform/Utf8.h"

#include <cstdint>

namespace vexana::store {

namespace {

constexpr std::size_t npos = std::string::npos;

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}
// Characters that end a token.
bool isDelimiter(char c) {
    return std::string_view("<>=\\/?!").find(c) != std::string_view::npos;
}
// A name also ends where a token does.
bool endsName(char c) {
    return std::string_view(" =/[").find(c) != std::string_view::npos || isBlank(c) ||
           isDelimiter(c);
}
bool validName(std::string_view name) {
    if (name.empty()) return false;
    for (char c : name)
        if (endsName(c) || isDelimiter(c) || c == '"' || c == '\'' || c == '&') return false;
    return true;
}

} // namespace

XmlDocument::XmlDocument() {
    elements_.resize(1);
}

std::string XmlDocument::escape(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

std::string XmlDocument::unescape(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '&') {
            out += text[i];
            continue;
        }
        const std::size_t semi = text.find(';', i + 1);
        if (semi == npos || semi - i > 10) {
            out += '&';
            continue;
        }
        const std::string_view name = text.substr(i + 1, semi - i - 1);
        std::string repl;
        if (name == "amp")
            repl = "&";
        else if (name == "lt")
            repl = "<";
        else if (name == "gt")
            repl = ">";
        else if (name == "quot")
            repl = "\"";
        else if (name == "apos")
            repl = "'";
        else if (name.size() > 1 && name[0] == '#') {
            const bool hex = name[1] == 'x' || name[1] == 'X';
            std::uint32_t cp = 0;
            bool ok = name.size() > (hex ? 2u : 1u);
            for (char c : name.substr(hex ? 2 : 1)) {
                int d = -1;
                if (c >= '0' && c <= '9')
                    d = c - '0';
                else if (hex && c >= 'a' && c <= 'f')
                    d = c - 'a' + 10;
                else if (hex && c >= 'A' && c <= 'F')
                    d = c - 'A' + 10;
                if (d < 0 || cp > 0x10FFFF) {
                    ok = false;
                    break;
                }
                cp = cp * (hex ? 16 : 10) + static_cast<std::uint32_t>(d);
            }
            if (ok && cp > 0 && cp <= 0x10FFFF && (cp < 0xD800 || cp > 0xDFFF))
                platform::utf8Append(repl, cp);
        }
        if (repl.empty()) {
            out += '&';
            continue;
        }
        out += repl;
        i = semi;
    }
    return out;
}

bool XmlDocument::fail(std::string text) {
    error_ = std::move(text);
    return false;
}

void XmlDocument::resetPos() {
    pos_ = parentPos_ = childPos_ = 0;
}

bool XmlDocument::parse(std::string_view text) {
    doc_.assign(text);
    elements_.assign(1, Element{});
    elements_[0].endBegin = elements_[0].endEnd = doc_.size();
    error_.clear();
    resetPos();

    const std::size_t size = doc_.size();
    // The elements whose children are being read, innermost last: no recursion.
    std::vector<int> open;
    std::size_t p = 0;
    bool any = false;
    for (;;) {
        const int current = open.empty() ? 0 : open.back();
        const std::size_t lt = doc_.find('<', p);
        if (lt == npos) {
            if (!open.empty()) return fail("End tag of " + nameOf(current) + " element not found");
            if (!any) return fail("Element tag not found");
            return true;
        }
        std::size_t q = lt + 1;
        if (q < size && (doc_[q] == '?' || doc_[q] == '!')) {
            // Declarations, comments and sections are skipped.
            std::string_view close = ">";
            if (doc_[q] == '?')
                close = "?>";
            else if (q + 1 < size && doc_[q + 1] == '[')
                close = "]]>";
            else if (q + 1 < size && doc_[q + 1] == '-')
                close = "-->";
            const std::size_t end = doc_.find(close, q + 1);
            if (end == npos) return fail("End of tag not found");
            p = end + close.size();
            continue;
        }
        while (q < size && isBlank(doc_[q]))
            ++q;
        if (q >= size) return fail("Abrupt end within tag");
        const char c = doc_[q];
        if (c == '"' || c == '\'') return fail("Tag starts with quote");
        if (c == '/') {
            if (open.empty()) return fail("Element tag not found");
            const std::string name = nameOf(current);
            std::size_t n = q + 1;
            const std::size_t nameBegin = n;
            while (n < size && !endsName(doc_[n]))
                ++n;
            if (std::string_view(doc_).substr(nameBegin, n - nameBegin) != name)
                return fail("End tag does not correspond to " + name);
            while (n < size && isBlank(doc_[n]))
                ++n;
            if (n >= size || doc_[n] != '>')
                return fail("End tag not completed for element " + name);
            elements_[current].endBegin = lt;
            elements_[current].endEnd = n + 1;
            open.pop_back();
            p = n + 1;
            continue;
        }
        if (isDelimiter(c)) {
            if (open.empty()) return fail("Element tag not found");
            return fail("Expecting end tag of element " + nameOf(current));
        }
        // A start tag: its end is the first ">" outside quoted values.
        std::size_t gt = q;
        while (gt < size && !endsName(doc_[gt]))
            ++gt;
        for (; gt < size && doc_[gt] != '>'; ++gt) {
            if (doc_[gt] == '"' || doc_[gt] == '\'') {
                gt = doc_.find(doc_[gt], gt + 1);
                if (gt == npos) return fail("End of tag not found");
            }
        }
        if (gt >= size) return fail("End of tag not found");
        std::size_t last = gt;
        while (last > q && isBlank(doc_[last - 1]))
            --last;
        const bool empty = doc_[last - 1] == '/';

        Element e;
        e.startBegin = lt;
        e.startEnd = gt + 1;
        e.endBegin = e.endEnd = gt + 1;
        e.parent = current;
        if (!empty && static_cast<int>(open.size()) >= maxDepth)
            return fail("Elements nested deeper than " + std::to_string(maxDepth) + " levels");
        const int index = static_cast<int>(elements_.size());
        elements_.push_back(e);
        Element& parent = elements_[current];
        if (parent.lastChild)
            elements_[parent.lastChild].nextSibling = index;
        else
            parent.firstChild = index;
        parent.lastChild = index;
        any = true;
        if (!empty) open.push_back(index);
        p = gt + 1;
    }
}

std::string XmlDocument::nameOf(int element) const {
    if (element <= 0 || element >= static_cast<int>(elements_.size())) return {};
    const Element& e = elements_[element];
    std::size_t b = e.startBegin + 1;
    while (b < e.startEnd && isBlank(doc_[b]))
        ++b;
    std::size_t n = b;
    while (n < e.startEnd && !endsName(doc_[n]))
        ++n;
    return doc_.substr(b, n - b);
}

std::string XmlDocument::dataOf(int element) const {
    if (element <= 0 || element >= static_cast<int>(elements_.size())) return {};
    const Element& e = elements_[element];
    if (e.firstChild || e.endBegin <= e.startEnd) return {};
    return unescape(std::string_view(doc_).substr(e.startEnd, e.endBegin - e.startEnd));
}

XmlDocument::AttributeSpan XmlDocument::locateAttribute(int element, std::string_view name) const {
    AttributeSpan span;
    if (element <= 0 || element >= static_cast<int>(elements_.size())) return span;
    const Element& e = elements_[element];
    const std::size_t end = e.startEnd - 1; // the ">"
    std::size_t i = e.startBegin + 1;
    while (i < end && isBlank(doc_[i]))
        ++i;
    while (i < end && !endsName(doc_[i]))
        ++i;
    // Quotes are taken as the parser takes them: any quote opens a value up to its match.
    const auto quoted = [&](std::size_t at) { return doc_.find(doc_[at], at + 1); };
    while (i < end) {
        const char c = doc_[i];
        if (c == '"' || c == '\'') {
            i = quoted(i) + 1;
            continue;
        }
        if (isBlank(c) || c == '/' || c == '=') {
            ++i;
            continue;
        }
        const std::size_t nb = i;
        while (i < end && !isBlank(doc_[i]) && doc_[i] != '=' && doc_[i] != '/' && doc_[i] != '"' &&
               doc_[i] != '\'')
            ++i;
        const std::string_view an = std::string_view(doc_).substr(nb, i - nb);
        std::size_t j = i;
        while (j < end && isBlank(doc_[j]))
            ++j;
        if (j >= end || doc_[j] != '=') continue;
        ++j;
        while (j < end && isBlank(doc_[j]))
            ++j;
        std::size_t vb = j, ve = j;
        if (j < end && (doc_[j] == '"' || doc_[j] == '\'')) {
            ve = quoted(j) + 1;
            span.value = std::string_view(doc_).substr(vb + 1, ve - vb - 2);
        } else {
            while (ve < end && !isBlank(doc_[ve]) && doc_[ve] != '"' && doc_[ve] != '\'')
                ++ve;
            // A bare value may end in the "/" of an empty tag.
            std::size_t last = ve;
            while (last > vb && doc_[last - 1] == '/' && ve == end)
                --last;
            ve = last;
            span.value = std::string_view(doc_).substr(vb, ve - vb);
        }
        if (an == name) {
            span.found = true;
            span.begin = vb;
            span.end = ve;
            return span;
        }
        span.value = {};
        i = ve;
    }
    return span;
}

std::string XmlDocument::attribOf(int element, std::string_view name) const {
    const AttributeSpan span = locateAttribute(element, name);
    return span.found ? unescape(span.value) : std::string();
}

int XmlDocument::nextAtLevel(int parent, int after, std::string_view name) const {
    int e = after ? elements_[after].nextSibling : elements_[parent].firstChild;
    while (e && !name.empty() && nameOf(e) != name)
        e = elements_[e].nextSibling;
    return e;
}

bool XmlDocument::findElem(std::string_view name) {
    const int e = nextAtLevel(parentPos_, pos_, name);
    if (!e) return false;
    pos_ = e;
    childPos_ = 0;
    return true;
}

bool XmlDocument::findChildElem(std::string_view name) {
    if (!pos_ && !findElem()) return false;
    const int e = nextAtLevel(pos_, childPos_, name);
    if (!e) return false;
    childPos_ = e;
    return true;
}

bool XmlDocument::intoElem() {
    if (!pos_) return false;
    parentPos_ = pos_;
    pos_ = childPos_;
    childPos_ = 0;
    return true;
}

bool XmlDocument::outOfElem() {
    if (!parentPos_) return false;
    childPos_ = pos_;
    pos_ = parentPos_;
    parentPos_ = elements_[pos_].parent;
    return true;
}

void XmlDocument::replaceText(std::size_t pos, std::size_t length, std::string_view with,
                              int fixed) {
    doc_.replace(pos, length, with);
    const std::size_t from = pos + length;
    const auto delta =
        static_cast<std::ptrdiff_t>(with.size()) - static_cast<std::ptrdiff_t>(length);
    const auto move = [delta](std::size_t& v) {
        v = static_cast<std::size_t>(static_cast<std::ptrdiff_t>(v) + delta);
    };
    for (int i = 1; i < static_cast<int>(elements_.size()); ++i) {
        if (i == fixed) continue;
        Element& e = elements_[i];
        // Something that begins where the text goes in lies behind it; something that ends
        // there lies before it. An element without end tag ends with its start tag.
        const bool noEndTag = e.endEnd == e.startEnd;
        if (e.startBegin >= from) move(e.startBegin);
        if (e.startEnd > from) move(e.startEnd);
        if (noEndTag ? e.endBegin > from : e.endBegin >= from) move(e.endBegin);
        if (e.endEnd > from) move(e.endEnd);
    }
    elements_[0].endBegin = elements_[0].endEnd = doc_.size();
}

bool XmlDocument::addElement(bool child, std::string_view name, std::string_view data) {
    if (!validName(name)) return false;
    const int parent = child ? pos_ : parentPos_;
    int after = child ? childPos_ : pos_;
    if (child && !pos_) return false;
    if (!after) after = elements_[parent].lastChild;

    std::string text = "<" + std::string(name);
    text += data.empty() ? "/>" : ">" + escape(data) + "</" + std::string(name) + ">";
    std::size_t at;
    std::string prefix;
    if (after) {
        at = elements_[after].endEnd;
        if (doc_.compare(at, 2, "\r\n") == 0)
            at += 2;
        else
            prefix = "\r\n";
    } else if (parent == 0) {
        at = doc_.size();
        if (!doc_.empty() && doc_.back() != '\n') prefix = "\r\n";
    } else {
        Element& p = elements_[parent];
        if (p.endEnd == p.startEnd) {
            // "<P/>" gets children: its start tag is closed and an end tag is written.
            const std::string pname = nameOf(parent);
            // Every slash and blank before the ">" goes, or the tag would still read as empty.
            std::size_t slash = p.startEnd - 1;
            while (slash > p.startBegin + 1 && (doc_[slash - 1] == '/' || isBlank(doc_[slash - 1])))
                --slash;
            const std::string close = ">\r\n</" + pname + ">";
            replaceText(slash, p.startEnd - slash, close, parent);
            p.startEnd = slash + 1;
            p.endBegin = p.startEnd + 2;
            p.endEnd = p.endBegin + 3 + pname.size();
        }
        at = p.endBegin;
        if (at > 0 && doc_[at - 1] != '\n') prefix = "\r\n";
    }
    text = prefix + text + "\r\n";
    replaceText(at, 0, text, -1);

    Element e;
    e.startBegin = at + prefix.size();
    e.startEnd = e.startBegin + name.size() + (data.empty() ? 3 : 2);
    if (data.empty()) {
        e.endBegin = e.endEnd = e.startEnd;
    } else {
        e.endBegin = e.startEnd + escape(data).size();
        e.endEnd = e.endBegin + name.size() + 3;
    }
    e.parent = parent;
    const int index = static_cast<int>(elements_.size());
    if (after) {
        e.nextSibling = elements_[after].nextSibling;
        elements_[after].nextSibling = index;
        if (elements_[parent].lastChild == after) elements_[parent].lastChild = index;
    } else {
        elements_[parent].firstChild = elements_[parent].lastChild = index;
    }
    elements_.push_back(e);
    if (child) {
        childPos_ = index;
    } else {
        pos_ = index;
        childPos_ = 0;
    }
    return true;
}

bool XmlDocument::addElem(std::string_view name, std::string_view data) {
    return addElement(false, name, data);
}

bool XmlDocument::addChildElem(std::string_view name, std::string_view data) {
    return addElement(true, name, data);
}

bool XmlDocument::setAttribute(int element, std::string_view name, std::string_view value) {
    if (element <= 0 || !validName(name)) return false;
    const std::string quoted = "\"" + escape(value) + "\"";
    // An attribute already there gets its new value in place.
    if (const AttributeSpan span = locateAttribute(element, name); span.found) {
        replaceText(span.begin, span.end - span.begin, quoted, -1);
        return true;
    }
    const Element& e = elements_[element];
    std::size_t at = e.startEnd - 1;
    while (at > e.startBegin + 1 && (isBlank(doc_[at - 1]) || doc_[at - 1] == '/'))
        --at;
    // Blanks and slashes before the ">" stay behind the new attribute.
    replaceText(at, 0, " " + std::string(name) + "=" + quoted, -1);
    return true;
}

bool XmlDocument::setAttrib(std::string_view name, std::string_view value) {
    return setAttribute(pos_, name, value);
}

bool XmlDocument::setChildAttrib(std::string_view name, std::string_view value) {
    return setAttribute(childPos_, name, value);
}

std::string XmlDocument::tagName() const {
    return nameOf(pos_);
}
std::string XmlDocument::childTagName() const {
    return nameOf(childPos_);
}
std::string XmlDocument::data() const {
    return dataOf(pos_);
}
std::string XmlDocument::childData() const {
    return dataOf(childPos_);
}
std::string XmlDocument::attrib(std::string_view name) const {
    return attribOf(pos_, name);
}
std::string XmlDocument::childAttrib(std::string_view name) const {
    return attribOf(childPos_, name);
}

} // namespace vexana::store
