#pragma once

#include "platform/richtext/RichText.h"

class QTextDocument;

namespace vexana::shell {

// Shows a RichText in a QTextDocument with its character formats and paragraph alignment.
// The plain text stays the same character for character, paragraph end for paragraph end.
void fillDocument(QTextDocument& document, const platform::RichText& text);
// Appends a RichText at the end of a document.
void appendToDocument(QTextDocument& document, const platform::RichText& text);

} // namespace vexana::shell
