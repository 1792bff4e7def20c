// The process entry of hsetup.exe on Windows.
//
// Before anything else can load a library, the library search is limited to
// the system folder, so that no DLL left beside the installer is ever
// loaded. Then the real platform boundary is made and the engine runs; it
// ends the process itself.
#include <windows.h>

#include "engine/driver.h"
#include "engine/session.h"
#include "platform/win32/library_loading.h"
#include "platform/win32/win32_system.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  hs::platform::win32::restrict_library_search();
  std::unique_ptr<hs::platform::win32::Machine> machine = hs::platform::win32::make_system();
  hs::engine::Session session(machine->system());
  hs::engine::run_process(session);
}
