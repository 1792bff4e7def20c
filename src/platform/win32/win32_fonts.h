// Fonts of the wizard's windows: which faces are installed, the package's
// dialog font, and enlarged or bold variants of a window's font.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace hs::platform::win32 {

// Whether a font family of this face name is installed (enumerated with
// EnumFontFamiliesExW). False for "" and for names too long for a face.
bool font_installed(std::u16string_view face);

// The font of `window` at `percent` of its height, with `weight` (0 keeps
// the weight); nullptr when the window has no font. The caller deletes it.
HFONT scaled_font(HWND window, int percent, int weight);

// The window's font with the face replaced by the first installed face of
// the comma-separated `list`; nullptr when none is installed (the template's
// font stays). The caller deletes it.
HFONT font_from_list(HWND window, const std::u16string& list);

}  // namespace hs::platform::win32
