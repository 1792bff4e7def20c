#include "package/checksum.h"

#include <zlib.h>

#include <algorithm>
#include <climits>

namespace hs::package {

std::uint32_t crc32(std::span<const std::uint8_t> data, std::uint32_t crc) {
  uLong value = crc;
  const std::uint8_t* p = data.data();
  std::size_t left = data.size();
  // zlib takes a uInt length: feed very large buffers in pieces.
  while (left > 0) {
    const std::size_t piece = std::min<std::size_t>(left, 1u << 30);
    value = ::crc32(value, p, static_cast<uInt>(piece));
    p += piece;
    left -= piece;
  }
  return static_cast<std::uint32_t>(value);
}

}  // namespace hs::package
