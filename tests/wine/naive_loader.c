/* The control of the planted-DLL test: loads each named library the plain
 * way (LoadLibraryW with the default search). Under a loader that searches
 * the program's folder first, the planted copies leave their markers, which
 * shows that the test would notice an unsafe load. */
#include <windows.h>

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE previous, LPWSTR line, int show) {
  (void)instance;
  (void)previous;
  (void)line;
  (void)show;
  int argc = 0;
  LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  for (int i = 1; argv && i < argc; ++i) LoadLibraryW(argv[i]);
  return 0;
}
