// What the start-up found out about the package and the machine, read by the
// installation run afterwards.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "install/folder_variables.h"
#include "uninstall/change_list.h"

namespace hs::wizard {
struct BackdropSettings;
}  // namespace hs::wizard

namespace hs::engine {

struct StartupState {
  // The backdrop window's look, kept for as long as the window shows it;
  // null when the package asks for no backdrop or it could not be created.
  std::shared_ptr<wizard::BackdropSettings> backdrop;

  // Index of the chosen language in the package's language list; the
  // default language until the language dialog changes it.
  int language = 0;
  std::u16string language_name;  // name of the chosen language

  // Heading painted on the backdrop: message 0 of the chosen language.
  std::u16string heading;
  // Heading of every wizard page: the package's page title with its macros
  // expanded, replaced by message 114 when that is not empty.
  std::u16string page_title;

  // True once file-system redirection was switched off (64-bit product on
  // 64-bit Windows); it stays off for the rest of the process.
  bool redirection_disabled = false;

  // Folder of the master product ("" = none found or none required).
  std::u16string master_folder;
  // Version of the master product as installed ("" = none).
  std::u16string master_version;

  // The default installation folder the installation run starts from: the
  // package's rule (settings field 19) applied, and for "<master>" the
  // master product's folder. "" until the start-up has settled it.
  std::u16string default_folder;

  // The existing installation, read from the product's uninstall key.
  std::u16string existing_folder;       // "InstallLocation", else the folder registry path; "" = none
  std::u16string existing_version;      // "DisplayVersion", "" = none
  std::string existing_version_narrow;  // 8-bit (bar form) copy of existing_version
  std::u16string existing_shared_files;  // "SharedFiles", "" = none
  std::u16string existing_start_menu;   // "ProductStartMenu", "" = none
  bool existing_folder_exists = false;  // existing_folder names a folder that exists

  // The bytes the installation copies as the product's uninstaller: the
  // executable without its package when ProductFlags2 bit 5 is set, else
  // empty (the whole own file is copied).
  std::vector<std::uint8_t> uninstaller_image;
  std::uint64_t uninstaller_size = 0;  // size of the uninstaller copy in bytes

  // The change list of the uninstall data file, started empty at start-up;
  // the installation run appends to it.
  uninstall::ChangeList changes;

  // Values the folder variables read, and the values they compute once.
  install::FolderVariableState folders;
  install::FolderCache folder_cache;

  // Queues a web request (the start and cancel notifications) with the
  // background sender; empty while the run has no sender.
  std::function<void(const std::u16string& address)> queue_request;
};

}  // namespace hs::engine
