#include "package/package_header.h"

#include <algorithm>
#include <cstring>

#include "package/byte_cursor.h"

namespace hs::package {
namespace {

HeaderRead damaged(DamageCode code) { return support::failure(HeaderFault{code, false, {}}); }

bool negative(std::uint32_t value) { return (value & 0x80000000u) != 0; }

void put_u32(std::vector<std::uint8_t>& out, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

}  // namespace

HeaderRead read_package_header(std::span<const std::uint8_t> section) {
  if (section.size() < kFixedHeaderSize) return damaged(damage::kBadMagic);
  ByteCursor cursor(section);
  PackageHeader h;
  h.magic = *cursor.u32();
  if (h.magic != kPackageMagic) return damaged(damage::kBadMagic);

  const auto version = *cursor.bytes(5);
  const void* nul = std::memchr(version.data(), 0, version.size());
  const std::size_t version_length =
      nul ? static_cast<std::size_t>(static_cast<const std::uint8_t*>(nul) - version.data()) : version.size();
  h.engine_version.assign(reinterpret_cast<const char*>(version.data()), version_length);
  if (h.engine_version != kEngineVersion) {
    return support::failure(HeaderFault{damage::kNone, true, h.engine_version});
  }

  h.product_flags2 = *cursor.u32();
  h.settings_size = *cursor.u32();
  h.settings_crc = *cursor.u32();
  h.engine_crc = *cursor.u32();
  h.package_size = *cursor.u32();
  h.entry_count = *cursor.u32();
  h.payload_size = *cursor.u32();
  h.payload_crc = *cursor.u32();

  if (h.settings_size == 0 || h.settings_size >= kSettingsSizeLimit) return damaged(damage::kSettingsSize);
  if (negative(h.package_size)) return damaged(damage::kPackageSize);
  if (negative(h.entry_count)) return damaged(damage::kEntryCount);
  if (negative(h.payload_size)) return damaged(damage::kPayloadSize);

  if (std::uint64_t{h.entry_count} * 4 > cursor.left()) return damaged(damage::kEntryCount);
  h.entry_sizes.reserve(h.entry_count);
  for (std::uint32_t i = 0; i < h.entry_count; ++i) {
    const std::uint32_t size = *cursor.u32();
    if (size > kMaxEntrySize) return damaged(damage::kEntrySizeTable);
    h.entry_sizes.push_back(size);
  }

  if (h.enciphered()) {
    const auto key = cursor.bytes(8);
    if (!key) return damaged(damage::kSettingsSize);
    h.cipher_key.emplace();
    std::memcpy(h.cipher_key->data(), key->data(), 8);
  }

  h.settings_offset = cursor.offset();
  if (h.settings_size > cursor.left()) return damaged(damage::kSettingsSize);
  h.payload_offset = h.settings_offset + h.settings_size;
  if (h.package_size > section.size()) return damaged(damage::kPackageSize);

  return h;
}

std::vector<std::uint8_t> write_package_header(const PackageHeader& h) {
  std::vector<std::uint8_t> out;
  put_u32(out, h.magic);
  char version[5] = {};
  std::memcpy(version, h.engine_version.data(), std::min<std::size_t>(h.engine_version.size(), 4));
  out.insert(out.end(), version, version + 5);
  put_u32(out, h.product_flags2);
  put_u32(out, h.settings_size);
  put_u32(out, h.settings_crc);
  put_u32(out, h.engine_crc);
  put_u32(out, h.package_size);
  put_u32(out, static_cast<std::uint32_t>(h.entry_sizes.size()));
  put_u32(out, h.payload_size);
  put_u32(out, h.payload_crc);
  for (std::uint32_t size : h.entry_sizes) put_u32(out, size);
  if (h.cipher_key) out.insert(out.end(), h.cipher_key->begin(), h.cipher_key->end());
  return out;
}

}  // namespace hs::package
