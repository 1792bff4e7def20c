#include "wizard/message_format.h"

#include <cstdio>

#include "support/text.h"

namespace hs::wizard {

namespace {

bool is_conversion_letter(char16_t c) {
  switch (c) {
    case u's': case u'S': case u'c': case u'C': case u'd': case u'i':
    case u'u': case u'x': case u'X': case u'f': case u'g':
      return true;
    default:
      return false;
  }
}

// Length of the conversion that starts at text[pos] ('%'), or 0 when the
// characters after it do not form one.
std::size_t conversion_length(std::u16string_view text, std::size_t pos) {
  std::size_t i = pos + 1;
  while (i < text.size() && (text[i] == u'-' || text[i] == u'+' || text[i] == u' ' || text[i] == u'#' ||
                             text[i] == u'0'))
    ++i;
  while (i < text.size() && (text[i] >= u'0' && text[i] <= u'9')) ++i;
  if (i < text.size() && text[i] == u'.') {
    ++i;
    while (i < text.size() && (text[i] >= u'0' && text[i] <= u'9')) ++i;
  }
  // Size prefixes: l, ll, h, I64, I32.
  if (text.substr(i, 3) == u"I64" || text.substr(i, 3) == u"I32") {
    i += 3;
  } else {
    while (i < text.size() && (text[i] == u'l' || text[i] == u'h')) ++i;
  }
  if (i < text.size() && is_conversion_letter(text[i])) return i + 1 - pos;
  return 0;
}

}  // namespace

std::u16string format_message(std::u16string_view text, std::initializer_list<std::u16string_view> values) {
  std::u16string out;
  auto next = values.begin();
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != u'%') {
      out += text[i];
      continue;
    }
    if (i + 1 < text.size() && text[i + 1] == u'%') {
      out += u'%';
      ++i;
      continue;
    }
    std::size_t length = conversion_length(text, i);
    if (length == 0) {
      out += u'%';
      continue;
    }
    if (next != values.end()) out += *next++;
    i += length - 1;
  }
  for (; next != values.end(); ++next) {
    out += u' ';
    out += *next;
  }
  return out;
}

std::u16string format_size(std::uint64_t bytes) {
  char buffer[64];
  if (bytes < 1024) {
    std::snprintf(buffer, sizeof buffer, "%llu bytes", static_cast<unsigned long long>(bytes));
    return support::ascii_to_utf16(buffer);
  }
  static const char* const kUnits[] = {"KB", "MB", "GB", "TB", "PB", "EB"};
  double value = static_cast<double>(bytes) / 1024.0;
  int unit = 0;
  while (value >= 1000.0 && unit < 5) {
    value /= 1024.0;
    ++unit;
  }
  const char* format = value < 10.0 ? "%.2f %s" : value < 100.0 ? "%.1f %s" : "%.0f %s";
  std::snprintf(buffer, sizeof buffer, format, value, kUnits[unit]);
  return support::ascii_to_utf16(buffer);
}

}  // namespace hs::wizard
