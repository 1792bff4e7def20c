// The registry entry rows of the package (`RegistryEntryList`): UTF-16
// text, one entry per line, fields separated by commas, a field in double
// quotes may hold commas and doubled quotes.
#pragma once

#include <string>
#include <vector>

namespace hs::package {

// One line of the list, split into its fields (quotes removed). One field:
// a key to create. Five fields: key path, value name ("" = default value),
// registry type (decimal), data, mode (decimal).
struct RegistryEntry {
  std::vector<std::u16string> fields;

  bool operator==(const RegistryEntry&) const = default;
};

// Splits the list text into entries; empty lines are skipped; CR, LF or both
// end a line; blanks before a field are skipped.
std::vector<RegistryEntry> parse_registry_entries(std::u16string_view text);

// The list text of `entries`, one CR LF line each; a field is quoted when it
// holds a comma, a quote, or leading blanks, or is empty.
std::u16string format_registry_entries(const std::vector<RegistryEntry>& entries);

}  // namespace hs::package
