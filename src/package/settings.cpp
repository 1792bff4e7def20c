#include "package/settings.h"

#include "package/product_flags.h"
#include "package/settings_stream.h"
#include "package/settings_writer.h"

namespace hs::package {

namespace {

using namespace settings_damage;

// Thrown inside the loader only, to leave it with a damage code from any
// depth; `load_settings` turns it back into a value.
struct Damage {
  int code;
};

void check(bool ok, int code) {
  if (!ok) throw Damage{code};
}

ConditionalDeletion load_conditional_deletion(SettingsStream& in, std::u16string path) {
  ConditionalDeletion row;
  row.path = std::move(path);
  row.condition = in.u8();
  row.argument = in.cstr();
  row.flags = in.u8();
  return row;
}

AssociationRecord load_association_record(SettingsStream& in) {
  AssociationRecord r;
  r.kind = in.u32();
  r.extension = in.cstr();
  r.class_name = in.cstr();
  r.description = in.cstr();
  r.verbs = in.cstr();
  r.verb_label = in.cstr();
  r.command = in.text();
  r.language = in.wstr();
  r.icon = in.text();
  return r;
}

ShortcutRecord load_shortcut_record(SettingsStream& in) {
  ShortcutRecord r;
  r.target = in.text();
  r.name = in.text();
  r.icon_file = in.text();
  r.arguments = in.text();
  r.start_in = in.text();
  r.on_desktop = in.u8();
  r.in_start_menu = in.u8();
  r.in_startup = in.u8();
  r.extra_folder = in.cstr();
  r.show_state = in.u8();
  r.keep_at_uninstall = in.u8();
  r.expand_target = true;
  return r;
}

RegistryValue load_registry_value(SettingsStream& in) {
  RegistryValue r;
  r.name = in.text8len();
  r.type = in.u8();
  r.data = in.text();
  return r;
}

AutoCloseRule load_auto_close_rule(SettingsStream& in, std::u16string window_class) {
  AutoCloseRule r;
  r.window_class = std::move(window_class);
  r.window_title = in.text16();
  r.program_name = in.text16_bytes();
  r.action = in.u8();
  r.phases = in.u8();
  return r;
}

std::vector<std::string> load_document_texts(SettingsStream& in, int damage) {
  std::uint32_t count = in.u32();
  check(count <= kMaxDocumentTexts, damage);
  std::vector<std::string> texts;
  for (std::uint32_t i = 0; i < count; ++i) texts.push_back(in.block());
  return texts;
}

// Reads a u32 count and then `count` records; counts above 1000 are damage.
template <typename Load>
auto load_counted(SettingsStream& in, int damage, Load load) {
  std::uint32_t count = in.u32();
  check(count <= kMaxListRows, damage);
  std::vector<decltype(load(in))> rows;
  for (std::uint32_t i = 0; i < count && !in.overrun(); ++i) rows.push_back(load(in));
  return rows;
}

void load_message_table(SettingsStream& in, MessageTable& table) {
  std::uint32_t language_count = in.u8();
  check(language_count >= 1 && language_count <= kMaxLanguageCount, kLanguageCount);
  std::uint32_t message_count = in.u32();
  check(message_count >= 1 && message_count <= kMaxMessageCount, kMessageCount);
  table.languages.clear();
  for (std::uint32_t i = 0; i < language_count; ++i) table.languages.push_back(in.wstr());
  table.default_language = default_language_index(table.languages);
  table.chosen_language = table.default_language;
  table.message_count = message_count;
  table.texts.clear();
  const std::size_t total = std::size_t{message_count} * language_count;
  // Each text takes at least its terminating unit: a table that cannot fit
  // in what is left is a misaligned stream, caught here rather than after
  // filling millions of empty texts.
  check(total <= in.remaining() / 2, kEndMarker);
  table.texts.reserve(total);
  for (std::size_t i = 0; i < total; ++i) table.texts.push_back(in.wstr());
}

void load_fields(SettingsStream& in, Settings& s, const FieldHook& hook) {
  auto done = [&](int field) {
    if (hook) {
      int code = hook(field, s);
      if (code != 0) throw Damage{code};
    }
  };
  s.product_flags = in.u64();
  done(1);
  s.automatic_mode = in.u8();
  done(2);
  s.taskbar_text = in.text();
  done(3);
  s.display_title = in.text();
  done(4);
  s.title_size = in.f64();
  done(5);
  s.progress_page_value = in.u32();
  done(6);
  s.min_status_time = in.u16();
  check(s.min_status_time < 10000, kStatusTime);
  done(7);
  s.shortcut_mode = in.u8();
  done(8);
  for (auto& part : s.uninstaller_date) part = static_cast<std::int32_t>(in.u32());
  done(9);
  s.company_name = in.text();
  done(10);
  s.product_name = in.text();
  done(11);
  s.product_description = in.text();
  done(12);
  s.bits = in.u8();
  done(13);
  s.shared_folder_base = in.u8();
  done(14);
  s.shared_path = in.text();
  done(15);
  s.portable_shared_folder = in.text();
  done(16);
  s.start_menu_folder = in.text();
  done(17);
  s.product_version = in.text();
  done(18);
  s.default_install_folder = in.text();
  done(19);
  s.product_registry = in.text();
  done(20);
  s.registry_entries = utf16le_to_text(in.block());
  done(21);
  s.registry_merge_text = in.text();
  done(22);
  s.app_paths_program = in.text();
  done(23);
  s.bitmap_size = in.u32();
  check(s.bitmap_size <= 100, kBitmapSize);
  done(24);
  s.stretch_mode = in.u32();
  done(25);
  s.uninstall_fonts = in.u32();
  done(26);
  s.page_link_text = in.text16();
  done(27);
  s.licence_texts = load_document_texts(in, kLicenceCount);
  done(28);
  s.readme_texts = load_document_texts(in, kReadmeCount);
  done(29);
  s.uninstall_subdir = in.text();
  done(30);
  s.uninstaller_file_name = in.text8len();
  done(31);
  s.uninstall_key_name = in.text();
  done(32);
  s.folder_registry_path = in.text16();
  done(33);
  s.dialog_font = in.text16();
  done(34);
  s.reserved_number = in.u32();
  done(35);
  s.page_title = in.text();
  done(36);
  s.banner_text_color = in.u32();
  done(37);
  s.side_picture_frame = in.u8();
  done(38);
  s.title_color = in.u32();
  done(39);
  s.title_shadow = in.u8();
  done(40);
  s.title_position = in.u8();
  done(41);
  s.title_font = in.text16();
  done(42);
  s.top_color = in.u32();
  done(43);
  s.bottom_color = in.u32();
  done(44);
  std::uint32_t bitmap_length = in.u32();
  s.backdrop_bitmap.clear();
  s.bitmap_tpi = 0;
  if (bitmap_length >= 1) {
    s.backdrop_bitmap = in.bytes(std::min<std::size_t>(bitmap_length, in.remaining() + 1));
    if (in.overrun()) s.backdrop_bitmap.clear();
    s.bitmap_tpi = in.u32();
  }
  done(45);
  s.copyright_pos = in.u8();
  if (s.copyright_pos != 0) {
    s.copyright_color = in.u32();
    s.copyright_size = in.f64();
    s.copyright_text = in.text();
    s.copyright_font = in.text();
  }
  done(46);
  if (has_bit(s.product_flags, pf::kDialogColors)) {
    s.dialog_bg = in.u32();
    s.dialog_fg = in.u32();
  }
  done(47);
  if (has_bit(s.product_flags2, pf2::kSecondColorPair)) {
    s.second_bg = in.u32();
    s.second_fg = in.u32();
  }
  done(48);
  if (has_bit(s.product_flags, pf::kMasterProduct)) {
    s.master_key_name = in.text();
    s.master_display_name = in.text();
    s.master_min_version = in.text();
  }
  done(49);
  s.start_sound = in.text_bytes();
  done(50);
  s.desktop_folder = in.text();
  done(51);
  s.desktop_folder_icon = in.block();
  done(52);
  for (auto& batch : s.batches) batch = in.text_bytes();
  done(53);
  s.date_record = in.bytes(20);
  done(54);
  s.excluded_systems = in.u32();
  done(55);
  s.payload_from_file = in.u8();
  done(56);
  for (auto& text : s.web_texts) text = in.text();
  done(57);
  s.second_version_threshold = in.cstr();
  done(58);
  s.no_downgrade_below = in.text8len();
  done(59);
  s.log_value1 = in.u32();
  s.log_value2 = in.u32();
  done(60);
  s.start_menu_page_text = in.text();
  done(61);
  s.upgrade_version_threshold = in.text();
  s.firewall_entries = in.text_bytes();
  s.add_to_path_subfolder = in.text();
  done(62);
  auto& styles = s.dialog_styles;
  for (auto& value : styles.reserved) value = in.u32();
  for (std::uint32_t* value : {&styles.language, &styles.licence, &styles.readme, &styles.choose_folder,
                               &styles.start_menu, &styles.progress, &styles.summary,
                               &styles.engine_protection}) {
    *value = in.u32();
  }
  done(63);
  if (has_bit(s.product_flags, pf::kHasUninstaller)) s.uninstaller_icon = in.block();
  done(64);
  s.conditional_deletions.clear();
  while (!in.overrun()) {
    std::u16string path = in.cstr();
    if (in.overrun() || path == kConditionalDeletionEndRow) break;
    check(s.conditional_deletions.size() < kMaxListRows, kConditionalDeletionCount);
    s.conditional_deletions.push_back(load_conditional_deletion(in, std::move(path)));
  }
  done(65);
  s.associations = load_counted(in, kAssociationCount, load_association_record);
  done(66);
  s.shortcuts = load_counted(in, kShortcutCount, load_shortcut_record);
  done(67);
  s.root_shortcut_command = in.text();
  s.root_shortcut_name = in.text();
  s.pin_command = in.wstr();
  s.pin_name = in.wstr();
  done(68);
  s.uninstall_key_values = load_counted(in, kRegistryValueCount, load_registry_value);
  done(69);
  s.support_offer = in.text16();
  done(70);
  s.product_icon = in.block();
  done(71);
  s.auto_close_rules.clear();
  while (!in.overrun()) {
    std::u16string window_class = in.text16();
    if (in.overrun() || window_class == kAutoCloseEndRow) break;
    check(s.auto_close_rules.size() < kMaxListRows, kAutoCloseCount);
    s.auto_close_rules.push_back(load_auto_close_rule(in, std::move(window_class)));
  }
  done(72);
  load_message_table(in, s.messages);
  done(76);
  check(in.u32() == kSettingsEndMarker, kEndMarker);
  done(77);
}

}  // namespace

LoadResult load_settings(std::span<const std::uint8_t> stream, Settings& settings,
                         const FieldHook& hook, const support::AnsiDecoder& ansi) {
  SettingsStream in(stream, ansi);
  try {
    load_fields(in, settings, hook);
  } catch (const Damage& damage) {
    return LoadResult::fail(damage.code);
  }
  return {};
}

std::string write_settings(const Settings& s) {
  SettingsWriter out;
  out.u64(s.product_flags);
  out.u8(s.automatic_mode);
  out.text(s.taskbar_text);
  out.text(s.display_title);
  out.f64(s.title_size);
  out.u32(s.progress_page_value);
  out.u16(s.min_status_time);
  out.u8(s.shortcut_mode);
  for (auto part : s.uninstaller_date) out.u32(static_cast<std::uint32_t>(part));
  out.text(s.company_name);
  out.text(s.product_name);
  out.text(s.product_description);
  out.u8(s.bits);
  out.u8(s.shared_folder_base);
  out.text(s.shared_path);
  out.text(s.portable_shared_folder);
  out.text(s.start_menu_folder);
  out.text(s.product_version);
  out.text(s.default_install_folder);
  out.text(s.product_registry);
  out.block(text_to_utf16le(s.registry_entries));
  out.text(s.registry_merge_text);
  out.text(s.app_paths_program);
  out.u32(s.bitmap_size);
  out.u32(s.stretch_mode);
  out.u32(s.uninstall_fonts);
  out.text16(s.page_link_text);
  out.u32(static_cast<std::uint32_t>(s.licence_texts.size()));
  for (const auto& text : s.licence_texts) out.block(text);
  out.u32(static_cast<std::uint32_t>(s.readme_texts.size()));
  for (const auto& text : s.readme_texts) out.block(text);
  out.text(s.uninstall_subdir);
  out.text8len(s.uninstaller_file_name);
  out.text(s.uninstall_key_name);
  out.text16(s.folder_registry_path);
  out.text16(s.dialog_font);
  out.u32(s.reserved_number);
  out.text(s.page_title);
  out.u32(s.banner_text_color);
  out.u8(s.side_picture_frame);
  out.u32(s.title_color);
  out.u8(s.title_shadow);
  out.u8(s.title_position);
  out.text16(s.title_font);
  out.u32(s.top_color);
  out.u32(s.bottom_color);
  out.u32(static_cast<std::uint32_t>(s.backdrop_bitmap.size()));
  if (!s.backdrop_bitmap.empty()) {
    out.bytes(s.backdrop_bitmap);
    out.u32(s.bitmap_tpi);
  }
  out.u8(s.copyright_pos);
  if (s.copyright_pos != 0) {
    out.u32(s.copyright_color);
    out.f64(s.copyright_size);
    out.text(s.copyright_text);
    out.text(s.copyright_font);
  }
  if (has_bit(s.product_flags, pf::kDialogColors)) {
    out.u32(s.dialog_bg);
    out.u32(s.dialog_fg);
  }
  if (has_bit(s.product_flags2, pf2::kSecondColorPair)) {
    out.u32(s.second_bg);
    out.u32(s.second_fg);
  }
  if (has_bit(s.product_flags, pf::kMasterProduct)) {
    out.text(s.master_key_name);
    out.text(s.master_display_name);
    out.text(s.master_min_version);
  }
  out.text_bytes(s.start_sound);
  out.text(s.desktop_folder);
  out.block(s.desktop_folder_icon);
  for (const auto& batch : s.batches) out.text_bytes(batch);
  std::string date = s.date_record;
  date.resize(20, '\0');
  out.bytes(date);
  out.u32(s.excluded_systems);
  out.u8(s.payload_from_file);
  for (const auto& text : s.web_texts) out.text(text);
  out.cstr(s.second_version_threshold);
  out.text8len(s.no_downgrade_below);
  out.u32(s.log_value1);
  out.u32(s.log_value2);
  out.text(s.start_menu_page_text);
  out.text(s.upgrade_version_threshold);
  out.text_bytes(s.firewall_entries);
  out.text(s.add_to_path_subfolder);
  const auto& styles = s.dialog_styles;
  for (auto value : styles.reserved) out.u32(value);
  for (auto value : {styles.language, styles.licence, styles.readme, styles.choose_folder,
                     styles.start_menu, styles.progress, styles.summary, styles.engine_protection}) {
    out.u32(value);
  }
  if (has_bit(s.product_flags, pf::kHasUninstaller)) out.block(s.uninstaller_icon);
  for (const auto& row : s.conditional_deletions) {
    out.cstr(row.path);
    out.u8(row.condition);
    out.cstr(row.argument);
    out.u8(row.flags);
  }
  out.cstr(kConditionalDeletionEndRow);
  out.u32(static_cast<std::uint32_t>(s.associations.size()));
  for (const auto& r : s.associations) {
    out.u32(r.kind);
    out.cstr(r.extension);
    out.cstr(r.class_name);
    out.cstr(r.description);
    out.cstr(r.verbs);
    out.cstr(r.verb_label);
    out.text(r.command);
    out.wstr(r.language);
    out.text(r.icon);
  }
  out.u32(static_cast<std::uint32_t>(s.shortcuts.size()));
  for (const auto& r : s.shortcuts) {
    out.text(r.target);
    out.text(r.name);
    out.text(r.icon_file);
    out.text(r.arguments);
    out.text(r.start_in);
    out.u8(r.on_desktop);
    out.u8(r.in_start_menu);
    out.u8(r.in_startup);
    out.cstr(r.extra_folder);
    out.u8(r.show_state);
    out.u8(r.keep_at_uninstall);
  }
  out.text(s.root_shortcut_command);
  out.text(s.root_shortcut_name);
  out.wstr(s.pin_command);
  out.wstr(s.pin_name);
  out.u32(static_cast<std::uint32_t>(s.uninstall_key_values.size()));
  for (const auto& r : s.uninstall_key_values) {
    out.text8len(r.name);
    out.u8(r.type);
    out.text(r.data);
  }
  out.text16(s.support_offer);
  out.block(s.product_icon);
  for (const auto& r : s.auto_close_rules) {
    out.text16(r.window_class);
    out.text16(r.window_title);
    out.text16_bytes(r.program_name);
    out.u8(r.action);
    out.u8(r.phases);
  }
  out.text16(kAutoCloseEndRow);
  const auto& table = s.messages;
  out.u8(static_cast<std::uint8_t>(table.languages.size()));
  out.u32(static_cast<std::uint32_t>(table.message_count));
  for (const auto& name : table.languages) out.wstr(name);
  const std::size_t total = table.message_count * table.languages.size();
  for (std::size_t i = 0; i < total; ++i) {
    out.wstr(i < table.texts.size() ? std::u16string_view(table.texts[i]) : std::u16string_view());
  }
  out.u32(kSettingsEndMarker);
  return out.take();
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
