// Fuzz target: the uninstaller image made from the installer's own file.
//
// The bytes are an executable. When its headers name a package section, the
// image without it is built; it must never read outside the file, and a
// result must have one section less and be exactly the file without the
// package's bytes and without a certificate table that ended the file, and
// carry no certificate directory entry.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "package/package_section.h"
#include "support/pe_image.h"
#include "support/uninstaller_image.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> file(data, size);
  const hs::package::SectionSearch search = hs::package::find_package_section(file);
  if (!search || !*search) return 0;
  const hs::package::PackageSection& section = **search;
  if (section.pointer_to_raw_data > size) return 0;
  const std::size_t tail_start = std::min<std::size_t>(size, std::size_t{section.pointer_to_raw_data} + section.size_of_raw_data);
  const auto image = hs::support::build_uninstaller_image(file.first(section.pointer_to_raw_data), file.subspan(tail_start),
                                                     section.pointer_to_raw_data, section.size_of_raw_data);
  if (!image) return 0;

  const auto headers = hs::support::read_pe_headers(file);
  const hs::support::PeDataDirectory certificate = hs::support::certificate_table(file.first(section.pointer_to_raw_data), *headers);
  const bool certificate_dropped = certificate.size != 0 && certificate.address >= tail_start &&
                                   std::uint64_t{certificate.address} + certificate.size == size &&
                                   std::uint64_t{section.pointer_to_raw_data} + section.size_of_raw_data == tail_start;
  const std::size_t expected = section.pointer_to_raw_data + (size - tail_start) - (certificate_dropped ? certificate.size : 0);
  if (image->size() != expected) std::abort();
  const hs::support::PeDataDirectory left = hs::support::certificate_table(*image, *headers);
  if (left.address != 0 || left.size != 0) std::abort();

  const std::size_t pe = section.new_header_offset;
  const unsigned before = file[pe + 6] | (file[pe + 7] << 8);
  const unsigned after = (*image)[pe + 6] | ((*image)[pe + 7] << 8);
  if (after + 1 != before) std::abort();
  return 0;
}
