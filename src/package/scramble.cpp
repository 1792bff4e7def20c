#include "package/scramble.h"

namespace hs::package {

void unscramble(std::span<std::uint8_t> data, std::uint32_t word) {
  // XORing a little-endian word byte by byte is XORing each byte with the
  // word's byte at the same position; the tail takes the same bytes in order.
  for (std::size_t i = 0; i < data.size(); ++i)
    data[i] ^= static_cast<std::uint8_t>(word >> (8 * (i % 4)));
}

}  // namespace hs::package
