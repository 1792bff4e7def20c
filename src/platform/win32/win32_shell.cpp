// Special and known folders, the environment and shell file operations.
#include <windows.h>

#include <shlobj.h>
#include <shellapi.h>

#include "platform/win32/library_loading.h"
#include "platform/win32/wide.h"
#include "platform/win32/win32_services.h"

namespace hs::platform::win32 {

namespace {

std::u16string without_trailing_backslash(std::u16string path) {
  while (path.size() > 3 && path.back() == u'\\') path.pop_back();
  return path;
}

// Reads "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}"; false when malformed.
bool parse_guid(const std::u16string& text, GUID& out) {
  if (text.size() != 38 || text.front() != u'{' || text.back() != u'}') return false;
  auto hex = [&](std::size_t at, int digits, unsigned long long& value) {
    value = 0;
    for (int i = 0; i < digits; ++i) {
      char16_t c = text[at + i];
      int d = (c >= u'0' && c <= u'9') ? c - u'0' : (c >= u'a' && c <= u'f') ? c - u'a' + 10
            : (c >= u'A' && c <= u'F') ? c - u'A' + 10 : -1;
      if (d < 0) return false;
      value = value * 16 + static_cast<unsigned>(d);
    }
    return true;
  };
  if (text[9] != u'-' || text[14] != u'-' || text[19] != u'-' || text[24] != u'-') return false;
  unsigned long long v = 0;
  if (!hex(1, 8, v)) return false;
  out.Data1 = static_cast<unsigned long>(v);
  if (!hex(10, 4, v)) return false;
  out.Data2 = static_cast<unsigned short>(v);
  if (!hex(15, 4, v)) return false;
  out.Data3 = static_cast<unsigned short>(v);
  const std::size_t byte_at[8] = {20, 22, 25, 27, 29, 31, 33, 35};
  for (int i = 0; i < 8; ++i) {
    if (!hex(byte_at[i], 2, v)) return false;
    out.Data4[i] = static_cast<unsigned char>(v);
  }
  return true;
}

}  // namespace

Result<std::u16string> Win32Shell::special_folder(int csidl) {
  using SHGetFolderPathWFn = HRESULT(WINAPI*)(HWND, int, HANDLE, DWORD, LPWSTR);
  auto get_folder = bind_system<SHGetFolderPathWFn>(L"shell32.dll", "SHGetFolderPathW");
  if (!get_folder) return Result<std::u16string>::fail(ERROR_PROC_NOT_FOUND);
  wchar_t buffer[MAX_PATH + 1] = {};
  HRESULT hr = get_folder(nullptr, csidl, nullptr, 0 /* SHGFP_TYPE_CURRENT */, buffer);
  if (hr != S_OK || buffer[0] == 0) return Result<std::u16string>::fail(ERROR_FILE_NOT_FOUND);
  return Result<std::u16string>::ok(without_trailing_backslash(from_wide(buffer)));
}

Result<std::u16string> Win32Shell::known_folder(const std::u16string& folder_id) {
  GUID id;
  if (!parse_guid(folder_id, id)) return Result<std::u16string>::fail(ERROR_INVALID_PARAMETER);
  // SHGetKnownFolderPath exists from Windows Vista.
  using SHGetKnownFolderPathFn = HRESULT(WINAPI*)(const GUID&, DWORD, HANDLE, PWSTR*);
  auto get_known = bind_system<SHGetKnownFolderPathFn>(L"shell32.dll", "SHGetKnownFolderPath");
  if (!get_known) return Result<std::u16string>::fail(ERROR_PROC_NOT_FOUND);
  PWSTR path = nullptr;
  HRESULT hr = get_known(id, 0, nullptr, &path);
  if (FAILED(hr) || !path) {
    if (path) CoTaskMemFree(path);
    return Result<std::u16string>::fail(ERROR_FILE_NOT_FOUND);
  }
  std::u16string out = without_trailing_backslash(from_wide(path));
  CoTaskMemFree(path);
  return Result<std::u16string>::ok(out);
}

std::u16string Win32Shell::windows_folder() {
  std::u16string out;
  read_growing([](wchar_t* b, DWORD n) { return static_cast<DWORD>(GetWindowsDirectoryW(b, n)); }, out);
  return out;
}

std::u16string Win32Shell::system_folder() {
  std::u16string out;
  read_growing([](wchar_t* b, DWORD n) { return static_cast<DWORD>(GetSystemDirectoryW(b, n)); }, out);
  return out;
}

Result<std::u16string> Win32Shell::system_wow64_folder() {
  using GetSystemWow64DirectoryWFn = UINT(WINAPI*)(LPWSTR, UINT);
  auto get_folder = bind_system<GetSystemWow64DirectoryWFn>(L"kernel32.dll", "GetSystemWow64DirectoryW");
  if (!get_folder) return Result<std::u16string>::fail(ERROR_CALL_NOT_IMPLEMENTED);
  std::u16string out;
  if (!read_growing([&](wchar_t* b, DWORD n) { return static_cast<DWORD>(get_folder(b, n)); }, out))
    return Result<std::u16string>::fail(last_error());
  return Result<std::u16string>::ok(out);
}

Result<std::u16string> Win32Shell::environment_variable(const std::u16string& name) {
  SetLastError(0);
  std::u16string out;
  if (!read_growing([&](wchar_t* b, DWORD n) { return GetEnvironmentVariableW(wide(name), b, n); }, out)) {
    DWORD error = GetLastError();
    if (error == 0) return Result<std::u16string>::ok(u"");  // set but empty
    return Result<std::u16string>::fail(error);
  }
  return Result<std::u16string>::ok(out);
}

SysError Win32Shell::set_environment_variable(const std::u16string& name, const std::u16string& value) {
  return SetEnvironmentVariableW(wide(name), wide(value)) ? err::kSuccess : last_error();
}

std::u16string Win32Shell::expand_environment(const std::u16string& text) {
  if (text.empty()) return text;
  std::u16string out;
  // ExpandEnvironmentStrings counts the terminating zero in its result.
  if (!read_growing(
          [&](wchar_t* b, DWORD n) {
            DWORD needed = ExpandEnvironmentStringsW(wide(text), b, n);
            return needed <= n && needed > 0 ? needed - 1 : needed;
          },
          out))
    return text;
  return out;
}

SysError Win32Shell::recycle(const std::u16string& path) {
  std::wstring from(reinterpret_cast<const wchar_t*>(path.c_str()), path.size());
  from.push_back(L'\0');  // the list ends with two zeros
  SHFILEOPSTRUCTW op = {};
  op.wFunc = FO_DELETE;
  op.pFrom = from.c_str();
  op.fFlags = FOF_ALLOWUNDO | FOF_NOCONFIRMATION | FOF_SILENT | FOF_NOERRORUI;
  int result = SHFileOperationW(&op);
  if (result != 0) return static_cast<SysError>(result);
  return op.fAnyOperationsAborted ? err::kCancelled : err::kSuccess;
}

void Win32Shell::notify_associations_changed() { SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr); }

}  // namespace hs::platform::win32
