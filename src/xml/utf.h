// UTF-8 <-> UTF-16 conversions used for every document and file text.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Lenient UTF-8 decoding: a NUL byte ends the text, a sequence cut off by the end of the data is
// dropped, an invalid lead byte (or an ASCII byte interrupting a sequence) gives '?'.
// With out == nullptr only counts; otherwise writes the units (out must hold the count).
size_t Utf8ToWide(const char* bytes, size_t count, char16_t* out);
std::u16string Utf8ToWide(std::string_view bytes);

// Standard UTF-8 encoding that stops at a NUL unit. A surrogate that is not part of a valid pair
// becomes '?'. With out == nullptr only counts.
size_t WideToUtf8(const char16_t* text, size_t count, char* out);
std::string WideToUtf8(std::u16string_view text);

// UTF-16 code units as little-endian bytes, without byte-order mark or terminator, as files and
// window messages carry them; and back, ending at a NUL unit (a trailing odd byte is dropped).
std::string WideToUtf16LeBytes(std::u16string_view text);
std::u16string Utf16LeBytesToWide(std::string_view bytes);
