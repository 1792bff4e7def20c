#include "support/format.h"

#include <cstdint>
#include <vector>

#include "support/text.h"

namespace hs::support {

namespace {

std::u16string to_wide(const FormatArg& arg) {
  return std::visit(
      [](const auto& v) -> std::u16string {
        using V = std::decay_t<decltype(v)>;
        if constexpr (std::is_same_v<V, std::u16string_view>) {
          return std::u16string(v);
        } else if constexpr (std::is_same_v<V, std::string_view>) {
          return cp1252_to_utf16(v);
        } else {
          return ascii_to_utf16(std::to_string(v));
        }
      },
      arg.value());
}

std::u16string number_text(const FormatArg& arg, char16_t kind) {
  long long s = 0;
  unsigned long long u = 0;
  bool is_number = true;
  std::visit(
      [&](const auto& v) {
        using V = std::decay_t<decltype(v)>;
        if constexpr (std::is_same_v<V, long long>) {
          s = v, u = static_cast<unsigned long long>(v);
        } else if constexpr (std::is_same_v<V, unsigned long long>) {
          s = static_cast<long long>(v), u = v;
        } else {
          is_number = false;
        }
      },
      arg.value());
  if (!is_number) return to_wide(arg);
  if (kind == u'd' || kind == u'i') return ascii_to_utf16(std::to_string(s));
  if (kind == u'u') return ascii_to_utf16(std::to_string(u));
  if (kind == u'c' || kind == u'C') return cp1252_to_utf16(std::string(1, static_cast<char>(u)));
  static constexpr char16_t kLower[] = u"0123456789abcdef";
  static constexpr char16_t kUpper[] = u"0123456789ABCDEF";
  const char16_t* digits = kind == u'x' ? kLower : kUpper;
  // Negative values print as their 32-bit two's complement, as printf does for int.
  unsigned long long value = s < 0 && s >= INT32_MIN ? static_cast<std::uint32_t>(s) : u;
  std::u16string out;
  do {
    out.insert(out.begin(), digits[value & 0xF]);
    value >>= 4;
  } while (value != 0);
  return out;
}

bool is_digit(char16_t c) { return c >= u'0' && c <= u'9'; }

bool is_conversion(char16_t c) { return std::u16string_view(u"sScCdiuxXofgeEGp").find(c) != std::u16string_view::npos; }

// Conversions that write a number; every other one writes its argument as text.
bool is_number_conversion(char16_t c) { return std::u16string_view(u"cCdiuxX").find(c) != std::u16string_view::npos; }

// One directive starting at format[at] ('%'): its length (0 when the text
// there is no directive) and what it asks for.
struct Directive {
  std::size_t length = 0;
  bool left = false;  // "-": pad on the right
  bool zero = false;  // "0": pad with zeros
  std::size_t width = 0;
  char16_t kind = 0;
};

Directive parse_directive(std::u16string_view format, std::size_t at) {
  Directive d;
  std::size_t j = at + 1;
  for (; j < format.size(); ++j) {
    const char16_t c = format[j];
    if (c == u'-') d.left = true;
    else if (c == u'0') d.zero = true;
    else if (c != u'+' && c != u' ' && c != u'#') break;
  }
  while (j < format.size() && is_digit(format[j])) {
    if (d.width < 1000) d.width = d.width * 10 + (format[j] - u'0');
    ++j;
  }
  if (j < format.size() && format[j] == u'.') {
    ++j;
    while (j < format.size() && is_digit(format[j])) ++j;
  }
  if (format.substr(j, 3) == u"I64" || format.substr(j, 3) == u"I32") {
    j += 3;
  } else {
    while (j < format.size() && (format[j] == u'l' || format[j] == u'h' || format[j] == u'w' || format[j] == u'L')) ++j;
  }
  if (j >= format.size() || !is_conversion(format[j])) return Directive{};
  d.kind = format[j];
  d.length = j + 1 - at;
  return d;
}

}  // namespace

std::u16string format_text(std::u16string_view format, std::span<const FormatArg> args) {
  std::u16string out;
  std::size_t next = 0;
  for (std::size_t i = 0; i < format.size(); ++i) {
    const char16_t c = format[i];
    if (c != u'%') {
      out.push_back(c);
      continue;
    }
    if (i + 1 < format.size() && format[i + 1] == u'%') {
      out.push_back(u'%');
      ++i;
      continue;
    }
    const Directive d = parse_directive(format, i);
    if (d.length == 0 || next >= args.size()) {
      out.push_back(c);  // copied as written
      continue;
    }
    const FormatArg& arg = args[next++];
    std::u16string piece = is_number_conversion(d.kind) ? number_text(arg, d.kind) : to_wide(arg);
    if (piece.size() < d.width) {
      const std::size_t pad = d.width - piece.size();
      if (d.left) {
        piece.append(pad, u' ');
      } else {
        const bool zero = d.zero;
        const bool negative = zero && !piece.empty() && piece.front() == u'-';
        piece.insert(negative ? 1 : 0, pad, zero ? u'0' : u' ');
      }
    }
    out += piece;
    i += d.length - 1;
  }
  for (; next < args.size(); ++next) {
    out.push_back(u' ');
    out += to_wide(args[next]);
  }
  return out;
}

std::u16string format_text(std::u16string_view format, std::initializer_list<FormatArg> args) {
  return format_text(format, std::span<const FormatArg>(args.begin(), args.size()));
}

std::string format_text(std::string_view format, std::initializer_list<FormatArg> args) {
  // 8-bit arguments are taken as code page 1252 on the way in and written
  // back the same way, so the bytes pass unchanged.
  return utf16_to_cp1252(format_text(cp1252_to_utf16(format), args));
}

}  // namespace hs::support
