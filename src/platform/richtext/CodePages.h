#pragma once

#include <string>
#include <string_view>

namespace vexana::platform {

// The Windows code page of an RTF \fcharset value; 0 when the charset names none
// (the document's default applies).
int codePageForCharset(int charset);

// Appends the characters of bytes in the given Windows code page. Bytes that do not form a
// character become U+FFFD; an unknown code page is read as Windows-1252.
void decodeCodePage(std::string_view bytes, int codePage, std::u32string& out);

// Whether a code page uses lead bytes (the East Asian double-byte pages).
bool isDoubleByteCodePage(int codePage);

} // namespace vexana::platform
