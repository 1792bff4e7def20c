/* Host of signed_installer.sh: verifies a file's Authenticode signature as
 * the engine's protection by signature does (WinVerifyTrust with
 * WINTRUST_ACTION_GENERIC_VERIFY_V2, no user interface, revocation checked
 * for the whole chain) and prints the result and the last system error as
 * "result=0x%08lx last_error=0x%08lx". */
#include <stdio.h>
#include <windows.h>
#include <softpub.h>
#include <wintrust.h>

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) return 2;
  WINTRUST_FILE_INFO file = {0};
  file.cbStruct = sizeof file;
  file.pcwszFilePath = argv[1];
  WINTRUST_DATA data = {0};
  data.cbStruct = sizeof data;
  data.dwUIChoice = WTD_UI_NONE;
  data.fdwRevocationChecks = WTD_REVOKE_WHOLECHAIN;
  data.dwUnionChoice = WTD_CHOICE_FILE;
  data.pFile = &file;
  data.dwStateAction = WTD_STATEACTION_VERIFY;
  GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
  SetLastError(0);
  const LONG result = WinVerifyTrust((HWND)INVALID_HANDLE_VALUE, &action, &data);
  const DWORD last_error = GetLastError();
  printf("result=0x%08lx last_error=0x%08lx\n", (unsigned long)result, (unsigned long)last_error);
  data.dwStateAction = WTD_STATEACTION_CLOSE;
  WinVerifyTrust((HWND)INVALID_HANDLE_VALUE, &action, &data);
  return 0;
}
