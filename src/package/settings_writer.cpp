#include "package/settings_writer.h"

#include <bit>

#include "package/settings_stream.h"
#include "support/text.h"

namespace hs::package {

void SettingsWriter::u16(std::uint16_t v) {
  u8(static_cast<std::uint8_t>(v));
  u8(static_cast<std::uint8_t>(v >> 8));
}

void SettingsWriter::u32(std::uint32_t v) {
  u16(static_cast<std::uint16_t>(v));
  u16(static_cast<std::uint16_t>(v >> 16));
}

void SettingsWriter::u64(std::uint64_t v) {
  u32(static_cast<std::uint32_t>(v));
  u32(static_cast<std::uint32_t>(v >> 32));
}

void SettingsWriter::f64(double v) { u64(std::bit_cast<std::uint64_t>(v)); }

void SettingsWriter::text_bytes(std::string_view raw) {
  const std::size_t n = raw.size();
  if (n < 255) {
    u8(static_cast<std::uint8_t>(n));
  } else if (n <= 0xFFFF && (n & 0xFF) != 0xFF) {
    // The 16-bit form must not begin with the byte 255.
    u8(255);
    u16(static_cast<std::uint16_t>(n));
  } else {
    u8(255);
    u8(255);
    u32(static_cast<std::uint32_t>(n));
  }
  bytes(raw);
}

void SettingsWriter::text(std::u16string_view t) { text_bytes(text_to_utf16le(t)); }

void SettingsWriter::text16_bytes(std::string_view raw) {
  if (raw.size() > 0xFFFF) raw = raw.substr(0, 0xFFFF);
  u16(static_cast<std::uint16_t>(raw.size()));
  bytes(raw);
}

void SettingsWriter::text16(std::u16string_view t) {
  if (t.size() > 0xFFFF / 2) t = t.substr(0, 0xFFFF / 2);
  text16_bytes(text_to_utf16le(t));
}

void SettingsWriter::text8len_bytes(std::string_view raw) {
  if (raw.size() > 0xFF) raw = raw.substr(0, 0xFF);
  u8(static_cast<std::uint8_t>(raw.size()));
  bytes(raw);
}

void SettingsWriter::text8len(std::u16string_view t) {
  if (t.size() > 0xFF / 2) t = t.substr(0, 0xFF / 2);
  text8len_bytes(text_to_utf16le(t));
}

void SettingsWriter::block(std::string_view raw) {
  u32(static_cast<std::uint32_t>(raw.size()));
  bytes(raw);
}

void SettingsWriter::cstr(std::u16string_view t) {
  t = t.substr(0, t.find(u'\0'));
  std::string encoded;
  if (!t.empty() && t.front() == u'|') {
    encoded = "|" + support::utf16_to_utf8(t);
  } else {
    encoded = support::to_bar_form(t);
  }
  bytes(encoded);
  u8(0);
}

void SettingsWriter::wstr(std::u16string_view t) {
  t = t.substr(0, t.find(u'\0'));
  bytes(text_to_utf16le(t));
  u16(0);
}

}  // namespace hs::package
