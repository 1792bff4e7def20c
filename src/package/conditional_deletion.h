// A file deleted under a condition on its size or date, at installation,
// at uninstallation, or both.
#pragma once

#include <cstdint>
#include <string>

namespace hs::package {

struct ConditionalDeletion {
  std::u16string path;  // file path or pattern (folder variables; relative = installation folder)
  // 0 none; 1 date equal; 2 date on or after; 3 date on or before; 4 size
  // equal; 5 size at least; 6 size at most; other values: none.
  std::uint8_t condition = 0;
  std::u16string argument;  // the date (conditions 1-3) or the size in bytes (4-6)
  // Bit set: 1 schedule for the next start instead of deleting; 2 schedule
  // when deleting fails; 4 apply at installation; 8 apply at uninstallation.
  std::uint8_t flags = 0;

  bool operator==(const ConditionalDeletion&) const = default;
};

// The path that ends the conditional-deletion table in the settings stream.
inline constexpr std::u16string_view kConditionalDeletionEndRow = u"~~THE END~~";

}  // namespace hs::package
