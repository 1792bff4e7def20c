#include "platform/win32/library_loading.h"

#include <string>

namespace hs::platform::win32 {

namespace {

#ifndef LOAD_LIBRARY_SEARCH_SYSTEM32
#define LOAD_LIBRARY_SEARCH_SYSTEM32 0x00000800
#endif

using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
using SetDllDirectoryWFn = BOOL(WINAPI*)(LPCWSTR);

// kernel32 is always mapped; looking functions up in it loads nothing.
FARPROC kernel32_function(const char* name) {
  HMODULE kernel32 = GetModuleHandleW(L"kernel32.dll");
  return kernel32 ? GetProcAddress(kernel32, name) : nullptr;
}

}  // namespace

void restrict_library_search() {
  // Windows 7 and Vista without the loader update lack these functions;
  // load_system_library then loads by full path instead.
  auto set_default = reinterpret_cast<SetDefaultDllDirectoriesFn>(
      reinterpret_cast<void*>(kernel32_function("SetDefaultDllDirectories")));
  if (set_default) set_default(LOAD_LIBRARY_SEARCH_SYSTEM32);
  auto set_dll_directory =
      reinterpret_cast<SetDllDirectoryWFn>(reinterpret_cast<void*>(kernel32_function("SetDllDirectoryW")));
  if (set_dll_directory) set_dll_directory(L"");  // removes the current folder from the search
}

HMODULE load_system_library(const wchar_t* name) {
  if (HMODULE module = LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32)) return module;
  // A loader without the search flags refuses them as an invalid parameter;
  // then a full path into the system folder, so it never searches.
  if (GetLastError() != ERROR_INVALID_PARAMETER) return nullptr;
  wchar_t folder[MAX_PATH + 1];
  UINT length = GetSystemDirectoryW(folder, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return nullptr;
  std::wstring path(folder, length);
  if (path.back() != L'\\') path += L'\\';
  path += name;
  return LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

FARPROC system_function(const wchar_t* library, const char* function) {
  // A library already in the process (kernel32, ntdll, a KnownDLL import)
  // is used as it is.
  HMODULE module = GetModuleHandleW(library);
  if (!module) module = load_system_library(library);
  return module ? GetProcAddress(module, function) : nullptr;
}

}  // namespace hs::platform::win32
