// The PE format of Windows executables, as far as the installer works with
// it: the headers that locate the section table, the section table itself,
// adding a section at the end of the file and removing one, the image
// checksum and the certificate (security) directory that a signature uses.
//
// Pure code on bytes: the engine's package lookup and uninstaller image, the
// package writer, hpack and the tests all read and change executables
// through this one place. Every read is checked against the bytes given;
// a structure that does not fit gives nothing, never a read outside them.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "support/little_endian.h"

namespace hs::support {

// Field positions. DOS header: from the start of the file.
inline constexpr std::size_t kNewHeaderOffsetField = 60;  // e_lfanew
// From e_lfanew: the "PE\0\0" signature and the file (COFF) header.
inline constexpr std::size_t kMachineField = 4;
inline constexpr std::size_t kNumberOfSectionsField = 6;
inline constexpr std::size_t kSizeOfOptionalHeaderField = 20;
inline constexpr std::size_t kCharacteristicsField = 22;
inline constexpr std::size_t kSignatureAndFileHeaderSize = 24;  // the optional header follows
// From the start of the optional header (the same in PE32 and PE32+).
inline constexpr std::size_t kMagicField = 0;
inline constexpr std::size_t kSizeOfInitializedDataField = 8;
inline constexpr std::size_t kSectionAlignmentField = 32;
inline constexpr std::size_t kFileAlignmentField = 36;
inline constexpr std::size_t kSizeOfImageField = 56;
inline constexpr std::size_t kSizeOfHeadersField = 60;
inline constexpr std::size_t kCheckSumField = 64;
inline constexpr std::size_t kSubsystemField = 68;
// Optional header magic numbers.
inline constexpr std::uint16_t kMagicPe32 = 0x10B;
inline constexpr std::uint16_t kMagicPe32Plus = 0x20B;
// Where NumberOfRvaAndSizes and the data directories start, by magic.
inline constexpr std::size_t kDirectoryCountPe32 = 92;
inline constexpr std::size_t kDirectoryCountPe32Plus = 108;
inline constexpr std::size_t kDataDirectorySize = 8;
// Data directory 4: the certificate table. Its "address" is a file offset.
inline constexpr std::size_t kCertificateDirectory = 4;
// A section table entry and its fields.
inline constexpr std::size_t kSectionEntrySize = 40;
inline constexpr std::size_t kSectionNameSize = 8;
inline constexpr std::size_t kVirtualSizeField = 8;
inline constexpr std::size_t kVirtualAddressField = 12;
inline constexpr std::size_t kSizeOfRawDataField = 16;
inline constexpr std::size_t kPointerToRawDataField = 20;
inline constexpr std::size_t kSectionCharacteristicsField = 36;
// Section characteristics.
inline constexpr std::uint32_t kInitializedData = 0x00000040;
inline constexpr std::uint32_t kMemoryRead = 0x40000000;

// Little-endian fields of an image, checked: 0 for a field that does not
// lie wholly inside the bytes (support/little_endian.h reads and writes
// fields known to be there).
std::uint16_t load_le16(std::span<const std::uint8_t> bytes, std::size_t at);
std::uint32_t load_le32(std::span<const std::uint8_t> bytes, std::size_t at);

// Where the headers lie, from the DOS and file headers.
struct PeHeaders {
  std::uint32_t new_header_offset = 0;     // e_lfanew (its low 16 bits): file offset of "PE\0\0"
  std::uint32_t section_count = 0;         // NumberOfSections
  std::uint32_t optional_header_size = 0;  // SizeOfOptionalHeader

  // File offset of the optional header.
  std::size_t optional_header() const { return std::size_t{new_header_offset} + kSignatureAndFileHeaderSize; }
  // File offset of the section table (it follows the optional header).
  std::size_t section_table() const { return optional_header() + optional_header_size; }
  // File offset of section table entry `index`.
  std::size_t section_entry(std::size_t index) const { return section_table() + index * kSectionEntrySize; }
  // File offset of the optional header's CheckSum field.
  std::size_t checksum_field() const { return optional_header() + kCheckSumField; }
};

// The headers of `file` (its first bytes are enough). Nothing when the file
// ends before the file header does. Only positions are read; what they hold
// is for the caller to judge (the engine's rules for its own file, the
// writer's for an engine stub).
std::optional<PeHeaders> read_pe_headers(std::span<const std::uint8_t> file);

// One entry of the section table.
struct PeSection {
  std::string name;                      // the 8-byte name up to its first NUL
  std::uint32_t virtual_size = 0;        // VirtualSize: bytes of the section in memory
  std::uint32_t virtual_address = 0;     // VirtualAddress: its offset in the loaded image
  std::uint32_t size_of_raw_data = 0;    // SizeOfRawData: its bytes in the file
  std::uint32_t pointer_to_raw_data = 0; // PointerToRawData: file offset of those bytes
  std::uint32_t characteristics = 0;     // Characteristics
};

// Entry `index` of the section table; nothing when it does not lie wholly
// inside `file`.
std::optional<PeSection> read_pe_section(std::span<const std::uint8_t> file, const PeHeaders& headers, std::size_t index);

// The optional header's magic when it is PE32 or PE32+ and lies inside
// `file`; nothing otherwise.
std::optional<std::uint16_t> optional_header_magic(std::span<const std::uint8_t> file, const PeHeaders& headers);

// File offset of data directory `index` (its 8 bytes): when the optional
// header is PE32 or PE32+ and, by SizeOfOptionalHeader, holds that entry.
std::optional<std::size_t> data_directory_field(std::span<const std::uint8_t> file, const PeHeaders& headers,
                                                std::size_t index);

// A data directory entry.
struct PeDataDirectory {
  std::uint32_t address = 0;  // for the certificate table: a file offset
  std::uint32_t size = 0;     // bytes
};

// The certificate table directory entry: where an Authenticode signature
// lies in the file. An unsigned file (or one whose header has no such
// entry) gives address and size 0.
PeDataDirectory certificate_table(std::span<const std::uint8_t> file, const PeHeaders& headers);

// The PE image checksum of `image` (as CheckSum holds it): 16-bit
// one's-complement sum of the file with the CheckSum field left out, plus
// the file's length.
std::uint32_t pe_checksum(std::span<const std::uint8_t> image, std::size_t checksum_field);

// Writes the checksum of `image` into its CheckSum field.
void update_pe_checksum(std::vector<std::uint8_t>& image, const PeHeaders& headers);

// Adds a section behind every section of `image`, with the file and section
// alignment of the image: the data (zero-padded to FileAlignment) at the end
// of the file, a table entry in the free space behind the table,
// NumberOfSections, SizeOfImage and SizeOfInitializedData. The caller has
// checked that the space behind the table is free (`has_room_for_pe_section`).
// Gives the new entry; nothing when the image is not one this can extend
// (alignment 0, sizes past 4 GiB, no room).
std::optional<PeSection> add_pe_section(std::vector<std::uint8_t>& image, std::string_view name,
                                   std::span<const std::uint8_t> data, std::uint32_t characteristics);

// Whether one more 40-byte entry fits behind the section table: inside
// SizeOfHeaders, in front of the first section's data, and on zero bytes.
bool has_room_for_pe_section(std::span<const std::uint8_t> image, const PeHeaders& headers);

// The image without the section whose data starts at `pointer_to_raw_data`
// and fills `size_of_raw_data` bytes of the file. `head` is the file in front
// of the section, `tail` what follows it. In the result's headers
// NumberOfSections is one less, SizeOfInitializedData is SizeOfRawData less,
// the section's entry is gone (later entries move one place up and their
// PointerToRawData, when behind the section, moves by SizeOfRawData), the
// freed last slot takes the 40 bytes that followed the table, and
// SizeOfImage is the aligned extent of the sections that remain. Nothing
// when the headers in `head` do not describe that section.
std::optional<std::vector<std::uint8_t>> remove_pe_section(std::span<const std::uint8_t> head,
                                                        std::span<const std::uint8_t> tail,
                                                        std::uint32_t pointer_to_raw_data,
                                                        std::uint32_t size_of_raw_data);

}  // namespace hs::support
