// The fields of the settings stream, in stream order: the one list that both
// the loader (`load_settings`) and the writer (`write_settings`) walk, so a
// field, its encoding, its presence rule and its damage code are stated once.
//
// `visit_settings_fields(io, settings)` hands every field to `io`, which is
// the loader (reads into a `Settings`) or the writer (writes a
// `const Settings`). What `io` provides:
//
//   field(n, body)       field n (1 to 77) is what `body` hands over; the
//                        loader calls the field hook after it
//   u8 u16 u32 u64 f64   little-endian numbers, for any integer member
//   text text16          compact-length / u16-count texts: UTF-16 for a
//                        std::u16string member, raw bytes for a std::string
//   text8len cstr wstr   u8-count, NUL-terminated bar form, 0-terminated UTF-16
//   block                u32 count and bytes (UTF-16LE for a std::u16string)
//   bytes(v, n)          exactly n raw bytes
//   marker(value, code)  a fixed u32; any other value is damage `code`
//   rule(ok, code)       a rule on what was just read: damage `code` unless ok
//                        (the writer checks nothing: it writes what it is given)
//   fits(n, size, code)  n items of at least `size` bytes must fit in what
//                        is left of the stream, else damage `code`
//   when(present, body)  body's fields are in the stream only when present
//   loaded_as(v, value)  a member not stored: the loader sets it to value
//   count(list, max, code)         a u32 row count, at most max (else damage
//                                  `code`); then `rows(list, n, row)`
//   rows(list, n, row)             n rows, each handed to `row`
//   rows_until_end(list, leader, end, code, first, rest)
//                        rows until the row whose leading member (`leader`)
//                        equals `end`: that row holds only its leading field
//                        (`first`); more than 1000 rows is damage `code`
//   small_count(list, min, max, code)  the same as `count` in one byte, from
//                                      min to max
#pragma once

#include <cstddef>
#include <cstdint>

#include "package/product_flags.h"
#include "package/settings.h"

namespace hs::package {

// The fields of each record list's rows. `R` is the record type, const for writing.
template <typename Io, typename R>
void conditional_deletion_path_field(Io& io, R& r) {
  io.cstr(r.path);  // "~~THE END~~" ends the table
}
template <typename Io, typename R>
void conditional_deletion_row_fields(Io& io, R& r) {
  io.u8(r.condition);
  io.cstr(r.argument);
  io.u8(r.flags);
}

template <typename Io, typename R>
void association_record_fields(Io& io, R& r) {
  io.u32(r.kind);
  io.cstr(r.extension);
  io.cstr(r.class_name);
  io.cstr(r.description);
  io.cstr(r.verbs);
  io.cstr(r.verb_label);
  io.text(r.command);
  io.wstr(r.language);
  io.text(r.icon);
}

template <typename Io, typename R>
void shortcut_record_fields(Io& io, R& r) {
  io.text(r.target);
  io.text(r.name);
  io.text(r.icon_file);
  io.text(r.arguments);
  io.text(r.start_in);
  io.u8(r.on_desktop);
  io.u8(r.in_start_menu);
  io.u8(r.in_startup);
  io.cstr(r.extra_folder);
  io.u8(r.show_state);
  io.u8(r.keep_at_uninstall);
  io.loaded_as(r.expand_target, true);  // every package record's target is expanded
}

template <typename Io, typename R>
void registry_value_fields(Io& io, R& r) {
  io.text8len(r.name);
  io.u8(r.type);
  io.text(r.data);
}

template <typename Io, typename R>
void auto_close_class_field(Io& io, R& r) {
  io.text16(r.window_class);  // "~~THE~END~~" ends the table
}
template <typename Io, typename R>
void auto_close_row_fields(Io& io, R& r) {
  io.text16(r.window_title);
  io.text16(r.program_name);  // 8-bit, code page 1252
  io.u8(r.action);
  io.u8(r.phases);
}

// Every field of the stream, in order. `S` is `Settings` for loading and
// `const Settings` for writing; the presence rules read the members that
// earlier fields have already filled.
template <typename Io, typename S>
void visit_settings_fields(Io& io, S& s) {
  using namespace settings_damage;
  io.field(1, [&] { io.u64(s.product_flags); });
  io.field(2, [&] { io.u8(s.automatic_mode); });
  io.field(3, [&] { io.text(s.taskbar_text); });
  io.field(4, [&] { io.text(s.display_title); });
  io.field(5, [&] { io.f64(s.title_size); });
  io.field(6, [&] { io.u32(s.progress_page_value); });
  io.field(7, [&] {
    io.u16(s.min_status_time);
    io.rule(s.min_status_time < 10000, kStatusTime);
  });
  io.field(8, [&] { io.u8(s.shortcut_mode); });
  io.field(9, [&] {
    for (auto& part : s.uninstaller_date) io.u32(part);
  });
  io.field(10, [&] { io.text(s.company_name); });
  io.field(11, [&] { io.text(s.product_name); });
  io.field(12, [&] { io.text(s.product_description); });
  io.field(13, [&] { io.u8(s.bits); });
  io.field(14, [&] { io.u8(s.shared_folder_base); });
  io.field(15, [&] { io.text(s.shared_path); });
  io.field(16, [&] { io.text(s.portable_shared_folder); });
  io.field(17, [&] { io.text(s.start_menu_folder); });
  io.field(18, [&] { io.text(s.product_version); });
  io.field(19, [&] { io.text(s.default_install_folder); });
  io.field(20, [&] { io.text(s.product_registry); });
  io.field(21, [&] { io.block(s.registry_entries); });
  io.field(22, [&] { io.text(s.registry_merge_text); });
  io.field(23, [&] { io.text(s.app_paths_program); });
  io.field(24, [&] {
    io.u32(s.bitmap_size);
    io.rule(s.bitmap_size <= 100, kBitmapSize);
  });
  io.field(25, [&] { io.u32(s.stretch_mode); });
  io.field(26, [&] { io.u32(s.uninstall_fonts); });
  io.field(27, [&] { io.text16(s.page_link_text); });
  io.field(28, [&] {
    const std::size_t n = io.count(s.licence_texts, kMaxDocumentTexts, kLicenceCount);
    io.rows(s.licence_texts, n, [&](auto& text) { io.block(text); });
  });
  io.field(29, [&] {
    const std::size_t n = io.count(s.readme_texts, kMaxDocumentTexts, kReadmeCount);
    io.rows(s.readme_texts, n, [&](auto& text) { io.block(text); });
  });
  io.field(30, [&] { io.text(s.uninstall_subdir); });
  io.field(31, [&] { io.text8len(s.uninstaller_file_name); });
  io.field(32, [&] { io.text(s.uninstall_key_name); });
  io.field(33, [&] { io.text16(s.folder_registry_path); });
  io.field(34, [&] { io.text16(s.dialog_font); });
  io.field(35, [&] { io.u32(s.reserved_number); });
  io.field(36, [&] { io.text(s.page_title); });
  io.field(37, [&] { io.u32(s.banner_text_color); });
  io.field(38, [&] { io.u8(s.side_picture_frame); });
  io.field(39, [&] { io.u32(s.title_color); });
  io.field(40, [&] { io.u8(s.title_shadow); });
  io.field(41, [&] { io.u8(s.title_position); });
  io.field(42, [&] { io.text16(s.title_font); });
  io.field(43, [&] { io.u32(s.top_color); });
  io.field(44, [&] { io.u32(s.bottom_color); });
  io.field(45, [&] {
    // The bitmap length and bytes; `BitmapTPI` follows only a bitmap and is
    // 0 without one.
    io.loaded_as(s.bitmap_tpi, 0u);
    io.block(s.backdrop_bitmap);
    io.when(!s.backdrop_bitmap.empty(), [&] { io.u32(s.bitmap_tpi); });
  });
  io.field(46, [&] {
    io.u8(s.copyright_pos);
    io.when(s.copyright_pos != 0, [&] {
      io.u32(s.copyright_color);
      io.f64(s.copyright_size);
      io.text(s.copyright_text);
      io.text(s.copyright_font);
    });
  });
  io.field(47, [&] {
    io.when(has_bit(s.product_flags, pf::kDialogColors), [&] {
      io.u32(s.dialog_bg);
      io.u32(s.dialog_fg);
    });
  });
  io.field(48, [&] {
    io.when(has_bit(s.product_flags2, pf2::kSecondColorPair), [&] {
      io.u32(s.second_bg);
      io.u32(s.second_fg);
    });
  });
  io.field(49, [&] {
    io.when(has_bit(s.product_flags, pf::kMasterProduct), [&] {
      io.text(s.master_key_name);
      io.text(s.master_display_name);
      io.text(s.master_min_version);
    });
  });
  io.field(50, [&] { io.text(s.start_sound); });
  io.field(51, [&] { io.text(s.desktop_folder); });
  io.field(52, [&] { io.block(s.desktop_folder_icon); });
  io.field(53, [&] {
    for (auto& batch : s.batches) io.text(batch);
  });
  io.field(54, [&] { io.bytes(s.date_record, 20); });
  io.field(55, [&] { io.u32(s.excluded_systems); });
  io.field(56, [&] { io.u8(s.payload_from_file); });
  io.field(57, [&] {
    for (auto& text : s.web_texts) io.text(text);
  });
  io.field(58, [&] { io.cstr(s.second_version_threshold); });
  io.field(59, [&] { io.text8len(s.no_downgrade_below); });
  io.field(60, [&] {
    io.u32(s.log_value1);
    io.u32(s.log_value2);
  });
  io.field(61, [&] { io.text(s.start_menu_page_text); });
  io.field(62, [&] {
    io.text(s.upgrade_version_threshold);
    io.text(s.firewall_entries);
    io.text(s.add_to_path_subfolder);
  });
  io.field(63, [&] {
    auto& styles = s.dialog_styles;
    for (auto& value : styles.reserved) io.u32(value);
    for (auto* value : {&styles.language, &styles.licence, &styles.readme, &styles.choose_folder,
                        &styles.start_menu, &styles.progress, &styles.summary,
                        &styles.engine_protection}) {
      io.u32(*value);
    }
  });
  io.field(64, [&] {
    io.when(has_bit(s.product_flags, pf::kHasUninstaller), [&] { io.block(s.uninstaller_icon); });
  });
  io.field(65, [&] {
    io.rows_until_end(
        s.conditional_deletions, &ConditionalDeletion::path, kConditionalDeletionEndRow,
        kConditionalDeletionCount, [&](auto& row) { conditional_deletion_path_field(io, row); },
        [&](auto& row) { conditional_deletion_row_fields(io, row); });
  });
  io.field(66, [&] {
    const std::size_t n = io.count(s.associations, kMaxListRows, kAssociationCount);
    io.rows(s.associations, n, [&](auto& row) { association_record_fields(io, row); });
  });
  io.field(67, [&] {
    const std::size_t n = io.count(s.shortcuts, kMaxListRows, kShortcutCount);
    io.rows(s.shortcuts, n, [&](auto& row) { shortcut_record_fields(io, row); });
  });
  io.field(68, [&] {
    io.text(s.root_shortcut_command);
    io.text(s.root_shortcut_name);
    io.wstr(s.pin_command);
    io.wstr(s.pin_name);
  });
  io.field(69, [&] {
    const std::size_t n = io.count(s.uninstall_key_values, kMaxListRows, kRegistryValueCount);
    io.rows(s.uninstall_key_values, n, [&](auto& row) { registry_value_fields(io, row); });
  });
  io.field(70, [&] { io.text16(s.support_offer); });
  io.field(71, [&] { io.block(s.product_icon); });
  io.field(72, [&] {
    io.rows_until_end(
        s.auto_close_rules, &AutoCloseRule::window_class, kAutoCloseEndRow, kAutoCloseCount,
        [&](auto& row) { auto_close_class_field(io, row); }, [&](auto& row) { auto_close_row_fields(io, row); });
  });
  // Fields 73 to 76, the message table, as one: the hook sees it whole.
  io.field(76, [&] {
    auto& table = s.messages;
    const std::size_t languages =
        io.small_count(table.languages, 1, kMaxLanguageCount, kLanguageCount);  // 73
    io.u32(table.message_count);                                                 // 74
    io.rule(table.message_count >= 1 && table.message_count <= kMaxMessageCount, kMessageCount);
    io.rows(table.languages, languages, [&](auto& name) { io.wstr(name); });    // 75
    io.loaded_as(table.default_language, default_language_index(table.languages));
    io.loaded_as(table.chosen_language, table.default_language);
    // 76: message by message, one text per language. Each text takes at
    // least its terminating unit: a table that cannot fit in what is left
    // is a misaligned stream, caught here rather than after filling
    // millions of empty texts.
    const std::size_t total = table.message_count * languages;
    io.fits(total, 2, kEndMarker);
    io.rows(table.texts, total, [&](auto& text) { io.wstr(text); });
  });
  io.field(77, [&] { io.marker(kSettingsEndMarker, kEndMarker); });
}

}  // namespace hs::package
