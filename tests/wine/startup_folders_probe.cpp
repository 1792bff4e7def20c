// Prints every folder variable as the engine expands it on the Windows it
// runs on, one "Name=value" line each (UTF-8), for startup_folders.sh to
// compare with what Windows itself says.
#include <cstdio>

#include "install/folder_variables.h"
#include "platform/win32/win32_system.h"
#include "support/text.h"

int wmain() {
  auto machine = hs::platform::win32::make_system();
  hs::install::FolderVariableState state;
  hs::install::FolderCache cache;
  for (int i = 0; i < hs::install::kFolderVariableCount; ++i) {
    const std::u16string name(hs::install::folder_variable_name(i));
    std::u16string text = u"%" + name + u"%";
    hs::install::expand_variables(machine->system(), state, cache, text);
    std::printf("%s=%s\n", hs::support::utf16_to_utf8(name).c_str(), hs::support::utf16_to_utf8(text).c_str());
  }
  return 0;
}
