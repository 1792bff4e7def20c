#include "platform/win32/trust.h"

#include <windows.h>
#include <softpub.h>
#include <wintrust.h>

#include "package/engine_protection.h"
#include "platform/win32/library_loading.h"

namespace hs::platform::win32 {

SystemInfo::SignatureCheck verify_signature_of(const std::u16string& path) {
  using VerifyFn = LONG(WINAPI*)(HWND, GUID*, LPVOID);
  SystemInfo::SignatureCheck check;
  const auto verify = bind_system<VerifyFn>(L"wintrust.dll", "WinVerifyTrust");
  if (!verify) {
    check.outcome = package::signature_outcome_number::kNotAvailable;
    return check;
  }

  WINTRUST_FILE_INFO file{};
  file.cbStruct = sizeof file;
  file.pcwszFilePath = reinterpret_cast<LPCWSTR>(path.c_str());

  WINTRUST_DATA data{};
  data.cbStruct = sizeof data;
  data.dwUIChoice = WTD_UI_NONE;
  data.fdwRevocationChecks = WTD_REVOKE_WHOLECHAIN;
  data.dwUnionChoice = WTD_CHOICE_FILE;
  data.pFile = &file;
  data.dwStateAction = WTD_STATEACTION_VERIFY;

  GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
  SetLastError(0);
  const LONG result = verify(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &data);
  check.last_error = GetLastError();
  check.outcome = package::signature_outcome(static_cast<std::uint32_t>(result), check.last_error);

  // Release the state the verification kept.
  data.dwStateAction = WTD_STATEACTION_CLOSE;
  verify(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &data);
  return check;
}

}  // namespace hs::platform::win32
