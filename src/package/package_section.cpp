#include "package/package_section.h"

#include "support/pe_image.h"

namespace hs::package {
namespace {

SectionSearch damaged(DamageCode code) { return SectionSearch::fail(code); }

}  // namespace

SectionSearch find_package_section(std::span<const std::uint8_t> file) {
  const std::optional<support::PeHeaders> headers = support::read_pe_headers(file);
  if (!headers) return damaged(damage::kNewHeaderOffset);
  const std::uint32_t lfanew = headers->new_header_offset;
  if (lfanew < 64 || lfanew > 4096) return damaged(damage::kNewHeaderOffset);

  if (headers->section_count < 4 || headers->section_count > 99) return damaged(damage::kSectionCount);
  for (std::uint32_t i = 0; i < headers->section_count; ++i) {
    const std::optional<support::PeSection> entry = support::read_pe_section(file, *headers, i);
    if (!entry) return damaged(damage::kSectionCount);
    if (entry->name != kPackageSectionName) continue;

    PackageSection section;
    section.new_header_offset = lfanew;
    section.virtual_address = entry->virtual_address;
    section.size_of_raw_data = entry->size_of_raw_data;
    section.pointer_to_raw_data = entry->pointer_to_raw_data;
    if (section.pointer_to_raw_data == 0) return damaged(damage::kNoPointerToRawData);
    return std::optional(section);
  }
  return std::optional<PackageSection>();
}

}  // namespace hs::package
