#include "DocumentReaders.h"
#include "RichTextBuilder.h"

#include <cmark.h>
#include <cstdlib>
#include <memory>
#include <optional>
#include <vector>

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

std::string_view trimmed(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() &&
           (s.back() == ' ' || s.back() == '\t' || s.back() == '\r' || s.back() == '\n'))
        s.remove_suffix(1);
    return s;
}

std::size_t indentOf(std::string_view line) {
    std::size_t n = 0;
    while (n < line.size() && line[n] == ' ')
        ++n;
    return n;
}

// The cells of a table row: split at pipes that no backslash escapes, outer pipes dropped.
std::vector<std::string> cellsOf(std::string_view line) {
    line = trimmed(line);
    if (line.starts_with('|')) line.remove_prefix(1);
    if (line.ends_with('|') && !line.ends_with("\\|")) line.remove_suffix(1);
    std::vector<std::string> cells(1);
    for (std::size_t i = 0; i < line.size(); ++i) {
        if (line[i] == '\\' && i + 1 < line.size() && line[i + 1] == '|') {
            cells.back() += '|';
            ++i;
        } else if (line[i] == '|') {
            cells.emplace_back();
        } else {
            cells.back() += line[i];
        }
    }
    for (std::string& c : cells)
        c = std::string(trimmed(c));
    return cells;
}

bool isDelimiterRow(std::string_view line, std::size_t columns) {
    if (indentOf(line) > 3 || line.find('-') == std::string_view::npos) return false;
    const auto cells = cellsOf(line);
    if (cells.size() != columns) return false;
    for (const std::string& c : cells) {
        std::string_view v = c;
        if (v.starts_with(':')) v.remove_prefix(1);
        if (v.ends_with(':')) v.remove_suffix(1);
        if (v.empty() || v.find_first_not_of('-') != std::string_view::npos) return false;
    }
    return true;
}

// A cell's inline Markdown as HTML on one line.
std::string cellHtml(const std::string& cell) {
    char* html = cmark_markdown_to_html(cell.data(), cell.size(), CMARK_OPT_UNSAFE);
    std::string out = html ? html : "";
    std::free(html);
    for (char& c : out)
        if (c == '\n') c = ' ';
    return out;
}

// Pipe tables (GitHub's extension) are how Markdown writers make tables, and cmark knows
// none: each becomes an HTML table block before parsing, which the HTML reader then lays out
// as every other table. Lines in fenced code stay as they are.
std::string withTables(std::string_view md) {
    std::vector<std::string_view> lines;
    for (std::size_t start = 0; start < md.size();) {
        const std::size_t end = md.find('\n', start);
        const std::size_t stop = end == std::string_view::npos ? md.size() : end + 1;
        lines.push_back(md.substr(start, stop - start));
        start = stop;
    }
    std::string out;
    out.reserve(md.size());
    std::string fence;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string_view line = lines[i];
        const std::string_view t = trimmed(line);
        if (indentOf(line) <= 3 && (t.starts_with("```") || t.starts_with("~~~"))) {
            if (fence.empty())
                fence = std::string(t.substr(0, t.find_first_not_of(t[0])));
            else if (t.starts_with(fence) && t.find_first_not_of(fence[0]) == std::string::npos)
                fence.clear();
        }
        const bool header = fence.empty() && indentOf(line) <= 3 &&
                            t.find('|') != std::string_view::npos && i + 1 < lines.size();
        const std::size_t columns = header ? cellsOf(line).size() : 0;
        if (!header || !isDelimiterRow(lines[i + 1], columns)) {
            out += line;
            continue;
        }
        out += "\n<table>";
        const std::size_t first = i;
        for (std::size_t r = first; r < lines.size(); ++r) {
            if (r == first + 1) continue;
            const std::string_view row = trimmed(lines[r]);
            if (r > first + 1 && (row.empty() || row.find('|') == std::string_view::npos)) break;
            auto cells = cellsOf(lines[r]);
            cells.resize(columns);
            const bool head = r == first;
            out += "<tr>";
            for (const std::string& c : cells)
                out += (head ? "<th>" : "<td>") + cellHtml(c) + (head ? "</th>" : "</td>");
            out += "</tr>";
            i = r;
        }
        if (i == first) i = first + 1; // a table of the header alone
        out += "</table>\n\n";         // the blank line ends the HTML block
    }
    return out;
}

} // namespace

std::optional<platform::RichText> readMarkdown(std::string_view bytes, std::string& error) {
    if (bytes.find('\0') != std::string_view::npos) {
        error = "is not a Markdown text (it holds binary data)";
        return std::nullopt;
    }
    const std::string source = withTables(bytes);
    std::unique_ptr<cmark_node, NodeFree> root(
        cmark_parse_document(source.data(), source.size(), CMARK_OPT_DEFAULT));
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
