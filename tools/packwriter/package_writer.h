// The package writer: turns settings bytes and file entries into the
// `.setup` package and attaches it to an engine stub.
//
// Used by hpack and by the tests. Output is deterministic: the same inputs
// give byte-identical packages whatever the number of threads.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "package/payload_entry.h"

namespace hs::tools {

// One file of the product with every field the package stores for it.
struct WriterEntry {
  std::string name;            // stored file name (bar form or ANSI); must not be empty
  std::uint32_t kind = 0;      // 0 to 12
  std::uint32_t flags = 0;     // entry flags; flags & 3 not 0 stores `optional_text`
  std::uint32_t value = 0xFFFFFFFF;  // attributes to apply; 0xFFFFFFFF leaves them alone
  std::array<std::uint32_t, 6> date = {};  // year, month, day, hour, minute, second
  std::string first_argument;
  std::u16string optional_text;  // stored only when flags & 3 is not 0
  std::string shortcut_arguments;
  std::u16string destination;    // "" = the kind's default folder
  std::string second_argument;
  std::uint32_t kind11_value = 0;  // stored only for kind 11
  std::vector<std::uint8_t> data;  // the file's contents (at most 1 GiB)
};

struct PackageOptions {
  std::uint32_t product_flags2 = 0;  // `ProductFlags2`; bit 12 is set or cleared from `cipher_key`
  std::optional<std::array<std::uint8_t, 8>> cipher_key;  // enciphers settings and chunks when set
  // Compress payload chunks with XZ. Must agree with `ProductFlags` bit 5 of
  // the settings (the engine decides by that bit); see set_compression_flag.
  bool compress = true;
  std::uint32_t preset = 6;                 // XZ preset of settings and chunks
  // Decoded bytes per payload chunk (at least 64). Chunks of 8 MiB keep
  // both compression threads busy to the end, and let the engine check each
  // entry's CRC while its decoded bytes are still in the cache; the package
  // grows by well under 1% over larger chunks.
  std::size_t chunk_size = 8u << 20;
  unsigned threads = 0;                     // compression threads; 0 = all cores
};

// Bit 5 of `ProductFlags` (the first 8 bytes of the settings): chunks are XZ.
inline constexpr std::uint64_t kProductFlagCompressed = 1u << 5;

// Reads `ProductFlags` bit 5 from decoded settings (false when shorter than 8 bytes).
bool settings_compressed(std::span<const std::uint8_t> settings);
// Sets or clears `ProductFlags` bit 5 in decoded settings; throws when the
// settings are shorter than 8 bytes.
void set_compression_flag(std::vector<std::uint8_t>& settings, bool compressed);

// The serialized frame body of one entry (without its length word).
std::vector<std::uint8_t> entry_frame(const WriterEntry& entry);

// Writes the whole package: header (engine CRC 0 until attached), size
// table, optional key, encoded XZ settings block and payload chunks.
// Throws std::invalid_argument on unusable input.
std::vector<std::uint8_t> build_package(std::span<const std::uint8_t> settings,
                                        std::span<const WriterEntry> entries, const PackageOptions& options);

}  // namespace hs::tools
