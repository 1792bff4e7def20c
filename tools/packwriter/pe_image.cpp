#include "packwriter/pe_image.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "package/engine_protection.h"
#include "package/package_section.h"

namespace hs::tools {
namespace {

constexpr std::size_t kSectionEntrySize = 40;
constexpr std::uint32_t kMaxSections = 99;  // the engine refuses more
constexpr std::uint32_t kSetupCharacteristics = 0x40000040;  // initialized data, readable

std::uint16_t get_u16(std::span<const std::uint8_t> d, std::size_t at) {
  return static_cast<std::uint16_t>(d[at] | (d[at + 1] << 8));
}
std::uint32_t get_u32(std::span<const std::uint8_t> d, std::size_t at) {
  return std::uint32_t{d[at]} | (std::uint32_t{d[at + 1]} << 8) | (std::uint32_t{d[at + 2]} << 16) |
         (std::uint32_t{d[at + 3]} << 24);
}
void set_u16(std::vector<std::uint8_t>& d, std::size_t at, std::uint16_t v) {
  d[at] = static_cast<std::uint8_t>(v);
  d[at + 1] = static_cast<std::uint8_t>(v >> 8);
}
void set_u32(std::vector<std::uint8_t>& d, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) d[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}
std::uint64_t align_up(std::uint64_t value, std::uint32_t alignment) {
  return (value + alignment - 1) / alignment * alignment;
}
[[noreturn]] void fail(const std::string& what) { throw std::runtime_error("engine stub: " + what); }

}  // namespace

PeLayout read_pe_layout(std::span<const std::uint8_t> image) {
  if (image.size() < 64 || image[0] != 'M' || image[1] != 'Z') fail("not a PE executable (no MZ header)");
  PeLayout pe;
  pe.new_header_offset = get_u32(image, 60);
  if (pe.new_header_offset < 64 || pe.new_header_offset > 4096)
    fail("e_lfanew must lie from 64 to 4096 for the engine to find its package");
  if (image.size() < pe.new_header_offset + 24 || std::memcmp(&image[pe.new_header_offset], "PE\0\0", 4) != 0)
    fail("not a PE executable (no PE signature)");
  pe.section_count = get_u16(image, pe.new_header_offset + 6);
  const std::uint32_t optional_size = get_u16(image, pe.new_header_offset + 20);
  pe.optional_header = pe.new_header_offset + 24;
  pe.section_table = pe.optional_header + optional_size;
  if (optional_size < 64 || image.size() < pe.optional_header + 64) fail("optional header cut short");
  const std::uint16_t magic = get_u16(image, pe.optional_header);
  if (magic != 0x10B && magic != 0x20B) fail("unknown optional header magic");
  pe.pe32_plus = magic == 0x20B;
  pe.section_alignment = get_u32(image, pe.optional_header + 32);
  pe.file_alignment = get_u32(image, pe.optional_header + 36);
  pe.size_of_headers = get_u32(image, pe.optional_header + 60);
  if (pe.file_alignment == 0 || pe.section_alignment == 0) fail("alignment of 0");
  if (image.size() < pe.section_table + std::size_t{pe.section_count} * kSectionEntrySize)
    fail("section table cut short");
  return pe;
}

std::uint32_t pe_checksum(std::span<const std::uint8_t> image, std::size_t checksum_offset) {
  std::uint64_t sum = 0;
  for (std::size_t at = 0; at < image.size(); at += 2) {
    if (at == checksum_offset || at == checksum_offset + 2) continue;
    std::uint32_t word = image[at];
    if (at + 1 < image.size()) word |= std::uint32_t{image[at + 1]} << 8;
    sum += word;
    sum = (sum & 0xFFFF) + (sum >> 16);
  }
  sum = (sum & 0xFFFF) + (sum >> 16);
  return static_cast<std::uint32_t>(sum + image.size());
}

std::vector<std::uint8_t> attach_package(std::span<const std::uint8_t> stub, std::span<const std::uint8_t> package) {
  const PeLayout pe = read_pe_layout(stub);

  // Data directory 4 (the certificate table): a signature would be broken.
  const std::size_t directories = pe.optional_header + (pe.pe32_plus ? 112 : 96);
  const std::uint32_t directory_count = get_u32(stub, pe.optional_header + (pe.pe32_plus ? 108 : 92));
  if (directory_count > 4 && directories + 5 * 8 <= pe.section_table && get_u32(stub, directories + 4 * 8 + 4) != 0)
    fail("it is signed; sign the installer after the package is attached");

  std::uint64_t image_end = 0;
  std::uint64_t file_end = stub.size();
  std::uint64_t first_raw = UINT64_MAX;
  for (std::uint32_t i = 0; i < pe.section_count; ++i) {
    const std::size_t entry = pe.section_table + i * kSectionEntrySize;
    char name[9] = {};
    std::memcpy(name, &stub[entry], 8);
    if (std::strcmp(name, ".setup") == 0) fail("it already carries a .setup section");
    const std::uint32_t virtual_size = get_u32(stub, entry + 8);
    const std::uint32_t virtual_address = get_u32(stub, entry + 12);
    const std::uint32_t raw_size = get_u32(stub, entry + 16);
    const std::uint32_t raw_pointer = get_u32(stub, entry + 20);
    image_end = std::max<std::uint64_t>(image_end, std::uint64_t{virtual_address} + std::max(virtual_size, raw_size));
    if (raw_size != 0 && raw_pointer != 0) {
      first_raw = std::min<std::uint64_t>(first_raw, raw_pointer);
      file_end = std::max<std::uint64_t>(file_end, std::uint64_t{raw_pointer} + raw_size);
    }
  }
  if (pe.section_count + 1 > kMaxSections) fail("it has too many sections to add one more");
  if (pe.section_count + 1 < 4) fail("it has fewer than 3 sections (the engine needs at least 4 with .setup)");
  const std::size_t new_entry = pe.section_table + std::size_t{pe.section_count} * kSectionEntrySize;
  if (new_entry + kSectionEntrySize > pe.size_of_headers || new_entry + kSectionEntrySize > first_raw)
    fail("no room in the PE headers for one more section table entry");
  for (std::size_t at = new_entry; at < new_entry + kSectionEntrySize; ++at)
    if (stub[at] != 0) fail("the space behind the section table is in use");

  const std::uint64_t raw_pointer = align_up(file_end, pe.file_alignment);
  const std::uint64_t raw_size = align_up(package.size(), pe.file_alignment);
  const std::uint64_t virtual_address = align_up(image_end, pe.section_alignment);
  const std::uint64_t image_size = align_up(virtual_address + package.size(), pe.section_alignment);
  if (raw_pointer + raw_size > 0xFFFFFFFF || image_size > 0xFFFFFFFF) fail("the installer would exceed 4 GiB");

  std::vector<std::uint8_t> out(stub.begin(), stub.end());
  out.resize(static_cast<std::size_t>(raw_pointer), 0);
  out.insert(out.end(), package.begin(), package.end());
  out.resize(static_cast<std::size_t>(raw_pointer + raw_size), 0);

  std::memcpy(&out[new_entry], ".setup\0\0", 8);
  set_u32(out, new_entry + 8, static_cast<std::uint32_t>(package.size()));
  set_u32(out, new_entry + 12, static_cast<std::uint32_t>(virtual_address));
  set_u32(out, new_entry + 16, static_cast<std::uint32_t>(raw_size));
  set_u32(out, new_entry + 20, static_cast<std::uint32_t>(raw_pointer));
  set_u32(out, new_entry + 36, kSetupCharacteristics);
  set_u16(out, pe.new_header_offset + 6, static_cast<std::uint16_t>(pe.section_count + 1));
  set_u32(out, pe.optional_header + 56, static_cast<std::uint32_t>(image_size));
  const std::uint32_t initialized = get_u32(out, pe.optional_header + 8);
  set_u32(out, pe.optional_header + 8, static_cast<std::uint32_t>(initialized + raw_size));

  write_engine_crc(out, static_cast<std::uint32_t>(raw_pointer));
  return out;
}

void write_engine_crc(std::vector<std::uint8_t>& installer, std::uint32_t pointer_to_raw_data) {
  const PeLayout pe = read_pe_layout(installer);
  if (std::size_t{pointer_to_raw_data} + 25 > installer.size()) fail("package header outside the file");
  const std::uint32_t crc = package::engine_crc(
      std::span<const std::uint8_t>(installer).first(pointer_to_raw_data), pe.new_header_offset);
  set_u32(installer, std::size_t{pointer_to_raw_data} + 21, crc);
  const std::size_t checksum_offset = pe.optional_header + 64;
  set_u32(installer, checksum_offset, pe_checksum(installer, checksum_offset));
}

}  // namespace hs::tools
