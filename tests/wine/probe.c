/* Tells whether Wine runs programs of this architecture: exits with 42. */
#include <windows.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR line, int show) {
  (void)instance;
  (void)previous;
  (void)line;
  (void)show;
  return 42;
}
