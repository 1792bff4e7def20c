// Attaching the package to an engine stub as a new PE section `.setup`.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "support/pe_image.h"

namespace hs::tools {

// The headers of an engine stub the writer can extend: an MZ and PE
// signature, e_lfanew from 64 to 4096 (where the engine looks), a PE32 or
// PE32+ optional header with alignments other than 0 and a whole section
// table. Throws std::runtime_error with a clear message otherwise.
support::PeHeaders read_stub_headers(std::span<const std::uint8_t> image);

// A copy of `stub` with `package` appended as a new section named ".setup"
// (initialized, readable data), then the engine CRC of the package header
// (the file from e_lfanew + 92 up to the section) and the PE checksum.
// Throws std::runtime_error when the stub already has a package, is signed,
// or has no room in its headers for another section entry.
std::vector<std::uint8_t> attach_package(std::span<const std::uint8_t> stub, std::span<const std::uint8_t> package);

// Writes the engine CRC into the package header of a finished installer
// whose `.setup` section starts at `pointer_to_raw_data`, then updates the
// PE checksum.
void write_engine_crc(std::vector<std::uint8_t>& installer, std::uint32_t pointer_to_raw_data);

}  // namespace hs::tools
