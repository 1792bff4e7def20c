#include "package/settings.h"

#include "package/product_flags.h"
#include "package/settings_fields.h"
#include "package/settings_stream.h"

namespace hs::package {

namespace {

// Thrown inside the loader only, to leave it with a damage code from any
// depth; `load_settings` turns it back into a value.
struct Damage {
  int code;
};

// The loader's side of the field table (settings_fields.h): reads each
// field into its member and applies the field's rules, then calls the
// hook. A read past the end gives empty values and stops every list (the
// end marker then fails).
class FieldReader {
 public:
  FieldReader(SettingsStream& in, Settings& settings, const FieldHook& hook)
      : in_(in), settings_(settings), hook_(hook) {}

  template <typename Body>
  void field(int number, Body&& body) {
    body();
    if (hook_) {
      const int code = hook_(number, settings_);
      if (code != 0) throw Damage{code};
    }
  }

  template <typename T>
  void u8(T& v) { v = static_cast<T>(in_.u8()); }
  template <typename T>
  void u16(T& v) { v = static_cast<T>(in_.u16()); }
  template <typename T>
  void u32(T& v) { v = static_cast<T>(in_.u32()); }
  template <typename T>
  void u64(T& v) { v = static_cast<T>(in_.u64()); }
  void f64(double& v) { v = in_.f64(); }

  void text(std::u16string& v) { v = in_.text(); }
  void text(std::string& v) { v = in_.text_bytes(); }
  void text16(std::u16string& v) { v = in_.text16(); }
  void text16(std::string& v) { v = in_.text16_bytes(); }
  void text8len(std::u16string& v) { v = in_.text8len(); }
  void cstr(std::u16string& v) { v = in_.cstr(); }
  void wstr(std::u16string& v) { v = in_.wstr(); }
  void block(std::string& v) { v = in_.block(); }
  void block(std::u16string& v) { v = utf16le_to_text(in_.block()); }
  void bytes(std::string& v, std::size_t n) { v = in_.bytes(n); }
  void marker(std::uint32_t value, int code) { rule(in_.u32() == value, code); }

  void rule(bool ok, int code) {
    if (!ok) throw Damage{code};
  }
  void fits(std::size_t n, std::size_t size, int code) { rule(n <= in_.remaining() / size, code); }
  template <typename Body>
  void when(bool present, Body&& body) {
    if (present) body();
  }
  template <typename T, typename V>
  void loaded_as(T& member, const V& value) {
    member = value;
  }

  template <typename List>
  std::size_t count(const List&, std::uint32_t max, int code) {
    const std::uint32_t n = in_.u32();
    rule(n <= max, code);
    return n;
  }
  template <typename List>
  std::size_t small_count(const List&, std::uint32_t min, std::uint32_t max, int code) {
    const std::uint32_t n = in_.u8();
    rule(n >= min && n <= max, code);
    return n;
  }
  template <typename T, typename Row>
  void rows(std::vector<T>& list, std::size_t n, Row&& row) {
    list.clear();
    list.reserve(n);
    for (std::size_t i = 0; i < n && !in_.overrun(); ++i) {
      T item{};
      row(item);
      list.push_back(std::move(item));
    }
  }
  template <typename T, typename Member, typename First, typename Rest>
  void rows_until_end(std::vector<T>& list, Member T::*leader, std::u16string_view end, int code,
                      First&& first, Rest&& rest) {
    list.clear();
    while (!in_.overrun()) {
      T row{};
      first(row);
      if (in_.overrun() || row.*leader == end) break;
      rule(list.size() < kMaxListRows, code);
      rest(row);
      list.push_back(std::move(row));
    }
  }

 private:
  SettingsStream& in_;
  Settings& settings_;
  const FieldHook& hook_;
};

}  // namespace

LoadResult load_settings(std::span<const std::uint8_t> stream, Settings& settings,
                         const FieldHook& hook, const support::AnsiDecoder& ansi) {
  SettingsStream in(stream, ansi);
  FieldReader reader(in, settings, hook);
  try {
    visit_settings_fields(reader, settings);
  } catch (const Damage& damage) {
    return LoadResult::fail(damage.code);
  }
  return {};
}

namespace {

bool is_blank(std::u16string_view text) {
  return text.find_first_not_of(u" \t") == std::u16string_view::npos;
}

}  // namespace

DerivedSettings derive_settings(const Settings& s, std::u16string_view product_name_override) {
  DerivedSettings d;
  d.product_name = product_name_override.empty() ? s.product_name
                                                 : std::u16string(product_name_override);
  d.description = s.product_description.empty() ? d.product_name : s.product_description;
  if (!s.shared_path.empty()) {
    d.shared_path = s.shared_path;
  } else {
    d.shared_path = is_blank(s.company_name) ? d.product_name : s.company_name;
  }
  d.start_menu_folder = s.start_menu_folder.empty() ? d.product_name : s.start_menu_folder;
  d.uninstall_key_name = is_blank(s.uninstall_key_name) ? d.product_name : s.uninstall_key_name;
  d.desktop_folder = s.desktop_folder;
  if (d.desktop_folder.empty() && has_bit(s.product_flags, pf::kDesktopFolderDefault)) {
    d.desktop_folder = d.product_name;
  }
  d.master_key_name = is_blank(s.master_key_name) ? d.product_name : s.master_key_name;
  d.master_display_name =
      is_blank(s.master_display_name) ? d.product_name : s.master_display_name;
  d.mono_color = s.bottom_color == s.top_color;
  return d;
}

std::u16string default_install_folder(
    const Settings& s, const DerivedSettings& d, std::u16string_view windows_folder,
    std::u16string_view program_files,
    const std::function<std::u16string(std::u16string_view)>& expand) {
  std::u16string folder;
  if (s.default_install_folder.empty()) {
    folder = d.product_name;
  } else {
    folder = s.default_install_folder;
    for (std::size_t at = folder.find(u"<os>"); at != std::u16string::npos;
         at = folder.find(u"<os>", at + windows_folder.size())) {
      folder.replace(at, 4, windows_folder);
    }
    if (expand) folder = expand(folder);
  }
  if (folder == u"<master>" || folder.starts_with(u"HKLM\\") || folder.starts_with(u"HKCU\\")) {
    return folder;
  }
  std::u16string joined(program_files);
  if (!joined.empty() && joined.back() != u'\\') joined += u'\\';
  joined += folder;
  return joined;
}

}  // namespace hs::package
