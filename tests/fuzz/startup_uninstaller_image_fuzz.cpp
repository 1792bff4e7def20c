// Fuzz target: the uninstaller image made from the installer's own file.
//
// The bytes are an executable. When its headers name a package section, the
// image without it is built; it must never read outside the file, and a
// result must have one section less and be exactly the file without the
// package's bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "engine/startup.h"
#include "package/package_section.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> file(data, size);
  const hs::package::SectionSearch search = hs::package::find_package_section(file);
  if (!search || !*search) return 0;
  const hs::package::PackageSection& section = **search;
  if (section.pointer_to_raw_data > size) return 0;
  const std::size_t tail_start = std::min<std::size_t>(size, std::size_t{section.pointer_to_raw_data} + section.size_of_raw_data);
  const auto image = hs::engine::build_uninstaller_image(file.first(section.pointer_to_raw_data), file.subspan(tail_start), section);
  if (!image) return 0;
  if (image->size() != section.pointer_to_raw_data + (size - tail_start)) std::abort();
  const std::size_t pe = section.new_header_offset;
  const unsigned before = file[pe + 6] | (file[pe + 7] << 8);
  const unsigned after = (*image)[pe + 6] | ((*image)[pe + 7] << 8);
  if (after + 1 != before) std::abort();
  return 0;
}
