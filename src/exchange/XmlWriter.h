#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace vexana::exchange {

// A streaming writer of UTF-8 XML. Characters XML cannot carry (most control characters, the
// non-characters U+FFFE and U+FFFF, broken UTF-8) become U+FFFD, so the output always parses.
class XmlWriter {
public:
    explicit XmlWriter(std::string& out) : out_(out) {}

    void declaration() { out_ += "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"; }
    // <name ... : attributes follow until the next child, text or close.
    void open(std::string_view name);
    void attribute(std::string_view name, std::string_view value);
    void attribute(std::string_view name, long long value);
    void text(std::string_view value);
    // Closes the innermost element (as <x/> when it got nothing).
    void close();
    // <name>value</name>
    void element(std::string_view name, std::string_view value) {
        open(name);
        text(value);
        close();
    }

    static void escape(std::string& out, std::string_view value, bool attribute);

private:
    void endStart();
    std::string& out_;
    std::vector<std::string_view> stack_;
    bool startOpen_ = false;
    bool hadContent_ = false;
};

} // namespace vexana::exchange
