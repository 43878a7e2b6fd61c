#include "DocumentReaders.h"
#include "RichTextBuilder.h"
#include "platform/Utf8.h"

#include <algorithm>
#include <memory>
#include <mutex>
#include <optional>
#include <poppler-document.h>
#include <poppler-global.h>
#include <poppler-page.h>

namespace vexana::exchange {

namespace {

// Poppler reports what it repairs on stderr; the user hears of a PDF only through us.
void quietPoppler() {
    static std::once_flag once;
    std::call_once(
        once, [] { poppler::set_debug_error_function([](const std::string&, void*) {}, nullptr); });
}

constexpr std::string_view noTextLayer = "has no text layer";

bool nameHas(const std::string& font, std::string_view word) {
    std::string lower = font;
    for (char& c : lower)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    return lower.find(word) != std::string::npos;
}

// PDF has no bold or italic, only fonts; their names say which ("Helvetica-BoldOblique",
// "ABCDEF+Garamond-Italic"). The words come in the same reading order as the page's text, so
// each is found a little further on in it and its characters take its font's format.
std::vector<platform::CharFormat> formatsOf(const poppler::page& page, std::u32string_view text) {
    std::vector<platform::CharFormat> formats(text.size());
    std::size_t cursor = 0;
    platform::CharFormat previous;
    for (const poppler::text_box& box : page.text_list(poppler::page::text_list_include_font)) {
        const poppler::byte_array utf8 = box.text().to_utf8();
        const std::u32string word =
            platform::utf8ToChars(std::string_view(utf8.data(), utf8.size()));
        if (word.empty()) continue;
        const std::size_t at = text.find(word, cursor);
        if (at == std::u32string_view::npos || at - cursor > 64) continue; // lost: skip it
        const std::string font = box.get_font_name();
        platform::CharFormat f;
        f.bold = nameHas(font, "bold") || nameHas(font, "black") || nameHas(font, "heavy");
        f.italic = nameHas(font, "italic") || nameHas(font, "oblique");
        // The space between two words of one format has that format too.
        const bool gapIsSpace =
            text.substr(cursor, at - cursor).find_first_not_of(U' ') == std::u32string_view::npos;
        const std::size_t from = cursor > 0 && gapIsSpace && f == previous ? cursor : at;
        std::fill(formats.begin() + static_cast<std::ptrdiff_t>(from),
                  formats.begin() + static_cast<std::ptrdiff_t>(at + word.size()), f);
        cursor = at + word.size();
        previous = f;
    }
    return formats;
}

} // namespace

std::optional<platform::RichText> readPdf(std::string_view bytes, std::string& error) {
    quietPoppler();
    if (!bytes.starts_with("%PDF-") &&
        bytes.substr(0, 1024).find("%PDF-") == std::string_view::npos) {
        error = "is not a PDF document";
        return std::nullopt;
    }
    std::unique_ptr<poppler::document> doc(poppler::document::load_from_raw_data(
        bytes.data(), static_cast<int>(std::min<std::size_t>(bytes.size(), INT32_MAX))));
    if (!doc) {
        // Poppler refuses a document it cannot decrypt the same way as a broken one.
        error = bytes.find("/Encrypt") != std::string_view::npos
                    ? "is encrypted: it " + std::string(noTextLayer) + " that can be read"
                    : "is a damaged PDF document";
        return std::nullopt;
    }
    if (doc->is_locked()) {
        error = "is encrypted: it " + std::string(noTextLayer) + " that can be read";
        return std::nullopt;
    }
    RichTextBuilder out;
    bool anyText = false;
    for (int i = 0, n = doc->pages(); i < n; ++i) {
        std::unique_ptr<poppler::page> page(doc->create_page(i));
        if (!page) continue;
        const poppler::byte_array utf8 =
            page->text(poppler::rectf(), poppler::page::non_raw_non_physical_layout).to_utf8();
        std::string_view text(utf8.data(), utf8.size());
        // Each line of the layout is a paragraph; blank lines at a page's end are not.
        while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ' ||
                                 text.back() == '\f'))
            text.remove_suffix(1);
        if (text.find_first_not_of(" \t\r\n\f") == std::string_view::npos) continue;
        anyText = true;
        const std::u32string chars = platform::utf8ToChars(text);
        const auto formats = formatsOf(*page, chars);
        for (std::size_t a = 0, b = 0; a < chars.size(); a = b) {
            while (b < chars.size() && formats[b] == formats[a])
                ++b;
            out.chars(std::u32string_view(chars).substr(a, b - a), formats[a]);
        }
        out.paragraphEnd();
    }
    if (!anyText) {
        error =
            std::string(noTextLayer) + " (its pages are images: they need text recognition first)";
        return std::nullopt;
    }
    return out.finish();
}

} // namespace vexana::exchange
