// Small text helpers for the simulated machine's own files (machine.ini,
// answers scripts): ASCII trimming and letter case.
#pragma once

#include <cctype>
#include <string>
#include <string_view>

namespace hs::platform::sim {

// `text` without white space at either end.
inline std::string trim(std::string_view text) {
  std::size_t b = 0, e = text.size();
  while (b < e && std::isspace(static_cast<unsigned char>(text[b]))) ++b;
  while (e > b && std::isspace(static_cast<unsigned char>(text[e - 1]))) --e;
  return std::string(text.substr(b, e - b));
}

// `text` with ASCII letters in lower case.
inline std::string lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

}  // namespace hs::platform::sim
