// The option bits of the product: every known bit of `ProductFlags` (64-bit,
// settings field 1) and `ProductFlags2` (32-bit, package header), with the
// name that the project file uses for it and what it does.
//
// Bit numbers count from the least significant bit; bit 32 + n of
// `ProductFlags` is bit n of its high word. The engine tests bits through the
// constants below; hpack prints set bits by name and the project file sets
// them by name, both through `kProductFlagTable`.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace hs::package {

// Which of the two flag words a bit belongs to.
enum class FlagWord : std::uint8_t {
  kProductFlags = 1,   // 64-bit word of settings field 1
  kProductFlags2 = 2,  // 32-bit word of the package header
};

// One known option bit.
struct ProductFlagInfo {
  FlagWord word;             // the word that holds the bit
  int bit;                   // bit number, 0 = least significant
  std::string_view name;     // project-file key, lower case with underscores
  std::string_view meaning;  // what the bit does, one sentence
};

// `ProductFlags` bit numbers.
namespace pf {
inline constexpr int kRemovePreviousVersion = 0;
inline constexpr int kUninstallShortcutStartMenu = 1;
inline constexpr int kHasUninstaller = 2;
inline constexpr int kDialogColors = 4;
inline constexpr int kCompressedPayload = 5;
inline constexpr int kAlwaysWriteLog = 6;
inline constexpr int kAskInstallFolder = 7;
inline constexpr int kSingleInstaller = 8;
inline constexpr int kUninstallAutomatic = 9;
inline constexpr int kUninstallRemovesFolder = 10;
inline constexpr int kDeferAnyFailedFile = 11;
inline constexpr int kAddToPath = 12;
inline constexpr int kRebootRequired = 14;
inline constexpr int kBackdropBitmap = 15;
inline constexpr int kMasterProduct = 16;
inline constexpr int kAskSharedFileRemoval = 17;
inline constexpr int kVerifyWrittenFiles = 18;
inline constexpr int kClearFileAttributes = 19;
inline constexpr int kDetailedLog = 20;
inline constexpr int kNoCancel = 21;
inline constexpr int kNoSummary = 22;
inline constexpr int kHidePreInstallBatch = 23;
inline constexpr int kHidePostInstallBatch = 24;
inline constexpr int kHideExitBatch = 25;
inline constexpr int kUninstallBatch1Option = 26;
inline constexpr int kUninstallBatch2Option = 27;
inline constexpr int kNoExistingConfirmation = 28;
inline constexpr int kNoBackdrop = 29;
inline constexpr int kConfirmInstallFolder = 31;
inline constexpr int kRegistry64 = 32;
inline constexpr int kUninstallShortcutDesktop = 33;
inline constexpr int kAskStartMenuFolder = 34;
inline constexpr int kSilentCleared35 = 35;
inline constexpr int kCompareVersions = 36;
inline constexpr int kLocalFoldersOnly = 37;
inline constexpr int kUninstallShortcutDataFolder = 38;
inline constexpr int kMaximizeBackdrop = 40;
inline constexpr int kAskRestartInAutomatic = 41;
inline constexpr int kNoGreeting = 43;
inline constexpr int kAskReplaceInstalled = 44;
inline constexpr int kRestartAfterUninstall = 45;
inline constexpr int kSaveReadme = 46;
inline constexpr int kSaveLicence = 47;
inline constexpr int kQuietStatus = 49;
inline constexpr int kGrantFolderRights = 50;
inline constexpr int kProgressWindow = 51;
inline constexpr int kColoredPages = 52;
inline constexpr int kRebootMarker = 53;
inline constexpr int kKeepInstallLog = 54;
inline constexpr int kRefuseRemovableDrives = 55;
inline constexpr int kPortableNoUninstaller = 56;
inline constexpr int kOfferLogView = 57;
inline constexpr int kDesktopFolderDefault = 58;
inline constexpr int kLogShortcut = 59;
inline constexpr int kHideUpgradeBatch = 60;
inline constexpr int kHideReinstallBatch = 61;
inline constexpr int kGrantSharedFolderRights = 62;
}  // namespace pf

// `ProductFlags2` bit numbers.
namespace pf2 {
inline constexpr int kReinstallBatchSameVersionOnly = 0;
inline constexpr int kRestorePoint = 1;
inline constexpr int kUninstallerWithoutPackage = 5;
inline constexpr int kLogPreInstallBatch = 6;
inline constexpr int kLogPostInstallBatch = 7;
inline constexpr int kLogUpgradeBatch = 8;
inline constexpr int kLogReinstallBatch = 9;
inline constexpr int kRecentSystemsOnly = 10;
inline constexpr int kPortableNoShortcuts = 11;
inline constexpr int kEnciphered = 12;
inline constexpr int kRemoveFolderRegistryValue = 13;
inline constexpr int kPortableNoRegistry = 15;
inline constexpr int kAsciiFolderOnly = 16;
inline constexpr int kPortableNoAssociations = 17;
inline constexpr int kUninstallDoneMessage = 18;
inline constexpr int kPortableNoFirewall = 19;
inline constexpr int kUninstallShortcutInstallFolder = 21;
inline constexpr int kShowDiskSpace = 22;
inline constexpr int kLicenceScrollToAccept = 23;
inline constexpr int kSecondColorPair = 24;
}  // namespace pf2

// Every known bit of both words, `ProductFlags` first, each in bit order.
std::span<const ProductFlagInfo> product_flag_table();

// The bit named `name` (exact, lower case), or nothing.
std::optional<ProductFlagInfo> find_product_flag(std::string_view name);

// True when bit `bit` of `word` is set.
constexpr bool has_bit(std::uint64_t word, int bit) {
  return bit >= 0 && bit < 64 && ((word >> bit) & 1u) != 0;
}

// The names of the set bits of `value` in `word`, separated by ", ";
// unknown bits appear as "bit N".
std::string describe_flags(FlagWord word, std::uint64_t value);

// Silent mode's change of `ProductFlags`, made right after the word is read:
// clears bits 7, 31, 34, 35, 36, 41, 44 and 51 (folder page and its
// confirmation, Start-menu page, version comparison and question, restart
// question, progress window) and sets bits 21, 22, 28, 29 and 43 (no cancel,
// no summary, no existing-installation confirmation, no backdrop, no
// greeting).
std::uint64_t apply_silent_mode(std::uint64_t product_flags);

}  // namespace hs::package
