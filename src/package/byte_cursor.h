// A read position in a byte view whose every read is checked against the
// end of the view.
//
// The package's CRCs and size rules guard its structures, but a damaged or
// hostile package must never make the engine read outside the data: a read
// that would run past the end fails (returns nothing) and leaves the cursor
// where it was, and the caller ends the run with the damage code of the
// structure it was reading.
#pragma once

#include <cstdint>
#include <cstring>
#include <optional>
#include <span>
#include <string>

#include "support/little_endian.h"

namespace hs::package {

class ByteCursor {
 public:
  explicit ByteCursor(std::span<const std::uint8_t> data, std::size_t offset = 0)
      : data_(data), offset_(offset <= data.size() ? offset : data.size()) {}

  std::size_t offset() const { return offset_; }
  std::size_t left() const { return data_.size() - offset_; }

  std::optional<std::uint32_t> u32() {
    if (left() < 4) return std::nullopt;
    const std::uint32_t value = support::load_u32(data_, offset_);
    offset_ += 4;
    return value;
  }

  // The bytes up to the next NUL; the cursor moves past the NUL.
  std::optional<std::string> text8() {
    const std::uint8_t* begin = data_.data() + offset_;
    const void* nul = left() ? std::memchr(begin, 0, left()) : nullptr;
    if (!nul) return std::nullopt;
    const auto length = static_cast<std::size_t>(static_cast<const std::uint8_t*>(nul) - begin);
    offset_ += length + 1;
    return std::string(reinterpret_cast<const char*>(begin), length);
  }

  // The 16-bit units up to the next 0 unit; the cursor moves past it.
  std::optional<std::u16string> text16() {
    std::u16string text;
    for (std::size_t at = offset_; at + 2 <= data_.size(); at += 2) {
      const auto unit = static_cast<char16_t>(support::load_u16(data_, at));
      if (unit == 0) {
        offset_ = at + 2;
        return text;
      }
      text.push_back(unit);
    }
    return std::nullopt;
  }

  // A view of the next `n` bytes.
  std::optional<std::span<const std::uint8_t>> bytes(std::size_t n) {
    if (left() < n) return std::nullopt;
    auto view = data_.subspan(offset_, n);
    offset_ += n;
    return view;
  }

 private:
  std::span<const std::uint8_t> data_;
  std::size_t offset_;
};

}  // namespace hs::package
