// A small Windows program that drives the engine's deferred deletion on a
// real Windows (or Wine), for tests/wine/records_run.sh.
//
//   records_driver.exe replace TEMPORARY TARGET
//       schedules TARGET to be replaced by TEMPORARY at the next start;
//       exit code 0 when scheduled, else the system error number
//   records_driver.exe delete PATH
//       schedules PATH for deletion at the next start
//   records_driver.exe cleanup PATH
//       withdraws the pending moves and deletions of PATH
//   records_driver.exe selfdelete INSTALL_FOLDER UNINSTALL_SUBDIR
//       writes "delunins.bat" and starts it hidden, then ends at once, so
//       that the batch deletes this very program and its folders
#include <windows.h>

#include <cstdio>
#include <string>

#include "platform/win32/win32_system.h"
#include "uninstall/deferred_deletion.h"

namespace {

std::u16string arg(wchar_t** argv, int i) { return std::u16string(reinterpret_cast<const char16_t*>(argv[i])); }

}  // namespace

int wmain(int argc, wchar_t** argv) {
  auto machine = hs::platform::win32::make_system();
  hs::platform::System& sys = machine->system();
  const std::wstring command = argc > 1 ? argv[1] : L"";
  if (command == L"replace" && argc == 4) {
    auto scheduled = hs::uninstall::schedule_replacement_at_next_start(sys, arg(argv, 2), arg(argv, 3));
    return scheduled ? 0 : static_cast<int>(scheduled.error());
  }
  if (command == L"delete" && argc == 3) {
    return static_cast<int>(hs::uninstall::schedule_deletion_at_next_start(sys, arg(argv, 2)));
  }
  if (command == L"cleanup" && argc == 3) {
    hs::uninstall::PendingPathSet paths;
    paths.add(arg(argv, 2));
    hs::uninstall::clean_pending_renames(sys, paths, nullptr);
    return 0;
  }
  if (command == L"selfdelete" && argc == 4) {
    return static_cast<int>(hs::uninstall::start_self_deletion(sys, arg(argv, 2), arg(argv, 3)));
  }
  std::fputs("usage: records_driver replace TEMP TARGET | delete PATH | cleanup PATH | selfdelete FOLDER SUBDIR\n",
             stderr);
  return 87;
}
