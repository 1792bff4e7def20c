#include "platform/win32/win32_fonts.h"

#include "platform/win32/wide.h"

namespace hs::platform::win32 {

namespace {

int CALLBACK font_found(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found) {
  *reinterpret_cast<bool*>(found) = true;
  return 0;
}

}  // namespace

bool font_installed(std::u16string_view face) {
  if (face.empty() || face.size() >= LF_FACESIZE) return false;
  LOGFONTW lf{};
  lf.lfCharSet = DEFAULT_CHARSET;
  std::u16string name(face);
  wcscpy_s(lf.lfFaceName, wide(name));
  bool found = false;
  HDC dc = GetDC(nullptr);
  EnumFontFamiliesExW(dc, &lf, font_found, reinterpret_cast<LPARAM>(&found), 0);
  ReleaseDC(nullptr, dc);
  return found;
}

HFONT scaled_font(HWND window, int percent, int weight) {
  HFONT current = reinterpret_cast<HFONT>(SendMessageW(window, WM_GETFONT, 0, 0));
  LOGFONTW lf{};
  if (!current || !GetObjectW(current, sizeof lf, &lf)) return nullptr;
  lf.lfHeight = lf.lfHeight * percent / 100;
  if (weight) lf.lfWeight = weight;
  return CreateFontIndirectW(&lf);
}

HFONT font_from_list(HWND window, const std::u16string& list) {
  if (list.empty()) return nullptr;
  std::u16string face;
  std::size_t start = 0;
  while (start <= list.size() && face.empty()) {
    std::size_t end = list.find(u',', start);
    if (end == std::u16string::npos) end = list.size();
    std::u16string name = list.substr(start, end - start);
    while (!name.empty() && name.front() == u' ') name.erase(0, 1);
    while (!name.empty() && name.back() == u' ') name.pop_back();
    if (font_installed(name)) face = name;
    start = end + 1;
  }
  if (face.empty()) return nullptr;
  HFONT current = reinterpret_cast<HFONT>(SendMessageW(window, WM_GETFONT, 0, 0));
  LOGFONTW lf{};
  if (!current || !GetObjectW(current, sizeof lf, &lf)) return nullptr;
  wcsncpy_s(lf.lfFaceName, LF_FACESIZE, wide(face), LF_FACESIZE - 1);
  return CreateFontIndirectW(&lf);
}

}  // namespace hs::platform::win32
