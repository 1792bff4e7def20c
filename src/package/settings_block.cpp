#include "package/settings_block.h"

#include "package/checksum.h"
#include "package/scramble.h"
#include "package/xz_decoder.h"
#include "support/little_endian.h"

namespace hs::package {
namespace {

// The value the decoded settings block ends with.
constexpr std::uint32_t kSettingsBlockEnd = 0xD3E82B97;

}  // namespace

bool key_cipher(const PackageHeader& header, Blowfish& cipher) {
  if (!header.cipher_key) return true;
  return cipher.set_key(*header.cipher_key);
}

Checked<std::vector<std::uint8_t>> load_settings_block(std::span<const std::uint8_t> section,
                                                       const PackageHeader& header, const Blowfish& cipher) {
  if (header.settings_offset + header.settings_size > section.size())
    return Checked<std::vector<std::uint8_t>>::fail(damage::kSettingsSize);
  std::vector<std::uint8_t> block(section.begin() + static_cast<std::ptrdiff_t>(header.settings_offset),
                                  section.begin() + static_cast<std::ptrdiff_t>(header.payload_offset));
  if (header.enciphered())
    cipher.decipher_buffer(block);  // on failure the block is empty and decompression fails
  else
    unscramble(block, header.settings_crc);
  if (!decompress(block)) return Checked<std::vector<std::uint8_t>>::fail(damage::kSettingsDecode);
  return block;
}

DamageCode check_settings_crc(std::span<const std::uint8_t> settings, const PackageHeader& header) {
  return crc32(settings) == header.settings_crc ? damage::kNone : damage::kSettingsCrc;
}

DamageCode check_settings_end_marker(std::span<const std::uint8_t> settings) {
  if (settings.size() < 4) return damage::kSettingsEndMarker;
  const std::uint32_t marker = support::load_u32(settings, settings.size() - 4);
  return marker == kSettingsBlockEnd ? damage::kNone : damage::kSettingsEndMarker;
}

void encode_settings_block(std::vector<std::uint8_t>& xz_data, std::uint32_t settings_crc, const Blowfish* cipher) {
  if (cipher)
    cipher->encipher_buffer(xz_data);
  else
    unscramble(xz_data, settings_crc);
}

}  // namespace hs::package
