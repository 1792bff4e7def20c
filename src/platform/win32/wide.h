// UTF-16 texts of the engine as Windows' wide strings, and back.
//
// On Windows wchar_t is 16 bits and holds UTF-16, so the engine's
// std::u16string and Windows' wide strings share one representation.
#pragma once

#include <windows.h>

#include <string>

namespace hs::platform::win32 {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "wchar_t must be UTF-16 on Windows");

inline const wchar_t* wide(const std::u16string& text) { return reinterpret_cast<const wchar_t*>(text.c_str()); }
// NULL for an empty text, for parameters where Windows takes NULL as "none".
inline const wchar_t* wide_or_null(const std::u16string& text) { return text.empty() ? nullptr : wide(text); }

inline std::u16string from_wide(const wchar_t* text, std::size_t length) {
  return std::u16string(reinterpret_cast<const char16_t*>(text), length);
}
inline std::u16string from_wide(const wchar_t* text) { return text ? from_wide(text, wcslen(text)) : std::u16string(); }
inline std::u16string from_wide(const std::wstring& text) { return from_wide(text.data(), text.size()); }

// Calls `fill(buffer, capacity)` (a Windows function returning the length
// written, or the size needed when the buffer is too small, or 0 on failure)
// with a growing buffer; returns the text, or nothing when it failed.
template <typename Fill>
bool read_growing(Fill fill, std::u16string& out) {
  std::wstring buffer(MAX_PATH + 1, L'\0');
  for (int attempt = 0; attempt < 8; ++attempt) {
    DWORD n = fill(buffer.data(), static_cast<DWORD>(buffer.size()));
    if (n == 0) return false;
    if (n < buffer.size()) {
      out = from_wide(buffer.data(), n);
      return true;
    }
    buffer.assign(static_cast<std::size_t>(n) + 1, L'\0');
  }
  return false;
}

}  // namespace hs::platform::win32
