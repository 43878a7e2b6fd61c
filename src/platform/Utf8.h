#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace vexana::platform {

// Code-point helpers. Invalid bytes count as one character each, so every byte
// sequence has a defined length and cutting never loops or splits a sequence.

// Length in bytes of the (possibly invalid) sequence starting at s[i]; at least 1.
std::size_t utf8SequenceLength(std::string_view s, std::size_t i);

// Number of characters in s.
std::size_t utf8Length(std::string_view s);
// The number of UTF-16 code units the characters take (what Qt positions count).
std::size_t utf16Length(std::u32string_view s);

// The first maxChars characters of s.
std::string_view utf8Prefix(std::string_view s, std::size_t maxChars);

// Byte offset of character index `chars` (clamped to s.size()).
std::size_t utf8ByteOffset(std::string_view s, std::size_t chars);

// Decodes the character at s[i]; invalid bytes give U+FFFD. Advances i.
char32_t utf8Decode(std::string_view s, std::size_t& i);

void utf8Append(std::string& out, char32_t cp);
// Every character of UTF-8 text (what cannot be read as U+FFFD, as utf8Decode gives it).
std::u32string utf8ToChars(std::string_view s);

bool isValidUtf8(std::string_view s);

// Windows-1252 byte to Unicode (undefined bytes map to themselves, as Windows does).
char32_t cp1252ToUnicode(unsigned char c);
std::string cp1252ToUtf8(std::string_view s);

// Unicode to Windows-1252; false when the character has no byte there.
bool unicodeToCp1252(char32_t cp, unsigned char& out);

// Files we write: Windows-1252 when every character fits, otherwise UTF-8 with a BOM,
// so nothing is ever lost and older readers still get their 8-bit files.
std::string encodeTextFile(std::string_view utf8);

// Text files of the outside world: UTF-8 when valid (a BOM is dropped), else Windows-1252.
std::string decodeTextFile(std::string_view bytes);

} // namespace vexana::platform
