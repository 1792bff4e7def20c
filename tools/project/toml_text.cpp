#include "project/toml_text.h"

#include "project/project_error.h"
#include "support/text.h"

namespace hs::tools {

namespace {

constexpr char32_t kShieldBase = 0xF0000;

void append_utf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

// Decodes one well-formed UTF-8 sequence at `at`; returns its length, 0 when
// the bytes there are not one (they are then left to the parser).
std::size_t decode_utf8(std::string_view text, std::size_t at, char32_t& cp) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(at);
  std::size_t length = lead < 0x80 ? 1 : (lead & 0xE0) == 0xC0 ? 2 : (lead & 0xF0) == 0xE0 ? 3 : (lead & 0xF8) == 0xF0 ? 4 : 0;
  if (length == 0 || at + length > text.size()) return 0;
  cp = length == 1 ? lead : length == 2 ? (lead & 0x1F) : length == 3 ? (lead & 0x0F) : (lead & 0x07);
  for (std::size_t i = 1; i < length; ++i) {
    if ((byte(at + i) & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (byte(at + i) & 0x3F);
  }
  static constexpr char32_t kMin[] = {0, 0, 0x80, 0x800, 0x10000};
  if (cp < kMin[length] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
  return length;
}

}  // namespace

std::string unshield(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t at = 0; at < text.size();) {
    char32_t cp = 0;
    const std::size_t length = decode_utf8(text, at, cp);
    if (length == 4 && cp >= kShieldBase + 0xA1 && cp < kShieldBase + 0xFEFF) {
      append_utf8(out, cp - kShieldBase);
      at += 4;
    } else {
      out += text[at++];
    }
  }
  return out;
}

std::u16string wide(std::string_view utf8) { return support::utf8_to_utf16(unshield(utf8)); }

std::string shield(std::string_view text, std::string_view file) {
  std::string out;
  out.reserve(text.size() + text.size() / 4);
  std::size_t line = 1, column = 1;
  for (std::size_t at = 0; at < text.size();) {
    char32_t cp = 0;
    std::size_t length = decode_utf8(text, at, cp);
    if (length == 0) {
      out += text[at++];  // not UTF-8: the parser reports it
      ++column;
      continue;
    }
    if (cp >= kShieldBase) {
      throw ProjectError(std::string(file) + ":" + std::to_string(line) + ":" + std::to_string(column) +
                         ": characters of the private planes 15 and 16 are not accepted");
    }
    if (cp >= 0xA1 && cp < 0xFEFF) {
      append_utf8(out, kShieldBase + cp);
    } else {
      out.append(text.substr(at, length));
    }
    at += length;
    if (cp == '\n') {
      ++line;
      column = 1;
    } else {
      ++column;
    }
  }
  return out;
}

}  // namespace hs::tools
