/* Holds the single-installer mutex the way a running installer does: it
   creates "Halvorend GCS", takes it, writes the file named by its first
   argument once it holds it, and waits until the file named by its second
   argument is gone. It then ends without releasing the mutex, which leaves
   it abandoned. */
#include <windows.h>

int wmain(int argc, wchar_t** argv) {
  if (argc < 3) return 2;
  HANDLE mutex = CreateMutexW(NULL, FALSE, L"Halvorend GCS");
  if (!mutex || WaitForSingleObject(mutex, 0) != WAIT_OBJECT_0) return 3;
  HANDLE ready = CreateFileW(argv[1], GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
  if (ready == INVALID_HANDLE_VALUE) return 4;
  CloseHandle(ready);
  for (int i = 0; i < 1200 && GetFileAttributesW(argv[2]) != INVALID_FILE_ATTRIBUTES; ++i) Sleep(100);
  return 0;
}
