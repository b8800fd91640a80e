// UTF-8 and UTF-16, as this system's names and a Windows volume's text meet:
// one copy of each conversion for every implementation over this system.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// The length of the well-formed UTF-8 sequence of two to four bytes at
// text[at]; 0 when none starts there.
size_t Utf8SequenceLength(const std::string& text, size_t at);
// Appends one code point as UTF-8.
void AppendUtf8(uint32_t code, std::string* out);
// count UTF-16 code units as UTF-8: a surrogate pair is one character, a
// lone surrogate becomes "?"; a zero unit becomes a zero byte.
std::string Utf16ToUtf8(const uint16_t* units, size_t count);
std::string Utf16ToUtf8(const char16_t* units, size_t count);
