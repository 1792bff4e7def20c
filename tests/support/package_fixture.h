// Helpers of the package tests: settings bytes, entries, a hand-assembled
// package with every field under the test's control, and the whole reading
// sequence of the engine on a section's bytes.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "package/blowfish.h"
#include "package/checksum.h"
#include "package/damage_code.h"
#include "package/package_header.h"
#include "package/payload_reader.h"
#include "package/settings.h"
#include "package/settings_block.h"
#include "packwriter/package_writer.h"
#include "packwriter/xz_encoder.h"

namespace hs::package::test {

using Bytes = std::vector<std::uint8_t>;

inline Bytes to_bytes(std::string_view text) { return Bytes(text.begin(), text.end()); }

// A valid decoded settings stream (one language, one message), with
// `ProductFlags` bit 5 as `compressed` and the engine protection `method`.
inline Bytes settings_bytes(bool compressed = true, std::uint32_t method = 0) {
  Settings s;
  s.messages.languages = {u"English"};
  s.messages.message_count = 1;
  s.messages.texts = {u"Hello"};
  if (compressed) s.product_flags |= 1u << 5;
  s.dialog_styles.engine_protection = method;
  return to_bytes(write_settings(s));
}

inline tools::WriterEntry entry(std::string name, Bytes data, std::uint32_t kind = 0) {
  tools::WriterEntry e;
  e.name = std::move(name);
  e.kind = kind;
  e.date = {2024, 5, 6, 7, 8, 9};
  e.data = std::move(data);
  return e;
}

inline Bytes pattern(std::size_t size, std::uint8_t seed) {
  Bytes data(size);
  std::uint32_t x = seed * 2654435761u + 1;
  for (auto& b : data) {
    x = x * 1103515245u + 12345u;
    b = static_cast<std::uint8_t>(x >> 16);
  }
  return data;
}

inline void put_u32(Bytes& out, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}
inline void set_u32(Bytes& out, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) out[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

// One frame: length word and body of an entry.
inline Bytes frame(const tools::WriterEntry& e) {
  Bytes body = tools::entry_frame(e);
  Bytes out;
  put_u32(out, static_cast<std::uint32_t>(body.size()));
  out.insert(out.end(), body.begin(), body.end());
  return out;
}

// A package assembled field by field. Chunks are given decoded; they are
// compressed and enciphered as the flags say, and every CRC and size is
// computed unless overridden.
struct RawPackage {
  Bytes settings = settings_bytes(false);
  std::vector<std::uint32_t> entry_sizes;
  std::vector<Bytes> chunks;  // decoded chunk contents
  bool compress = false;
  std::optional<std::array<std::uint8_t, 8>> key;
  std::uint32_t flags2 = 0;

  std::optional<std::uint32_t> magic, settings_size, settings_crc, package_size, entry_count, payload_size,
      payload_crc;
  std::optional<Bytes> settings_block;  // stored block instead of the encoded settings
  Bytes payload_tail;                   // raw bytes appended to the payload
};

inline Bytes assemble(const RawPackage& p) {
  PackageHeader h;
  h.engine_version = kEngineVersion;
  h.product_flags2 = p.flags2 | (p.key ? kFlag2Enciphered : 0);
  h.cipher_key = p.key;
  h.entry_sizes = p.entry_sizes;
  Blowfish cipher;
  if (p.key) cipher.set_key(*p.key);
  h.settings_crc = p.settings_crc.value_or(crc32(p.settings));
  Bytes block;
  if (p.settings_block) {
    block = *p.settings_block;
  } else {
    block = tools::xz_compress(p.settings, 6);
    encode_settings_block(block, h.settings_crc, p.key ? &cipher : nullptr);
  }
  Bytes payload;
  for (const Bytes& decoded : p.chunks) {
    Bytes stored = p.compress ? tools::xz_compress(decoded, 0) : decoded;
    if (p.key) cipher.encipher_buffer(stored);
    put_u32(payload, static_cast<std::uint32_t>(stored.size()));
    put_u32(payload, crc32(stored));
    payload.insert(payload.end(), stored.begin(), stored.end());
  }
  payload.insert(payload.end(), p.payload_tail.begin(), p.payload_tail.end());
  h.settings_size = p.settings_size.value_or(static_cast<std::uint32_t>(block.size()));
  h.payload_size = p.payload_size.value_or(static_cast<std::uint32_t>(payload.size()));
  h.payload_crc = p.payload_crc.value_or(crc32(payload));
  const std::size_t size = kFixedHeaderSize + 4 * p.entry_sizes.size() + (p.key ? 8 : 0) + block.size() + payload.size();
  h.package_size = p.package_size.value_or(static_cast<std::uint32_t>(size));
  Bytes out = write_package_header(h);
  if (p.magic) set_u32(out, 0, *p.magic);
  if (p.entry_count) set_u32(out, 29, *p.entry_count);
  out.insert(out.end(), block.begin(), block.end());
  out.insert(out.end(), payload.begin(), payload.end());
  return out;
}

// What reading a package gave: the first damage code (0 for none) and the
// entries read before it.
struct ReadOutcome {
  DamageCode damage = damage::kNone;
  bool wrong_version = false;
  Bytes settings;
  std::vector<PayloadEntry> entries;
  std::vector<Bytes> data;  // copies of the entries' data
};

// The engine's whole sequence on the section bytes: header, settings, CRC,
// payload checks, every entry, the end checks.
inline ReadOutcome read_section(std::span<const std::uint8_t> section, bool compressed, bool silent = false) {
  ReadOutcome out;
  HeaderRead read = read_package_header(section);
  if (!read) {
    out.wrong_version = read.error().wrong_version;
    out.damage = read.error().damage;
    return out;
  }
  const PackageHeader& h = *read;
  Blowfish cipher;
  key_cipher(h, cipher);
  auto settings = load_settings_block(section, h, cipher);
  if (!settings) {
    out.damage = settings.error();
    return out;
  }
  out.settings = *settings;
  if ((out.damage = check_settings_crc(*settings, h))) return out;
  const std::size_t end = std::min<std::size_t>(h.package_size, section.size());
  const auto payload = section.subspan(std::min(h.payload_offset, end), end - std::min(h.payload_offset, end));
  if ((out.damage = check_payload(payload, h))) return out;
  PayloadReader reader(payload, h.entry_sizes, PayloadOptions{h.enciphered() ? &cipher : nullptr, compressed, silent});
  for (std::uint32_t i = 0; i < h.entry_count; ++i) {
    auto e = reader.next_entry();
    if (!e) {
      out.damage = e.error();
      return out;
    }
    out.data.emplace_back(e->data.begin(), e->data.end());
    out.entries.push_back(*e);
    out.entries.back().data = {};
  }
  out.damage = reader.finish();
  return out;
}

}  // namespace hs::package::test
