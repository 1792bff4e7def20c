#include "uninstall/log_format.h"

#include <vector>

#include "support/text.h"

namespace hs::uninstall {

namespace {

std::u16string to_wide(const FormatArg& arg) {
  return std::visit(
      [](const auto& v) -> std::u16string {
        using V = std::decay_t<decltype(v)>;
        if constexpr (std::is_same_v<V, std::u16string_view>) {
          return std::u16string(v);
        } else if constexpr (std::is_same_v<V, std::string_view>) {
          return support::cp1252_to_utf16(v);
        } else {
          return support::ascii_to_utf16(std::to_string(v));
        }
      },
      arg.value());
}

std::string number_text(const FormatArg& arg, char kind) {
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
  if (!is_number) return support::utf16_to_cp1252(to_wide(arg));
  if (kind == 'd' || kind == 'i') return std::to_string(s);
  if (kind == 'u') return std::to_string(u);
  if (kind == 'c') return std::string(1, static_cast<char>(u));
  static constexpr char kLower[] = "0123456789abcdef";
  static constexpr char kUpper[] = "0123456789ABCDEF";
  const char* digits = kind == 'x' ? kLower : kUpper;
  // Negative values print as their 32-bit two's complement, as printf does for int.
  unsigned long long value = s < 0 && s >= INT32_MIN ? static_cast<std::uint32_t>(s) : u;
  std::string out;
  do {
    out.insert(out.begin(), digits[value & 0xF]);
    value >>= 4;
  } while (value != 0);
  return out;
}

// Formats in the wide domain; the 8-bit form converts around it.
std::u16string format_wide(std::u16string_view format, std::initializer_list<FormatArg> args) {
  std::u16string out;
  auto next = args.begin();
  for (std::size_t i = 0; i < format.size(); ++i) {
    const char16_t c = format[i];
    if (c != u'%') {
      out.push_back(c);
      continue;
    }
    std::size_t j = i + 1;
    if (j < format.size() && format[j] == u'%') {
      out.push_back(u'%');
      i = j;
      continue;
    }
    bool zero = false;
    if (j < format.size() && format[j] == u'0') zero = true, ++j;
    std::size_t width = 0;
    while (j < format.size() && format[j] >= u'0' && format[j] <= u'9' && width < 64) width = width * 10 + (format[j++] - u'0');
    while (j < format.size() && (format[j] == u'l' || format[j] == u'h')) ++j;
    if (j >= format.size() || next == args.end()) {
      out.push_back(c);
      continue;
    }
    const char16_t kind = format[j];
    std::u16string piece;
    if (kind == u's') {
      piece = to_wide(*next);
    } else if (kind == u'd' || kind == u'i' || kind == u'u' || kind == u'x' || kind == u'X' || kind == u'c') {
      piece = support::cp1252_to_utf16(number_text(*next, static_cast<char>(kind)));
    } else {
      out.push_back(c);
      continue;
    }
    ++next;
    if (piece.size() < width) {
      const bool negative = zero && !piece.empty() && piece.front() == u'-';
      const std::size_t pad = width - piece.size();
      piece.insert(negative ? 1 : 0, pad, zero ? u'0' : u' ');
    }
    out += piece;
    i = j;
  }
  return out;
}

}  // namespace

std::u16string format_text(std::u16string_view format, std::initializer_list<FormatArg> args) {
  return format_wide(format, args);
}

std::string format_text(std::string_view format, std::initializer_list<FormatArg> args) {
  // 8-bit arguments are taken as code page 1252 on the way in and written
  // back the same way, so the bytes pass unchanged.
  return support::utf16_to_cp1252(format_wide(support::cp1252_to_utf16(format), args));
}

}  // namespace hs::uninstall
