#pragma once
// Windows-1252, the program's one text encoding, and its edges to UTF-8.

#include <string>
#include <string_view>

namespace sondesk {

// Every byte becomes its Unicode character; the five bytes that Windows-1252 leaves undefined
// (0x81, 0x8D, 0x8F, 0x90, 0x9D) become the C1 controls of the same value, as Windows does.
std::string Cp1252ToUtf8(std::string_view text);

// A character that Windows-1252 lacks becomes its nearest unaccented letter, else '?'.
// Input that is not valid UTF-8 is taken as Windows-1252 already and returned unchanged.
std::string Utf8ToCp1252(std::string_view text);

// True when `text` is valid UTF-8 and holds at least one multi-byte sequence: the sign that a
// song's texts were written as UTF-8 rather than in the Western code page.
bool IsMultibyteUtf8(std::string_view text);

// True when `text` is entirely valid UTF-8 (plain ASCII included).
bool IsValidUtf8(std::string_view text);

}  // namespace sondesk
