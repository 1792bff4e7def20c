#include "engine/startup.h"

#include "support/files.h"
#include "wizard/pages.h"

#include <algorithm>

#include "engine/exit.h"
#include "engine/fatal.h"
#include "engine/system_bits.h"
#include "install/installation_run.h"
#include "install/os_release.h"
#include "install/version_compare.h"
#include "package/damage.h"
#include "package/package_access.h"
#include "package/product_flags.h"
#include "package/settings_session.h"
#include "support/uninstaller_image.h"
#include "support/message_box.h"
#include "support/registry_value.h"
#include "support/text.h"
#include "wizard/backdrop_settings.h"
#include "wizard/page_style.h"
#include "wizard/pages.h"

namespace hs::engine {
namespace {

using package::has_bit;
namespace pf = package::pf;
namespace pf2 = package::pf2;
using platform::RegKeyPath;
using platform::RegRoot;
using platform::RegView;

// Message numbers of the start-up.
namespace msg {
constexpr int kHeading = 0;
constexpr int kMasterMissing = 12;
constexpr int kExcludedSystem = 61;
constexpr int kWrongBitness = 81;
constexpr int kAnotherInstaller = 91;
constexpr int kLanguagePage = 94;
constexpr int kCancelled = 98;
constexpr int kCancelledAfterChanges = 101;
constexpr int kCancelCaption = 111;
constexpr int kMasterTooOld = 112;
constexpr int kPageTitle = 114;
}  // namespace msg

// Built-in texts used while the package has none.
constexpr std::u16string_view kWrongBitnessText = u"This product needs the %d-bit version of Windows.";
constexpr std::u16string_view kExcludedSystemText = u"This product cannot be installed on %s.";
constexpr std::u16string_view kMasterMissingText = u"%s must be installed before this product can be installed.";
constexpr std::u16string_view kMasterTooOldText =
    u"Version %s or later of %s must be installed before this product can be installed.";
constexpr std::u16string_view kAnotherInstallerText =
    u"Another installation is running. Please wait until it has finished and start this installation again.";
constexpr std::u16string_view kCancelledText = u"The installation was cancelled. Nothing has been changed.";
constexpr std::u16string_view kCancelledAfterChangesText =
    u"The installation was cancelled. Some changes have already been made to your system.";
constexpr std::u16string_view kCancelCaptionText = u"Installation cancelled";

// Longest texts read from an uninstall key.
constexpr std::size_t kMaxFolderLength = 4096;
// Longest environment expansion.
constexpr std::size_t kEnvironmentLimit = 31999;

// Bits of the product (settings field 13).
constexpr std::uint8_t kBits64 = 1;
constexpr std::uint8_t kBits32Only = 2;

// A text value of the registry; nothing when missing or not text.
std::optional<std::u16string> read_text(platform::Registry& registry, const RegKeyPath& key,
                                        const std::u16string& name, std::size_t max_length = 0) {
  auto value = registry.get_value(key, name);
  if (!value) return std::nullopt;
  std::optional<std::u16string> text = support::registry_text(*value);
  if (text && max_length && text->size() > max_length) text->resize(max_length);
  return text;
}

RegKeyPath uninstall_key(const std::u16string& name) {
  return RegKeyPath{RegRoot::kLocalMachine, std::u16string(kUninstallKey) + u"\\" + name, RegView::k32};
}

install::SystemDescription describe_system(Session& session, StartupState& state) {
  install::FolderQueries queries(session.sys, state.folder_cache);
  return queries.system_description();
}

}  // namespace

// ---------------------------------------------------------------------------
// Settings-time rules
// ---------------------------------------------------------------------------

bool runs_under_wine(Session& session) { return session.sys.info.wine_version().has_value(); }

void apply_silent_mode(Session& session, package::Settings& settings) {
  if (session.modes.silent) settings.product_flags = package::apply_silent_mode(settings.product_flags);
  // The bit that skips the greeting page also lets error boxes through in
  // automatic mode (silent mode sets it; boxes stay hidden there).
  session.errors_in_automatic_mode = has_bit(settings.product_flags, pf::kNoGreeting);
}

void apply_recent_systems_rule(Session& session, package::Settings& settings) {
  const platform::OsVersion v = session.sys.info.os_version();
  const bool nt = v.platform == platform::OsPlatform::kNt;
  const bool server_2003 = nt && v.major == 5 && v.minor == 2 && v.product_type != platform::product_type::kWorkstation;
  const bool recent = server_2003 || (nt && v.major >= 6);
  if (!recent || runs_under_wine(session)) settings.product_flags2 &= ~(1u << pf2::kRecentSystemsOnly);
}

void apply_automatic_mode_byte(RunModes& modes, std::uint8_t value) {
  if (value == 1) modes.automatic = true;
  if (value == 2 && !modes.silent) modes.automatic = false;
}

void disable_redirection_for_64bit_product(Session& session, std::uint8_t bits, StartupState& state) {
  if (bits != kBits64 || state.redirection_disabled || !session.sys.info.is_64bit_windows()) return;
  if (session.sys.info.disable_fs_redirection() != 0) fatal_error(session, std::string_view(kRedirectionFailedMessage));
  state.redirection_disabled = true;
}

void create_backdrop(Session& session, StartupState& state, const package::Settings& settings) {
  if (has_bit(settings.product_flags, pf::kNoBackdrop) || state.backdrop) return;
  const package::DerivedSettings derived = package::derive_settings(settings, session.modes.product_name_override);
  auto look = std::make_shared<wizard::BackdropSettings>(
      wizard::backdrop_from_settings(settings, derived, u"", session.modes.minimized));
  if (!session.sys.ui.create_backdrop(wizard::backdrop_look(*look))) return;
  state.backdrop = std::move(look);
  session.exit_hooks.close_backdrop = [&session] { session.sys.ui.destroy_backdrop(); };
}

package::FieldHook startup_field_hook(Session& session, StartupState& state, std::function<void()> crc_check) {
  return [&session, &state, crc_check = std::move(crc_check)](int field, package::Settings& settings) -> int {
    switch (field) {
      case 1:
        apply_silent_mode(session, settings);
        apply_recent_systems_rule(session, settings);
        break;
      case 2:
        apply_automatic_mode_byte(session.modes, settings.automatic_mode);
        break;
      case 13:
        disable_redirection_for_64bit_product(session, settings.bits, state);
        break;
      case 46:
        // Everything the backdrop shows has been read: it goes up now, and
        // then the settings must match their checksum.
        create_backdrop(session, state, settings);
        if (crc_check) crc_check();
        break;
      default:
        break;
    }
    return 0;
  };
}

// ---------------------------------------------------------------------------
// Language
// ---------------------------------------------------------------------------

std::string language_template(std::uint32_t style) {
  return wizard::template_name(wizard::Page::kLanguage, static_cast<int>(std::min<std::uint32_t>(style, 4)));
}

void choose_language(Session& session, StartupState& state) {
  const package::MessageTable& table = session.settings.messages;
  if (table.languages.size() <= 1 || session.modes.automatic) return;
  const std::u16string system_language = session.sys.info.user_language_native_name();
  if (wizard::show_language_page(session, system_language) != wizard::PageAnswer::kNext) {
    abort_notice(session, state, startup_exit::kCancelled, false);
  }
}

void take_language(Session& session, StartupState& state) {
  const package::MessageTable& table = session.settings.messages;
  state.language = static_cast<int>(table.chosen_language);
  state.language_name = table.chosen_language < table.languages.size() ? table.languages[table.chosen_language] : u"";
  state.folders.language_name = state.language_name;
  state.heading = session.message_or(msg::kHeading, u"");
  if (state.backdrop) state.backdrop->heading_text = state.heading;
  std::u16string windows_folder;
  if (session.settings.page_title.find(u"<os>") != std::u16string::npos) windows_folder = session.sys.shell.windows_folder();
  state.page_title = package::replace_message_macros(session.settings.page_title, session.derived.product_name,
                                                     session.derived.description, windows_folder);
  if (std::u16string title = session.message_or(msg::kPageTitle, u""); !title.empty()) state.page_title = title;
}

// ---------------------------------------------------------------------------
// Checks of the machine
// ---------------------------------------------------------------------------

void check_bitness(Session& session) {
  const std::uint8_t bits = session.settings.bits;
  if (bits != kBits64 && bits != kBits32Only) return;
  const bool windows64 = session.sys.info.is_64bit_windows();
  if ((bits == kBits64) == windows64) return;
  if (!session.modes.automatic) {
    support::formatted_error_box(session, msg::kWrongBitness, {bits == kBits64 ? u"64" : u"32"}, kWrongBitnessText);
  }
  exit_run(session, startup_exit::kWrongSystem);
}

void check_excluded_systems(Session& session, StartupState& state) {
  const install::SystemDescription system = describe_system(session, state);
  const std::uint32_t bit = system_bits(system.version, system.wine_version.has_value());
  if ((bit & session.settings.excluded_systems) == 0) return;
  support::formatted_error_box(session, msg::kExcludedSystem, {install::os_description(system)}, kExcludedSystemText);
  exit_run(session, startup_exit::kWrongSystem);
}

void check_master_product(Session& session, StartupState& state) {
  if (!has_bit(session.settings.product_flags, pf::kMasterProduct)) return;
  const std::u16string& display_name = session.derived.master_display_name;
  const RegKeyPath key = uninstall_key(session.derived.master_key_name);
  platform::Registry& registry = session.sys.registry;
  const std::u16string command = read_text(registry, key, u"UninstallString").value_or(u"");
  const std::u16string quiet = read_text(registry, key, u"QuietUninstallString").value_or(u"");
  state.master_version = read_text(registry, key, u"DisplayVersion").value_or(u"");
  state.master_folder = read_text(registry, key, u"InstallLocation", kMaxFolderLength).value_or(u"");
  const bool installed = !command.empty() || !quiet.empty();
  const bool needs_folder = session.settings.default_install_folder == u"<master>";
  if (!installed || (needs_folder && state.master_folder.empty())) {
    support::formatted_error_box(session, msg::kMasterMissing, {display_name}, kMasterMissingText);
    exit_run(session, startup_exit::kMasterProduct);
  }
  // The product installs into the master product's folder.
  if (needs_folder) state.default_folder = state.master_folder;
  const std::u16string& minimum = session.settings.master_min_version;
  if (!minimum.empty() && install::compare_versions(state.master_version, minimum) < 0) {
    // The required version is shown as the 8-bit text the engine keeps.
    const std::u16string required = support::from_bar_form(support::to_bar_form(minimum));
    support::formatted_error_box(session, msg::kMasterTooOld, {required, display_name}, kMasterTooOldText);
    exit_run(session, startup_exit::kMasterProduct);
  }
}

void settle_default_folder(Session& session, StartupState& state) {
  if (!state.default_folder.empty()) return;  // the master product's folder
  install::FolderQueries queries(session.sys, state.folder_cache);
  const std::u16string program_files = queries.program_files(session.settings.bits == kBits64);
  state.default_folder = package::default_install_folder(
      session.settings, session.derived, queries.windows_folder(), program_files, [&](std::u16string_view text) {
        std::u16string expanded(text);
        install::expand_variables(session.sys, state.folders, state.folder_cache, expanded);
        return expanded;
      });
}

void take_single_installer_mutex(Session& session) {
  if (!has_bit(session.settings.product_flags, pf::kSingleInstaller)) return;
  const platform::MutexTake taken = session.sys.processes.take_named_mutex(kSingleInstallerMutex);
  if (taken == platform::MutexTake::kTaken || taken == platform::MutexTake::kAbandoned) return;
  support::error_box(session, session.message_or(msg::kAnotherInstaller, kAnotherInstallerText));
  exit_run(session, startup_exit::kAnotherInstaller);
}

std::optional<RegistryValuePath> parse_registry_value_path(std::u16string_view path) {
  while (!path.empty() && path.front() == u'\\') path.remove_prefix(1);
  const auto slash = path.find(u'\\');
  if (slash == std::u16string_view::npos) return std::nullopt;
  const std::u16string root = support::to_upper(path.substr(0, slash));
  RegistryValuePath result;
  if (root == u"HKLM" || root == u"HKEY_LOCAL_MACHINE") {
    result.key.root = RegRoot::kLocalMachine;
  } else if (root == u"HKCU" || root == u"HKEY_CURRENT_USER") {
    result.key.root = RegRoot::kCurrentUser;
  } else if (root == u"HKCR" || root == u"HKEY_CLASSES_ROOT") {
    result.key.root = RegRoot::kClassesRoot;
  } else if (root == u"HKU" || root == u"HKEY_USERS") {
    result.key.root = RegRoot::kUsers;
  } else {
    return std::nullopt;
  }
  const std::u16string_view rest = path.substr(slash + 1);
  const auto last = rest.rfind(u'\\');
  if (last == std::u16string_view::npos || last == 0) return std::nullopt;
  result.key.subkey = std::u16string(rest.substr(0, last));
  result.value = std::u16string(rest.substr(last + 1));
  return result;
}

void read_existing_installation(Session& session, StartupState& state) {
  if (!has_bit(session.settings.product_flags, pf::kHasUninstaller)) return;
  platform::Registry& registry = session.sys.registry;
  const RegKeyPath key = uninstall_key(session.derived.uninstall_key_name);
  if (registry.key_exists(key)) {
    state.existing_folder = read_text(registry, key, u"InstallLocation", kMaxFolderLength).value_or(u"");
    state.existing_version = read_text(registry, key, u"DisplayVersion").value_or(u"");
    state.existing_shared_files = read_text(registry, key, u"SharedFiles").value_or(u"");
    state.existing_start_menu = read_text(registry, key, u"ProductStartMenu", kMaxFolderLength).value_or(u"");
  }
  const std::u16string& folder_path = session.settings.folder_registry_path;
  if (state.existing_folder.empty() && !folder_path.empty()) {
    if (auto where = parse_registry_value_path(folder_path)) {
      std::u16string folder = read_text(registry, where->key, where->value).value_or(u"");
      if (!folder.empty()) {
        std::u16string expanded = session.sys.shell.expand_environment(folder);
        if (!expanded.empty() && expanded.size() <= kEnvironmentLimit) folder = std::move(expanded);
      }
      state.existing_folder = std::move(folder);
    }
  }
  if (!folder_path.empty() && (session.settings.product_flags2 & (1u << pf2::kRemoveFolderRegistryValue))) {
    state.changes.append(std::u16string_view(folder_path), uninstall::ChangeKind::kRegistryValue);
  }
  state.existing_version_narrow = support::to_bar_form(state.existing_version);
  state.folders.existing_version = state.existing_version;
  if (!state.existing_folder.empty()) {
    state.existing_folder_exists = support::is_folder(session.sys.files, state.existing_folder);
  }
}

void play_start_sound(Session& session) {
  if (session.modes.automatic || session.settings.start_sound.empty()) return;
  const std::string& wav = session.settings.start_sound;
  session.sys.ui.play_sound(platform::Bytes(wav.begin(), wav.end()));
}

void abort_notice(Session& session, StartupState& state, int exit_code, bool system_changed) {
  const std::u16string& address = session.settings.web_texts[static_cast<int>(package::WebText::kCancelNotify)];
  if (!address.empty() && state.queue_request) state.queue_request(address);
  if (!session.modes.automatic) {
    platform::MessageBoxRequest box;
    box.caption = session.message_or(msg::kCancelCaption, kCancelCaptionText);
    box.text = system_changed ? session.message_or(msg::kCancelledAfterChanges, kCancelledAfterChangesText)
                              : session.message_or(msg::kCancelled, kCancelledText);
    box.icon = platform::BoxIcon::kWarning;
    box.buttons = platform::BoxButtons::kOk;
    support::message_box(session, box);
  }
  exit_run(session, exit_code);
}

// ---------------------------------------------------------------------------
// The start-up in order
// ---------------------------------------------------------------------------

void run_startup(Session& session, StartupState& state) {
  // 5. An empty change list, in the system's ANSI code page; messages use
  // their built-in texts until the package is loaded.
  state.changes.clear();
  platform::SystemInfo& info = session.sys.info;
  state.changes.use_code_page([&info](std::string_view text) { return info.ansi_to_utf16(text); },
                              [&info](std::u16string_view text) { return info.utf16_to_ansi(text); });

  // 6, 7. The own file and the package.
  std::unique_ptr<package::LoadedPackage> loaded = package::open_package(session);

  // 8. The settings, with silent mode, the recent-systems bit, the
  // automatic-mode byte, redirection and the checksum applied as they are read.
  session.settings.product_flags2 = loaded->header.product_flags2;
  const package::FieldHook hook =
      startup_field_hook(session, state, [&] { package::check_settings_crc(session, *loaded); });
  if (const package::LoadResult result = package::load_session_settings(session, loaded->settings, hook); !result) {
    package::report_damage(session, result.error());
  }

  // 9. The page title's macros; the start notification.
  take_language(session, state);
  const std::u16string& start_address = session.settings.web_texts[static_cast<int>(package::WebText::kStartNotify)];
  if (!start_address.empty() && state.queue_request) state.queue_request(start_address);

  // 10. Engine protection.
  package::protect_engine(session, *loaded, static_cast<int>(session.settings.dialog_styles.engine_protection));

  // 11. The uninstaller image.
  state.uninstaller_size = loaded->own_file.size();
  if (session.settings.product_flags2 & (1u << pf2::kUninstallerWithoutPackage)) {
    const package::PackageSection& section = loaded->section;
    package::OwnFile::Read head = loaded->own_file.read_prefix(section.pointer_to_raw_data, &session.sys.info);
    if (!head) package::report_damage(session, package::damage::kEngineReadFailed, head.error().system_error);
    const std::uint64_t tail_start = std::uint64_t{section.pointer_to_raw_data} + section.size_of_raw_data;
    const std::uint64_t file_size = loaded->own_file.size();
    const std::int64_t tail_size = file_size > tail_start ? static_cast<std::int64_t>(file_size - tail_start) : 0;
    package::OwnFile::Read tail = std::vector<std::uint8_t>{};
    if (tail_size > 0) tail = loaded->own_file.read_at(tail_start, tail_size, &session.sys.info);
    if (!tail) package::report_damage(session, package::damage::kUninstallerCopy, tail.error().system_error);
    auto image = support::build_uninstaller_image(*head, *tail, section.pointer_to_raw_data, section.size_of_raw_data);
    if (!image) package::report_damage(session, package::damage::kUninstallerCopy);
    state.uninstaller_image = std::move(*image);
    state.uninstaller_size = state.uninstaller_image.size();
  }

  // 12 to 14. The language, its texts, the backdrop's repaint.
  choose_language(session, state);
  take_language(session, state);
  if (state.backdrop) session.sys.ui.repaint_backdrop(wizard::backdrop_look(*state.backdrop));

  // 15 to 18. May this machine run the installation?
  check_bitness(session);
  check_excluded_systems(session, state);
  check_master_product(session, state);
  take_single_installer_mutex(session);

  // 19, 20. The existing installation.
  read_existing_installation(session, state);

  // 21. The start sound.
  play_start_sound(session);

  // The values the folder variables read from the package.
  install::FolderVariableState& folders = state.folders;
  folders.product_name = session.derived.product_name;
  folders.company_name = session.settings.company_name;
  folders.product_version = session.settings.product_version;
  folders.start_menu_folder = session.derived.start_menu_folder;
  folders.desktop_folder = session.derived.desktop_folder;
  folders.automatic = session.modes.automatic;
  folders.all_users_shortcuts = session.settings.shortcut_mode == 1;
  folders.product_64bit = session.settings.bits == kBits64;
  settle_default_folder(session, state);

  // 22. Hand over.
  install::run_installation(session);
}

}  // namespace hs::engine
