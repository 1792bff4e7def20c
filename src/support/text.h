// Text helpers: UTF-8/UTF-16 conversion, the 8-bit "bar form", letter case.
//
// The engine keeps texts as UTF-16 (`std::u16string`). 8-bit texts in the
// package, in lists and in the uninstall data file use the bar form: plain
// when every character is below 128, otherwise "|" followed by UTF-8.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace hs::support {

// UTF-8 to UTF-16; invalid sequences become U+FFFD.
std::u16string utf8_to_utf16(std::string_view text);
// UTF-16 to UTF-8; unpaired surrogates become U+FFFD.
std::string utf16_to_utf8(std::u16string_view text);

// Plain ASCII widening/narrowing (for texts known to be ASCII, such as
// built-in messages). Characters above 127 are kept by value when widening
// and become '?' when narrowing.
std::u16string ascii_to_utf16(std::string_view text);
std::string utf16_to_ascii(std::u16string_view text);

// Windows code page 1252 to and from UTF-16. Unmappable characters become '?'.
std::u16string cp1252_to_utf16(std::string_view text);
std::string utf16_to_cp1252(std::u16string_view text);

// The bar form: plain when all characters are below 128, else "|" + UTF-8.
std::string to_bar_form(std::u16string_view text);
// Reads a bar-form text; one without the leading "|" is taken as code page
// 1252 (the engine's fixed choice for the ANSI code page).
std::u16string from_bar_form(std::string_view text);

// Decodes an 8-bit text of the system's ANSI code page (the platform's
// SystemInfo::ansi_to_utf16); an empty one stands for code page 1252.
using AnsiDecoder = std::function<std::u16string(std::string_view)>;
// Encodes a text in the system's ANSI code page (SystemInfo::utf16_to_ansi);
// an empty one stands for code page 1252.
using AnsiEncoder = std::function<std::string(std::u16string_view)>;
// Reads a bar-form text; one without the leading "|" is decoded by `ansi`.
std::u16string from_bar_form(std::string_view text, const AnsiDecoder& ansi);

// Upper case as Windows' invariant locale does it for the characters the
// engine compares (ASCII and Latin-1 letters).
char16_t to_upper(char16_t c);
std::u16string to_upper(std::u16string_view text);
// Case-insensitive equality and prefix test (invariant locale).
bool iequals(std::u16string_view a, std::u16string_view b);
bool istarts_with(std::u16string_view text, std::u16string_view prefix);

}  // namespace hs::support
