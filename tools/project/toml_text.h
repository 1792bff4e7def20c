// The TOML library as the project-file reader uses it, and the work-around
// that lets it read every character.
//
// The TOML library tests characters for whitespace with a table that does
// not cover every code point below U+FEFF (it reaches an "unreachable"
// branch for most letters above 127 wherever it looks for whitespace, as in
// a broken document or after a line-ending backslash). So the text it sees
// has every character from U+00A1 to U+FEFE moved to the private plane 15
// (U+F0000 + the code point), which it handles; `unshield` moves them back
// in every text taken from the document. Characters of planes 15 and 16 are
// refused for that reason.
#pragma once

#define TOML_HEADER_ONLY 1
#define TOML_ENABLE_FORMATTERS 0
#include <toml++/toml.h>

#include <string>
#include <string_view>

namespace hs::tools {

// The project text as the TOML library is given it: every character from
// U+00A1 to U+FEFE moved to plane 15. Throws ProjectError naming `file`,
// the line and the column of a character of planes 15 or 16.
std::string shield(std::string_view text, std::string_view file);

// A text taken from the parsed document with its characters moved back.
std::string unshield(std::string_view text);

// `unshield` as UTF-16.
std::u16string wide(std::string_view utf8);

}  // namespace hs::tools
