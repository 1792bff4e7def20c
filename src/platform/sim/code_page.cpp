#include "platform/sim/code_page.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <string>

#include "support/text.h"

namespace hs::platform::sim {

namespace {

// One iconv conversion descriptor, closed on every path.
class Converter {
 public:
  Converter(const std::string& to, const std::string& from) : cd_(iconv_open(to.c_str(), from.c_str())) {}
  ~Converter() {
    if (ok()) iconv_close(cd_);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;
  bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
  iconv_t get() const { return cd_; }

 private:
  iconv_t cd_;
};

std::string code_page_name(std::uint32_t code_page) { return "CP" + std::to_string(code_page); }

// Converts `in` with `cd`; an input unit that cannot be converted is
// replaced by `replacement` and skipped (`unit` bytes).
std::string convert(iconv_t cd, std::string_view in, std::string_view replacement, std::size_t unit) {
  std::string out;
  char buffer[4096];
  char* input = const_cast<char*>(in.data());
  std::size_t input_left = in.size();
  while (input_left > 0) {
    char* output = buffer;
    std::size_t output_left = sizeof buffer;
    const std::size_t done = iconv(cd, &input, &input_left, &output, &output_left);
    out.append(buffer, static_cast<std::size_t>(output - buffer));
    if (done != static_cast<std::size_t>(-1)) continue;
    if (errno == E2BIG) continue;
    // EILSEQ or EINVAL: an unconvertible or incomplete unit.
    out.append(replacement);
    std::size_t skip = unit;
    // A surrogate pair (UTF-16LE input) is one character.
    if (unit == 2 && input_left >= 4 && (static_cast<unsigned char>(input[1]) & 0xFC) == 0xD8) skip = 4;
    skip = std::min(skip, input_left);
    input += skip;
    input_left -= skip;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
  }
  return out;
}

}  // namespace

std::u16string code_page_to_utf16(std::uint32_t code_page, std::string_view text) {
  // Code page 1252 as Windows maps it, also the five bytes it leaves
  // undefined (which iconv refuses).
  if (code_page == 1252) return support::cp1252_to_utf16(text);
  Converter converter("UTF-16LE", code_page_name(code_page));
  if (!converter.ok()) return support::cp1252_to_utf16(text);
  const std::string bytes = convert(converter.get(), text, std::string_view("\xFD\xFF", 2), 1);
  std::u16string out;
  out.reserve(bytes.size() / 2);
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
    out.push_back(static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                        (static_cast<unsigned char>(bytes[i + 1]) << 8)));
  }
  return out;
}

std::string utf16_to_code_page(std::uint32_t code_page, std::u16string_view text) {
  if (code_page == 1252) return support::utf16_to_cp1252(text);
  Converter converter(code_page_name(code_page), "UTF-16LE");
  if (!converter.ok()) return support::utf16_to_cp1252(text);
  std::string bytes;
  bytes.reserve(text.size() * 2);
  for (char16_t c : text) {
    bytes.push_back(static_cast<char>(c & 0xFF));
    bytes.push_back(static_cast<char>(c >> 8));
  }
  return convert(converter.get(), bytes, "?", 2);
}

}  // namespace hs::platform::sim
