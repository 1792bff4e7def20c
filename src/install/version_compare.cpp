#include "install/version_compare.h"

#include <cstdint>
#include <limits>
#include <vector>

namespace hs::install {
namespace {

bool is_digit(char16_t c) { return c >= u'0' && c <= u'9'; }
bool is_letter(char16_t c) { return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'); }

std::vector<std::uint64_t> numbers_of(std::u16string_view text) {
  std::vector<std::uint64_t> numbers;
  std::size_t i = 0;
  // A "." ahead of the first digit stands for a leading 0 (".5" is 0.5).
  for (std::size_t j = 0; j < text.size() && !is_digit(text[j]); ++j) {
    if (text[j] == u'.') {
      numbers.push_back(0);
      break;
    }
  }
  while (i < text.size()) {
    if (!is_digit(text[i])) {
      ++i;
      continue;
    }
    std::uint64_t n = 0;
    for (; i < text.size() && is_digit(text[i]); ++i) {
      const std::uint64_t digit = static_cast<std::uint64_t>(text[i] - u'0');
      // Saturate instead of wrapping: a giant number stays the largest.
      n = n > (std::numeric_limits<std::uint64_t>::max() - digit) / 10 ? std::numeric_limits<std::uint64_t>::max()
                                                                          : n * 10 + digit;
    }
    numbers.push_back(n);
  }
  return numbers;
}

// The last letter of the text, upper-cased; 0 when it has none.
char16_t last_letter(std::u16string_view text) {
  for (std::size_t i = text.size(); i-- > 0;) {
    if (is_letter(text[i])) return text[i] >= u'a' ? static_cast<char16_t>(text[i] - 32) : text[i];
  }
  return 0;
}

}  // namespace

int compare_versions(std::u16string_view a, std::u16string_view b) {
  const auto na = numbers_of(a);
  const auto nb = numbers_of(b);
  for (std::size_t i = 0; i < na.size() && i < nb.size(); ++i) {
    if (na[i] != nb[i]) return na[i] < nb[i] ? -1 : 1;
  }
  if (na.size() != nb.size()) return na.size() < nb.size() ? -1 : 1;
  const char16_t la = last_letter(a);
  const char16_t lb = last_letter(b);
  return la == lb ? 0 : (la < lb ? -1 : 1);
}

}  // namespace hs::install
