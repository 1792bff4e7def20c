// Typed reads over the decoded settings stream.
//
// Every read is bounds-checked against the stream. A read that would run
// past the end yields an empty or zero value and leaves the stream at its
// end with `overrun()` set; a stream misaligned that way is caught by the
// end marker. Nothing here fails otherwise: the damage codes belong to the
// fields (see settings.cpp).
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <utility>

#include "support/text.h"

namespace hs::package {

class SettingsStream {
 public:
  // `ansi` decodes the 8-bit texts without the leading "|" (the system's
  // ANSI code page); empty: code page 1252.
  explicit SettingsStream(std::span<const std::uint8_t> data, support::AnsiDecoder ansi = {})
      : data_(data), ansi_(std::move(ansi)) {}

  std::uint8_t u8();
  std::uint16_t u16();
  std::uint32_t u32();
  std::uint64_t u64();
  double f64();

  // `n` raw bytes; past the end: n zero bytes.
  std::string bytes(std::size_t n);

  // Compact length (one byte below 255; 255 + 16-bit; 255 255 + 32-bit),
  // then that many bytes. A length above 0x40000000 reads as empty text and
  // ends the stream.
  std::string text_bytes();
  // `text_bytes` holding UTF-16LE characters (an odd last byte is dropped).
  std::u16string text();

  // u16 byte count, then the bytes.
  std::string text16_bytes();
  std::u16string text16();
  // u8 byte count, then the bytes.
  std::string text8len_bytes();
  std::u16string text8len();
  // u32 byte count, then the bytes (a count with the top bit set, that is a
  // negative count, reads as empty and ends the stream).
  std::string block();

  // 8-bit text up to and including a NUL byte, decoded from the bar form
  // (leading "|": UTF-8; otherwise code page 1252). Without a NUL before the
  // end: empty, stream at its end.
  std::u16string cstr();
  // UTF-16 text up to and including a 0 unit.
  std::u16string wstr();

  std::size_t position() const { return pos_; }
  std::size_t remaining() const { return data_.size() - pos_; }
  // True once a read has run past the end.
  bool overrun() const { return overrun_; }

 private:
  // True when `n` bytes remain; otherwise moves to the end and sets overrun.
  bool take(std::size_t n);
  std::string raw(std::size_t n);

  std::span<const std::uint8_t> data_;
  support::AnsiDecoder ansi_;  // decodes 8-bit texts in the ANSI code page
  std::size_t pos_ = 0;
  bool overrun_ = false;
};

// UTF-16LE bytes to a UTF-16 text (an odd last byte is dropped).
std::u16string utf16le_to_text(std::string_view bytes);
// A UTF-16 text to its UTF-16LE bytes.
std::string text_to_utf16le(std::u16string_view text);

}  // namespace hs::package
