#pragma once

#include "platform/richtext/RichText.h"

class QTextDocument;

namespace vexana::shell {

// Shows a RichText in a QTextDocument with its character formats and paragraph alignment.
// The plain text stays the same character for character, paragraph end for paragraph end.
void fillDocument(QTextDocument& document, const platform::RichText& text);
// Appends a RichText at the end of a document.
void appendToDocument(QTextDocument& document, const platform::RichText& text);
// The document's text and formats back as a RichText (blocks become paragraph ends).
platform::RichText richTextOf(const QTextDocument& document);

} // namespace vexana::shell
