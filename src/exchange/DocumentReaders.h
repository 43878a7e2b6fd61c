#pragma once

#include "platform/richtext/RichText.h"

#include <optional>
#include <string>
#include <string_view>

namespace vexana::exchange {

// Readers for the document formats interviews arrive in besides RTF and plain text. Each
// returns the document as a RichText (paragraphs, bold, italic, underline, tables as the RTF
// reader lays them out), or nullopt with `error` completing "<file> ..." for the user.
std::optional<platform::RichText> readDocx(std::string_view bytes, std::string& error);
std::optional<platform::RichText> readOdt(std::string_view bytes, std::string& error);
std::optional<platform::RichText> readHtml(std::string_view bytes, std::string& error);
std::optional<platform::RichText> readMarkdown(std::string_view bytes, std::string& error);
// The PDF's text layer, a paragraph per line; a PDF without one (scanned pages) or one that
// needs a password is refused.
std::optional<platform::RichText> readPdf(std::string_view bytes, std::string& error);

enum class DocumentFormat { RtfOrPlain, Docx, Odt, Html, Markdown, Pdf };
// By the file name's extension, without case; anything else is RTF or plain text.
DocumentFormat formatForFile(std::string_view path);
// The reader for that format; RTF and plain text read as they always have.
std::optional<platform::RichText> readDocument(DocumentFormat format, std::string_view bytes,
                                               std::string& error);

} // namespace vexana::exchange
