// Finding the package section `.setup` in the executable's PE headers.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "package/damage_code.h"

namespace hs::package {

// The name of the package section in the section table.
inline constexpr std::string_view kPackageSectionName = ".setup";

// Where the package section lies, from its section table entry.
struct PackageSection {
  std::uint32_t new_header_offset = 0;  // e_lfanew: offset of the "PE\0\0" signature
  std::uint32_t virtual_address = 0;    // VirtualAddress: offset of the section in the loaded image
  std::uint32_t size_of_raw_data = 0;   // SizeOfRawData: bytes of the section in the file
  std::uint32_t pointer_to_raw_data = 0;  // PointerToRawData: file offset of the section; never 0 here
};

// The outcome of the search: the section; no section (std::nullopt: no
// section is named ".setup", the file carries no package); or the damage
// code of a broken header rule.
using SectionSearch = Checked<std::optional<PackageSection>>;

// The first byte past the section table that `find_package_section` may
// need: the prefix of the file this long (or the whole file if shorter)
// is always enough.
inline constexpr std::size_t kPeHeaderReadSize = 4096 + 24 + 0xFFFF + 40 * 99;

// Reads the headers at the start of the file (`file_prefix`: the first
// bytes of the file, at most kPeHeaderReadSize needed) and finds the first
// section whose name is exactly ".setup". Headers cut short by the end of
// the prefix count as damaged (43 for the DOS and file header, 44 for the
// section table).
SectionSearch find_package_section(std::span<const std::uint8_t> file_prefix);

}  // namespace hs::package
