#include "package/blowfish.h"

#include "package/blowfish_tables.h"
#include "support/little_endian.h"

namespace hs::package {
namespace {

std::uint32_t load_be(const std::uint8_t* p) {
  return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) | p[3];
}

void store_be(std::uint8_t* p, std::uint32_t v) {
  p[0] = static_cast<std::uint8_t>(v >> 24);
  p[1] = static_cast<std::uint8_t>(v >> 16);
  p[2] = static_cast<std::uint8_t>(v >> 8);
  p[3] = static_cast<std::uint8_t>(v);
}

}  // namespace

Blowfish::Blowfish() {
  for (int i = 0; i < 18; ++i) p_[i] = blowfish_tables::kP[i];
  for (int b = 0; b < 4; ++b)
    for (int i = 0; i < 256; ++i) s_[b][i] = blowfish_tables::kS[b][i];
}

std::uint32_t Blowfish::f(std::uint32_t x) const {
  return ((s_[0][x >> 24] + s_[1][(x >> 16) & 0xFF]) ^ s_[2][(x >> 8) & 0xFF]) + s_[3][x & 0xFF];
}

void Blowfish::encipher_block(std::uint32_t& left, std::uint32_t& right) const {
  std::uint32_t l = left, r = right;
  for (int i = 0; i < 16; i += 2) {
    l ^= p_[i];
    r ^= f(l);
    r ^= p_[i + 1];
    l ^= f(r);
  }
  l ^= p_[16];
  r ^= p_[17];
  left = r;
  right = l;
}

void Blowfish::decipher_block(std::uint32_t& left, std::uint32_t& right) const {
  std::uint32_t l = left, r = right;
  for (int i = 17; i > 1; i -= 2) {
    l ^= p_[i];
    r ^= f(l);
    r ^= p_[i - 1];
    l ^= f(r);
  }
  l ^= p_[1];
  r ^= p_[0];
  left = r;
  right = l;
}

bool Blowfish::set_key(std::span<const std::uint8_t> key) {
  std::vector<std::uint8_t> padded(key.begin(), key.end());
  const std::size_t unit = padded.size() < 8 ? 8 : 4;
  while (padded.size() % unit != 0) padded.push_back(0);
  if (padded.size() < 8 || padded.size() > 56) return false;

  Blowfish fresh;
  const std::size_t words = padded.size() / 4;
  for (std::size_t i = 0; i < 18; ++i) {
    const std::uint32_t word = support::load_u32(padded, (i % words) * 4);
    fresh.p_[i] ^= word;
  }
  std::uint32_t l = 0, r = 0;
  for (int i = 0; i < 18; i += 2) {
    fresh.encipher_block(l, r);
    fresh.p_[i] = l;
    fresh.p_[i + 1] = r;
  }
  for (int b = 0; b < 4; ++b) {
    for (int i = 0; i < 256; i += 2) {
      fresh.encipher_block(l, r);
      fresh.s_[b][i] = l;
      fresh.s_[b][i + 1] = r;
    }
  }
  *this = fresh;
  return true;
}

void Blowfish::encipher_blocks(std::span<std::uint8_t> data) const {
  for (std::size_t at = 0; at + 8 <= data.size(); at += 8) {
    std::uint32_t l = load_be(&data[at]), r = load_be(&data[at + 4]);
    encipher_block(l, r);
    store_be(&data[at], l);
    store_be(&data[at + 4], r);
  }
}

void Blowfish::decipher_blocks(std::span<std::uint8_t> data) const {
  for (std::size_t at = 0; at + 8 <= data.size(); at += 8) {
    std::uint32_t l = load_be(&data[at]), r = load_be(&data[at + 4]);
    decipher_block(l, r);
    store_be(&data[at], l);
    store_be(&data[at + 4], r);
  }
}

bool Blowfish::decipher_buffer(std::vector<std::uint8_t>& buffer) const {
  const std::size_t length = buffer.size();
  if (length < 8 || length % 8 != 0) {
    buffer.clear();
    return false;
  }
  decipher_blocks(buffer);
  const std::uint64_t true_length = support::load_u32(buffer, length - 4);
  // length - 12 <= L <= length - 4, computed without going below zero.
  if (true_length + 12 < length || true_length + 4 > length) {
    buffer.clear();
    return false;
  }
  buffer.resize(static_cast<std::size_t>(true_length));
  return true;
}

void Blowfish::encipher_buffer(std::vector<std::uint8_t>& buffer) const {
  const std::size_t true_length = buffer.size();
  const std::size_t padded = (true_length + 4 + 7) / 8 * 8;
  buffer.resize(padded, 0);
  const auto l = static_cast<std::uint32_t>(true_length);
  buffer[padded - 4] = static_cast<std::uint8_t>(l);
  buffer[padded - 3] = static_cast<std::uint8_t>(l >> 8);
  buffer[padded - 2] = static_cast<std::uint8_t>(l >> 16);
  buffer[padded - 1] = static_cast<std::uint8_t>(l >> 24);
  encipher_blocks(buffer);
}

}  // namespace hs::package
