#pragma once

// Windows-1252 is the code page of every request, result and option file.
// Text stays in it everywhere; these conversions exist only for showing text
// in a window or a log on a UTF-8 terminal, and for taking typed text back.

#include <string>
#include <string_view>

namespace tavor1 {

// Every byte maps to one code point; the five bytes the code page leaves
// undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) become the C1 controls of the same
// value, as Windows itself maps them, so nothing is lost.
std::string cp1252ToUtf8(std::string_view bytes);

// The reverse; code points the code page cannot hold, and malformed UTF-8,
// become '?'.
std::string utf8ToCp1252(std::string_view utf8);

} // namespace tavor1
