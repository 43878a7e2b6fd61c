#include "DocumentReaders.h"

#include <algorithm>

namespace vexana::exchange {

DocumentFormat formatForFile(std::string_view path) {
    const auto slash = path.find_last_of("/\\");
    const std::string_view file = slash == std::string_view::npos ? path : path.substr(slash + 1);
    const auto dot = file.rfind('.');
    if (dot == std::string_view::npos) return DocumentFormat::RtfOrPlain;
    std::string ext(file.substr(dot + 1));
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; });
    if (ext == "docx") return DocumentFormat::Docx;
    if (ext == "odt") return DocumentFormat::Odt;
    if (ext == "html" || ext == "htm") return DocumentFormat::Html;
    if (ext == "md" || ext == "markdown") return DocumentFormat::Markdown;
    if (ext == "pdf") return DocumentFormat::Pdf;
    return DocumentFormat::RtfOrPlain;
}

std::optional<platform::RichText> readDocument(DocumentFormat format, std::string_view bytes,
                                               std::string& error) {
    switch (format) {
    case DocumentFormat::Docx:
        return readDocx(bytes, error);
    case DocumentFormat::Odt:
        return readOdt(bytes, error);
    case DocumentFormat::Html:
        return readHtml(bytes, error);
    case DocumentFormat::Markdown:
        return readMarkdown(bytes, error);
    case DocumentFormat::Pdf:
        return readPdf(bytes, error);
    case DocumentFormat::RtfOrPlain:
        break;
    }
    return platform::RichText::fromRtf(bytes);
}

} // namespace vexana::exchange
