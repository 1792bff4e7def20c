// Attaching the package to an engine stub as a new PE section `.setup`.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace hs::tools {

// The parts of a PE image's headers the writer needs.
struct PeLayout {
  std::uint32_t new_header_offset = 0;    // e_lfanew
  std::uint32_t section_count = 0;        // NumberOfSections
  std::size_t optional_header = 0;        // file offset of the optional header
  std::size_t section_table = 0;          // file offset of the section table
  bool pe32_plus = false;                 // optional header magic 0x20B
  std::uint32_t section_alignment = 0;
  std::uint32_t file_alignment = 0;
  std::uint32_t size_of_headers = 0;
};

// Reads the headers; throws std::runtime_error with a clear message when the
// file is not a PE image this writer can extend.
PeLayout read_pe_layout(std::span<const std::uint8_t> image);

// A copy of `stub` with `package` appended as a new section named ".setup"
// (initialized, readable data): section table entry, file and section
// alignment, SizeOfImage and SizeOfInitializedData, then the engine CRC of
// the package header (the file from e_lfanew + 92 up to the section) and the
// PE checksum. Throws std::runtime_error when the stub already has a package,
// is signed, or has no room in its headers for another section entry.
std::vector<std::uint8_t> attach_package(std::span<const std::uint8_t> stub, std::span<const std::uint8_t> package);

// Writes the engine CRC into the package header of a finished installer
// whose `.setup` section starts at `pointer_to_raw_data`, then updates the
// PE checksum.
void write_engine_crc(std::vector<std::uint8_t>& installer, std::uint32_t pointer_to_raw_data);

// The PE image checksum (as the optional header's CheckSum field holds it).
std::uint32_t pe_checksum(std::span<const std::uint8_t> image, std::size_t checksum_offset);

}  // namespace hs::tools
