// The start-up of an installation: from the opened package to the hand-over
// to the installation run.
//
// `run_startup` takes the steps in their order; each step is also a function
// of its own so that it can be run and checked alone. Every step that ends
// the run does so through the exit routine with its exit code (5 wrong
// system or bitness, 7 master product, 8 another installer, 12 cancelled),
// or through the damage report or the fatal-error path.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "engine/session.h"
#include "engine/startup_state.h"
#include "package/package_section.h"
#include "package/settings.h"

namespace hs::engine {

// Exit codes of the start-up.
namespace startup_exit {
inline constexpr int kWrongSystem = 5;     // bitness or excluded system
inline constexpr int kMasterProduct = 7;   // master product missing or too old
inline constexpr int kAnotherInstaller = 8;  // the single-installer mutex is held
inline constexpr int kCancelled = 12;      // the user cancelled
}  // namespace startup_exit

// The named mutex that keeps a second installer from running.
inline constexpr char16_t kSingleInstallerMutex[] = u"Halvorend GCS";

// The fatal message when redirection cannot be switched off.
inline constexpr char kRedirectionFailedMessage[] = "Wow64DisableWow64FsRedirection() failed";

// Key of the products' uninstall keys below HKEY_LOCAL_MACHINE.
inline constexpr char16_t kUninstallKey[] = u"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

// Runs the start-up steps after the command line and hands over to the
// installation run. Never returns.
[[noreturn]] void run_startup(Session& session, StartupState& state);

// --- Settings-time rules (applied while the settings stream is read) -----

// True when the process runs under Wine.
bool runs_under_wine(Session& session);

// Silent mode's change of `ProductFlags` (nothing outside silent mode); also
// notes whether error boxes show in automatic mode (bit 43).
void apply_silent_mode(Session& session, package::Settings& settings);

// Clears `ProductFlags2` bit 10 unless the system is NT 5.2 other than a
// workstation or NT 6 and later, and always under Wine.
void apply_recent_systems_rule(Session& session, package::Settings& settings);

// The package's automatic-mode byte: 1 switches automatic mode on, 2 off
// unless silent, other values leave the command line's choice.
void apply_automatic_mode_byte(RunModes& modes, std::uint8_t value);

// Switches file-system redirection off for a 64-bit product (bits value 1)
// on 64-bit Windows; a failure is fatal.
void disable_redirection_for_64bit_product(Session& session, std::uint8_t bits, StartupState& state);

// Step 8: the backdrop window in the package's look, unless ProductFlags
// bit 29 asks for none; the exit routine closes it. A backdrop that cannot
// be created is left out and the run goes on without it.
void create_backdrop(Session& session, StartupState& state, const package::Settings& settings);

// The field hook for the settings loader that applies the rules above at
// their fields (1, 2 and 13) and checks the settings CRC with `crc_check`
// once the settings are complete enough (field 46).
package::FieldHook startup_field_hook(Session& session, StartupState& state, std::function<void()> crc_check);

// --- Steps ---------------------------------------------------------------

// Step 12: the language dialog's template for the package's style.
std::string language_template(std::uint32_t style);
// Step 12: shows the language dialog when the package has more than one
// language and automatic mode is off; cancel ends with the abort notice and
// exit code 12.
void choose_language(Session& session, StartupState& state);

// Step 13: the language value, the backdrop heading and the page title.
void take_language(Session& session, StartupState& state);

// Step 15: ends with exit code 5 when the product's bitness does not fit.
void check_bitness(Session& session);

// Step 16: ends with exit code 5 when the running system is excluded.
void check_excluded_systems(Session& session, StartupState& state);

// Step 17: ends with exit code 7 when the master product is missing or too
// old; notes its folder, which becomes the default installation folder when
// the package's is "<master>".
void check_master_product(Session& session, StartupState& state);

// The default installation folder by the package's rule, unless the master
// product's folder already is it.
void settle_default_folder(Session& session, StartupState& state);

// Step 18: ends with exit code 8 when another installer holds the mutex.
void take_single_installer_mutex(Session& session);

// Steps 19 and 20: the existing installation from the product's uninstall
// key and the folder registry path.
void read_existing_installation(Session& session, StartupState& state);

// Step 21: the start sound, unless automatic mode is on.
void play_start_sound(Session& session);

// The abort notice: queues the cancel notification, shows message 101
// (system already changed) or 98 unless automatic mode is on, and ends
// with `exit_code`.
[[noreturn]] void abort_notice(Session& session, StartupState& state, int exit_code, bool system_changed);

// A registry path "HKLM\Software\Vendor\Product\Value" split into its key
// and value name (after the last backslash). Nothing for an unknown root.
struct RegistryValuePath {
  platform::RegKeyPath key;
  std::u16string value;
};
std::optional<RegistryValuePath> parse_registry_value_path(std::u16string_view path);

}  // namespace hs::engine
