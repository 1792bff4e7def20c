// The settings stream: encodings, record lists, message table, damage codes.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "package/default_messages.h"
#include "package/product_flags.h"
#include "package/registry_entry_list.h"
#include "package/settings.h"
#include "package/settings_stream.h"
#include "package/settings_writer.h"

namespace hs::package {
namespace {

std::span<const std::uint8_t> as_span(const std::string& bytes) {
  return {reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()};
}

std::uint64_t bit(int n) { return std::uint64_t{1} << n; }

// A minimal valid state: one language, one message.
Settings minimal_settings() {
  Settings s;
  s.messages.languages = {u"English"};
  s.messages.message_count = 1;
  s.messages.texts = {u"Hello"};
  return s;
}

// A state with every field set to something other than its default.
Settings full_settings() {
  Settings s;
  s.product_flags2 = static_cast<std::uint32_t>(bit(pf2::kSecondColorPair) | bit(pf2::kRestorePoint));
  s.product_flags = bit(pf::kHasUninstaller) | bit(pf::kDialogColors) | bit(pf::kMasterProduct) |
                    bit(pf::kMaximizeBackdrop) | bit(63);
  s.automatic_mode = 2;
  s.taskbar_text = u"Demo Setup";
  s.display_title = u"Demo \u00e9\u4e2d";
  s.title_size = 1.25;
  s.progress_page_value = 3 | 24;
  s.min_status_time = 9999;
  s.shortcut_mode = 1;
  s.uninstaller_date = {2024, 5, 6, 7, 8, 9};
  s.company_name = u"Acme";
  s.product_name = u"Demo";
  s.product_description = u"Demo description";
  s.bits = 2;
  s.shared_folder_base = 3;
  s.shared_path = u"Acme Shared";
  s.portable_shared_folder = u"shared";
  s.start_menu_folder = u"Acme\\Demo";
  s.product_version = u"1.2.3";
  s.default_install_folder = u"Acme\\Demo";
  s.product_registry = u"Acme\\Demo";
  s.registry_entries = u"\\HKLM\\Software\\Acme\r\n\\HKLM\\Software\\Acme,Path,1,\"%InstallPath%\",3\r\n";
  s.registry_merge_text = u"REGEDIT4\r\n";
  s.app_paths_program = u"demo.exe";
  s.bitmap_size = 100;
  s.stretch_mode = 4;
  s.uninstall_fonts = 2;
  s.page_link_text = u"link";
  s.licence_texts = {"{\\rtf1 licence}", std::string("\xff\xfeL\0", 4)};
  s.readme_texts = {"read me"};
  s.uninstall_subdir = u"uninstall";
  s.uninstaller_file_name = u"uninst.exe";
  s.uninstall_key_name = u"Demo_is1";
  s.folder_registry_path = u"HKLM\\Software\\Acme\\Demo\\Path";
  s.dialog_font = u"Segoe UI,Tahoma";
  s.reserved_number = 77;
  s.page_title = u"Demo Setup Wizard";
  s.banner_text_color = 0x112233;
  s.side_picture_frame = 3;
  s.title_color = 0xFFFFFF;
  s.title_shadow = 1;
  s.title_position = 2;
  s.title_font = u"Times New Roman";
  s.top_color = 0x800000;
  s.bottom_color = 0x000080;
  s.backdrop_bitmap = std::string("BM\0\x01\x02", 5);
  s.bitmap_tpi = 0xFFFFFFFF;
  s.copyright_pos = 3;
  s.copyright_color = 0xC0C0C0;
  s.copyright_size = 0.5;
  s.copyright_text = u"(c) Acme";
  s.copyright_font = u"Arial";
  s.dialog_bg = 0xF0F0F0;
  s.dialog_fg = 0x101010;
  s.second_bg = 0xABCDEF;
  s.second_fg = 0x123456;
  s.master_key_name = u"Base_is1";
  s.master_display_name = u"Base";
  s.master_min_version = u"2.0";
  s.start_sound = std::string("RIFF\0\0\0\0WAVE", 12);
  s.desktop_folder = u"Demo Tools";
  s.desktop_folder_icon = std::string("\0\0\1\0", 4);
  for (int i = 0; i < 7; ++i) s.batches[i] = "echo batch " + std::to_string(i) + " \xe9\r\n";
  s.date_record = std::string(20, '\x5a');
  s.excluded_systems = 0x0F;
  s.payload_from_file = 1;
  for (int i = 0; i < 13; ++i) s.web_texts[i] = u"https://example.com/" + std::u16string(1, u'a' + i);
  s.second_version_threshold = u"|1.5 \u00e9";
  s.no_downgrade_below = u"1.0";
  s.log_value1 = 5;
  s.log_value2 = 6;
  s.start_menu_page_text = u"Start menu";
  s.upgrade_version_threshold = u"1.1";
  s.firewall_entries = "8080;Demo;3;\r\n|C:\\x\xc3\xa9.exe;;1;1\r\n";
  s.add_to_path_subfolder = u"bin";
  s.dialog_styles = DialogStyles{{1, 2, 3}, 0, 1, 2, 3, 0, 1, 2, 1};
  s.uninstaller_icon = std::string("\0\0\1\0ICO", 7);
  s.conditional_deletions = {{u"%InstallPath%\\*.tmp", 5, u"1024", 4 | 8},
                             {u"old \u00e9.txt", 1, u"2020-01-01", 1}};
  s.associations = {{1, u".demo", u"Demo.File", u"Demo file", u"open,print", u"&Open",
                     u"\"%InstallPath%\\demo.exe\" \"%1\"", u"English", u"demo.exe,0"}};
  ShortcutRecord shortcut{u"%InstallPath%\\demo.exe", u"Demo", u"", u"/x", u"%InstallPath%",
                          1, 1, 0, u"%InstallPath%\\links", 3, 1, true};
  s.shortcuts = {shortcut, shortcut};
  s.root_shortcut_command = u"demo.exe /portable";
  s.root_shortcut_name = u"Demo Portable";
  s.pin_command = u"%InstallPath%\\demo.exe";
  s.pin_name = u"Demo";
  s.uninstall_key_values = {{u"HelpLink", 1, u"https://example.com"},
                            {u"\\HKLM\\Software\\Acme\\Demo\\Size", 3, u"42"}};
  s.support_offer = u"mailto:support@example.com";
  s.product_icon = std::string("\0\0\1\0P", 5);
  s.auto_close_rules = {{u"DemoWindow", u"*Demo", "Demo \xe9", 2, 1 | 2 | 4},
                        {u"", u"Demo Tool", "", 3, 1}};
  s.messages.languages = {u"English", u"Deutsch"};
  s.messages.message_count = 3;
  s.messages.texts = {u"m0 en", u"m0 de", u"m1 <product>", u"m1 de", u"", u"m2 de"};
  return s;
}

LoadResult load(const std::string& bytes, Settings& out, const FieldHook& hook = {}) {
  return load_settings(as_span(bytes), out, hook);
}

TEST(SettingsStream, FullStateRoundTrips) {
  const Settings original = full_settings();
  const std::string bytes = write_settings(original);
  Settings loaded;
  loaded.product_flags2 = original.product_flags2;
  ASSERT_EQ(load(bytes, loaded).error(), 0);
  EXPECT_EQ(loaded, original);
  EXPECT_EQ(loaded.messages.default_language, 0u);
  EXPECT_EQ(write_settings(loaded), bytes);
}

TEST(SettingsStream, OptionalFieldsFollowTheirBits) {
  // Without bits 2, 4, 16 and ProductFlags2 bit 24 the guarded fields are
  // absent: the same state with them cleared is 4*2 + 4*2 + 3 texts + the
  // uninstaller icon block shorter, and still loads.
  Settings s = full_settings();
  s.product_flags &= ~(bit(pf::kHasUninstaller) | bit(pf::kDialogColors) | bit(pf::kMasterProduct));
  s.product_flags2 = 0;
  s.dialog_bg = s.dialog_fg = s.second_bg = s.second_fg = 0;
  s.master_key_name.clear();
  s.master_display_name.clear();
  s.master_min_version.clear();
  s.uninstaller_icon.clear();
  const std::string bytes = write_settings(s);
  Settings full = full_settings();
  EXPECT_EQ(write_settings(full).size() - bytes.size(),
            8u + 8u + (1 + 16) + (1 + 8) + (1 + 6) + (4 + 7));
  Settings loaded;
  ASSERT_EQ(load(bytes, loaded).error(), 0);
  EXPECT_EQ(loaded, s);
}

TEST(SettingsStream, CompactTextLengthForms) {
  struct Case {
    std::size_t length;
    std::vector<std::uint8_t> prefix;
  };
  const Case cases[] = {
      {0, {0x00}},
      {1, {0x01}},
      {254, {0xFE}},
      {255, {0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x00}},  // 16-bit form would begin with 255
      {256, {0xFF, 0x00, 0x01}},
      {511, {0xFF, 0xFF, 0xFF, 0x01, 0x00, 0x00}},
      {512, {0xFF, 0x00, 0x02}},
      {65534, {0xFF, 0xFE, 0xFF}},
      {65535, {0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00}},
      {65536, {0xFF, 0xFF, 0x00, 0x00, 0x01, 0x00}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.length);
    SettingsWriter w;
    w.text_bytes(std::string(c.length, 'x'));
    const std::string& out = w.data();
    ASSERT_EQ(out.size(), c.prefix.size() + c.length);
    EXPECT_EQ(std::vector<std::uint8_t>(out.begin(), out.begin() + c.prefix.size()), c.prefix);
    SettingsStream in(as_span(out));
    EXPECT_EQ(in.text_bytes().size(), c.length);
    EXPECT_FALSE(in.overrun());
    EXPECT_EQ(in.remaining(), 0u);
  }
}

// 8-bit texts without the leading "|" are in the system's ANSI code page,
// which the stream's decoder stands for; without one, code page 1252.
TEST(SettingsStream, EightBitTextsUseTheAnsiCodePage) {
  const std::string bytes("\xC6\0|\xC3\x86\0", 6);
  const support::AnsiDecoder cyrillic = [](std::string_view text) {
    std::u16string out;
    for (char c : text) out += static_cast<unsigned char>(c) == 0xC6 ? u'\u0416' : static_cast<char16_t>(c);
    return out;
  };
  SettingsStream in(as_span(bytes), cyrillic);
  EXPECT_EQ(in.cstr(), u"\u0416");
  EXPECT_EQ(in.cstr(), u"\u00c6");  // UTF-8 behind the bar
  SettingsStream plain(as_span(bytes));
  EXPECT_EQ(plain.cstr(), u"\u00c6");
}

TEST(SettingsStream, ReadsPastTheEndYieldEmptyValues) {
  const std::string bytes("\x05\x00\x00\x00\x0A" "ab", 7);
  SettingsStream in(as_span(bytes));
  EXPECT_EQ(in.u32(), 5u);
  EXPECT_EQ(in.text_bytes(), "");  // length 10, only 2 bytes left
  EXPECT_TRUE(in.overrun());
  EXPECT_EQ(in.u32(), 0u);
  EXPECT_EQ(in.u64(), 0u);
  EXPECT_EQ(in.cstr(), u"");
  EXPECT_EQ(in.wstr(), u"");
  EXPECT_EQ(in.block(), "");
  EXPECT_EQ(in.bytes(3), std::string(3, '\0'));

  const std::string over_limit("\xFF\xFF\x01\x00\x00\x40xyz", 9);  // L = 0x40000001
  SettingsStream big(as_span(over_limit));
  EXPECT_EQ(big.text_bytes(), "");
  EXPECT_TRUE(big.overrun());

  const std::string negative_block("\x00\x00\x00\x80", 4);
  SettingsStream neg(as_span(negative_block));
  EXPECT_EQ(neg.block(), "");
  EXPECT_TRUE(neg.overrun());
}

TEST(SettingsStream, BarFormEightBitTexts) {
  // cstr: plain bytes are code page 1252, a leading bar marks UTF-8.
  const std::string bytes("caf\xe9\0|caf\xc3\xa9\0", 12);
  SettingsStream in(as_span(bytes));
  EXPECT_EQ(in.cstr(), u"caf\u00e9");
  EXPECT_EQ(in.cstr(), u"caf\u00e9");
  // A text beginning with a bar is written in the UTF-8 form so that it
  // reads back with its bar.
  SettingsWriter w;
  w.cstr(u"|x");
  w.cstr(u"plain");
  SettingsStream back(as_span(w.data()));
  EXPECT_EQ(back.cstr(), u"|x");
  EXPECT_EQ(back.cstr(), u"plain");
}

TEST(SettingsStream, TerminatedTablesWithOnlyTheirEndRow) {
  Settings s = minimal_settings();
  const std::string bytes = write_settings(s);
  // The end rows are present without the rest of a row.
  const std::string cd_end("~~THE END~~\0", 12);
  const std::string ac_end = std::string("\x16\x00", 2) + [] {
    std::string t;
    for (char c : std::string("~~THE~END~~")) t += std::string{c, '\0'};
    return t;
  }();
  const auto cd_at = bytes.find(cd_end);
  ASSERT_NE(cd_at, std::string::npos);
  // Directly followed by the association count 0 and the shortcut count 0.
  EXPECT_EQ(bytes.substr(cd_at + cd_end.size(), 8), std::string(8, '\0'));
  const auto ac_at = bytes.find(ac_end);
  ASSERT_NE(ac_at, std::string::npos);
  // Directly followed by the language count.
  EXPECT_EQ(static_cast<std::uint8_t>(bytes[ac_at + ac_end.size()]), 1);

  Settings loaded;
  ASSERT_EQ(load(bytes, loaded).error(), 0);
  EXPECT_TRUE(loaded.conditional_deletions.empty());
  EXPECT_TRUE(loaded.auto_close_rules.empty());
}

TEST(SettingsStream, EndRowsMustMatchExactly) {
  // A row whose path merely resembles the end row is an entry.
  Settings s = minimal_settings();
  s.conditional_deletions = {{u"~~THE~END~~", 0, u"", 4}, {u"~~the end~~", 0, u"", 4}};
  s.auto_close_rules = {{u"~~THE END~~", u"", "", 0, 1}};
  Settings loaded;
  ASSERT_EQ(load(write_settings(s), loaded).error(), 0);
  EXPECT_EQ(loaded.conditional_deletions.size(), 2u);
  EXPECT_EQ(loaded.auto_close_rules.size(), 1u);
}

TEST(SettingsStream, DamageCodes) {
  struct Case {
    const char* what;
    std::function<void(Settings&)> change;
    int damage;
  };
  const Case cases[] = {
      {"valid", [](Settings&) {}, 0},
      {"status time 9999", [](Settings& s) { s.min_status_time = 9999; }, 0},
      {"status time 10000", [](Settings& s) { s.min_status_time = 10000; }, 19},
      {"20 licence texts", [](Settings& s) { s.licence_texts.assign(20, "x"); }, 0},
      {"21 licence texts", [](Settings& s) { s.licence_texts.assign(21, "x"); }, 24},
      {"21 read-me texts", [](Settings& s) { s.readme_texts.assign(21, "x"); }, 26},
      {"bitmap size 100", [](Settings& s) { s.bitmap_size = 100; }, 0},
      {"bitmap size 101", [](Settings& s) { s.bitmap_size = 101; }, 39},
      {"1000 conditional deletions",
       [](Settings& s) { s.conditional_deletions.assign(1000, {u"a", 0, u"", 4}); }, 0},
      {"1001 conditional deletions",
       [](Settings& s) { s.conditional_deletions.assign(1001, {u"a", 0, u"", 4}); }, 38},
      {"1001 associations", [](Settings& s) { s.associations.assign(1001, {}); }, 36},
      {"1000 shortcuts",
       [](Settings& s) {
         ShortcutRecord loaded_form;
         loaded_form.expand_target = true;  // set by the loader for package records
         s.shortcuts.assign(1000, loaded_form);
       },
       0},
      {"1001 shortcuts", [](Settings& s) { s.shortcuts.assign(1001, {}); }, 48},
      {"1001 registry values", [](Settings& s) { s.uninstall_key_values.assign(1001, {}); }, 37},
      {"1000 auto-close rules",
       [](Settings& s) { s.auto_close_rules.assign(1000, {u"c", u"", "", 0, 1}); }, 0},
      {"1001 auto-close rules",
       [](Settings& s) { s.auto_close_rules.assign(1001, {u"c", u"", "", 0, 1}); }, 41},
      {"no language",
       [](Settings& s) {
         s.messages.languages.clear();
         s.messages.texts.clear();
       },
       30},
      {"200 languages",
       [](Settings& s) {
         s.messages.languages.assign(200, u"L");
         s.messages.texts.assign(200, u"t");
       },
       0},
      {"no message",
       [](Settings& s) {
         s.messages.message_count = 0;
         s.messages.texts.clear();
       },
       31},
      {"9999 messages",
       [](Settings& s) {
         s.messages.message_count = 9999;
         s.messages.texts.assign(9999, u"m");
       },
       0},
      {"10000 messages",
       [](Settings& s) {
         s.messages.message_count = 10000;
         s.messages.texts.assign(10000, u"m");
       },
       31},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Settings s = minimal_settings();
    c.change(s);
    Settings loaded;
    EXPECT_EQ(load(write_settings(s), loaded).error(), c.damage);
    if (c.damage == 0) EXPECT_EQ(loaded, s);
  }
}

TEST(SettingsStream, TwoHundredAndOneLanguagesIsDamage) {
  // The language count is one byte: 201 must be rejected when read.
  std::string bytes = write_settings(minimal_settings());
  const std::string tail("\x01\x01\x00\x00\x00", 5);  // 1 language, 1 message
  const auto at = bytes.rfind(tail);
  ASSERT_NE(at, std::string::npos);
  bytes[at] = static_cast<char>(201);
  Settings loaded;
  EXPECT_EQ(load(bytes, loaded).error(), 30);
}

TEST(SettingsStream, MisalignedStreamIsCaughtByTheEndMarker) {
  const std::string good = write_settings(full_settings());
  struct Case {
    const char* what;
    std::string bytes;
  };
  std::string wrong_marker = good;
  wrong_marker.back() ^= 1;
  std::string flipped_length = good;
  flipped_length[9] = 0x7F;  // TaskbarText's length byte
  const Case cases[] = {
      {"wrong marker", wrong_marker},
      {"truncated by one byte", good.substr(0, good.size() - 1)},
      {"truncated in the message table", good.substr(0, good.size() - 20)},
      {"empty stream", ""},
      {"wrong text length", flipped_length},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Settings loaded;
    loaded.product_flags2 = full_settings().product_flags2;
    const int damage = load(c.bytes, loaded).error();
    // A misaligned stream may trip a count check on the way (an empty
    // stream reads a language count of 0); it never loads.
    EXPECT_NE(damage, 0);
    const std::string what = c.what;
    if (what != "wrong text length" && what != "empty stream") EXPECT_EQ(damage, 32);
  }
}

TEST(SettingsStream, DefaultLanguageRule) {
  struct Case {
    std::vector<std::u16string> languages;
    std::size_t expected;
  };
  const Case cases[] = {
      {{u"Deutsch"}, 0},
      {{u"Deutsch", u"Fran\u00e7ais"}, 0},
      {{u"Deutsch", u"English"}, 1},
      {{u"English", u"Deutsch", u"English"}, 2},
      {{u"Deutsch", u"english", u"ENGLISH", u"English "}, 0},
  };
  for (const auto& c : cases) {
    Settings s = minimal_settings();
    s.messages.languages = c.languages;
    s.messages.texts.assign(c.languages.size(), u"x");
    Settings loaded;
    ASSERT_EQ(load(write_settings(s), loaded).error(), 0);
    EXPECT_EQ(loaded.messages.default_language, c.expected);
    EXPECT_EQ(loaded.messages.chosen_language, c.expected);
  }
}

TEST(SettingsStream, MessagesByLanguageAndMacros) {
  Settings loaded;
  const Settings s = full_settings();
  loaded.product_flags2 = s.product_flags2;
  ASSERT_EQ(load(write_settings(s), loaded).error(), 0);
  const MessageTable& table = loaded.messages;
  EXPECT_EQ(table.text(1, 0), u"m1 <product>");
  EXPECT_EQ(table.text(1, 1), u"m1 de");
  EXPECT_EQ(table.text(2, 1), u"m2 de");
  EXPECT_EQ(table.text(3, 0), u"");   // past the count
  EXPECT_EQ(table.text(-1, 0), u"");
  EXPECT_EQ(table.text(0, 2), u"");   // unknown language
  EXPECT_EQ(MessageTable{}.text(0), u"");
  EXPECT_EQ(replace_message_macros(u"<product>/<description>/<os>/<other>/<product", u"P", u"D",
                                   u"C:\\Windows"),
            u"P/D/C:\\Windows/<other>/<product");
}

TEST(SettingsStream, HookSeesFieldsInOrderAndCanStop) {
  const Settings s = full_settings();
  const std::string bytes = write_settings(s);
  std::vector<int> fields;
  Settings loaded;
  loaded.product_flags2 = s.product_flags2;
  auto hook = [&](int field, Settings& state) {
    fields.push_back(field);
    if (field == 1) state.product_flags = apply_silent_mode(state.product_flags);
    if (field == 46) {
      // Everything the backdrop needs is there, nothing after it.
      EXPECT_EQ(state.copyright_text, s.copyright_text);
      EXPECT_EQ(state.backdrop_bitmap, s.backdrop_bitmap);
      EXPECT_TRUE(state.start_sound.empty());
      EXPECT_TRUE(state.messages.languages.empty());
      return 25;  // e.g. the settings CRC does not match
    }
    return 0;
  };
  EXPECT_EQ(load(bytes, loaded, hook).error(), 25);
  ASSERT_EQ(fields.size(), 46u);
  for (int i = 0; i < 46; ++i) EXPECT_EQ(fields[i], i + 1);
  EXPECT_TRUE(has_bit(loaded.product_flags, pf::kNoBackdrop));

  fields.clear();
  Settings all;
  all.product_flags2 = s.product_flags2;
  EXPECT_EQ(load(bytes, all, [&](int f, Settings&) { fields.push_back(f); return 0; }).error(), 0);
  EXPECT_EQ(fields.back(), 77);
}

TEST(SettingsStream, DerivedValues) {
  Settings s = minimal_settings();
  s.product_name = u"Demo";
  s.company_name = u"  ";
  s.top_color = s.bottom_color = 0x123456;
  s.product_flags = bit(pf::kDesktopFolderDefault);
  DerivedSettings d = derive_settings(s, u"");
  EXPECT_EQ(d.product_name, u"Demo");
  EXPECT_EQ(d.description, u"Demo");
  EXPECT_EQ(d.shared_path, u"Demo");  // blank company name
  EXPECT_EQ(d.start_menu_folder, u"Demo");
  EXPECT_EQ(d.uninstall_key_name, u"Demo");
  EXPECT_EQ(d.desktop_folder, u"Demo");
  EXPECT_TRUE(d.mono_color);

  s.company_name = u"Acme";
  s.product_flags = 0;
  s.bottom_color = 0;
  d = derive_settings(s, u"Override");
  EXPECT_EQ(d.product_name, u"Override");
  EXPECT_EQ(d.shared_path, u"Acme");
  EXPECT_EQ(d.desktop_folder, u"");
  EXPECT_FALSE(d.mono_color);

  auto expand = [](std::u16string_view t) {
    std::u16string out(t);
    if (auto at = out.find(u"%Var%"); at != std::u16string::npos) out.replace(at, 5, u"X");
    return out;
  };
  struct Case {
    std::u16string stored;
    std::u16string expected;
  };
  const Case cases[] = {
      {u"", u"C:\\PF\\Override"},
      {u"Acme\\%Var%", u"C:\\PF\\Acme\\X"},
      {u"<os>\\Tools", u"C:\\PF\\C:\\Windows\\Tools"},
      {u"<master>", u"<master>"},
      {u"HKLM\\Software\\Acme\\Path", u"HKLM\\Software\\Acme\\Path"},
      {u"HKCU\\Software\\Acme\\Path", u"HKCU\\Software\\Acme\\Path"},
  };
  for (const auto& c : cases) {
    s.default_install_folder = c.stored;
    EXPECT_EQ(default_install_folder(s, d, u"C:\\Windows", u"C:\\PF", expand), c.expected);
  }
}

TEST(ProductFlags, TableNamesAndBitsAreUnique) {
  std::set<std::string_view> names;
  std::set<std::pair<int, int>> bits;
  for (const auto& info : product_flag_table()) {
    EXPECT_TRUE(names.insert(info.name).second) << info.name;
    EXPECT_TRUE(bits.insert({static_cast<int>(info.word), info.bit}).second) << info.name;
    EXPECT_LT(info.bit, info.word == FlagWord::kProductFlags ? 64 : 32);
    EXPECT_FALSE(info.meaning.empty());
    EXPECT_EQ(find_product_flag(info.name)->bit, info.bit);
  }
  EXPECT_FALSE(find_product_flag("HAS_UNINSTALLER"));
  EXPECT_EQ(describe_flags(FlagWord::kProductFlags, bit(2) | bit(29) | bit(39)),
            "has_uninstaller, no_backdrop, bit 39");
}

TEST(ProductFlags, SilentMode) {
  EXPECT_EQ(apply_silent_mode(0), bit(21) | bit(22) | bit(28) | bit(29) | bit(43));
  EXPECT_EQ(apply_silent_mode(~std::uint64_t{0}),
            ~(bit(7) | bit(31) | bit(34) | bit(35) | bit(36) | bit(41) | bit(44) | bit(51)));
}

TEST(RegistryEntryList, ParseAndFormat) {
  struct Case {
    std::u16string text;
    std::vector<std::vector<std::u16string>> fields;
  };
  const Case cases[] = {
      {u"\\HKLM\\Software\\Acme", {{u"\\HKLM\\Software\\Acme"}}},
      {u"\\HKCU\\A,Name,1,data,3\r\n\r\n\\HKCU\\B\n", {{u"\\HKCU\\A", u"Name", u"1", u"data", u"3"}, {u"\\HKCU\\B"}}},
      {u"k, \"a,b\" ,1,\"say \"\"hi\"\"\",1", {{u"k", u"a,b ", u"1", u"say \"hi\"", u"1"}}},
      {u"k,,4,,1\r", {{u"k", u"", u"4", u"", u"1"}}},
  };
  for (const auto& c : cases) {
    std::vector<RegistryEntry> entries = parse_registry_entries(c.text);
    ASSERT_EQ(entries.size(), c.fields.size());
    for (std::size_t i = 0; i < entries.size(); ++i) EXPECT_EQ(entries[i].fields, c.fields[i]);
    // Formatting and parsing again gives the same entries.
    EXPECT_EQ(parse_registry_entries(format_registry_entries(entries)), entries);
  }
}

TEST(DefaultMessages, EveryEngineMessageHasAText) {
  auto messages = default_english_messages();
  ASSERT_EQ(messages.size(), 116u);
  // Numbers the engine shows without a built-in fallback must not be empty.
  for (int n : {0, 2, 9, 11, 12, 19, 20, 21, 28, 31, 33, 37, 42, 43, 49, 53, 54, 65, 77, 81, 91, 99,
                106, 107, 112}) {
    EXPECT_FALSE(messages[n].empty()) << n;
  }
  EXPECT_NE(messages[77].find("<file>"), std::string_view::npos);
  EXPECT_NE(messages[81].find("%d"), std::string_view::npos);
  EXPECT_NE(messages[112].find("%s"), messages[112].rfind("%s"));
}

}  // namespace
}  // namespace hs::package
