#include "project/project.h"

#define TOML_HEADER_ONLY 1
#define TOML_ENABLE_FORMATTERS 0
#include <toml++/toml.h>

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include "package/default_messages.h"
#include "package/product_flags.h"
#include "package/registry_entry_list.h"
#include "package/settings_stream.h"
#include "support/text.h"

namespace hs::tools {

namespace fs = std::filesystem;
using package::Settings;

namespace {

// Everything a section needs to report a mistake and to find its files.
struct Context {
  std::string file;   // project file name as shown in errors
  fs::path base;      // folder that sources are relative to
  ProjectEnvironment env;
  std::array<std::int32_t, 6> default_date{};  // date used where none is given
};

std::string where(const Context& ctx, const toml::source_region& region) {
  return ctx.file + ":" + std::to_string(region.begin.line) + ":" +
         std::to_string(region.begin.column) + ": ";
}

std::string_view type_name(const toml::node& node) {
  switch (node.type()) {
    case toml::node_type::table: return "a table";
    case toml::node_type::array: return "an array";
    case toml::node_type::string: return "a string";
    case toml::node_type::integer: return "an integer";
    case toml::node_type::floating_point: return "a number";
    case toml::node_type::boolean: return "a boolean";
    case toml::node_type::date: return "a date";
    case toml::node_type::time: return "a time";
    case toml::node_type::date_time: return "a date-time";
    default: return "nothing";
  }
}

// The TOML library tests characters for whitespace with a table that does
// not cover every code point below U+FEFF (it reaches an "unreachable"
// branch for most letters above 127 wherever it looks for whitespace, as in
// a broken document or after a line-ending backslash). So the text it sees
// has every character from U+00A1 to U+FEFE moved to the private plane 15
// (U+F0000 + the code point), which it handles; `unshield` moves them back
// in every text taken from the document. Characters of planes 15 and 16 are
// refused for that reason.
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

std::string shield(std::string_view text, const Context& ctx) {
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
      throw ProjectError(ctx.file + ":" + std::to_string(line) + ":" + std::to_string(column) +
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


// One table of the project file: typed access by key, every key used at
// most once, and an error for each key that nothing asked for.
class Section {
 public:
  Section(const Context& ctx, const toml::table& table, std::string path)
      : ctx_(ctx), table_(table), path_(std::move(path)) {}

  [[noreturn]] void fail(const toml::node& node, std::string_view key, const std::string& message) const {
    throw ProjectError(where(ctx_, node.source()) + qualified(key) + ": " + message);
  }
  [[noreturn]] void fail_here(const std::string& message) const {
    throw ProjectError(where(ctx_, table_.source()) + (path_.empty() ? "" : "[" + path_ + "]: ") + message);
  }

  const toml::node* node(std::string_view key) {
    used_.insert(std::string(key));
    return table_.get(key);
  }

  std::optional<std::string> string(std::string_view key) {
    const toml::node* n = node(key);
    if (!n) return std::nullopt;
    if (!n->is_string()) expected(*n, key, "a string");
    return n->as_string()->get();
  }
  std::u16string text(std::string_view key, std::u16string_view fallback = u"") {
    auto s = string(key);
    return s ? wide(*s) : std::u16string(fallback);
  }
  // An 8-bit text in code page 1252 (batches, program names).
  std::string text1252(std::string_view key) {
    const toml::node* n = node(key);
    if (!n) return {};
    if (!n->is_string()) expected(*n, key, "a string");
    std::u16string t = wide(n->as_string()->get());
    for (char16_t c : t) {
      if (support::cp1252_to_utf16(support::utf16_to_cp1252(std::u16string(1, c))) != std::u16string(1, c)) {
        fail(*n, key, "expected text that code page 1252 can hold");
      }
    }
    return support::utf16_to_cp1252(t);
  }

  std::optional<std::int64_t> integer(std::string_view key, std::int64_t min, std::int64_t max) {
    const toml::node* n = node(key);
    if (!n) return std::nullopt;
    if (!n->is_integer()) expected(*n, key, "an integer");
    const std::int64_t v = n->as_integer()->get();
    if (v < min || v > max) {
      fail(*n, key, "expected an integer from " + std::to_string(min) + " to " + std::to_string(max) +
                        ", got " + std::to_string(v));
    }
    return v;
  }
  template <typename T>
  void integer_into(std::string_view key, T& out, std::int64_t min, std::int64_t max) {
    if (auto v = integer(key, min, max)) out = static_cast<T>(*v);
  }

  std::optional<bool> boolean(std::string_view key) {
    const toml::node* n = node(key);
    if (!n) return std::nullopt;
    if (!n->is_boolean()) expected(*n, key, "true or false");
    return n->as_boolean()->get();
  }
  bool flag(std::string_view key, bool fallback = false) { return boolean(key).value_or(fallback); }

  std::optional<double> real(std::string_view key, double min, double max) {
    const toml::node* n = node(key);
    if (!n) return std::nullopt;
    double v = 0;
    if (n->is_floating_point()) {
      v = n->as_floating_point()->get();
    } else if (n->is_integer()) {
      v = static_cast<double>(n->as_integer()->get());
    } else {
      expected(*n, key, "a number");
    }
    if (!(v >= min && v <= max)) {
      std::ostringstream range;
      range << "expected a number from " << min << " to " << max;
      fail(*n, key, range.str());
    }
    return v;
  }

  // A colour: "#RRGGBB" or a COLORREF integer (0x00BBGGRR).
  std::optional<std::uint32_t> color(std::string_view key) {
    const toml::node* n = node(key);
    if (!n) return std::nullopt;
    if (n->is_integer()) {
      std::int64_t v = n->as_integer()->get();
      if (v < 0 || v > 0xFFFFFF) fail(*n, key, "expected a colour from 0 to 0xFFFFFF (0x00BBGGRR)");
      return static_cast<std::uint32_t>(v);
    }
    if (n->is_string()) {
      const std::string& s = n->as_string()->get();
      std::uint32_t rgb = 0;
      if (s.size() == 7 && s[0] == '#') {
        auto [end, ec] = std::from_chars(s.data() + 1, s.data() + 7, rgb, 16);
        if (ec == std::errc() && end == s.data() + 7) {
          return ((rgb >> 16) & 0xFF) | (rgb & 0xFF00) | ((rgb & 0xFF) << 16);
        }
      }
    }
    fail(*n, key, "expected a colour \"#RRGGBB\" or a COLORREF integer");
  }

  // A number given as an integer or as one of `names` (index = value
  // unless `values` are given).
  std::optional<std::int64_t> choice(std::string_view key,
                                     std::initializer_list<std::pair<std::string_view, std::int64_t>> names,
                                     std::int64_t min, std::int64_t max) {
    const toml::node* n = node(key);
    if (!n) return std::nullopt;
    if (n->is_integer()) return integer(key, min, max);
    std::string list;
    for (const auto& [name, value] : names) {
      if (n->is_string() && n->as_string()->get() == name) return value;
      list += (list.empty() ? "\"" : ", \"") + std::string(name) + "\"";
    }
    fail(*n, key, "expected one of " + list + " or an integer from " + std::to_string(min) + " to " +
                      std::to_string(max));
  }

  const toml::table* table(std::string_view key) {
    const toml::node* n = node(key);
    if (!n) return nullptr;
    if (!n->is_table()) expected(*n, key, "a table");
    return n->as_table();
  }
  const toml::array* array(std::string_view key) {
    const toml::node* n = node(key);
    if (!n) return nullptr;
    if (!n->is_array()) expected(*n, key, "an array");
    return n->as_array();
  }
  // An array of tables ([[key]]), each handed to `each` as a section.
  template <typename Each>
  void tables(std::string_view key, Each each) {
    const toml::array* a = array(key);
    if (!a) return;
    std::size_t index = 0;
    for (const toml::node& item : *a) {
      if (!item.is_table()) fail(item, key, "expected a table ([[" + std::string(key) + "]])");
      Section s(ctx_, *item.as_table(), qualified(key) + "[" + std::to_string(index++) + "]");
      each(s);
      s.finish();
    }
  }
  // A list of strings, or one string.
  std::vector<std::string> strings(std::string_view key) {
    const toml::node* n = node(key);
    std::vector<std::string> out;
    if (!n) return out;
    if (n->is_string()) return {n->as_string()->get()};
    if (!n->is_array()) expected(*n, key, "a string or an array of strings");
    for (const toml::node& item : *n->as_array()) {
      if (!item.is_string()) fail(item, key, "expected a string, got " + std::string(type_name(item)));
      out.push_back(item.as_string()->get());
    }
    return out;
  }

  // The bytes of the file named by `key` (relative to the project folder).
  std::optional<std::string> file(std::string_view key) {
    const toml::node* n = node(key);
    if (!n) return std::nullopt;
    if (!n->is_string()) expected(*n, key, "a file name");
    return read(*n, key, n->as_string()->get());
  }
  std::string read(const toml::node& n, std::string_view key, const std::string& shielded_name) const {
    const std::string name = unshield(shielded_name);
    const fs::path path = ctx_.base / fs::path(name);
    std::ifstream in(path, std::ios::binary);
    if (!in || fs::is_directory(path)) fail(n, key, "cannot read the file \"" + name + "\"");
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
  }

  // A date: a TOML date-time or "YYYY-MM-DD HH:MM:SS".
  std::optional<std::array<std::int32_t, 6>> date(std::string_view key) {
    const toml::node* n = node(key);
    if (!n) return std::nullopt;
    if (n->is_date_time()) {
      const auto dt = n->as_date_time()->get();
      return std::array<std::int32_t, 6>{dt.date.year, dt.date.month, dt.date.day,
                                         dt.time.hour, dt.time.minute, dt.time.second};
    }
    if (n->is_date()) {
      const auto d = n->as_date()->get();
      return std::array<std::int32_t, 6>{d.year, d.month, d.day, 0, 0, 0};
    }
    if (n->is_string()) {
      std::array<std::int32_t, 6> out{};
      const std::string& s = n->as_string()->get();
      char tail = 0;
      if (s.size() == 19 && std::sscanf(s.c_str(), "%4d-%2d-%2d %2d:%2d:%2d%c", &out[0], &out[1], &out[2],
                                        &out[3], &out[4], &out[5], &tail) == 6 &&
          out[1] >= 1 && out[1] <= 12 && out[2] >= 1 && out[2] <= 31 && out[3] <= 23 &&
          out[4] <= 59 && out[5] <= 59) {
        return out;
      }
    }
    fail(*n, key, "expected a date such as 2024-05-06T07:08:09 or \"2024-05-06 07:08:09\"");
  }

  void finish() const {
    for (auto&& [key, value] : table_) {
      if (!used_.contains(std::string(key.str()))) {
        throw ProjectError(where(ctx_, key.source()) + "unknown key \"" + qualified(key.str()) + "\"");
      }
    }
  }

  const Context& context() const { return ctx_; }
  const std::string& path() const { return path_; }

 private:
  [[noreturn]] void expected(const toml::node& n, std::string_view key, std::string_view what) const {
    fail(n, key, "expected " + std::string(what) + ", got " + std::string(type_name(n)));
  }
  std::string qualified(std::string_view key) const {
    return path_.empty() ? std::string(key) : path_ + "." + std::string(key);
  }

  const Context& ctx_;
  const toml::table& table_;
  std::string path_;
  std::set<std::string> used_;
};

void set_bit(std::uint64_t& word, int bit, bool on) {
  if (on) {
    word |= std::uint64_t{1} << bit;
  } else {
    word &= ~(std::uint64_t{1} << bit);
  }
}

// --- sections -------------------------------------------------------------

void read_product(Section& s, Settings& st) {
  st.product_name = s.text("name");
  if (st.product_name.empty()) s.fail_here("the product needs a name (product.name)");
  st.product_version = s.text("version");
  st.company_name = s.text("company");
  st.product_description = s.text("description");
  if (auto bits = s.choice("bits", {{"any", 0}, {"64", 1}, {"32", 2}}, 0, 255)) st.bits = static_cast<std::uint8_t>(*bits);
  st.default_install_folder = s.text("install_folder");
  st.start_menu_folder = s.text("start_menu_folder");
  st.product_registry = s.text("registry_key");
  st.uninstall_key_name = s.text("uninstall_key");
  st.uninstall_subdir = s.text("uninstall_subdir");
  st.uninstaller_file_name = s.text("uninstaller_name", u"uninstall.exe");
  if (st.uninstaller_file_name.size() > 127) s.fail_here("uninstaller_name: expected at most 127 characters");
  st.folder_registry_path = s.text("folder_registry_path");
  st.shared_path = s.text("shared_folder");
  if (auto base = s.choice("shared_folder_base",
                           {{"default", 0}, {"app_data", 1}, {"common_files_32", 2}, {"common_files_64", 3}}, 0, 255)) {
    st.shared_folder_base = static_cast<std::uint8_t>(*base);
  }
  st.portable_shared_folder = s.text("portable_shared_folder");
  st.desktop_folder = s.text("desktop_folder");
  st.app_paths_program = s.text("app_paths_program");
  st.add_to_path_subfolder = s.text("add_to_path_subfolder");
  st.no_downgrade_below = s.text("no_downgrade_below");
  if (st.no_downgrade_below.size() > 127) s.fail_here("no_downgrade_below: expected at most 127 characters");
  st.upgrade_version_threshold = s.text("upgrade_version_threshold");
  st.second_version_threshold = s.text("replace_version_threshold");
  s.integer_into("excluded_systems", st.excluded_systems, 0, 0xFFFFFFFF);
  if (auto mode = s.choice("automatic_mode", {{"default", 0}, {"force", 1}, {"forbid", 2}}, 0, 255)) {
    st.automatic_mode = static_cast<std::uint8_t>(*mode);
  }
  if (auto all = s.boolean("all_users_shortcuts")) st.shortcut_mode = *all ? 1 : 0;
  if (auto fonts = s.choice("uninstall_fonts", {{"keep", 0}, {"ask", 1}, {"remove", 2}}, 0, 0xFFFFFFFF)) {
    st.uninstall_fonts = static_cast<std::uint32_t>(*fonts);
  }
  st.support_offer = s.text("support_offer");
  if (auto bytes = s.file("icon")) st.product_icon = *bytes;
  if (auto bytes = s.file("uninstaller_icon")) st.uninstaller_icon = *bytes;
  if (auto bytes = s.file("desktop_folder_icon")) st.desktop_folder_icon = *bytes;
  if (auto bytes = s.file("start_sound")) st.start_sound = *bytes;
  st.uninstaller_date = s.date("uninstaller_date").value_or(s.context().default_date);
  st.payload_from_file = s.flag("payload_from_file") ? 1 : 0;
  s.integer_into("reserved_number", st.reserved_number, 0, 0xFFFFFFFF);
  if (const toml::array* log = s.array("log_values")) {
    if (log->size() != 2 || !(*log)[0].is_integer() || !(*log)[1].is_integer()) {
      s.fail(*log, "log_values", "expected two integers");
    }
    st.log_value1 = static_cast<std::uint32_t>((*log)[0].as_integer()->get());
    st.log_value2 = static_cast<std::uint32_t>((*log)[1].as_integer()->get());
  }
  st.root_shortcut_command = s.text("root_shortcut_command");
  st.root_shortcut_name = s.text("root_shortcut_name");
  st.pin_command = s.text("pin_command");
  st.pin_name = s.text("pin_name");
  if (const toml::table* master = s.table("master")) {
    Section m(s.context(), *master, "product.master");
    st.master_key_name = m.text("uninstall_key");
    st.master_display_name = m.text("name");
    st.master_min_version = m.text("min_version");
    m.finish();
    set_bit(st.product_flags, package::pf::kMasterProduct, true);
  }
}

std::string document_text(const Section& s, const toml::node& n, std::string_view key, const std::string& name) {
  std::string bytes = s.read(n, key, name);
  // RTF is stored as it is; plain text (UTF-8, with or without a byte-order
  // mark) becomes UTF-16LE.
  std::string_view body = bytes;
  if (body.starts_with("\xEF\xBB\xBF")) body.remove_prefix(3);
  if (body.starts_with("{\\rtf")) return bytes;
  if (bytes.starts_with("\xFF\xFE")) return bytes.substr(2);
  return package::text_to_utf16le(wide(body));
}

std::vector<std::string> documents(Section& s, std::string_view key) {
  const toml::node* n = s.node(key);
  std::vector<std::string> out;
  if (!n) return out;
  auto add = [&](const toml::node& item) {
    if (!item.is_string()) s.fail(item, key, "expected a file name");
    out.push_back(document_text(s, item, key, item.as_string()->get()));
  };
  if (n->is_array()) {
    for (const toml::node& item : *n->as_array()) add(item);
  } else {
    add(*n);
  }
  if (out.size() > package::kMaxDocumentTexts) s.fail(*n, key, "expected at most 20 files");
  return out;
}

std::uint32_t page_style(Section& s, std::string_view key) {
  return static_cast<std::uint32_t>(
      s.choice(key, {{"classic", 1}, {"plain", 0}, {"banner", 2}, {"picture", 3}}, 0, 3).value_or(1));
}

void read_wizard(Section& s, Settings& st) {
  st.page_title = s.text("page_title");
  st.dialog_font = s.text("dialog_font");
  if (auto c = s.color("banner_text_color")) st.banner_text_color = *c;
  if (auto frame = s.choice("side_picture_frame", {{"none", 0}, {"sunken", 1}, {"border", 2}, {"sunken_first_style", 3}}, 0, 255)) {
    st.side_picture_frame = static_cast<std::uint8_t>(*frame);
  }
  st.page_link_text = s.text("page_link_text");
  st.start_menu_page_text = s.text("start_menu_page_text");
  st.web_texts[static_cast<int>(package::WebText::kPageText)] = s.text("licence_page_text");
  st.web_texts[static_cast<int>(package::WebText::kPassword)] = s.text("password");
  s.integer_into("progress_placement", st.progress_page_value, 0, 0xFFFFFFFF);
  s.integer_into("min_status_time_ms", st.min_status_time, 0, 9999);
  st.licence_texts = documents(s, "licence");
  st.readme_texts = documents(s, "readme");
  auto& styles = st.dialog_styles;
  styles.language = page_style(s, "language_style");
  styles.licence = page_style(s, "licence_style");
  styles.readme = page_style(s, "readme_style");
  styles.choose_folder = page_style(s, "folder_style");
  styles.start_menu = page_style(s, "start_menu_style");
  styles.progress = page_style(s, "progress_style");
  styles.summary = page_style(s, "summary_style");
  if (const toml::array* reserved = s.array("reserved_styles")) {
    if (reserved->size() != 3) s.fail(*reserved, "reserved_styles", "expected three integers");
    for (std::size_t i = 0; i < 3; ++i) {
      const auto* v = (*reserved)[i].as_integer();
      if (!v || v->get() < 0 || v->get() > 0xFFFFFFFF) s.fail(*reserved, "reserved_styles", "expected three integers");
      styles.reserved[i] = static_cast<std::uint32_t>(v->get());
    }
  }
  styles.engine_protection = static_cast<std::uint32_t>(
      s.choice("engine_protection", {{"none", 0}, {"crc", 1}, {"signature", 2}}, 0, 0xFFFFFFFF).value_or(1));
  if (const toml::table* colors = s.table("colors")) {
    Section c(s.context(), *colors, "wizard.colors");
    st.dialog_bg = c.color("background").value_or(0xFFFFFF);
    st.dialog_fg = c.color("text").value_or(0);
    c.finish();
    set_bit(st.product_flags, package::pf::kDialogColors, true);
  }
  if (const toml::table* colors = s.table("second_colors")) {
    Section c(s.context(), *colors, "wizard.second_colors");
    st.second_bg = c.color("background").value_or(0xFFFFFF);
    st.second_fg = c.color("text").value_or(0);
    c.finish();
    st.product_flags2 |= 1u << package::pf2::kSecondColorPair;
  }
}

std::string strip_bmp_file_header(const Section& s, const toml::node& n, std::string bytes) {
  // The package holds the bitmap without its 14-byte file header.
  if (bytes.size() < 14 + 12 || bytes[0] != 'B' || bytes[1] != 'M') {
    s.fail(n, "bitmap", "expected a .bmp file (\"BM\" signature)");
  }
  return bytes.substr(14);
}

void read_backdrop(Section& s, Settings& st) {
  st.taskbar_text = s.text("taskbar_text");
  st.display_title = s.text("title");
  st.title_size = s.real("title_size", 0, 100).value_or(1.0);
  st.title_color = s.color("title_color").value_or(0xFFFFFF);
  s.integer_into("title_shadow", st.title_shadow, 0, 255);
  if (auto pos = s.choice("title_position", {{"none", 0}, {"top_left", 1}, {"top_center", 2}, {"top_right", 3},
                                             {"bottom_left", 4}, {"bottom_center", 5}, {"bottom_right", 6}}, 0, 255)) {
    st.title_position = static_cast<std::uint8_t>(*pos);
  }
  st.title_font = s.text("title_font");
  st.top_color = s.color("top_color").value_or(0x800000);
  st.bottom_color = s.color("bottom_color").value_or(st.top_color);
  if (const toml::node* n = s.node("bitmap")) {
    if (!n->is_string()) s.fail(*n, "bitmap", "expected a .bmp file name");
    st.backdrop_bitmap = strip_bmp_file_header(s, *n, s.read(*n, "bitmap", n->as_string()->get()));
    set_bit(st.product_flags, package::pf::kBackdropBitmap, true);
    st.bitmap_size = 50;
  }
  s.integer_into("bitmap_size", st.bitmap_size, 0, 100);
  if (auto mode = s.choice("stretch_mode", {{"stretch", 0}, {"fit", 1}, {"zoom", 2}, {"tile", 3}}, 0, 0xFFFFFFFF)) {
    st.stretch_mode = static_cast<std::uint32_t>(*mode);
  }
  st.bitmap_tpi = static_cast<std::uint32_t>(s.integer("transparent_index", -1, 255).value_or(-1));
  if (const toml::table* c = s.table("copyright")) {
    Section cs(s.context(), *c, "backdrop.copyright");
    st.copyright_text = cs.text("text");
    st.copyright_font = cs.text("font");
    st.copyright_size = cs.real("size", 0, 100).value_or(1.0);
    st.copyright_color = cs.color("color").value_or(0xECFCFE);
    st.copyright_pos = static_cast<std::uint8_t>(
        cs.choice("position", {{"top_left", 1}, {"top_center", 2}, {"top_right", 3}, {"bottom_left", 4},
                               {"bottom_center", 5}, {"bottom_right", 6}}, 1, 255).value_or(5));
    cs.finish();
  }
}

void read_batches(Section& s, Settings& st) {
  static constexpr std::string_view kNames[7] = {"pre_install", "post_install", "install_exit",
                                                 "uninstall_before", "uninstall_after", "upgrade", "reinstall"};
  for (int i = 0; i < 7; ++i) {
    std::string text = s.text1252(kNames[i]);
    // Batch lines end in CR LF.
    std::string crlf;
    for (std::size_t at = 0; at < text.size(); ++at) {
      if (text[at] == '\n' && (at == 0 || text[at - 1] != '\r')) crlf += '\r';
      crlf += text[at];
    }
    st.batches[i] = crlf;
  }
}

void read_options(Section& s, Settings& st) {
  if (auto raw = s.integer("product_flags", std::numeric_limits<std::int64_t>::min(),
                           std::numeric_limits<std::int64_t>::max())) {
    st.product_flags |= static_cast<std::uint64_t>(*raw);
  }
  if (auto raw = s.integer("product_flags2", 0, 0xFFFFFFFF)) st.product_flags2 |= static_cast<std::uint32_t>(*raw);
  for (const auto& info : package::product_flag_table()) {
    auto on = s.boolean(info.name);
    if (!on) continue;
    if (info.word == package::FlagWord::kProductFlags) {
      set_bit(st.product_flags, info.bit, *on);
    } else {
      std::uint64_t word = st.product_flags2;
      set_bit(word, info.bit, *on);
      st.product_flags2 = static_cast<std::uint32_t>(word);
    }
  }
}

std::u16string registry_field(Section& s, std::string_view key) {
  const toml::node* n = s.node(key);
  if (!n) return {};
  std::u16string text;
  if (n->is_string()) {
    text = wide(n->as_string()->get());
  } else if (n->is_integer()) {
    text = wide(std::to_string(n->as_integer()->get()));
  } else {
    s.fail(*n, key, "expected a string or an integer, got " + std::string(type_name(*n)));
  }
  if (text.find_first_of(u"\r\n") != std::u16string::npos) s.fail(*n, key, "expected a text without line breaks");
  return text;
}

void read_registry(Section& s, std::vector<package::RegistryEntry>& entries) {
  package::RegistryEntry entry;
  std::u16string key = registry_field(s, "key");
  if (key.empty()) s.fail_here("a registry row needs a key");
  const bool has_value = s.node("name") || s.node("type") || s.node("data") || s.node("mode");
  entry.fields.push_back(key);
  if (has_value) {
    entry.fields.push_back(registry_field(s, "name"));
    auto type = s.choice("type", {{"sz", 1}, {"expand_sz", 2}, {"binary", 3}, {"dword", 4}, {"qword", 11}}, 0, 11).value_or(1);
    entry.fields.push_back(wide(std::to_string(type)));
    entry.fields.push_back(registry_field(s, "data"));
    auto mode = s.choice("mode", {{"none", 0}, {"write", 1}, {"remove_at_uninstall", 2}, {"write_and_remove", 3},
                                  {"delete", 4}, {"delete_always", 5}, {"write_if_missing", 6},
                                  {"write_if_missing_and_remove", 7}}, 0, 0xFFFF).value_or(3);
    entry.fields.push_back(wide(std::to_string(mode)));
  }
  entries.push_back(std::move(entry));
}

package::RegistryValue read_uninstall_value(Section& s) {
  package::RegistryValue v;
  v.name = registry_field(s, "name");
  if (v.name.empty()) s.fail_here("an uninstall value needs a name");
  if (v.name.size() > 127) s.fail_here("name: expected at most 127 characters");
  v.type = static_cast<std::uint8_t>(
      s.choice("type", {{"text", 1}, {"expandable", 2}, {"number", 3}}, 1, 3).value_or(1));
  v.data = registry_field(s, "data");
  return v;
}

package::ShortcutRecord read_shortcut(Section& s) {
  package::ShortcutRecord r;
  r.target = s.text("target");
  if (r.target.empty()) s.fail_here("a shortcut needs a target");
  r.name = s.text("name");
  r.icon_file = s.text("icon");
  r.arguments = s.text("arguments");
  r.start_in = s.text("start_in");
  r.on_desktop = s.flag("desktop");
  r.in_start_menu = s.flag("start_menu");
  r.in_startup = s.flag("startup");
  r.extra_folder = s.text("extra_folder");
  r.show_state = static_cast<std::uint8_t>(
      s.choice("show", {{"normal", 1}, {"minimized", 7}, {"maximized", 3}}, 0, 255).value_or(1));
  r.keep_at_uninstall = s.flag("keep_at_uninstall");
  r.expand_target = true;
  return r;
}

package::AssociationRecord read_association(Section& s) {
  package::AssociationRecord r;
  r.kind = static_cast<std::uint32_t>(
      s.choice("kind", {{"associate", 0}, {"default", 1}, {"open_with", 2}}, 0, 0xFFFFFFFF).value_or(1));
  r.extension = s.text("extension");
  if (r.extension.empty()) s.fail_here("an association needs an extension");
  r.class_name = s.text("class");
  r.description = s.text("description");
  r.verbs = s.text("verbs", u"open");
  r.verb_label = s.text("verb_label");
  r.command = s.text("command");
  r.language = s.text("language");
  r.icon = s.text("icon");
  return r;
}

std::string read_firewall(Section& s) {
  const toml::node* port = s.node("port");
  const toml::node* program = s.node("program");
  std::string first;
  if (port && program) s.fail(*program, "program", "expected either port or program, not both");
  if (port) {
    first = std::to_string(s.integer("port", 1, 65535).value());
  } else if (program) {
    std::u16string path = s.text("program");
    if (path.empty() || std::all_of(path.begin(), path.end(), [](char16_t c) { return c >= u'0' && c <= u'9'; })) {
      s.fail(*program, "program", "expected a program path");
    }
    first = support::to_bar_form(path);
  } else {
    s.fail_here("a firewall entry needs a port or a program");
  }
  std::string name = support::utf16_to_utf8(s.text("name"));
  int protocols = (s.flag("tcp", true) ? 1 : 0) | (s.flag("udp") ? 2 : 0);
  std::string options = s.flag("permanent") ? "1" : "";
  for (const std::string* field : {&first, &name}) {
    if (field->find_first_of(";\r\n") != std::string::npos) s.fail_here("firewall fields cannot hold \";\" or line breaks");
  }
  return first + ";" + name + ";" + std::to_string(protocols) + ";" + options + "\r\n";
}

package::AutoCloseRule read_auto_close(Section& s) {
  package::AutoCloseRule r;
  r.window_class = s.text("window_class");
  r.window_title = s.text("window_title");
  if (r.window_class.empty() && r.window_title.empty()) s.fail_here("an auto-close rule needs window_class or window_title");
  if (r.window_class == package::kAutoCloseEndRow) s.fail_here("window_class: this text ends the rule table");
  r.program_name = s.text1252("program_name");
  r.action = static_cast<std::uint8_t>(
      s.choice("action", {{"close", 0}, {"quit", 1}, {"ask", 2}, {"terminate", 3}}, 0, 255).value_or(0));
  std::uint8_t phases = 0;
  for (const std::string& phase : s.strings("phases")) {
    if (phase == "install") phases |= 1;
    else if (phase == "uninstall_before") phases |= 2;
    else if (phase == "uninstall_after") phases |= 4;
    else s.fail(*s.node("phases"), "phases", "expected \"install\", \"uninstall_before\" or \"uninstall_after\"");
  }
  r.phases = phases ? phases : 1 | 2 | 4;
  return r;
}

package::ConditionalDeletion read_conditional_deletion(Section& s) {
  package::ConditionalDeletion r;
  r.path = s.text("path");
  if (r.path.empty()) s.fail_here("a conditional deletion needs a path");
  if (r.path == package::kConditionalDeletionEndRow) s.fail_here("path: this text ends the table");
  r.condition = static_cast<std::uint8_t>(
      s.choice("condition", {{"none", 0}, {"date_equal", 1}, {"date_from", 2}, {"date_until", 3}, {"size_equal", 4},
                             {"size_at_least", 5}, {"size_at_most", 6}}, 0, 255).value_or(0));
  r.argument = registry_field(s, "argument");
  std::uint8_t flags = 0;
  if (s.flag("defer")) flags |= 1;
  if (s.flag("defer_on_failure")) flags |= 2;
  if (s.flag("at_install", true)) flags |= 4;
  if (s.flag("at_uninstall")) flags |= 8;
  r.flags = static_cast<std::uint8_t>(s.integer("flags", 0, 255).value_or(flags));
  return r;
}

void read_web(Section& s, Settings& st) {
  using package::WebText;
  const std::pair<std::string_view, WebText> keys[] = {
      {"end_notify_1", WebText::kEndNotify1}, {"end_notify_2", WebText::kEndNotify2},
      {"end_notify_3", WebText::kEndNotify3}, {"start_notify", WebText::kStartNotify},
      {"end_notify_4", WebText::kEndNotify4}, {"end_notify_5", WebText::kEndNotify5},
      {"end_notify_6", WebText::kEndNotify6}, {"end_notify_7", WebText::kEndNotify7},
      {"uninstall_notify", WebText::kNotifyUrl}, {"cancel_notify", WebText::kCancelNotify},
      {"problem_report", WebText::kProblemReport},
  };
  for (const auto& [key, index] : keys) st.web_texts[static_cast<int>(index)] = s.text(key);
}

void read_messages(Section& root, Settings& st) {
  auto& table = st.messages;
  const toml::node* names_node = nullptr;
  std::vector<std::string> names;
  if (const toml::table* langs = root.table("languages")) {
    Section l(root.context(), *langs, "languages");
    names_node = l.node("names");
    names = l.strings("names");
    l.finish();
  }
  if (names.empty()) names = {"English"};
  if (names.size() > package::kMaxLanguageCount) root.fail(*names_node, "languages.names", "expected at most 200 languages");
  std::map<std::string, std::size_t> index;
  for (const auto& name : names) {
    if (name.empty()) root.fail(*names_node, "languages.names", "expected non-empty language names");
    if (!index.emplace(name, index.size()).second) {
      root.fail(*names_node, "languages.names", "language \"" + name + "\" is listed twice");
    }
    table.languages.push_back(wide(name));
  }
  auto defaults = package::default_english_messages();
  std::map<std::pair<std::size_t, int>, std::u16string> overrides;
  int count = static_cast<int>(defaults.size());
  if (const toml::table* messages = root.table("messages")) {
    for (auto&& [lang_key, lang_node] : *messages) {
      auto it = index.find(std::string(lang_key.str()));
      if (it == index.end()) {
        throw ProjectError(where(root.context(), lang_key.source()) + "messages." + std::string(lang_key.str()) +
                           ": expected a language of languages.names");
      }
      if (!lang_node.is_table()) {
        throw ProjectError(where(root.context(), lang_node.source()) + "messages." + std::string(lang_key.str()) +
                           ": expected a table of message numbers");
      }
      for (auto&& [num_key, text_node] : *lang_node.as_table()) {
        const std::string_view digits = num_key.str();
        int n = -1;
        auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), n);
        if (ec != std::errc() || end != digits.data() + digits.size() || n < 0 ||
            n >= static_cast<int>(package::kMaxMessageCount)) {
          throw ProjectError(where(root.context(), num_key.source()) + "messages." + std::string(lang_key.str()) +
                             ": expected message numbers from 0 to 9998, got \"" + std::string(digits) + "\"");
        }
        if (!text_node.is_string()) {
          throw ProjectError(where(root.context(), text_node.source()) + "messages." + std::string(lang_key.str()) +
                             "." + std::string(digits) + ": expected a string");
        }
        overrides[{it->second, n}] = wide(text_node.as_string()->get());
        count = std::max(count, n + 1);
      }
    }
  }
  table.message_count = static_cast<std::size_t>(count);
  table.texts.resize(table.message_count * names.size());
  for (int n = 0; n < count; ++n) {
    for (std::size_t l = 0; l < names.size(); ++l) {
      auto it = overrides.find({l, n});
      std::u16string text;
      if (it != overrides.end()) {
        text = it->second;
      } else if (n < static_cast<int>(defaults.size())) {
        text = wide(defaults[n]);  // every language starts from the English table
      }
      table.texts[static_cast<std::size_t>(n) * names.size() + l] = std::move(text);
    }
  }
  table.default_language = package::default_language_index(table.languages);
  table.chosen_language = table.default_language;
}

// --- files ----------------------------------------------------------------

// Glob matching over '/'-separated relative paths: "*" and "?" stay within
// one folder, "**" spans folders.
bool glob_match(std::string_view pattern, std::string_view path) {
  while (!pattern.empty()) {
    if (pattern.starts_with("**")) {
      pattern.remove_prefix(2);
      if (pattern.starts_with("/")) pattern.remove_prefix(1);
      if (pattern.empty()) return true;
      for (std::size_t i = 0; i <= path.size(); ++i) {
        if ((i == 0 || path[i - 1] == '/') && glob_match(pattern, path.substr(i))) return true;
      }
      return false;
    }
    if (pattern.front() == '*') {
      pattern.remove_prefix(1);
      for (std::size_t i = 0; i <= path.size(); ++i) {
        if (glob_match(pattern, path.substr(i))) return true;
        if (i < path.size() && path[i] == '/') break;
      }
      return false;
    }
    if (path.empty()) return false;
    if (pattern.front() == '?' ? path.front() == '/' : pattern.front() != path.front()) return false;
    pattern.remove_prefix(1);
    path.remove_prefix(1);
  }
  return path.empty();
}

std::array<std::uint32_t, 6> file_date(const fs::path& path, const Context& ctx) {
  const auto written = fs::last_write_time(path);
  const auto system = std::chrono::time_point_cast<std::chrono::seconds>(std::chrono::file_clock::to_sys(written));
  std::int64_t seconds = system.time_since_epoch().count();
  if (ctx.env.source_date_epoch && seconds > *ctx.env.source_date_epoch) seconds = *ctx.env.source_date_epoch;
  auto date = date_from_epoch(seconds);
  std::array<std::uint32_t, 6> out{};
  for (int i = 0; i < 6; ++i) out[i] = static_cast<std::uint32_t>(date[i]);
  return out;
}

std::string to_backslashes(std::string text) {
  std::replace(text.begin(), text.end(), '/', '\\');
  return text;
}

struct Match {
  fs::path path;         // host path
  std::string relative;  // '/'-separated path below the pattern's fixed folder
};

std::vector<Match> find_sources(Section& s, const toml::node& where_node, const std::string& shielded_source,
                                bool recursive) {
  const Context& ctx = s.context();
  const std::string source = unshield(shielded_source);
  std::string pattern = source;
  std::replace(pattern.begin(), pattern.end(), '\\', '/');
  std::vector<Match> found;
  const bool wild = pattern.find_first_of("*?") != std::string::npos;
  if (!wild) {
    const fs::path path = ctx.base / fs::path(pattern);
    std::error_code ec;
    if (fs::is_regular_file(path, ec)) {
      found.push_back({path, path.filename().string()});
    } else if (fs::is_directory(path, ec)) {
      if (!recursive) s.fail(where_node, "source", "\"" + source + "\" is a folder; set recursive = true to take all of its files");
      for (const auto& item : fs::recursive_directory_iterator(path)) {
        if (item.is_regular_file()) found.push_back({item.path(), fs::relative(item.path(), path).generic_string()});
      }
    } else {
      s.fail(where_node, "source", "no file or folder \"" + source + "\"");
    }
  } else {
    // The folders before the first wildcard are fixed; the rest is matched.
    std::size_t fixed_end = pattern.rfind('/', pattern.find_first_of("*?"));
    const std::string fixed = fixed_end == std::string::npos ? "" : pattern.substr(0, fixed_end);
    const std::string rest = fixed_end == std::string::npos ? pattern : pattern.substr(fixed_end + 1);
    const fs::path root = fixed.empty() ? ctx.base : ctx.base / fs::path(fixed);
    std::error_code ec;
    if (fs::is_directory(root, ec)) {
      for (const auto& item : fs::recursive_directory_iterator(root)) {
        if (!item.is_regular_file()) continue;
        const std::string relative = fs::relative(item.path(), root).generic_string();
        if (glob_match(rest, relative) || (recursive && glob_match(rest, item.path().filename().string()))) {
          found.push_back({item.path(), relative});
        }
      }
    }
    if (found.empty()) s.fail(where_node, "source", "no file matches \"" + source + "\"");
  }
  std::sort(found.begin(), found.end(), [](const Match& a, const Match& b) { return a.relative < b.relative; });
  return found;
}

void read_files(Section& s, std::vector<WriterEntry>& out) {
  const toml::node* source_node = s.node("source");
  if (!source_node || !source_node->is_string()) {
    if (source_node) s.fail(*source_node, "source", "expected a file, folder or pattern");
    s.fail_here("a [[files]] entry needs a source");
  }
  const std::string source = source_node->as_string()->get();
  const bool recursive = s.flag("recursive");
  const std::vector<Match> matches = find_sources(s, *source_node, source, recursive);

  WriterEntry base;
  base.kind = static_cast<std::uint32_t>(
      s.choice("kind", {{"program", 0}, {"shared", 1}, {"font", 4}, {"startup", 5}, {"system", 6},
                        {"com", 7}, {"type_library", 8}, {"versioned", 9}, {"driver", 10},
                        {"msi", 11}, {"control_panel", 12}}, 0, 12).value_or(0));
  if (base.kind == 2 || base.kind == 3) s.fail(*s.node("kind"), "kind", "kinds 2 and 3 do not exist");
  std::uint32_t flags = 0;
  if (s.flag("desktop_shortcut")) flags |= 1;
  if (s.flag("start_menu_shortcut")) flags |= 2;
  flags |= static_cast<std::uint32_t>(
      s.choice("existence", {{"always", 0}, {"never", 1}, {"only_if_exists", 2}, {"only_if_missing", 3},
                             {"unless_existing_newer", 4}}, 0, 7).value_or(0)) << 2;
  if (s.flag("keep_at_uninstall")) flags |= 1u << 5;
  if (s.flag("to_uninstall_folder")) flags |= 1u << 6;
  if (s.flag("remove_msi_at_uninstall")) flags |= 1u << 7;
  base.flags = static_cast<std::uint32_t>(s.integer("entry_flags", 0, 0xFFFFFFFF).value_or(flags));
  base.value = static_cast<std::uint32_t>(s.integer("attributes", -1, 0xFFFFFFFF).value_or(-1));
  const auto date = s.date("date");
  // The per-kind texts, by what they mean and by their raw names.
  auto eight_bit = [&](std::initializer_list<std::string_view> keys) {
    std::string out8;
    for (auto key : keys) {
      if (s.node(key)) out8 = support::to_bar_form(s.text(key));
    }
    return out8;
  };
  base.first_argument = eight_bit({"first_argument", "version", "shortcut_name", "font_name"});
  base.second_argument = eight_bit({"second_argument", "shortcut_start_in"});
  base.optional_text = s.text("shortcut_icon");
  if (s.node("optional_text")) base.optional_text = s.text("optional_text");
  base.shortcut_arguments = s.text1252("shortcut_arguments");
  base.destination = s.text("destination");
  base.kind11_value = static_cast<std::uint32_t>(s.integer("msi_value", 0, 0xFFFFFFFF).value_or(0));
  const std::string target = to_backslashes(s.string("target").value_or(""));
  const auto name = s.string("name");
  if (name && matches.size() != 1) s.fail(*s.node("name"), "name", "a name can only be given for a single file");

  for (const Match& match : matches) {
    WriterEntry e = base;
    std::string stored = name ? to_backslashes(*name) : to_backslashes(match.relative);
    if (!target.empty()) stored = target + (target.back() == '\\' ? "" : "\\") + stored;
    e.name = support::to_bar_form(wide(stored));
    if (e.name.empty()) s.fail_here("a stored file name cannot be empty");
    if (date) {
      for (int i = 0; i < 6; ++i) e.date[i] = static_cast<std::uint32_t>((*date)[i]);
    } else {
      e.date = file_date(match.path, s.context());
    }
    std::ifstream in(match.path, std::ios::binary);
    if (!in) s.fail(*source_node, "source", "cannot read \"" + match.path.filename().string() + "\"");
    e.data.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (e.data.size() > 0x40000000) s.fail(*source_node, "source", "a file may hold at most 1 GiB");
    out.push_back(std::move(e));
  }
}

void read_build(Section& s, Project& p) {
  p.package.compress = s.flag("compress", true);
  p.package.preset = static_cast<std::uint32_t>(s.integer("preset", 0, 9).value_or(6));
  if (auto chunk = s.integer("chunk_size", 64, 0x40000000)) p.package.chunk_size = static_cast<std::size_t>(*chunk);
  if (const toml::node* key = s.node("cipher_key")) {
    std::array<std::uint8_t, 8> bytes{};
    const std::string* hex = key->is_string() ? &key->as_string()->get() : nullptr;
    bool ok = hex && hex->size() == 16;
    for (int i = 0; ok && i < 8; ++i) {
      auto [end, ec] = std::from_chars(hex->data() + 2 * i, hex->data() + 2 * i + 2, bytes[i], 16);
      ok = ec == std::errc() && end == hex->data() + 2 * i + 2;
    }
    if (!ok) s.fail(*key, "cipher_key", "expected 16 hexadecimal digits (8 bytes)");
    p.package.cipher_key = bytes;
  }
  if (auto command = s.string("sign_command")) {
    if (command->find("{in}") == std::string::npos || command->find("{out}") == std::string::npos) {
      s.fail(*s.node("sign_command"), "sign_command",
             "expected a command with {in} (the unsigned installer) and {out} (the signed installer to write)");
    }
    p.sign_command = std::move(*command);
  }
}

Project parse(const toml::table& root_table, Context& ctx) {
  Project p;
  Settings& st = p.settings;
  Section root(ctx, root_table, "");
  // Defaults of a professional installer.
  st.title_size = 1.0;
  st.title_color = 0xFFFFFF;
  st.top_color = 0x800000;
  st.bottom_color = 0x800000;
  st.bitmap_tpi = 0xFFFFFFFF;
  st.uninstaller_file_name = u"uninstall.exe";
  st.dialog_styles = package::DialogStyles{{0, 0, 0}, 1, 1, 1, 1, 1, 1, 1, 1};
  st.uninstaller_date = ctx.default_date;

  const toml::table* product = root.table("product");
  if (!product) root.fail_here("the project needs a [product] table");
  // Options first: the sections below add the bits that their content needs.
  if (const toml::table* t = root.table("options")) {
    Section s(ctx, *t, "options");
    read_options(s, st);
    s.finish();
  }
  {
    Section s(ctx, *product, "product");
    read_product(s, st);
    s.finish();
  }
  auto section = [&](std::string_view key, auto read) {
    if (const toml::table* t = root.table(key)) {
      Section s(ctx, *t, std::string(key));
      read(s);
      s.finish();
    }
  };
  section("wizard", [&](Section& s) { read_wizard(s, st); });
  section("backdrop", [&](Section& s) { read_backdrop(s, st); });
  section("batches", [&](Section& s) { read_batches(s, st); });
  section("web", [&](Section& s) { read_web(s, st); });
  section("build", [&](Section& s) { read_build(s, p); });
  section("registry_merge", [&](Section& s) {
    if (auto bytes = s.file("file")) {
      std::string_view text = *bytes;
      if (text.starts_with("\xFF\xFE")) {
        st.registry_merge_text = package::utf16le_to_text(text.substr(2));
      } else {
        if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
        st.registry_merge_text = wide(text);
      }
    }
  });

  std::vector<package::RegistryEntry> registry;
  root.tables("registry", [&](Section& s) { read_registry(s, registry); });
  st.registry_entries = package::format_registry_entries(registry);
  root.tables("uninstall_values", [&](Section& s) { st.uninstall_key_values.push_back(read_uninstall_value(s)); });
  root.tables("shortcuts", [&](Section& s) { st.shortcuts.push_back(read_shortcut(s)); });
  root.tables("associations", [&](Section& s) { st.associations.push_back(read_association(s)); });
  root.tables("firewall", [&](Section& s) { st.firewall_entries += read_firewall(s); });
  root.tables("auto_close", [&](Section& s) { st.auto_close_rules.push_back(read_auto_close(s)); });
  root.tables("conditional_deletions", [&](Section& s) { st.conditional_deletions.push_back(read_conditional_deletion(s)); });
  root.tables("files", [&](Section& s) { read_files(s, p.files); });
  read_messages(root, st);
  root.finish();

  const std::pair<std::size_t, std::string_view> limits[] = {
      {st.uninstall_key_values.size(), "uninstall_values"}, {st.shortcuts.size(), "shortcuts"},
      {st.associations.size(), "associations"}, {st.auto_close_rules.size(), "auto_close"},
      {st.conditional_deletions.size(), "conditional_deletions"}};
  for (const auto& [size, name] : limits) {
    if (size > package::kMaxListRows) root.fail_here(std::string(name) + ": expected at most 1000 entries");
  }
  // The uninstaller icon is stored only for a product with an uninstaller.
  if (!st.uninstaller_icon.empty() && !package::has_bit(st.product_flags, package::pf::kHasUninstaller)) {
    Section(ctx, *product, "product").fail(*product->get("uninstaller_icon"), "uninstaller_icon",
                                           "needs the has_uninstaller option");
  }
  // The engine decides by ProductFlags bit 5 whether chunks are XZ streams.
  set_bit(st.product_flags, package::pf::kCompressedPayload, p.package.compress);
  if (p.package.cipher_key) {
    st.product_flags2 |= 1u << package::pf2::kEnciphered;
  } else {
    st.product_flags2 &= ~(1u << package::pf2::kEnciphered);
  }
  p.package.product_flags2 = st.product_flags2;
  return p;
}

}  // namespace

std::array<std::int32_t, 6> date_from_epoch(std::int64_t seconds) {
  // Days to civil date (proleptic Gregorian), independent of the host's zone.
  std::int64_t days = seconds / 86400;
  std::int64_t rest = seconds % 86400;
  if (rest < 0) {
    rest += 86400;
    --days;
  }
  days += 719468;
  const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  const std::int64_t doe = days - era * 146097;
  const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const std::int64_t mp = (5 * doy + 2) / 153;
  const std::int64_t day = doy - (153 * mp + 2) / 5 + 1;
  const std::int64_t month = mp < 10 ? mp + 3 : mp - 9;
  const std::int64_t year = yoe + era * 400 + (month <= 2 ? 1 : 0);
  return {static_cast<std::int32_t>(year), static_cast<std::int32_t>(month), static_cast<std::int32_t>(day),
          static_cast<std::int32_t>(rest / 3600), static_cast<std::int32_t>(rest / 60 % 60),
          static_cast<std::int32_t>(rest % 60)};
}

ProjectEnvironment environment_from_process() {
  ProjectEnvironment env;
  if (const char* epoch = std::getenv("SOURCE_DATE_EPOCH")) {
    std::int64_t value = 0;
    const std::string_view text(epoch);
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || value < 0) {
      throw ProjectError("SOURCE_DATE_EPOCH: expected a non-negative number of seconds, got \"" + std::string(text) + "\"");
    }
    env.source_date_epoch = value;
  }
  return env;
}

namespace {

Project parse_with_fallback(std::string_view text, std::string_view display_name, const fs::path& base,
                            const ProjectEnvironment& env, std::optional<std::int64_t> fallback_time) {
  Context ctx;
  ctx.file = std::string(display_name);
  ctx.base = base;
  ctx.env = env;
  // Where the project gives no date: SOURCE_DATE_EPOCH, else the project
  // file's own time, never the clock.
  if (env.source_date_epoch) {
    ctx.default_date = date_from_epoch(*env.source_date_epoch);
  } else if (fallback_time) {
    ctx.default_date = date_from_epoch(*fallback_time);
  }
  toml::table root;
  try {
    root = toml::parse(shield(text, ctx), std::string(display_name));
  } catch (const toml::parse_error& error) {
    throw ProjectError(where(ctx, error.source()) + std::string(error.description()));
  }
  try {
    return parse(root, ctx);
  } catch (const fs::filesystem_error& error) {
    throw ProjectError(ctx.file + ": " + error.what());
  }
}

std::optional<std::int64_t> modification_time(const fs::path& path) {
  std::error_code ec;
  const auto written = fs::last_write_time(path, ec);
  if (ec) return std::nullopt;
  return std::chrono::time_point_cast<std::chrono::seconds>(std::chrono::file_clock::to_sys(written))
      .time_since_epoch()
      .count();
}

}  // namespace

Project parse_project(std::string_view text, std::string_view display_name, const fs::path& base,
                      const ProjectEnvironment& env) {
  return parse_with_fallback(text, display_name, base, env, std::nullopt);
}

Project load_project(const fs::path& path, const ProjectEnvironment& env) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw ProjectError(path.string() + ": cannot read the project file");
  std::ostringstream text;
  text << in.rdbuf();
  const fs::path base = path.parent_path().empty() ? fs::path(".") : path.parent_path();
  return parse_with_fallback(text.str(), path.filename().string(), base, env, modification_time(path));
}

}  // namespace hs::tools
