#include <algorithm>
#include <charconv>
#include <limits>
#include <map>

#include "package/default_messages.h"
#include "package/product_flags.h"
#include "package/settings_stream.h"
#include "project/project_error.h"
#include "project/sections.h"
#include "support/text.h"

namespace hs::tools {

using package::Settings;

void read_product(ProjectSection& s, Settings& st) {
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
    ProjectSection m(s.context(), *master, "product.master");
    st.master_key_name = m.text("uninstall_key");
    st.master_display_name = m.text("name");
    st.master_min_version = m.text("min_version");
    m.finish();
    set_bit(st.product_flags, package::pf::kMasterProduct, true);
  }
}

namespace {

std::string document_text(const ProjectSection& s, const toml::node& n, std::string_view key, const std::string& name) {
  std::string bytes = s.read(n, key, name);
  // RTF is stored as it is; plain text (UTF-8, with or without a byte-order
  // mark) becomes UTF-16LE.
  std::string_view body = bytes;
  if (body.starts_with("\xEF\xBB\xBF")) body.remove_prefix(3);
  if (body.starts_with("{\\rtf")) return bytes;
  if (bytes.starts_with("\xFF\xFE")) return bytes.substr(2);
  return package::text_to_utf16le(wide(body));
}

std::vector<std::string> documents(ProjectSection& s, std::string_view key) {
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

std::uint32_t page_style(ProjectSection& s, std::string_view key) {
  return static_cast<std::uint32_t>(
      s.choice(key, {{"classic", 1}, {"plain", 0}, {"banner", 2}, {"picture", 3}}, 0, 3).value_or(1));
}

}  // namespace

void read_wizard(ProjectSection& s, Settings& st) {
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
    ProjectSection c(s.context(), *colors, "wizard.colors");
    st.dialog_bg = c.color("background").value_or(0xFFFFFF);
    st.dialog_fg = c.color("text").value_or(0);
    c.finish();
    set_bit(st.product_flags, package::pf::kDialogColors, true);
  }
  if (const toml::table* colors = s.table("second_colors")) {
    ProjectSection c(s.context(), *colors, "wizard.second_colors");
    st.second_bg = c.color("background").value_or(0xFFFFFF);
    st.second_fg = c.color("text").value_or(0);
    c.finish();
    st.product_flags2 |= 1u << package::pf2::kSecondColorPair;
  }
}

namespace {

std::string strip_bmp_file_header(const ProjectSection& s, const toml::node& n, std::string bytes) {
  // The package holds the bitmap without its 14-byte file header.
  if (bytes.size() < 14 + 12 || bytes[0] != 'B' || bytes[1] != 'M') {
    s.fail(n, "bitmap", "expected a .bmp file (\"BM\" signature)");
  }
  return bytes.substr(14);
}

}  // namespace

void read_backdrop(ProjectSection& s, Settings& st) {
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
    ProjectSection cs(s.context(), *c, "backdrop.copyright");
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

void read_batches(ProjectSection& s, Settings& st) {
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

void read_options(ProjectSection& s, Settings& st) {
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

void read_web(ProjectSection& s, Settings& st) {
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

void read_registry_merge(ProjectSection& s, Settings& st) {
  if (auto bytes = s.file("file")) {
    std::string_view text = *bytes;
    if (text.starts_with("\xFF\xFE")) {
      st.registry_merge_text = package::utf16le_to_text(text.substr(2));
    } else {
      if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
      st.registry_merge_text = wide(text);
    }
  }
}

void read_messages(ProjectSection& root, Settings& st) {
  auto& table = st.messages;
  const toml::node* names_node = nullptr;
  std::vector<std::string> names;
  if (const toml::table* langs = root.table("languages")) {
    ProjectSection l(root.context(), *langs, "languages");
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
        throw ProjectError(location(root.context(), lang_key.source()) + "messages." + std::string(lang_key.str()) +
                           ": expected a language of languages.names");
      }
      if (!lang_node.is_table()) {
        throw ProjectError(location(root.context(), lang_node.source()) + "messages." + std::string(lang_key.str()) +
                           ": expected a table of message numbers");
      }
      for (auto&& [num_key, text_node] : *lang_node.as_table()) {
        const std::string_view digits = num_key.str();
        int n = -1;
        auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), n);
        if (ec != std::errc() || end != digits.data() + digits.size() || n < 0 ||
            n >= static_cast<int>(package::kMaxMessageCount)) {
          throw ProjectError(location(root.context(), num_key.source()) + "messages." + std::string(lang_key.str()) +
                             ": expected message numbers from 0 to 9998, got \"" + std::string(digits) + "\"");
        }
        if (!text_node.is_string()) {
          throw ProjectError(location(root.context(), text_node.source()) + "messages." + std::string(lang_key.str()) +
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

void read_build(ProjectSection& s, Project& p) {
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
}  // namespace hs::tools
