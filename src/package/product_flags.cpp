#include "package/product_flags.h"

#include <array>

namespace hs::package {

namespace {

using W = FlagWord;

constexpr std::array kTable{
    // ProductFlags, low word
    ProductFlagInfo{W::kProductFlags, pf::kRemovePreviousVersion, "remove_previous_version",
                    "run the installed version's uninstaller before installing (unless the upgrade version threshold says otherwise)"},
    ProductFlagInfo{W::kProductFlags, pf::kUninstallShortcutStartMenu, "uninstall_shortcut_start_menu",
                    "put an uninstaller shortcut into the product's Start-menu folder"},
    ProductFlagInfo{W::kProductFlags, pf::kHasUninstaller, "has_uninstaller",
                    "register the product with an uninstaller: uninstall key, uninstall data file, uninstaller copy; an existing installation is read from the uninstall key"},
    ProductFlagInfo{W::kProductFlags, pf::kDialogColors, "dialog_colors",
                    "the package carries its own dialog colours (background and text)"},
    ProductFlagInfo{W::kProductFlags, pf::kCompressedPayload, "compressed_payload",
                    "payload chunks are XZ-compressed"},
    ProductFlagInfo{W::kProductFlags, pf::kAlwaysWriteLog, "always_write_log",
                    "append a record to Install.log after every installation, not only after failures"},
    ProductFlagInfo{W::kProductFlags, pf::kAskInstallFolder, "ask_install_folder",
                    "show the folder page so that the user may choose the installation folder"},
    ProductFlagInfo{W::kProductFlags, pf::kSingleInstaller, "single_installer",
                    "only one installer may run at a time (named mutex)"},
    ProductFlagInfo{W::kProductFlags, pf::kUninstallAutomatic, "uninstall_automatic",
                    "the uninstaller runs in automatic mode"},
    ProductFlagInfo{W::kProductFlags, pf::kUninstallRemovesFolder, "uninstall_removes_folder",
                    "the uninstaller removes the installation folder with everything still in it"},
    ProductFlagInfo{W::kProductFlags, pf::kDeferAnyFailedFile, "defer_any_failed_file",
                    "a file that cannot be written is replaced at the next restart even when it did not exist before"},
    ProductFlagInfo{W::kProductFlags, pf::kAddToPath, "add_to_path",
                    "add the installation folder (or the add-to-path subfolder) to the system PATH; removed again at uninstallation"},
    ProductFlagInfo{W::kProductFlags, pf::kRebootRequired, "reboot_required",
                    "run state: set when files must be replaced at the next restart"},
    ProductFlagInfo{W::kProductFlags, pf::kBackdropBitmap, "backdrop_bitmap",
                    "the backdrop bitmap is in use and saved for the uninstaller as \"Installer Background.bmp\""},
    ProductFlagInfo{W::kProductFlags, pf::kMasterProduct, "master_product",
                    "the master product fields are present and the master product must be installed"},
    ProductFlagInfo{W::kProductFlags, pf::kAskSharedFileRemoval, "ask_shared_file_removal",
                    "the uninstaller asks before deleting each shared file whose count reaches zero"},
    ProductFlagInfo{W::kProductFlags, pf::kVerifyWrittenFiles, "verify_written_files",
                    "read every written file back and compare it with the package data"},
    ProductFlagInfo{W::kProductFlags, pf::kClearFileAttributes, "clear_file_attributes",
                    "after a failed write, clear the target's read-only, hidden and system attributes before retrying"},
    ProductFlagInfo{W::kProductFlags, pf::kDetailedLog, "detailed_log",
                    "log every installed file, shortcut and document"},
    ProductFlagInfo{W::kProductFlags, pf::kNoCancel, "no_cancel",
                    "the progress page's cancel button is disabled"},
    ProductFlagInfo{W::kProductFlags, pf::kNoSummary, "no_summary",
                    "no summary page and no final information box"},
    ProductFlagInfo{W::kProductFlags, pf::kHidePreInstallBatch, "hide_pre_install_batch",
                    "run the Pre-Installation batch in a hidden window"},
    ProductFlagInfo{W::kProductFlags, pf::kHidePostInstallBatch, "hide_post_install_batch",
                    "run the Post-Installation batch in a hidden window"},
    ProductFlagInfo{W::kProductFlags, pf::kHideExitBatch, "hide_exit_batch",
                    "run the Installation-Exit batch in a hidden window"},
    ProductFlagInfo{W::kProductFlags, pf::kUninstallBatch1Option, "hide_uninstall_batch1",
                    "option passed to the batch runner for the first uninstall batch (hidden window)"},
    ProductFlagInfo{W::kProductFlags, pf::kUninstallBatch2Option, "hide_uninstall_batch2",
                    "option passed to the batch runner for the second uninstall batch (hidden window)"},
    ProductFlagInfo{W::kProductFlags, pf::kNoExistingConfirmation, "no_existing_confirmation",
                    "do not ask for confirmation when an existing installation is found"},
    ProductFlagInfo{W::kProductFlags, pf::kNoBackdrop, "no_backdrop",
                    "no full-screen background window (and no title values stored for the uninstaller)"},
    ProductFlagInfo{W::kProductFlags, pf::kConfirmInstallFolder, "confirm_install_folder",
                    "ask the user to confirm the chosen installation folder"},
    // ProductFlags, high word
    ProductFlagInfo{W::kProductFlags, pf::kRegistry64, "registry_64bit",
                    "the product's registry entries live in the 64-bit registry view"},
    ProductFlagInfo{W::kProductFlags, pf::kUninstallShortcutDesktop, "uninstall_shortcut_desktop",
                    "put an uninstaller shortcut on the desktop"},
    ProductFlagInfo{W::kProductFlags, pf::kAskStartMenuFolder, "ask_start_menu_folder",
                    "show the Start-menu page so that the user may choose the Start-menu folder"},
    ProductFlagInfo{W::kProductFlags, pf::kSilentCleared35, "flag_35",
                    "cleared in silent mode; no behaviour of its own"},
    ProductFlagInfo{W::kProductFlags, pf::kCompareVersions, "compare_versions",
                    "compare the installed version with the package's to tell upgrade, reinstall and downgrade apart"},
    ProductFlagInfo{W::kProductFlags, pf::kLocalFoldersOnly, "local_folders_only",
                    "the installation folder must be a file-system folder on a local drive (no network paths)"},
    ProductFlagInfo{W::kProductFlags, pf::kUninstallShortcutDataFolder, "uninstall_shortcut_data_folder",
                    "put an uninstaller shortcut into the uninstall data folder"},
    ProductFlagInfo{W::kProductFlags, pf::kMaximizeBackdrop, "maximize_backdrop",
                    "show the background window maximized instead of sizing it to the work area"},
    ProductFlagInfo{W::kProductFlags, pf::kAskRestartInAutomatic, "ask_restart_in_automatic",
                    "ask before restarting Windows even in automatic mode"},
    ProductFlagInfo{W::kProductFlags, pf::kNoGreeting, "no_greeting",
                    "skip the greeting page; error boxes are shown in automatic mode too"},
    ProductFlagInfo{W::kProductFlags, pf::kAskReplaceInstalled, "ask_replace_installed",
                    "ask before replacing an installed version (unless the second version threshold says otherwise)"},
    ProductFlagInfo{W::kProductFlags, pf::kRestartAfterUninstall, "restart_after_uninstall",
                    "restart Windows after uninstalling"},
    ProductFlagInfo{W::kProductFlags, pf::kSaveReadme, "save_readme",
                    "save the read-me texts as files in the installation folder"},
    ProductFlagInfo{W::kProductFlags, pf::kSaveLicence, "save_licence",
                    "save the licence texts as files in the installation folder"},
    ProductFlagInfo{W::kProductFlags, pf::kQuietStatus, "quiet_status",
                    "do not show each path in the status line"},
    ProductFlagInfo{W::kProductFlags, pf::kGrantFolderRights, "grant_folder_rights",
                    "let users modify the installation and Start-menu folders"},
    ProductFlagInfo{W::kProductFlags, pf::kProgressWindow, "progress_window",
                    "show the progress window"},
    ProductFlagInfo{W::kProductFlags, pf::kColoredPages, "colored_pages",
                    "wizard pages take the package's dialog colours"},
    ProductFlagInfo{W::kProductFlags, pf::kRebootMarker, "reboot_marker",
                    "create \"reboot.dat\" in the installation folder until the next restart"},
    ProductFlagInfo{W::kProductFlags, pf::kKeepInstallLog, "keep_install_log",
                    "the uninstaller keeps \"Install.log\""},
    ProductFlagInfo{W::kProductFlags, pf::kRefuseRemovableDrives, "refuse_removable_drives",
                    "refuse an installation folder on a removable, CD-ROM or RAM-disk drive"},
    ProductFlagInfo{W::kProductFlags, pf::kPortableNoUninstaller, "portable_no_uninstaller",
                    "a portable installation gets no uninstaller registration"},
    ProductFlagInfo{W::kProductFlags, pf::kOfferLogView, "offer_log_view",
                    "the summary page offers to show the installation log"},
    ProductFlagInfo{W::kProductFlags, pf::kDesktopFolderDefault, "desktop_folder_default",
                    "an empty desktop folder name becomes the product name"},
    ProductFlagInfo{W::kProductFlags, pf::kLogShortcut, "log_shortcut",
                    "put a Start-menu shortcut to the installation log"},
    ProductFlagInfo{W::kProductFlags, pf::kHideUpgradeBatch, "hide_upgrade_batch",
                    "run the Upgrade batch in a hidden window"},
    ProductFlagInfo{W::kProductFlags, pf::kHideReinstallBatch, "hide_reinstall_batch",
                    "run the Reinstall batch in a hidden window"},
    ProductFlagInfo{W::kProductFlags, pf::kGrantSharedFolderRights, "grant_shared_folder_rights",
                    "let users modify the shared folder"},
    // ProductFlags2
    ProductFlagInfo{W::kProductFlags2, pf2::kReinstallBatchSameVersionOnly, "reinstall_batch_same_version_only",
                    "run the Reinstall batch only when the same version is installed"},
    ProductFlagInfo{W::kProductFlags2, pf2::kRestorePoint, "restore_point",
                    "create a system restore point around the installation"},
    ProductFlagInfo{W::kProductFlags2, pf2::kUninstallerWithoutPackage, "uninstaller_without_package",
                    "the uninstaller copy is the executable without its package section"},
    ProductFlagInfo{W::kProductFlags2, pf2::kLogPreInstallBatch, "log_pre_install_batch",
                    "log and capture the Pre-Installation batch"},
    ProductFlagInfo{W::kProductFlags2, pf2::kLogPostInstallBatch, "log_post_install_batch",
                    "log and capture the Post-Installation batch"},
    ProductFlagInfo{W::kProductFlags2, pf2::kLogUpgradeBatch, "log_upgrade_batch",
                    "log and capture the Upgrade batch"},
    ProductFlagInfo{W::kProductFlags2, pf2::kLogReinstallBatch, "log_reinstall_batch",
                    "log and capture the Reinstall batch"},
    ProductFlagInfo{W::kProductFlags2, pf2::kRecentSystemsOnly, "recent_systems_only",
                    "kept only on Windows Server 2003 or Windows Vista and later (cleared at start-up elsewhere and under Wine)"},
    ProductFlagInfo{W::kProductFlags2, pf2::kPortableNoShortcuts, "portable_no_shortcuts",
                    "a portable installation makes no shortcuts and shows no Start-menu page"},
    ProductFlagInfo{W::kProductFlags2, pf2::kEnciphered, "enciphered",
                    "the settings block and payload chunks are enciphered and the key is in the header"},
    ProductFlagInfo{W::kProductFlags2, pf2::kRemoveFolderRegistryValue, "remove_folder_registry_value",
                    "the uninstaller deletes the registry value named by the folder registry path"},
    ProductFlagInfo{W::kProductFlags2, pf2::kPortableNoRegistry, "portable_no_registry",
                    "a portable installation writes no product key and no registry entries"},
    ProductFlagInfo{W::kProductFlags2, pf2::kAsciiFolderOnly, "ascii_folder_only",
                    "refuse an installation folder with characters above 127"},
    ProductFlagInfo{W::kProductFlags2, pf2::kPortableNoAssociations, "portable_no_associations",
                    "a portable installation registers no file associations"},
    ProductFlagInfo{W::kProductFlags2, pf2::kUninstallDoneMessage, "uninstall_done_message",
                    "show a completion message after uninstalling"},
    ProductFlagInfo{W::kProductFlags2, pf2::kPortableNoFirewall, "portable_no_firewall",
                    "a portable installation adds no firewall exceptions"},
    ProductFlagInfo{W::kProductFlags2, pf2::kUninstallShortcutInstallFolder, "uninstall_shortcut_install_folder",
                    "put an uninstaller shortcut into the installation folder"},
    ProductFlagInfo{W::kProductFlags2, pf2::kShowDiskSpace, "show_disk_space",
                    "the folder page shows the space needed and the space free"},
    ProductFlagInfo{W::kProductFlags2, pf2::kLicenceScrollToAccept, "licence_scroll_to_accept",
                    "the licence can be accepted only after scrolling to its end"},
    ProductFlagInfo{W::kProductFlags2, pf2::kSecondColorPair, "second_color_pair",
                    "the package carries a second dialog colour pair"},
};

}  // namespace

std::span<const ProductFlagInfo> product_flag_table() { return kTable; }

std::optional<ProductFlagInfo> find_product_flag(std::string_view name) {
  for (const auto& info : kTable) {
    if (info.name == name) return info;
  }
  return std::nullopt;
}

std::string describe_flags(FlagWord word, std::uint64_t value) {
  std::string out;
  const int width = word == FlagWord::kProductFlags ? 64 : 32;
  for (int bit = 0; bit < width; ++bit) {
    if (!has_bit(value, bit)) continue;
    if (!out.empty()) out += ", ";
    bool named = false;
    for (const auto& info : kTable) {
      if (info.word == word && info.bit == bit) {
        out += info.name;
        named = true;
        break;
      }
    }
    if (!named) out += "bit " + std::to_string(bit);
  }
  return out;
}

std::uint64_t apply_silent_mode(std::uint64_t flags) {
  auto bit = [](int n) { return std::uint64_t{1} << n; };
  flags &= ~(bit(7) | bit(31));
  flags |= bit(21) | bit(22) | bit(28) | bit(29);
  flags &= ~(bit(32 + 2) | bit(32 + 3) | bit(32 + 4) | bit(32 + 9) | bit(32 + 12) | bit(32 + 19));
  flags |= bit(32 + 11);
  return flags;
}

}  // namespace hs::package
