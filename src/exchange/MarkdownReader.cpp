#include "DocumentReaders.h"
#include "RichTextBuilder.h"

#include <cmark.h>
#include <memory>
#include <optional>

namespace vexana::exchange {

using platform::CharFormat;

namespace {

struct NodeFree {
    void operator()(cmark_node* n) const { cmark_node_free(n); }
};
struct IterFree {
    void operator()(cmark_iter* i) const { cmark_iter_free(i); }
};

std::string_view literal(cmark_node* n) {
    const char* s = cmark_node_get_literal(n);
    return s ? s : "";
}

// Raw HTML in Markdown is how writers underline; it and any other HTML block read as HTML.
void appendHtml(RichTextBuilder& out, std::string_view html) {
    std::string ignored;
    const auto rich = readHtml(html, ignored);
    if (!rich) return;
    const auto& runs = rich->runs();
    for (std::size_t k = 0; k < runs.size(); ++k) {
        const std::int32_t end = k + 1 < runs.size() ? runs[k + 1].start : rich->length();
        out.chars(std::u32string_view(rich->chars()).substr(runs[k].start, end - runs[k].start),
                  rich->formats()[static_cast<std::size_t>(runs[k].format)]);
    }
}

} // namespace

std::optional<platform::RichText> readMarkdown(std::string_view bytes, std::string& error) {
    if (bytes.find('\0') != std::string_view::npos) {
        error = "is not a Markdown text (it holds binary data)";
        return std::nullopt;
    }
    std::unique_ptr<cmark_node, NodeFree> root(
        cmark_parse_document(bytes.data(), bytes.size(), CMARK_OPT_DEFAULT));
    if (!root) {
        error = "can not be read as Markdown";
        return std::nullopt;
    }
    RichTextBuilder out;
    int bold = 0, italic = 0, underline = 0;
    auto format = [&] {
        CharFormat f;
        f.bold = bold > 0;
        f.italic = italic > 0;
        f.underline = underline > 0;
        return f;
    };
    std::unique_ptr<cmark_iter, IterFree> it(cmark_iter_new(root.get()));
    for (cmark_event_type ev; (ev = cmark_iter_next(it.get())) != CMARK_EVENT_DONE;) {
        cmark_node* n = cmark_iter_get_node(it.get());
        const bool enter = ev == CMARK_EVENT_ENTER;
        const int step = enter ? 1 : -1;
        switch (cmark_node_get_type(n)) {
        case CMARK_NODE_HEADING:
            bold += step;
            if (!enter) out.closeParagraph();
            break;
        case CMARK_NODE_STRONG:
            bold += step;
            break;
        case CMARK_NODE_EMPH:
            italic += step;
            break;
        case CMARK_NODE_PARAGRAPH:
        case CMARK_NODE_ITEM:
        case CMARK_NODE_BLOCK_QUOTE:
        case CMARK_NODE_THEMATIC_BREAK:
            out.closeParagraph();
            break;
        case CMARK_NODE_TEXT:
        case CMARK_NODE_CODE:
            out.text(literal(n), format());
            break;
        case CMARK_NODE_SOFTBREAK:
            out.text(" ", format());
            break;
        case CMARK_NODE_LINEBREAK:
            out.paragraphEnd();
            break;
        case CMARK_NODE_CODE_BLOCK: {
            out.closeParagraph();
            std::string_view code = literal(n);
            if (code.ends_with('\n')) code.remove_suffix(1);
            out.text(code, format());
            out.paragraphEnd();
            break;
        }
        case CMARK_NODE_HTML_BLOCK:
            out.closeParagraph();
            appendHtml(out, literal(n));
            out.closeParagraph();
            break;
        case CMARK_NODE_HTML_INLINE: {
            const std::string_view tag = literal(n);
            if (tag == "<u>" || tag == "<ins>")
                ++underline;
            else if ((tag == "</u>" || tag == "</ins>") && underline > 0)
                --underline;
            break;
        }
        default:
            break;
        }
    }
    return out.finish();
}

} // namespace vexana::exchange
