// printf-style formatting of the engine's log and summary lines.
//
// Directives: %s (a text), %d %i %u (decimal), %x %X (hexadecimal), %c (one
// character), %% (a percent sign); an optional "0" flag and a width, as in
// "%02d". A directive without a matching argument, or of an unknown kind,
// is copied as written.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <variant>

namespace hs::uninstall {

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

std::u16string format_text(std::u16string_view format, std::initializer_list<FormatArg> args);
std::string format_text(std::string_view format, std::initializer_list<FormatArg> args);

}  // namespace hs::uninstall
