// Windows paths of the simulated machine: reading them into drive and
// components, and writing them back.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/types.h"

namespace hs::platform::sim {

// A full path on a drive: "C:\Program Files\App" is drive 'C' and the
// components "Program Files", "App". No components: the drive's root.
struct WinPath {
  char16_t drive = u'C';  // upper case
  std::vector<std::u16string> parts;

  // "C:\a\b"; the root is "C:\".
  std::u16string text() const;
  // The same path in upper case, the key of per-path records.
  std::u16string key() const;
  bool is_root() const { return parts.empty(); }
  WinPath parent() const;
};

// Reads a path as Windows does: '/' and '\' both separate; "." and ".."
// are resolved; trailing dots and blanks of a component are dropped; a
// "\\?\" prefix is skipped; a path without a drive is taken relative to
// `current` (a drive-relative "\x" keeps the current drive). Fails with
// ERROR_INVALID_NAME (123) for characters no file name may hold, and with
// ERROR_BAD_PATHNAME (161) for forms the machine does not have (UNC).
Result<WinPath> parse_win_path(std::u16string_view path, const WinPath& current);

// Whether `name` matches a pattern with * and ? (without regard to case;
// "*.*" matches every name, as on Windows).
bool wildcard_match(std::u16string_view pattern, std::u16string_view name);

}  // namespace hs::platform::sim
