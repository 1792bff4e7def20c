// printf-style formatting: the one formatter of the engine's messages, log
// lines and summary texts.
//
// A directive is "%", optional flags ("-", "+", " ", "#", "0"), an optional
// width, an optional precision (".n", accepted and not used), an optional
// size prefix ("l", "ll", "h", "w", "L", "I32", "I64"), and a conversion:
//   s S     the argument as text
//   d i u   a number in decimal ("%u" of a negative number: its unsigned value)
//   x X     a number in hexadecimal (a negative number as its 32-bit two's complement)
//   c C     a number as one character
//   o f g e E G p   the argument as text (the values of messages come as texts)
// A text argument given to a number conversion is written as it is (the
// message table's values come formatted already). The width pads on the
// left with blanks, or with zeros under "0" (behind a minus sign), or on the
// right under "-". "%%" is a percent sign.
//
// Two rules keep every piece of information visible:
// - A directive without an argument left, and a "%" that starts no
//   directive, are copied as written ("%s and %s" with one value gives
//   "one and %s").
// - Arguments left over after the last directive (a translated message that
//   dropped a conversion) are appended, each after a blank.
#pragma once

#include <initializer_list>
#include <span>
#include <string>
#include <string_view>
#include <variant>

namespace hs::support {

// One argument: a number, a wide text, or an 8-bit text. In a wide format
// an 8-bit text is read as code page 1252; in an 8-bit format a wide text
// is written as code page 1252.
class FormatArg {
 public:
  FormatArg(int v) : value_(static_cast<long long>(v)) {}                  // NOLINT
  FormatArg(long v) : value_(static_cast<long long>(v)) {}                 // NOLINT
  FormatArg(long long v) : value_(v) {}                                    // NOLINT
  FormatArg(unsigned v) : value_(static_cast<unsigned long long>(v)) {}    // NOLINT
  FormatArg(unsigned long v) : value_(static_cast<unsigned long long>(v)) {}  // NOLINT
  FormatArg(unsigned long long v) : value_(v) {}                           // NOLINT
  FormatArg(std::u16string_view v) : value_(v) {}                          // NOLINT
  FormatArg(const std::u16string& v) : value_(std::u16string_view(v)) {}   // NOLINT
  FormatArg(const char16_t* v) : value_(std::u16string_view(v)) {}         // NOLINT
  FormatArg(std::string_view v) : value_(v) {}                             // NOLINT
  FormatArg(const std::string& v) : value_(std::string_view(v)) {}         // NOLINT
  FormatArg(const char* v) : value_(std::string_view(v)) {}                // NOLINT

  const auto& value() const { return value_; }

 private:
  std::variant<long long, unsigned long long, std::u16string_view, std::string_view> value_;
};

std::u16string format_text(std::u16string_view format, std::span<const FormatArg> args);
std::u16string format_text(std::u16string_view format, std::initializer_list<FormatArg> args);
std::string format_text(std::string_view format, std::initializer_list<FormatArg> args);

}  // namespace hs::support
