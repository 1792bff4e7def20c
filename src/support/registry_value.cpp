#include "support/registry_value.h"

namespace hs::support {

namespace {

void put_utf16le(platform::Bytes& out, char16_t c) {
  out.push_back(static_cast<std::uint8_t>(c & 0xFF));
  out.push_back(static_cast<std::uint8_t>(c >> 8));
}

}  // namespace

std::optional<std::u16string> registry_text(const platform::RegValue& value) {
  if (value.type != platform::regtype::kSz && value.type != platform::regtype::kExpandSz) return std::nullopt;
  std::u16string text;
  const auto& data = value.data;
  for (std::size_t i = 0; i + 1 < data.size(); i += 2) {
    const auto c = static_cast<char16_t>(data[i] | (data[i + 1] << 8));
    if (c == 0) break;
    text += c;
  }
  return text;
}

platform::Bytes sz_bytes(std::u16string_view text) {
  platform::Bytes out;
  out.reserve(2 * text.size() + 2);
  for (char16_t c : text) put_utf16le(out, c);
  put_utf16le(out, 0);
  return out;
}

platform::Bytes multi_sz_bytes(const std::vector<std::u16string>& strings) {
  platform::Bytes out;
  for (const auto& s : strings) {
    for (char16_t c : s) put_utf16le(out, c);
    put_utf16le(out, 0);
  }
  put_utf16le(out, 0);
  return out;
}

}  // namespace hs::support
