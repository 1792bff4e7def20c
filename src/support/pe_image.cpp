#include "support/pe_image.h"

#include <algorithm>
#include <cstring>

namespace hs::support {
namespace {

std::uint64_t align_up(std::uint64_t value, std::uint32_t alignment) {
  if (alignment == 0) return value;
  return (value + alignment - 1) / alignment * alignment;
}

std::uint32_t clamp32(std::uint64_t value) { return value > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<std::uint32_t>(value); }

}  // namespace

std::uint16_t load_le16(std::span<const std::uint8_t> bytes, std::size_t at) {
  if (at > bytes.size() || bytes.size() - at < 2) return 0;
  return load_u16(bytes, at);
}

std::uint32_t load_le32(std::span<const std::uint8_t> bytes, std::size_t at) {
  if (at > bytes.size() || bytes.size() - at < 4) return 0;
  return load_u32(bytes, at);
}

std::optional<PeHeaders> read_pe_headers(std::span<const std::uint8_t> file) {
  if (file.size() < kNewHeaderOffsetField + 2) return std::nullopt;
  PeHeaders headers;
  headers.new_header_offset = load_le16(file, kNewHeaderOffsetField);
  if (file.size() < headers.optional_header()) return std::nullopt;
  headers.section_count = load_le16(file, headers.new_header_offset + kNumberOfSectionsField);
  headers.optional_header_size = load_le16(file, headers.new_header_offset + kSizeOfOptionalHeaderField);
  return headers;
}

std::optional<PeSection> read_pe_section(std::span<const std::uint8_t> file, const PeHeaders& headers, std::size_t index) {
  const std::size_t entry = headers.section_entry(index);
  if (entry > file.size() || file.size() - entry < kSectionEntrySize) return std::nullopt;
  PeSection section;
  const char* name = reinterpret_cast<const char*>(&file[entry]);
  section.name.assign(name, strnlen(name, kSectionNameSize));
  section.virtual_size = load_le32(file, entry + kVirtualSizeField);
  section.virtual_address = load_le32(file, entry + kVirtualAddressField);
  section.size_of_raw_data = load_le32(file, entry + kSizeOfRawDataField);
  section.pointer_to_raw_data = load_le32(file, entry + kPointerToRawDataField);
  section.characteristics = load_le32(file, entry + kSectionCharacteristicsField);
  return section;
}

std::optional<std::uint16_t> optional_header_magic(std::span<const std::uint8_t> file, const PeHeaders& headers) {
  if (headers.optional_header() + 2 > file.size()) return std::nullopt;
  const std::uint16_t magic = load_le16(file, headers.optional_header() + kMagicField);
  if (magic != kMagicPe32 && magic != kMagicPe32Plus) return std::nullopt;
  return magic;
}

std::optional<std::size_t> data_directory_field(std::span<const std::uint8_t> file, const PeHeaders& headers,
                                                std::size_t index) {
  const std::optional<std::uint16_t> magic = optional_header_magic(file, headers);
  if (!magic) return std::nullopt;
  const std::size_t directories =
      (*magic == kMagicPe32 ? kDirectoryCountPe32 : kDirectoryCountPe32Plus) + 4 + index * kDataDirectorySize;
  if (directories + kDataDirectorySize > headers.optional_header_size) return std::nullopt;
  const std::size_t field = headers.optional_header() + directories;
  if (field + kDataDirectorySize > file.size()) return std::nullopt;
  return field;
}

PeDataDirectory certificate_table(std::span<const std::uint8_t> file, const PeHeaders& headers) {
  const std::optional<std::size_t> field = data_directory_field(file, headers, kCertificateDirectory);
  if (!field) return {};
  return PeDataDirectory{load_le32(file, *field), load_le32(file, *field + 4)};
}

std::uint32_t pe_checksum(std::span<const std::uint8_t> image, std::size_t checksum_field) {
  std::uint64_t sum = 0;
  for (std::size_t at = 0; at < image.size(); at += 2) {
    if (at == checksum_field || at == checksum_field + 2) continue;
    std::uint32_t word = image[at];
    if (at + 1 < image.size()) word |= std::uint32_t{image[at + 1]} << 8;
    sum += word;
    sum = (sum & 0xFFFF) + (sum >> 16);
  }
  sum = (sum & 0xFFFF) + (sum >> 16);
  return static_cast<std::uint32_t>(sum + image.size());
}

void update_pe_checksum(std::vector<std::uint8_t>& image, const PeHeaders& headers) {
  if (headers.checksum_field() + 4 > image.size()) return;
  store_u32(image, headers.checksum_field(), pe_checksum(image, headers.checksum_field()));
}

bool has_room_for_pe_section(std::span<const std::uint8_t> image, const PeHeaders& headers) {
  const std::size_t entry = headers.section_entry(headers.section_count);
  const std::size_t end = entry + kSectionEntrySize;
  if (end > image.size() || end > load_le32(image, headers.optional_header() + kSizeOfHeadersField)) return false;
  for (std::size_t i = 0; i < headers.section_count; ++i) {
    const std::optional<PeSection> s = read_pe_section(image, headers, i);
    if (!s) return false;
    if (s->size_of_raw_data != 0 && s->pointer_to_raw_data != 0 && end > s->pointer_to_raw_data) return false;
  }
  return std::all_of(image.begin() + static_cast<std::ptrdiff_t>(entry), image.begin() + static_cast<std::ptrdiff_t>(end),
                     [](std::uint8_t b) { return b == 0; });
}

std::optional<PeSection> add_pe_section(std::vector<std::uint8_t>& image, std::string_view name,
                                   std::span<const std::uint8_t> data, std::uint32_t characteristics) {
  const std::optional<PeHeaders> headers = read_pe_headers(image);
  if (!headers || name.size() > kSectionNameSize || !has_room_for_pe_section(image, *headers)) return std::nullopt;
  const std::size_t optional = headers->optional_header();
  const std::uint32_t section_alignment = load_le32(image, optional + kSectionAlignmentField);
  const std::uint32_t file_alignment = load_le32(image, optional + kFileAlignmentField);
  if (section_alignment == 0 || file_alignment == 0) return std::nullopt;

  // The new section goes behind the headers and every section, in the file
  // and in memory.
  std::uint64_t image_end = load_le32(image, optional + kSizeOfHeadersField);
  std::uint64_t file_end = image.size();
  for (std::size_t i = 0; i < headers->section_count; ++i) {
    const PeSection s = *read_pe_section(image, *headers, i);
    image_end = std::max<std::uint64_t>(image_end, std::uint64_t{s.virtual_address} + std::max(s.virtual_size, s.size_of_raw_data));
    if (s.size_of_raw_data != 0 && s.pointer_to_raw_data != 0)
      file_end = std::max<std::uint64_t>(file_end, std::uint64_t{s.pointer_to_raw_data} + s.size_of_raw_data);
  }
  PeSection added;
  added.name = std::string(name);
  const std::uint64_t raw_pointer = align_up(file_end, file_alignment);
  const std::uint64_t raw_size = align_up(data.size(), file_alignment);
  const std::uint64_t virtual_address = align_up(image_end, section_alignment);
  const std::uint64_t image_size = align_up(virtual_address + data.size(), section_alignment);
  if (raw_pointer + raw_size > 0xFFFFFFFFu || image_size > 0xFFFFFFFFu) return std::nullopt;
  added.virtual_size = static_cast<std::uint32_t>(data.size());
  added.virtual_address = static_cast<std::uint32_t>(virtual_address);
  added.size_of_raw_data = static_cast<std::uint32_t>(raw_size);
  added.pointer_to_raw_data = static_cast<std::uint32_t>(raw_pointer);
  added.characteristics = characteristics;

  image.resize(static_cast<std::size_t>(raw_pointer), 0);
  image.insert(image.end(), data.begin(), data.end());
  image.resize(static_cast<std::size_t>(raw_pointer + raw_size), 0);

  const std::size_t entry = headers->section_entry(headers->section_count);
  std::fill_n(image.begin() + static_cast<std::ptrdiff_t>(entry), kSectionNameSize, 0);
  std::copy(name.begin(), name.end(), image.begin() + static_cast<std::ptrdiff_t>(entry));
  store_u32(image, entry + kVirtualSizeField, added.virtual_size);
  store_u32(image, entry + kVirtualAddressField, added.virtual_address);
  store_u32(image, entry + kSizeOfRawDataField, added.size_of_raw_data);
  store_u32(image, entry + kPointerToRawDataField, added.pointer_to_raw_data);
  store_u32(image, entry + kSectionCharacteristicsField, characteristics);
  store_u16(image, headers->new_header_offset + kNumberOfSectionsField, static_cast<std::uint16_t>(headers->section_count + 1));
  store_u32(image, optional + kSizeOfImageField, static_cast<std::uint32_t>(image_size));
  const std::uint32_t initialized = load_le32(image, optional + kSizeOfInitializedDataField);
  store_u32(image, optional + kSizeOfInitializedDataField, clamp32(std::uint64_t{initialized} + raw_size));
  return added;
}

std::optional<std::vector<std::uint8_t>> remove_pe_section(std::span<const std::uint8_t> head,
                                                        std::span<const std::uint8_t> tail,
                                                        std::uint32_t pointer_to_raw_data,
                                                        std::uint32_t size_of_raw_data) {
  const std::optional<PeHeaders> headers = read_pe_headers(head);
  if (!headers || headers->new_header_offset < 0x40) return std::nullopt;
  if (load_le32(head, kNewHeaderOffsetField) != headers->new_header_offset) return std::nullopt;
  const std::size_t count = headers->section_count;
  const std::size_t optional = headers->optional_header();
  // The table, the 40 bytes after it, and the optional header fields used.
  if (count == 0 || optional + kSizeOfHeadersField + 4 > head.size() ||
      headers->section_entry(count + 1) > head.size()) {
    return std::nullopt;
  }
  // The section's entry: the one whose data lies where the caller says.
  std::size_t index = count;
  for (std::size_t i = 0; i < count; ++i) {
    const PeSection s = *read_pe_section(head, *headers, i);
    if (s.pointer_to_raw_data == pointer_to_raw_data && s.size_of_raw_data == size_of_raw_data) {
      index = i;
      break;
    }
  }
  if (index == count) return std::nullopt;

  std::vector<std::uint8_t> image(head.begin(), head.end());
  image.insert(image.end(), tail.begin(), tail.end());
  const std::uint32_t removed = size_of_raw_data;

  store_u16(image, headers->new_header_offset + kNumberOfSectionsField, static_cast<std::uint16_t>(count - 1));
  const std::uint32_t initialized = load_le32(image, optional + kSizeOfInitializedDataField);
  store_u32(image, optional + kSizeOfInitializedDataField, initialized - std::min(removed, initialized));

  // Later entries move one place up; their data moved up in the file by
  // the section's size.
  for (std::size_t i = index + 1; i < count; ++i) {
    const std::size_t from = headers->section_entry(i);
    const std::size_t to = headers->section_entry(i - 1);
    std::copy_n(image.begin() + static_cast<std::ptrdiff_t>(from), kSectionEntrySize,
                image.begin() + static_cast<std::ptrdiff_t>(to));
    const std::uint32_t pointer = load_le32(image, to + kPointerToRawDataField);
    if (std::uint64_t{pointer} >= std::uint64_t{pointer_to_raw_data} + removed)
      store_u32(image, to + kPointerToRawDataField, pointer - removed);
  }
  // The freed last slot takes the 40 bytes that followed the table.
  std::copy_n(head.begin() + static_cast<std::ptrdiff_t>(headers->section_entry(count)), kSectionEntrySize,
              image.begin() + static_cast<std::ptrdiff_t>(headers->section_entry(count - 1)));

  // SizeOfImage becomes the virtual extent of the remaining sections, on
  // the section alignment: shrinking it by the section's file size alone
  // would leave it unaligned, or cut off sections that lie behind it in
  // memory, and the loader refuses such an image.
  const std::uint32_t alignment = load_le32(image, optional + kSectionAlignmentField);
  std::uint32_t size_of_image = clamp32(align_up(load_le32(image, optional + kSizeOfHeadersField), alignment));
  for (std::size_t i = 0; i + 1 < count; ++i) {
    const PeSection s = *read_pe_section(image, *headers, i);
    const std::uint64_t end = std::uint64_t{s.virtual_address} + (s.virtual_size ? s.virtual_size : s.size_of_raw_data);
    size_of_image = std::max(size_of_image, clamp32(align_up(std::min<std::uint64_t>(end, 0xFFFFFFFFu), alignment)));
  }
  store_u32(image, optional + kSizeOfImageField, size_of_image);
  return image;
}

}  // namespace hs::support
