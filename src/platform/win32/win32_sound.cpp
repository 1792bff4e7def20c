// The start sound: winmm's PlaySoundW, bound at need from the system folder.
#include <windows.h>

#include <mmsystem.h>

#include "platform/win32/library_loading.h"
#include "platform/win32/win32_services.h"

namespace hs::platform::win32 {

void Win32UserInterface::play_sound(const Bytes& wav) {
  if (wav.empty()) return;
  using PlaySoundFn = BOOL(WINAPI*)(LPCWSTR, HMODULE, DWORD);
  static const PlaySoundFn play = bind_system<PlaySoundFn>(L"winmm.dll", "PlaySoundW");
  if (!play) return;  // no winmm: the installer runs silently
  const Bytes& image = sounds_.emplace_back(wav);
  // From memory, asynchronously, without the default sound when the image
  // cannot be played, and without cutting off a sound already playing.
  play(reinterpret_cast<LPCWSTR>(image.data()), nullptr, SND_MEMORY | SND_ASYNC | SND_NODEFAULT | SND_NOSTOP);
}

}  // namespace hs::platform::win32
