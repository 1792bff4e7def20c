// The simulated machine's ANSI code page: 8-bit texts converted with glibc's
// iconv, as Windows converts them with MultiByteToWideChar and
// WideCharToMultiByte.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace hs::platform::sim {

// `text` in Windows code page `code_page` (1252, 1251, 932, ...) as UTF-16.
// A byte sequence the code page does not define becomes U+FFFD; a code page
// iconv does not know is read as code page 1252.
std::u16string code_page_to_utf16(std::uint32_t code_page, std::string_view text);

// `text` in code page `code_page`; a character the code page cannot hold
// becomes "?".
std::string utf16_to_code_page(std::uint32_t code_page, std::u16string_view text);

}  // namespace hs::platform::sim
