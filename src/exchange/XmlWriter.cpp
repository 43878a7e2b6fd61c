#include "XmlWriter.h"

#include "platform/Utf8.h"

namespace vexana::exchange {

void XmlWriter::endStart() {
    if (startOpen_) out_ += '>';
    startOpen_ = false;
}

void XmlWriter::open(std::string_view name) {
    endStart();
    if (!stack_.empty() && !hadContent_) out_ += '\n';
    out_ += '<';
    out_ += name;
    stack_.push_back(name);
    startOpen_ = true;
    hadContent_ = false;
}

void XmlWriter::attribute(std::string_view name, std::string_view value) {
    out_ += ' ';
    out_ += name;
    out_ += "=\"";
    escape(out_, value, true);
    out_ += '"';
}

void XmlWriter::attribute(std::string_view name, long long value) {
    attribute(name, std::to_string(value));
}

void XmlWriter::text(std::string_view value) {
    endStart();
    escape(out_, value, false);
    hadContent_ = true;
}

void XmlWriter::close() {
    const std::string_view name = stack_.back();
    stack_.pop_back();
    if (startOpen_) {
        out_ += "/>\n";
        startOpen_ = false;
    } else {
        out_ += "</";
        out_ += name;
        out_ += ">\n";
    }
    hadContent_ = true;
}

void XmlWriter::escape(std::string& out, std::string_view value, bool attribute) {
    for (std::size_t i = 0; i < value.size();) {
        const unsigned char c = static_cast<unsigned char>(value[i]);
        if (c < 0x80) {
            ++i;
            switch (c) {
            case '&':
                out += "&amp;";
                continue;
            case '<':
                out += "&lt;";
                continue;
            case '>':
                out += "&gt;";
                continue;
            case '"':
                if (attribute) {
                    out += "&quot;";
                    continue;
                }
                break;
            case '\t':
            case '\n':
            case '\r':
                // Attribute values would fold them into blanks; a text keeps CR only as a
                // reference.
                if (attribute || c == '\r') {
                    out += c == '\t' ? "&#9;" : c == '\n' ? "&#10;" : "&#13;";
                    continue;
                }
                break;
            default:
                if (c < 0x20) {
                    out += "\xEF\xBF\xBD";
                    continue;
                }
            }
            out += static_cast<char>(c);
            continue;
        }
        std::size_t j = i;
        const char32_t cp = platform::utf8Decode(value, j);
        const std::size_t n = j - i;
        if (cp == 0xFFFD || cp == 0xFFFE || cp == 0xFFFF) {
            out += "\xEF\xBF\xBD";
            i = j;
            continue;
        }
        out.append(value.substr(i, n));
        i += n;
    }
}

} // namespace vexana::exchange
