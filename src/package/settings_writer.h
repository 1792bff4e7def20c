// Writes the encodings of the settings stream: the exact inverse of
// `SettingsStream`, used by hpack to build packages and by the tests.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace hs::package {

class SettingsWriter {
 public:
  void u8(std::uint8_t v) { out_.push_back(static_cast<char>(v)); }
  void u16(std::uint16_t v);
  void u32(std::uint32_t v);
  void u64(std::uint64_t v);
  void f64(double v);
  void bytes(std::string_view raw) { out_.append(raw); }

  // Compact length form, then the bytes.
  void text_bytes(std::string_view raw);
  void text(std::u16string_view text);
  // u16 count (texts longer than 65535 bytes are cut to whole characters).
  void text16_bytes(std::string_view raw);
  void text16(std::u16string_view text);
  // u8 count (texts longer than 255 bytes are cut to whole characters).
  void text8len_bytes(std::string_view raw);
  void text8len(std::u16string_view text);
  void block(std::string_view raw);
  // Bar form: plain ASCII when possible, else "|" + UTF-8; a text that
  // itself begins with "|" always takes the UTF-8 form so it reads back
  // unchanged. The text ends at its first NUL.
  void cstr(std::u16string_view text);
  // UTF-16 up to the first 0 unit, then a 0 unit.
  void wstr(std::u16string_view text);

  const std::string& data() const { return out_; }
  std::string take() { return std::move(out_); }

 private:
  std::string out_;
};

}  // namespace hs::package
