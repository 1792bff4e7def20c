// Scrambling of the settings block of packages that are not enciphered.
#pragma once

#include <cstdint>
#include <span>

namespace hs::package {

// XORs every complete 4-byte group of `data`, taken as a little-endian
// value, with `word`; the 1 to 3 bytes left over are XORed with the low
// byte of `word`, the next byte and the byte after that, in order. The
// operation is its own inverse, so it both scrambles and unscrambles.
void unscramble(std::span<std::uint8_t> data, std::uint32_t word);

}  // namespace hs::package
