// Little-endian numbers in byte buffers: the byte order of every binary
// format the engine reads (the package, PE headers, bitmaps, registry data).
// The caller makes sure the bytes are there.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace hs::support {

inline std::uint16_t load_u16(std::span<const std::uint8_t> bytes, std::size_t at) {
  return static_cast<std::uint16_t>(bytes[at] | (bytes[at + 1] << 8));
}

inline std::uint32_t load_u32(std::span<const std::uint8_t> bytes, std::size_t at) {
  return std::uint32_t{bytes[at]} | (std::uint32_t{bytes[at + 1]} << 8) | (std::uint32_t{bytes[at + 2]} << 16) |
         (std::uint32_t{bytes[at + 3]} << 24);
}

inline std::uint64_t load_u64(std::span<const std::uint8_t> bytes, std::size_t at) {
  return std::uint64_t{load_u32(bytes, at)} | (std::uint64_t{load_u32(bytes, at + 4)} << 32);
}

inline void store_u16(std::span<std::uint8_t> bytes, std::size_t at, std::uint16_t value) {
  bytes[at] = static_cast<std::uint8_t>(value);
  bytes[at + 1] = static_cast<std::uint8_t>(value >> 8);
}

inline void store_u32(std::span<std::uint8_t> bytes, std::size_t at, std::uint32_t value) {
  for (std::size_t i = 0; i < 4; ++i) bytes[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

}  // namespace hs::support
