/* A DLL planted beside the installer under the name of a system library.
 * When any process loads it, it leaves "<its own path>.loaded" behind, so
 * the test sees that the loader took it from the installer's folder. */
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  (void)reserved;
  if (reason == DLL_PROCESS_ATTACH) {
    WCHAR path[MAX_PATH + 16];
    DWORD length = GetModuleFileNameW(instance, path, MAX_PATH);
    if (length > 0 && length < MAX_PATH) {
      lstrcpyW(path + length, L".loaded");
      HANDLE marker = CreateFileW(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
      if (marker != INVALID_HANDLE_VALUE) CloseHandle(marker);
    }
  }
  return TRUE;
}
