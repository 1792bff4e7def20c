// A further value the package writes under the product's uninstall key (or,
// when its name holds a backslash, at a full registry path).
#pragma once

#include <cstdint>
#include <string>

namespace hs::package {

struct RegistryValue {
  // Value name, or key path and value name split at the last backslash.
  std::u16string name;
  // 1 text, 2 expandable text, 3 number; any other type stops the run with
  // damage code 200 when the list is applied.
  std::uint8_t type = 0;
  std::u16string data;  // value data (folder variables expanded); a number as decimal text

  bool operator==(const RegistryValue&) const = default;
};

}  // namespace hs::package
