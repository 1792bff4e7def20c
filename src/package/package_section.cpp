#include "package/package_section.h"

#include <cstring>

#include "package/byte_cursor.h"
#include "support/little_endian.h"

namespace hs::package {
namespace {

SectionSearch damaged(DamageCode code) { return SectionSearch::fail(code); }

}  // namespace

SectionSearch find_package_section(std::span<const std::uint8_t> file) {
  if (file.size() < 62) return damaged(damage::kNewHeaderOffset);
  const std::uint32_t lfanew = support::load_u16(file, 60);
  if (lfanew < 64 || lfanew > 4096) return damaged(damage::kNewHeaderOffset);
  if (file.size() < lfanew + 24) return damaged(damage::kNewHeaderOffset);

  const std::uint32_t sections = support::load_u16(file, lfanew + 6);
  if (sections < 4 || sections > 99) return damaged(damage::kSectionCount);
  const std::uint32_t optional_size = support::load_u16(file, lfanew + 20);
  const std::size_t table = std::size_t{lfanew} + optional_size + 24;

  for (std::uint32_t i = 0; i < sections; ++i) {
    const std::size_t entry = table + std::size_t{i} * 40;
    if (entry + 40 > file.size()) return damaged(damage::kSectionCount);
    char name[9] = {};
    std::memcpy(name, &file[entry], 8);
    if (std::strcmp(name, ".setup") != 0) continue;

    ByteCursor cursor(file, entry + 12);
    PackageSection section;
    section.new_header_offset = lfanew;
    section.virtual_address = *cursor.u32();
    section.size_of_raw_data = *cursor.u32();
    section.pointer_to_raw_data = *cursor.u32();
    if (section.pointer_to_raw_data == 0) return damaged(damage::kNoPointerToRawData);
    return std::optional(section);
  }
  return std::optional<PackageSection>();
}

}  // namespace hs::package
