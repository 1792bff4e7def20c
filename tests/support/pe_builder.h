// The tests' one way to make a PE executable: headers as a linker writes
// them, and sections added one by one by the same code that attaches the
// package to the engine (support::add_pe_section), so the tests exercise that code
// instead of restating section-table offsets by hand.
#pragma once

#include <cstdint>
#include <cstring>
#include <span>
#include <stdexcept>
#include <string_view>
#include <vector>

#include "support/pe_image.h"

namespace hs::test {

struct PeOptions {
  std::uint32_t new_header_offset = 0x40;  // e_lfanew
  bool pe32_plus = false;                  // PE32+ (x86-64) instead of PE32 (i386)
  std::uint32_t size_of_headers = 0x200;   // SizeOfHeaders: where the first section's data may start
  std::uint32_t file_alignment = 0x200;
  std::uint32_t section_alignment = 0x1000;
};

class PeBuilder {
 public:
  explicit PeBuilder(PeOptions options = {}) : bytes_(options.size_of_headers, 0) {
    const std::size_t pe = options.new_header_offset;
    const std::uint16_t optional_size = options.pe32_plus ? 0xF0 : 0xE0;
    bytes_[0] = 'M';
    bytes_[1] = 'Z';
    support::store_u32(bytes_, support::kNewHeaderOffsetField, options.new_header_offset);
    std::memcpy(&bytes_[pe], "PE\0\0", 4);
    support::store_u16(bytes_, pe + support::kMachineField, options.pe32_plus ? 0x8664 : 0x14C);
    support::store_u16(bytes_, pe + support::kSizeOfOptionalHeaderField, optional_size);
    support::store_u16(bytes_, pe + support::kCharacteristicsField, options.pe32_plus ? 0x22 : 0x102);  // executable
    const std::size_t opt = pe + support::kSignatureAndFileHeaderSize;
    support::store_u16(bytes_, opt + support::kMagicField, options.pe32_plus ? support::kMagicPe32Plus : support::kMagicPe32);
    support::store_u32(bytes_, opt + support::kSectionAlignmentField, options.section_alignment);
    support::store_u32(bytes_, opt + support::kFileAlignmentField, options.file_alignment);
    support::store_u32(bytes_, opt + support::kSizeOfImageField, options.size_of_headers);
    support::store_u32(bytes_, opt + support::kSizeOfHeadersField, options.size_of_headers);
    support::store_u16(bytes_, opt + support::kSubsystemField, 2);  // Windows GUI
    support::store_u32(bytes_, opt + (options.pe32_plus ? support::kDirectoryCountPe32Plus : support::kDirectoryCountPe32), 16);
  }

  // Adds a section behind the others (support::add_pe_section); `data` is its
  // content in memory, zero-padded in the file to the file alignment.
  PeBuilder& section(std::string_view name, std::span<const std::uint8_t> data,
                     std::uint32_t characteristics = support::kInitializedData | support::kMemoryRead) {
    if (!support::add_pe_section(bytes_, name, data, characteristics)) throw std::logic_error("PeBuilder: no room for a section");
    return *this;
  }
  // A section of `size` bytes, each `fill`.
  PeBuilder& section(std::string_view name, std::size_t size, std::uint8_t fill) {
    const std::vector<std::uint8_t> data(size, fill);
    return section(name, data);
  }

  support::PeHeaders headers() const { return *support::read_pe_headers(bytes_); }
  // The section table entry `index` as written.
  support::PeSection entry(std::size_t index) const { return *support::read_pe_section(bytes_, headers(), index); }
  std::vector<std::uint8_t>& bytes() { return bytes_; }
  const std::vector<std::uint8_t>& bytes() const { return bytes_; }

 private:
  std::vector<std::uint8_t> bytes_;
};

}  // namespace hs::test
