// The package header at the start of the `.setup` section, with its entry
// size table and cipher key.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "package/damage_code.h"
#include "support/expected.h"

namespace hs::package {

inline constexpr std::uint32_t kPackageMagic = 0xA4F23DE5;
inline constexpr char kEngineVersion[] = "45.0";
// Settings sizes from 1 to below this are valid.
inline constexpr std::uint32_t kSettingsSizeLimit = 0x3200000;
// Largest data size of one entry (1 GiB).
inline constexpr std::uint32_t kMaxEntrySize = 0x40000000;
// Size of the fixed part of the header, in front of the entry size table.
inline constexpr std::size_t kFixedHeaderSize = 41;
// `ProductFlags2` bit 12: settings and chunks are enciphered, key present.
inline constexpr std::uint32_t kFlag2Enciphered = 1u << 12;

struct PackageHeader {
  std::uint32_t magic = kPackageMagic;  // always kPackageMagic once read
  std::string engine_version;           // version text the package was built for ("45.0")
  std::uint32_t product_flags2 = 0;     // `ProductFlags2`; bit 12 = enciphered (kFlag2Enciphered)
  std::uint32_t settings_size = 0;      // stored bytes of the settings block, 1 to below kSettingsSizeLimit
  std::uint32_t settings_crc = 0;       // CRC-32 of the decoded settings; also their scrambling word
  std::uint32_t engine_crc = 0;         // CRC-32 of the file from e_lfanew + 92 up to the section
  std::uint32_t package_size = 0;       // bytes of the whole package: header, key, settings, payload
  std::uint32_t entry_count = 0;        // N: payload entries; 0 means an empty payload
  std::uint32_t payload_size = 0;       // bytes of the payload (all chunks with their size and CRC fields)
  std::uint32_t payload_crc = 0;        // CRC-32 of the payload as stored
  std::vector<std::uint32_t> entry_sizes;  // data size of each entry, each 0 to kMaxEntrySize
  std::optional<std::array<std::uint8_t, 8>> cipher_key;  // present when product_flags2 has bit 12

  std::size_t settings_offset = 0;  // offset of the settings block in the section
  std::size_t payload_offset = 0;   // offset of the payload in the section: settings_offset + settings_size

  bool enciphered() const { return (product_flags2 & kFlag2Enciphered) != 0; }
};

// Why a header could not be read: a broken rule, or a version other than
// the engine's (which is not a damage but its own message).
struct HeaderFault {
  DamageCode damage = damage::kNone;  // the broken rule; kNone for a wrong version
  bool wrong_version = false;         // the version text is not "45.0"
  std::string version;                // the package's version text, for the version message
};

// Reading the header gives the sound header or its fault.
using HeaderRead = support::Expected<PackageHeader, HeaderFault>;

// Reads and checks the header, entry size table and key from the section
// bytes. Checks in order: magic (20), version, settings size (22), package
// size (45), entry count (27), payload size (29), entry sizes (28); then
// that the size table, key and settings block lie inside the section and
// the package inside the section (27, 22, 45).
HeaderRead read_package_header(std::span<const std::uint8_t> section);

// Serializes a header (with its size table and key) as the writer stores it.
std::vector<std::uint8_t> write_package_header(const PackageHeader& header);

}  // namespace hs::package
