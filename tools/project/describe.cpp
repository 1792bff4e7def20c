#include "project/describe.h"

#include <cstdio>
#include <sstream>
#include <stdexcept>

#include "package/product_flags.h"
#include "package/registry_entry_list.h"
#include "support/text.h"

namespace hs::tools {

namespace {

using package::Settings;

std::string utf8(std::u16string_view text) { return support::utf16_to_utf8(text); }

// A text on one line: control characters shown as escapes.
std::string quoted(std::string_view text) {
  std::string out = "\"";
  for (unsigned char c : text) {
    switch (c) {
      case '\r': out += "\\r"; break;
      case '\n': out += "\\n"; break;
      case '\t': out += "\\t"; break;
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      default:
        if (c < 0x20) {
          char hex[8];
          std::snprintf(hex, sizeof hex, "\\x%02X", c);
          out += hex;
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  return out + "\"";
}
std::string quoted(std::u16string_view text) { return quoted(utf8(text)); }

std::string hex(std::uint64_t value) {
  char buffer[24];
  std::snprintf(buffer, sizeof buffer, "0x%llX", static_cast<unsigned long long>(value));
  return buffer;
}

std::string color(std::uint32_t colorref) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "#%02X%02X%02X", colorref & 0xFF, (colorref >> 8) & 0xFF,
                (colorref >> 16) & 0xFF);
  return buffer;
}

std::string bytes_summary(const std::string& bytes) {
  if (bytes.empty()) return "none";
  std::string kind;
  if (bytes.starts_with("{\\rtf") || bytes.starts_with("\xEF\xBB\xBF{\\rtf")) kind = ", RTF";
  return std::to_string(bytes.size()) + " bytes" + kind;
}

std::string document_line(const std::string& bytes) {
  if (bytes.starts_with("{\\rtf") || bytes.starts_with("\xEF\xBB\xBF{\\rtf")) return bytes_summary(bytes);
  std::u16string text(bytes.size() / 2, u'\0');
  for (std::size_t i = 0; i < text.size(); ++i) {
    text[i] = static_cast<char16_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                    (static_cast<unsigned char>(bytes[2 * i + 1]) << 8));
  }
  std::string first = utf8(text.substr(0, text.find_first_of(u"\r\n")));
  if (first.size() > 60) first = first.substr(0, 60) + "...";
  return std::to_string(bytes.size()) + " bytes, text: " + quoted(first);
}

std::string date(const std::array<std::int32_t, 6>& d) {
  char buffer[48];
  std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d %02d:%02d:%02d", d[0], d[1], d[2], d[3], d[4], d[5]);
  return buffer;
}

void flag_lines(std::ostream& out, package::FlagWord word, std::uint64_t value) {
  const int width = word == package::FlagWord::kProductFlags ? 64 : 32;
  for (int bit = 0; bit < width; ++bit) {
    if (!package::has_bit(value, bit)) continue;
    bool named = false;
    for (const auto& info : package::product_flag_table()) {
      if (info.word == word && info.bit == bit) {
        out << "    bit " << bit << " " << info.name << ": " << info.meaning << "\n";
        named = true;
      }
    }
    if (!named) out << "    bit " << bit << ": no known meaning\n";
  }
}

}  // namespace

std::string describe_settings(const Settings& s, const std::optional<std::string>& language) {
  std::ostringstream out;
  auto field = [&](std::string_view name, const std::string& value) { out << "  " << name << ": " << value << "\n"; };
  auto text = [&](std::string_view name, std::u16string_view value) { field(name, quoted(value)); };

  out << "Product\n";
  text("name", s.product_name);
  text("version", s.product_version);
  text("company", s.company_name);
  text("description", s.product_description);
  field("bits", std::to_string(s.bits) + (s.bits == 1 ? " (64-bit product)" : s.bits == 2 ? " (32-bit only)" : " (any system)"));
  text("install_folder", s.default_install_folder);
  text("start_menu_folder", s.start_menu_folder);
  text("registry_key", s.product_registry);
  text("uninstall_key", s.uninstall_key_name);
  text("uninstall_subdir", s.uninstall_subdir);
  text("uninstaller_name", s.uninstaller_file_name);
  field("uninstaller_date", date(s.uninstaller_date));
  text("folder_registry_path", s.folder_registry_path);
  text("shared_folder", s.shared_path);
  field("shared_folder_base", std::to_string(s.shared_folder_base));
  text("portable_shared_folder", s.portable_shared_folder);
  text("desktop_folder", s.desktop_folder);
  text("app_paths_program", s.app_paths_program);
  text("add_to_path_subfolder", s.add_to_path_subfolder);
  text("no_downgrade_below", s.no_downgrade_below);
  text("upgrade_version_threshold", s.upgrade_version_threshold);
  text("replace_version_threshold", s.second_version_threshold);
  field("excluded_systems", hex(s.excluded_systems));
  field("automatic_mode", std::to_string(s.automatic_mode));
  field("all_users_shortcuts", s.shortcut_mode == 1 ? "true" : "false (" + std::to_string(s.shortcut_mode) + ")");
  field("uninstall_fonts", std::to_string(s.uninstall_fonts));
  text("support_offer", s.support_offer);
  field("icon", bytes_summary(s.product_icon));
  field("uninstaller_icon", bytes_summary(s.uninstaller_icon));
  field("desktop_folder_icon", bytes_summary(s.desktop_folder_icon));
  field("start_sound", bytes_summary(s.start_sound));
  field("payload_from_file", std::to_string(s.payload_from_file));
  field("log_values", std::to_string(s.log_value1) + ", " + std::to_string(s.log_value2));
  field("reserved_number", std::to_string(s.reserved_number));
  text("root_shortcut_command", s.root_shortcut_command);
  text("root_shortcut_name", s.root_shortcut_name);
  text("pin_command", s.pin_command);
  text("pin_name", s.pin_name);
  if (package::has_bit(s.product_flags, package::pf::kMasterProduct)) {
    text("master.uninstall_key", s.master_key_name);
    text("master.name", s.master_display_name);
    text("master.min_version", s.master_min_version);
  }

  out << "Options\n";
  field("ProductFlags", hex(s.product_flags));
  flag_lines(out, package::FlagWord::kProductFlags, s.product_flags);
  field("ProductFlags2", hex(s.product_flags2));
  flag_lines(out, package::FlagWord::kProductFlags2, s.product_flags2);

  out << "Wizard\n";
  text("page_title", s.page_title);
  text("dialog_font", s.dialog_font);
  field("banner_text_color", color(s.banner_text_color));
  field("side_picture_frame", std::to_string(s.side_picture_frame));
  text("page_link_text", s.page_link_text);
  text("start_menu_page_text", s.start_menu_page_text);
  text("licence_page_text", s.web_texts[static_cast<int>(package::WebText::kPageText)]);
  field("password", s.web_texts[static_cast<int>(package::WebText::kPassword)].empty() ? "none" : "set");
  field("progress_placement", std::to_string(s.progress_page_value));
  field("min_status_time_ms", std::to_string(s.min_status_time));
  for (std::size_t i = 0; i < s.licence_texts.size(); ++i) field("licence " + std::to_string(i + 1), document_line(s.licence_texts[i]));
  for (std::size_t i = 0; i < s.readme_texts.size(); ++i) field("readme " + std::to_string(i + 1), document_line(s.readme_texts[i]));
  const auto& st = s.dialog_styles;
  field("styles", "language " + std::to_string(st.language) + ", licence " + std::to_string(st.licence) + ", readme " +
                      std::to_string(st.readme) + ", folder " + std::to_string(st.choose_folder) + ", start_menu " +
                      std::to_string(st.start_menu) + ", progress " + std::to_string(st.progress) + ", summary " +
                      std::to_string(st.summary));
  field("reserved_styles", std::to_string(st.reserved[0]) + ", " + std::to_string(st.reserved[1]) + ", " +
                               std::to_string(st.reserved[2]));
  field("engine_protection", st.engine_protection == 1 ? "crc" : st.engine_protection == 2 ? "signature" : "none");
  if (package::has_bit(s.product_flags, package::pf::kDialogColors)) {
    field("colors", "background " + color(s.dialog_bg) + ", text " + color(s.dialog_fg));
  }
  if (package::has_bit(s.product_flags2, package::pf2::kSecondColorPair)) {
    field("second_colors", "background " + color(s.second_bg) + ", text " + color(s.second_fg));
  }

  out << "Backdrop\n";
  text("taskbar_text", s.taskbar_text);
  text("title", s.display_title);
  field("title_size", std::to_string(s.title_size));
  field("title_color", color(s.title_color));
  field("title_shadow", std::to_string(s.title_shadow));
  field("title_position", std::to_string(s.title_position));
  text("title_font", s.title_font);
  field("top_color", color(s.top_color));
  field("bottom_color", color(s.bottom_color));
  field("bitmap", bytes_summary(s.backdrop_bitmap));
  if (!s.backdrop_bitmap.empty()) field("transparent_index", std::to_string(static_cast<std::int32_t>(s.bitmap_tpi)));
  field("bitmap_size", std::to_string(s.bitmap_size));
  field("stretch_mode", std::to_string(s.stretch_mode));
  if (s.copyright_pos != 0) {
    text("copyright.text", s.copyright_text);
    text("copyright.font", s.copyright_font);
    field("copyright.size", std::to_string(s.copyright_size));
    field("copyright.color", color(s.copyright_color));
    field("copyright.position", std::to_string(s.copyright_pos));
  }

  out << "Batches\n";
  static constexpr std::string_view kBatchNames[7] = {"pre_install", "post_install", "install_exit", "uninstall_before",
                                                     "uninstall_after", "upgrade", "reinstall"};
  for (int i = 0; i < 7; ++i) {
    if (!s.batches[i].empty()) field(kBatchNames[i], quoted(support::cp1252_to_utf16(s.batches[i])));
  }

  out << "Web\n";
  static constexpr std::string_view kWebNames[13] = {
      "end_notify_1", "end_notify_2", "end_notify_3", "start_notify", "password", "end_notify_4", "end_notify_5",
      "end_notify_6", "end_notify_7", "uninstall_notify", "licence_page_text", "cancel_notify", "problem_report"};
  for (int i = 0; i < 13; ++i) {
    if (i == static_cast<int>(package::WebText::kPassword) || i == static_cast<int>(package::WebText::kPageText)) continue;
    if (!s.web_texts[i].empty()) text(kWebNames[i], s.web_texts[i]);
  }

  const auto registry = package::parse_registry_entries(s.registry_entries);
  out << "Registry entries (" << registry.size() << ")\n";
  for (const auto& entry : registry) {
    out << "  ";
    for (std::size_t i = 0; i < entry.fields.size(); ++i) out << (i ? ", " : "") << quoted(entry.fields[i]);
    out << "\n";
  }
  if (!s.registry_merge_text.empty()) field("registry merge", std::to_string(s.registry_merge_text.size()) + " characters");

  out << "Uninstall values (" << s.uninstall_key_values.size() << ")\n";
  for (const auto& v : s.uninstall_key_values) {
    out << "  " << quoted(v.name) << " type " << int(v.type) << " = " << quoted(v.data) << "\n";
  }
  out << "Shortcuts (" << s.shortcuts.size() << ")\n";
  for (const auto& r : s.shortcuts) {
    out << "  " << quoted(r.name) << " -> " << quoted(r.target);
    if (!r.arguments.empty()) out << " args " << quoted(r.arguments);
    if (!r.start_in.empty()) out << " in " << quoted(r.start_in);
    if (!r.icon_file.empty()) out << " icon " << quoted(r.icon_file);
    if (r.on_desktop) out << " [desktop]";
    if (r.in_start_menu) out << " [start menu]";
    if (r.in_startup) out << " [startup]";
    if (!r.extra_folder.empty()) out << " [folder " << quoted(r.extra_folder) << "]";
    if (r.keep_at_uninstall) out << " [kept]";
    out << " show " << int(r.show_state) << "\n";
  }
  out << "Associations (" << s.associations.size() << ")\n";
  for (const auto& r : s.associations) {
    out << "  " << quoted(r.extension) << " class " << quoted(r.class_name) << " kind " << r.kind << " "
        << quoted(r.description) << " verbs " << quoted(r.verbs) << " label " << quoted(r.verb_label)
        << " command " << quoted(r.command);
    if (!r.icon.empty()) out << " icon " << quoted(r.icon);
    if (!r.language.empty()) out << " language " << quoted(r.language);
    out << "\n";
  }
  out << "Firewall\n";
  if (!s.firewall_entries.empty()) out << "  " << quoted(s.firewall_entries) << "\n";
  out << "Auto-close rules (" << s.auto_close_rules.size() << ")\n";
  for (const auto& r : s.auto_close_rules) {
    out << "  class " << quoted(r.window_class) << " title " << quoted(r.window_title) << " program "
        << quoted(support::cp1252_to_utf16(r.program_name)) << " action " << int(r.action) << " phases "
        << int(r.phases) << "\n";
  }
  out << "Conditional deletions (" << s.conditional_deletions.size() << ")\n";
  for (const auto& r : s.conditional_deletions) {
    out << "  " << quoted(r.path) << " condition " << int(r.condition) << " " << quoted(r.argument) << " flags "
        << int(r.flags) << "\n";
  }

  const auto& table = s.messages;
  std::size_t chosen = table.default_language;
  if (language) {
    const std::u16string wanted = support::utf8_to_utf16(*language);
    std::size_t found = table.languages.size();
    std::string names;
    for (std::size_t i = 0; i < table.languages.size(); ++i) {
      if (table.languages[i] == wanted) found = i;
      names += (i ? ", " : "") + quoted(table.languages[i]);
    }
    if (found == table.languages.size()) {
      throw std::invalid_argument("no language " + quoted(*language) + "; the package has " + names);
    }
    chosen = found;
  }
  out << "Languages (" << table.languages.size() << ", default " << table.default_language << ")\n";
  for (std::size_t i = 0; i < table.languages.size(); ++i) out << "  " << i << ": " << quoted(table.languages[i]) << "\n";
  out << "Messages (" << table.message_count << ", language "
      << (chosen < table.languages.size() ? quoted(table.languages[chosen]) : std::string("none")) << ")\n";
  for (std::size_t n = 0; n < table.message_count; ++n) {
    const std::u16string_view message = table.text(static_cast<int>(n), chosen);
    if (!message.empty()) out << "  " << n << ": " << quoted(message) << "\n";
  }
  return out.str();
}

}  // namespace hs::tools
