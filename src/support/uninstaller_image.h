// The uninstaller image: the installer's executable without its package
// section, which the installation copies as the product's uninstaller when
// the package asks for a copy without the package.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace hs::support {

// The executable without the section whose data lies at
// `pointer_to_raw_data` (`size_of_raw_data` bytes): `head` is the file in
// front of the section, `tail` what follows it (`remove_pe_section`). A signed
// file's certificate table follows the package and signs the file with the
// package; without the package it would be a broken signature, so the image
// is made unsigned instead: the certificate directory entry is cleared and
// the certificate table, when it ends the file, is left out. Nothing when
// the headers in `head` do not describe the section.
std::optional<std::vector<std::uint8_t>> build_uninstaller_image(std::span<const std::uint8_t> head,
                                                                 std::span<const std::uint8_t> tail,
                                                                 std::uint32_t pointer_to_raw_data,
                                                                 std::uint32_t size_of_raw_data);

}  // namespace hs::support
