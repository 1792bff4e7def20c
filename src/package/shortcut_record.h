// A shortcut the installation makes (from the package, from a file entry or
// by the engine itself).
#pragma once

#include <cstdint>
#include <string>

namespace hs::package {

struct ShortcutRecord {
  std::u16string target;         // program or document the shortcut starts (folder variables allowed)
  std::u16string name;           // shortcut name without ".lnk"
  std::u16string icon_file;      // icon location; "" = the target's own icon
  std::u16string arguments;      // command-line arguments; "" = none
  std::u16string start_in;       // working folder; "" = none
  std::uint8_t on_desktop = 0;       // not 0: a shortcut on the desktop
  std::uint8_t in_start_menu = 0;    // not 0: a shortcut in the product's Start-menu folder
  std::uint8_t in_startup = 0;       // not 0: a shortcut in the Startup folder
  std::u16string extra_folder;   // a further folder to put a shortcut into; "" = none
  std::uint8_t show_state = 0;       // window show state for the started program; 0 = normal
  std::uint8_t keep_at_uninstall = 0;  // not 0: the uninstaller leaves the shortcut
  // Not stored: set for every record loaded from the package, meaning the
  // target goes through folder-variable expansion.
  bool expand_target = false;

  bool operator==(const ShortcutRecord&) const = default;
};

}  // namespace hs::package
