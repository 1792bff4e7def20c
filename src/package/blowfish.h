// The block cipher of enciphered packages: Blowfish, 16 rounds, each 8-byte
// block on its own.
//
// Key words are taken little-endian (a textbook implementation that packs
// key bytes big-endian gets the same schedule when each 4-byte group of the
// key is reversed); the two halves of a block are taken big-endian, the
// first 4 bytes being the left half.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

namespace hs::package {

class Blowfish {
 public:
  // Unkeyed: the published initial P-array and S-boxes.
  Blowfish();

  // Keys the cipher. The key is padded with zero bytes to a multiple of 8
  // when shorter than 8 bytes, else to a multiple of 4; the padded length
  // must be 8 to 56 bytes. False (and the cipher unchanged) otherwise.
  bool set_key(std::span<const std::uint8_t> key);

  void encipher_block(std::uint32_t& left, std::uint32_t& right) const;
  void decipher_block(std::uint32_t& left, std::uint32_t& right) const;

  // Enciphers or deciphers every whole 8-byte block of `data` in place.
  void encipher_blocks(std::span<std::uint8_t> data) const;
  void decipher_blocks(std::span<std::uint8_t> data) const;

  // Deciphers a package buffer: its length must be a multiple of 8 and at
  // least 8; after deciphering, its last 4 bytes (little-endian) give the
  // true length L, which must lie from length - 12 to length - 4; the buffer
  // is cut to L bytes. On failure the buffer is left empty and false is
  // returned.
  bool decipher_buffer(std::vector<std::uint8_t>& buffer) const;

  // The inverse of decipher_buffer: pads `buffer` with zero bytes, appends
  // its length word and enciphers it (the length grows to the next multiple
  // of 8 of length + 4).
  void encipher_buffer(std::vector<std::uint8_t>& buffer) const;

 private:
  std::uint32_t f(std::uint32_t x) const;

  std::array<std::uint32_t, 18> p_;
  std::array<std::array<std::uint32_t, 256>, 4> s_;
};

}  // namespace hs::package
