#include "package/settings_stream.h"

#include <bit>
#include <cstring>

#include "support/little_endian.h"
#include "support/text.h"

namespace hs::package {

namespace {
constexpr std::uint32_t kMaxTextLength = 0x40000000;
}

bool SettingsStream::take(std::size_t n) {
  if (n <= remaining()) return true;
  pos_ = data_.size();
  overrun_ = true;
  return false;
}

std::string SettingsStream::raw(std::size_t n) {
  if (!take(n)) return {};
  std::string out(reinterpret_cast<const char*>(data_.data() + pos_), n);
  pos_ += n;
  return out;
}

std::uint8_t SettingsStream::u8() {
  if (!take(1)) return 0;
  return data_[pos_++];
}

std::uint16_t SettingsStream::u16() {
  if (!take(2)) return 0;
  const std::uint16_t v = support::load_u16(data_, pos_);
  pos_ += 2;
  return v;
}

std::uint32_t SettingsStream::u32() {
  if (!take(4)) return 0;
  const std::uint32_t v = support::load_u32(data_, pos_);
  pos_ += 4;
  return v;
}

std::uint64_t SettingsStream::u64() {
  std::uint64_t low = u32();
  std::uint64_t high = u32();
  return low | (high << 32);
}

double SettingsStream::f64() { return std::bit_cast<double>(u64()); }

std::string SettingsStream::bytes(std::size_t n) {
  if (n > remaining()) {
    take(n);
    return std::string(n, '\0');
  }
  return raw(n);
}

std::string SettingsStream::text_bytes() {
  std::uint32_t length = u8();
  if (length == 255) {
    std::uint8_t first = u8();
    if (first != 255) {
      length = first | (static_cast<std::uint32_t>(u8()) << 8);
    } else {
      length = u32();
    }
  }
  if (length > kMaxTextLength) {
    take(remaining() + 1);
    return {};
  }
  return raw(length);
}

std::u16string SettingsStream::text() { return utf16le_to_text(text_bytes()); }

std::string SettingsStream::text16_bytes() { return raw(u16()); }
std::u16string SettingsStream::text16() { return utf16le_to_text(text16_bytes()); }
std::string SettingsStream::text8len_bytes() { return raw(u8()); }
std::u16string SettingsStream::text8len() { return utf16le_to_text(text8len_bytes()); }

std::string SettingsStream::block() {
  std::uint32_t length = u32();
  if (length & 0x80000000u) {
    take(remaining() + 1);
    return {};
  }
  return raw(length);
}

std::u16string SettingsStream::cstr() {
  const std::uint8_t* begin = data_.data() + pos_;
  const void* nul = std::memchr(begin, 0, remaining());
  if (nul == nullptr) {
    take(remaining() + 1);
    return {};
  }
  std::size_t n = static_cast<const std::uint8_t*>(nul) - begin;
  std::string_view text(reinterpret_cast<const char*>(begin), n);
  pos_ += n + 1;
  return support::from_bar_form(text, ansi_);
}

std::u16string SettingsStream::wstr() {
  std::u16string out;
  for (std::size_t at = pos_; at + 1 < data_.size(); at += 2) {
    const auto unit = static_cast<char16_t>(support::load_u16(data_, at));
    if (unit == 0) {
      pos_ = at + 2;
      return out;
    }
    out.push_back(unit);
  }
  take(remaining() + 1);
  return {};
}

std::u16string utf16le_to_text(std::string_view bytes) {
  std::u16string out(bytes.size() / 2, u'\0');
  for (std::size_t i = 0; i < out.size(); ++i) {
    out[i] = static_cast<char16_t>(static_cast<std::uint8_t>(bytes[2 * i]) |
                                   (static_cast<std::uint8_t>(bytes[2 * i + 1]) << 8));
  }
  return out;
}

std::string text_to_utf16le(std::u16string_view text) {
  std::string out;
  out.reserve(text.size() * 2);
  for (char16_t c : text) {
    out.push_back(static_cast<char>(c & 0xFF));
    out.push_back(static_cast<char>(c >> 8));
  }
  return out;
}

}  // namespace hs::package
