#include "package/settings_writer.h"

#include <bit>
#include <vector>

#include "package/settings.h"
#include "package/settings_fields.h"
#include "package/settings_stream.h"
#include "support/text.h"

namespace hs::package {

void SettingsWriter::u16(std::uint16_t v) {
  u8(static_cast<std::uint8_t>(v));
  u8(static_cast<std::uint8_t>(v >> 8));
}

void SettingsWriter::u32(std::uint32_t v) {
  u16(static_cast<std::uint16_t>(v));
  u16(static_cast<std::uint16_t>(v >> 16));
}

void SettingsWriter::u64(std::uint64_t v) {
  u32(static_cast<std::uint32_t>(v));
  u32(static_cast<std::uint32_t>(v >> 32));
}

void SettingsWriter::f64(double v) { u64(std::bit_cast<std::uint64_t>(v)); }

void SettingsWriter::text_bytes(std::string_view raw) {
  const std::size_t n = raw.size();
  if (n < 255) {
    u8(static_cast<std::uint8_t>(n));
  } else if (n <= 0xFFFF && (n & 0xFF) != 0xFF) {
    // The 16-bit form must not begin with the byte 255.
    u8(255);
    u16(static_cast<std::uint16_t>(n));
  } else {
    u8(255);
    u8(255);
    u32(static_cast<std::uint32_t>(n));
  }
  bytes(raw);
}

void SettingsWriter::text(std::u16string_view t) { text_bytes(text_to_utf16le(t)); }

void SettingsWriter::text16_bytes(std::string_view raw) {
  if (raw.size() > 0xFFFF) raw = raw.substr(0, 0xFFFF);
  u16(static_cast<std::uint16_t>(raw.size()));
  bytes(raw);
}

void SettingsWriter::text16(std::u16string_view t) {
  if (t.size() > 0xFFFF / 2) t = t.substr(0, 0xFFFF / 2);
  text16_bytes(text_to_utf16le(t));
}

void SettingsWriter::text8len_bytes(std::string_view raw) {
  if (raw.size() > 0xFF) raw = raw.substr(0, 0xFF);
  u8(static_cast<std::uint8_t>(raw.size()));
  bytes(raw);
}

void SettingsWriter::text8len(std::u16string_view t) {
  if (t.size() > 0xFF / 2) t = t.substr(0, 0xFF / 2);
  text8len_bytes(text_to_utf16le(t));
}

void SettingsWriter::block(std::string_view raw) {
  u32(static_cast<std::uint32_t>(raw.size()));
  bytes(raw);
}

void SettingsWriter::cstr(std::u16string_view t) {
  t = t.substr(0, t.find(u'\0'));
  std::string encoded;
  if (!t.empty() && t.front() == u'|') {
    encoded = "|" + support::utf16_to_utf8(t);
  } else {
    encoded = support::to_bar_form(t);
  }
  bytes(encoded);
  u8(0);
}

void SettingsWriter::wstr(std::u16string_view t) {
  t = t.substr(0, t.find(u'\0'));
  bytes(text_to_utf16le(t));
  u16(0);
}

namespace {

// The writer's side of the field table (settings_fields.h): writes every
// field present under its rules. The rules on values are the loader's; the
// writer writes what it is given, so tests can build damaged streams.
class FieldWriter {
 public:
  explicit FieldWriter(SettingsWriter& out) : out_(out) {}

  template <typename Body>
  void field(int, Body&& body) {
    body();
  }

  template <typename T>
  void u8(const T& v) { out_.u8(static_cast<std::uint8_t>(v)); }
  template <typename T>
  void u16(const T& v) { out_.u16(static_cast<std::uint16_t>(v)); }
  template <typename T>
  void u32(const T& v) { out_.u32(static_cast<std::uint32_t>(v)); }
  template <typename T>
  void u64(const T& v) { out_.u64(static_cast<std::uint64_t>(v)); }
  void f64(double v) { out_.f64(v); }

  void text(const std::u16string& v) { out_.text(v); }
  void text(const std::string& v) { out_.text_bytes(v); }
  void text16(const std::u16string& v) { out_.text16(v); }
  void text16(const std::string& v) { out_.text16_bytes(v); }
  void text8len(const std::u16string& v) { out_.text8len(v); }
  void cstr(const std::u16string& v) { out_.cstr(v); }
  void wstr(const std::u16string& v) { out_.wstr(v); }
  void block(const std::string& v) { out_.block(v); }
  void block(const std::u16string& v) { out_.block(text_to_utf16le(v)); }
  void bytes(const std::string& v, std::size_t n) {
    std::string fixed = v;
    fixed.resize(n, '\0');
    out_.bytes(fixed);
  }
  void marker(std::uint32_t value, int) { out_.u32(value); }

  void rule(bool, int) {}
  void fits(std::size_t, std::size_t, int) {}
  template <typename Body>
  void when(bool present, Body&& body) {
    if (present) body();
  }
  template <typename T, typename V>
  void loaded_as(const T&, const V&) {}

  template <typename List>
  std::size_t count(const List& list, std::uint32_t, int) {
    out_.u32(static_cast<std::uint32_t>(list.size()));
    return list.size();
  }
  template <typename List>
  std::size_t small_count(const List& list, std::uint32_t, std::uint32_t, int) {
    out_.u8(static_cast<std::uint8_t>(list.size()));
    return list.size();
  }
  // `n` rows; a list shorter than that is completed with empty rows.
  template <typename T, typename Row>
  void rows(const std::vector<T>& list, std::size_t n, Row&& row) {
    const T empty{};
    for (std::size_t i = 0; i < n; ++i) row(i < list.size() ? list[i] : empty);
  }
  template <typename T, typename Member, typename First, typename Rest>
  void rows_until_end(const std::vector<T>& list, Member T::*leader, std::u16string_view end, int,
                      First&& first, Rest&& rest) {
    for (const T& row : list) {
      first(row);
      rest(row);
    }
    T end_row{};
    end_row.*leader = Member(end);
    first(end_row);
  }

 private:
  SettingsWriter& out_;
};

}  // namespace

std::string write_settings(const Settings& settings) {
  SettingsWriter out;
  FieldWriter writer(out);
  visit_settings_fields(writer, settings);
  return out.take();
}

}  // namespace hs::package
