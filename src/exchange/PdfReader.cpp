#include "DocumentReaders.h"
#include "RichTextBuilder.h"

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
    const platform::CharFormat plain;
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
        out.text(text, plain);
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
