// Conversion between code page 932 (Shift-JIS) bytes, the form of every text
// at the library boundary, and UTF-8.
#pragma once

#include <string>
#include <string_view>

namespace platform {

// Bytes that are not valid in the source encoding become U+FFFD / '?'.
std::string Cp932ToUtf8(std::string_view cp932);
std::string Utf8ToCp932(std::string_view utf8);
// Texts as Windows keeps them; every code unit that code page 932 has no
// character for becomes '?'.
std::string Utf16LeToCp932(std::string_view utf16le);

}  // namespace platform
