// One payload entry: a file of the product with the fields that tell the
// file phase where and how to write it.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>

namespace hs::package {

// Entry kinds run from 0 to this value; higher kinds are damage.
inline constexpr std::uint32_t kMaxEntryKind = 12;
// The kind whose entries carry the extra kind-11 value.
inline constexpr std::uint32_t kKindWithValue = 11;

struct PayloadEntry {
  std::string name;            // file name as stored: bar form ("|" + UTF-8) or ANSI; never empty
  std::uint32_t kind = 0;      // 0 to 12: destination folder and handling of the file phase
  std::uint32_t flags = 0;     // entry flags; when flags & 3 is not 0, `optional_text` was stored
  std::uint32_t value = 0;     // file attributes to apply after writing; 0xFFFFFFFF leaves them alone
  std::array<std::uint32_t, 6> date = {};  // year, month, day, hour, minute, second
  std::string first_argument;  // per-kind argument (8-bit)
  std::u16string optional_text;  // only stored when flags & 3 is not 0, else ""
  std::string shortcut_arguments;  // arguments of the file's shortcut (code page 1252)
  std::u16string destination;  // explicit destination; "" means the kind's default folder
  std::string second_argument;  // per-kind argument (8-bit)
  std::uint32_t kind11_value = 0;  // only stored for kind 11 (2 in silent mode), else 0
  std::span<const std::uint8_t> data;  // the file's contents; valid until the next entry is read
  std::uint32_t data_crc = 0;  // CRC-32 of `data`, already checked
};

}  // namespace hs::package
