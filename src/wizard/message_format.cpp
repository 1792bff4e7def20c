#include "wizard/message_format.h"

#include <cstdio>

#include "support/text.h"

namespace hs::wizard {

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
