// CRC-32 of the package's checksums: zlib's crc32.
#pragma once

#include <cstdint>
#include <span>

namespace hs::package {

// CRC-32 of `data`, continuing from `crc` (0 starts a new checksum, the value
// zlib returns for an empty input).
std::uint32_t crc32(std::span<const std::uint8_t> data, std::uint32_t crc = 0);

}  // namespace hs::package
