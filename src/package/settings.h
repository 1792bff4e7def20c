// The installation state loaded from the package's settings stream.
//
// `Settings` holds every field of the stream as stored, in stream order,
// plus the `ProductFlags2` word of the package header (which decides whether
// field 48 is present). `DerivedSettings` holds the values the loader
// derives from them (product name, shared folder name, ...). Later steps of
// the run read both; nothing is looked up by name.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "support/text.h"
#include "package/association_record.h"
#include "package/auto_close_rule.h"
#include "package/conditional_deletion.h"
#include "package/damage_code.h"
#include "package/message_table.h"
#include "package/registry_value.h"
#include "package/shortcut_record.h"

namespace hs::package {

// The eleven dialog-style values (field 63).
struct DialogStyles {
  // Three leading values with no behaviour of their own; kept so the stream
  // stays aligned and round-trips.
  std::array<std::uint32_t, 3> reserved{};
  // Page styles, each 0 to 3: 0 selects the page's "...Dlg2" template,
  // 1 "...Dlg", 2 "...Dlg3", 3 "...Dlg4".
  std::uint32_t language = 0;
  std::uint32_t licence = 0;
  std::uint32_t readme = 0;
  std::uint32_t choose_folder = 0;
  std::uint32_t start_menu = 0;
  std::uint32_t progress = 0;
  std::uint32_t summary = 0;
  // Engine protection: 1 CRC of the engine's bytes, 2 signature, other none.
  std::uint32_t engine_protection = 0;

  bool operator==(const DialogStyles&) const = default;
};

// The end marker of the settings stream (field 77).
inline constexpr std::uint32_t kSettingsEndMarker = 0xD3E82B97;
// Largest message count a package may hold.
inline constexpr std::uint32_t kMaxMessageCount = 9999;
// Largest language count a package may hold.
inline constexpr std::uint32_t kMaxLanguageCount = 200;
// Largest number of licence or read-me texts.
inline constexpr std::uint32_t kMaxDocumentTexts = 20;
// Largest number of rows of each record list.
inline constexpr std::uint32_t kMaxListRows = 1000;

// Damage codes of the settings stream.
namespace settings_damage {
inline constexpr int kStatusTime = 19;        // minimum status time 10000 ms or more
inline constexpr int kLicenceCount = 24;      // more than 20 licence texts
inline constexpr int kReadmeCount = 26;       // more than 20 read-me texts
inline constexpr int kLanguageCount = 30;     // language count not 1 to 200
inline constexpr int kMessageCount = 31;      // message count not 1 to 9999
inline constexpr int kEndMarker = 32;         // end marker missing: stream misaligned
inline constexpr int kAssociationCount = 36;  // more than 1000 associations
inline constexpr int kRegistryValueCount = 37;  // more than 1000 uninstall-key values
inline constexpr int kConditionalDeletionCount = 38;  // more than 1000 conditional deletions
inline constexpr int kBitmapSize = 39;        // BitmapSize above 100
inline constexpr int kAutoCloseCount = 41;    // more than 1000 auto-close rules
inline constexpr int kShortcutCount = 48;     // more than 1000 shortcuts
inline constexpr int kRegistryValueType = 200;  // registry value of an unknown type (when applied)
}  // namespace settings_damage

struct Settings {
  // Not in the stream: the package header's 32-bit flag word. Set before
  // loading (field 48 depends on its bit 24).
  std::uint32_t product_flags2 = 0;

  std::uint64_t product_flags = 0;     // 1: option bits (product_flags.h)
  // 2: 1 forces automatic mode; 2 forbids it unless silent; other values
  // leave the command line's choice.
  std::uint8_t automatic_mode = 0;
  std::u16string taskbar_text;          // 3: `TaskbarText`, caption of the background window
  std::u16string display_title;         // 4: `DisplayTitle`, title painted on the background window
  double title_size = 0;                // 5: `TitleSize`, size factor of the title
  std::uint32_t progress_page_value = 0;  // 6: handed to the progress page (its placement)
  std::uint16_t min_status_time = 0;    // 7: ms each status line stays visible; below 10000
  std::uint8_t shortcut_mode = 0;       // 8: `ShortcutMode`, 1 = shortcuts for all users
  // 9: date given to the uninstaller's copy: year, month, day, hour, minute, second.
  std::array<std::int32_t, 6> uninstaller_date{};
  std::u16string company_name;          // 10: written as `Publisher`
  std::u16string product_name;          // 11: product name as packaged (see DerivedSettings)
  std::u16string product_description;   // 12: "" = the product name
  // 13: 0 any system; 1 64-bit product (64-bit Windows required); 2 32-bit only.
  std::uint8_t bits = 0;
  // 14: base of the shared folder: 1 common application data, 2 32-bit
  // Common Files, 3 64-bit Common Files, other: Common Files of the product's bitness.
  std::uint8_t shared_folder_base = 0;
  std::u16string shared_path;           // 15: `SharedPath`; "" = company name, else product name
  std::u16string portable_shared_folder;  // 16: shared folder below the installation folder for portable installations; "" = none
  std::u16string start_menu_folder;     // 17: `ProductStartMenu`; "" = the product name
  std::u16string product_version;       // 18: `DisplayVersion`
  // 19: "" = the product name; "<master>" or "HKLM\..."/"HKCU\..." taken as
  // is, anything else joined to the Program Files folder.
  std::u16string default_install_folder;
  std::u16string product_registry;      // 20: `ProductRegistry`, the product's own key below "Software\"
  std::u16string registry_entries;      // 21: `RegistryEntryList` text (registry_entry_list.h)
  std::u16string registry_merge_text;   // 22: .reg text imported during installation; "" = none
  std::u16string app_paths_program;     // 23: main program for App Paths; "" = none
  std::uint32_t bitmap_size = 0;        // 24: `BitmapSize`, 0 to 100 (% of the window)
  std::uint32_t stretch_mode = 0;       // 25: `StretchMode` of the backdrop bitmap
  std::uint32_t uninstall_fonts = 0;    // 26: `UninstallFonts`: 0 keep, 1 ask per font, 2 remove
  std::u16string page_link_text;        // 27: text used by the licence and read-me pages
  std::vector<std::string> licence_texts;  // 28: 0 to 20 texts (RTF when "{\rtf", else UTF-16LE)
  std::vector<std::string> readme_texts;   // 29: 0 to 20 texts, same forms
  std::u16string uninstall_subdir;      // 30: `UninstallSubdir` below the installation folder
  std::u16string uninstaller_file_name;  // 31: name of the uninstaller copy (at most 127 characters)
  std::u16string uninstall_key_name;    // 32: uninstall key name; blank = the product name
  std::u16string folder_registry_path;  // 33: key and value holding an existing installation folder
  std::u16string dialog_font;           // 34: `DialogFont` list; first installed face wins
  std::uint32_t reserved_number = 0;    // 35: not used
  std::u16string page_title;            // 36: heading of every wizard page (message 114 replaces it)
  std::uint32_t banner_text_color = 0;  // 37: COLORREF of the banner texts
  // 38: side-picture frame: 0 none, 1 sunken edge, 2 thin border, 3 sunken
  // edge on the first picture style only.
  std::uint8_t side_picture_frame = 0;
  std::uint32_t title_color = 0;        // 39: `TitleColor`, COLORREF
  std::uint8_t title_shadow = 0;        // 40: `TitleShadow`
  std::uint8_t title_position = 0;      // 41: `TitlePosition`
  std::u16string title_font;            // 42: `TitleFont`
  std::uint32_t top_color = 0;          // 43: `TopColor`, COLORREF
  std::uint32_t bottom_color = 0;       // 44: `BottomColor`, COLORREF
  std::string backdrop_bitmap;          // 45: bitmap bytes; "" = none
  std::uint32_t bitmap_tpi = 0;         // 45: `BitmapTPI`, present only with a bitmap
  std::uint8_t copyright_pos = 0;       // 46: `CopyrightPos`; 0 = no footer (the next four absent)
  std::uint32_t copyright_color = 0;    // 46: `CopyrightColor`
  double copyright_size = 0;            // 46: `CopyrightSize`
  std::u16string copyright_text;        // 46: `CopyrightText`
  std::u16string copyright_font;        // 46: `CopyrightFont`
  std::uint32_t dialog_bg = 0;          // 47: `DialogBG`, present with ProductFlags bit 4
  std::uint32_t dialog_fg = 0;          // 47: `DialogFG`
  std::uint32_t second_bg = 0;          // 48: second background colour, present with ProductFlags2 bit 24
  std::uint32_t second_fg = 0;          // 48: second text colour
  std::u16string master_key_name;       // 49: present with ProductFlags bit 16; blank = product name
  std::u16string master_display_name;   // 49: blank = product name
  std::u16string master_min_version;    // 49: "" = any version
  std::string start_sound;              // 50: WAV bytes; "" = none
  std::u16string desktop_folder;        // 51: `DesktopFolder` for desktop shortcuts
  std::string desktop_folder_icon;      // 52: .ico bytes written as "Desktop Icon.ico"; "" = none
  // 53: 8-bit batch texts (code page 1252), in `BatchKind` order.
  std::array<std::string, 7> batches;
  std::string date_record = std::string(20, '\0');  // 54: 20 bytes, ignored
  std::uint32_t excluded_systems = 0;   // 55: bits of the start-up's system table
  std::uint8_t payload_from_file = 0;   // 56: not 0: payload read from the file, not the image
  // 57: web addresses and page texts, in `WebText` order.
  std::array<std::u16string, 13> web_texts;
  std::u16string second_version_threshold;  // 58: 8-bit version text (with ProductFlags bit 44)
  std::u16string no_downgrade_below;    // 59: `NoDowngradeBelow` (at most 127 characters)
  std::uint32_t log_value1 = 0;         // 60: kept for the installation log
  std::uint32_t log_value2 = 0;         // 60
  std::u16string start_menu_page_text;  // 61: text used by the Start-menu page
  std::u16string upgrade_version_threshold;  // 62: version threshold for removing the previous version
  std::string firewall_entries;         // 62: 8-bit firewall entry list, one entry a line
  std::u16string add_to_path_subfolder;  // 62: `AddToPathSubfolder`; "" = the installation folder
  DialogStyles dialog_styles;           // 63
  std::string uninstaller_icon;         // 64: .ico bytes, present with ProductFlags bit 2; "" = none
  std::vector<ConditionalDeletion> conditional_deletions;  // 65
  std::vector<AssociationRecord> associations;  // 66
  std::vector<ShortcutRecord> shortcuts;  // 67
  std::u16string root_shortcut_command;  // 68: portable installations; "" = none
  std::u16string root_shortcut_name;     // 68
  std::u16string pin_command;            // 68: taskbar pin; "" = none
  std::u16string pin_name;               // 68: "" = the product name
  std::vector<RegistryValue> uninstall_key_values;  // 69
  std::u16string support_offer;          // 70: `SupportOffer` link; "" = none
  std::string product_icon;              // 71: .ico bytes written as "product.ico"; "" = none
  std::vector<AutoCloseRule> auto_close_rules;  // 72
  MessageTable messages;                 // 73 to 76

  bool operator==(const Settings&) const = default;
};

// Index of each batch in `Settings::batches`.
enum class BatchKind : int {
  kPreInstall = 0,
  kPostInstall = 1,
  kInstallExit = 2,
  kUninstall1 = 3,
  kUninstall2 = 4,
  kUpgrade = 5,
  kReinstall = 6,
};

// Index of each text in `Settings::web_texts`.
enum class WebText : int {
  kEndNotify1 = 0,
  kEndNotify2 = 1,
  kEndNotify3 = 2,
  kStartNotify = 3,
  kPassword = 4,  // the installation password checked by the password page; "" = no password page
  kEndNotify4 = 5,
  kEndNotify5 = 6,
  kEndNotify6 = 7,
  kEndNotify7 = 8,
  kNotifyUrl = 9,
  kPageText = 10,
  kCancelNotify = 11,
  kProblemReport = 12,
};

// Values derived from the settings once they are loaded.
struct DerivedSettings {
  std::u16string product_name;        // the override, else field 11
  std::u16string description;         // field 12, else the product name
  std::u16string shared_path;         // field 15, else the company name, else the product name
  std::u16string start_menu_folder;   // field 17, else the product name
  std::u16string uninstall_key_name;  // field 32 unless blank, else the product name
  std::u16string desktop_folder;      // field 51, or the product name (ProductFlags bit 58)
  std::u16string master_key_name;     // field 49's key name, blank = product name
  std::u16string master_display_name;  // field 49's display name, blank = product name
  bool mono_color = false;            // `MonoColor`: bottom colour equals top colour
};

// `product_name_override` is the command line's product name ("" = none).
DerivedSettings derive_settings(const Settings& settings,
                                std::u16string_view product_name_override);

// The default installation folder rule: "" gives the product name; "<os>"
// is replaced by `windows_folder`; folder variables are expanded by
// `expand`; unless the result is "<master>" or begins with "HKLM\" or
// "HKCU\", it is joined to `program_files`.
std::u16string default_install_folder(
    const Settings& settings, const DerivedSettings& derived, std::u16string_view windows_folder,
    std::u16string_view program_files,
    const std::function<std::u16string(std::u16string_view)>& expand);

// Outcome of loading: success, or the damage code of the violated rule.
using LoadResult = Checked<void>;

// Called after field `field` (1 to 77) has been read, with the state so
// far; returning a non-zero damage code stops the load with it. The start-up
// uses it to apply silent mode right after field 1, the automatic-mode byte
// after field 2, and to create the backdrop and check the settings CRC
// after field 46.
using FieldHook = std::function<int(int field, Settings& settings)>;

// Reads the whole stream into `settings` (whose `product_flags2` must
// already hold the header's word), applying every rule of the stream. On
// damage, `settings` holds what was read so far. `ansi` decodes the 8-bit
// texts without the leading "|" (the system's ANSI code page); empty: code
// page 1252.
LoadResult load_settings(std::span<const std::uint8_t> stream, Settings& settings,
                         const FieldHook& hook = {}, const support::AnsiDecoder& ansi = {});

// The stream of `settings`: the exact inverse of `load_settings`.
std::string write_settings(const Settings& settings);

}  // namespace hs::package
