// The settings block: decoding (deciphering or unscrambling) and
// decompressing it, and checking it against the settings CRC.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "package/blowfish.h"
#include "package/damage_code.h"
#include "package/package_header.h"

namespace hs::package {

// Keys `cipher` from the header's key when the package is enciphered.
// False when keying fails (it cannot for an 8-byte key).
bool key_cipher(const PackageHeader& header, Blowfish& cipher);

// Copies the settings block out of the section, decodes it (decipher with
// `cipher` when the package is enciphered, else unscramble with the
// settings CRC word) and decompresses it. Damage code 47 when it cannot be
// decompressed (a failed deciphering leaves nothing to decompress).
Checked<std::vector<std::uint8_t>> load_settings_block(std::span<const std::uint8_t> section,
                                                       const PackageHeader& header, const Blowfish& cipher);

// Damage code 25 when the decoded settings do not match the settings CRC,
// else 0.
DamageCode check_settings_crc(std::span<const std::uint8_t> settings, const PackageHeader& header);

// Damage code 32 when the decoded settings do not end with the end marker,
// else 0. (The settings loader reaches the marker through the fields;
// tools check it directly.)
DamageCode check_settings_end_marker(std::span<const std::uint8_t> settings);

// The inverse of load_settings_block for the writer: compresses nothing
// (the caller hands XZ data) and scrambles or enciphers `xz_data` in place.
void encode_settings_block(std::vector<std::uint8_t>& xz_data, std::uint32_t settings_crc, const Blowfish* cipher);

}  // namespace hs::package
