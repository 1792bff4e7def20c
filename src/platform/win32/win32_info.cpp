// System information and time.
#include "platform/win32/library_loading.h"
#include "platform/win32/trust.h"
#include "platform/win32/wide.h"
#include "platform/win32/win32_services.h"

namespace hs::platform::win32 {

OsVersion Win32SystemInfo::os_version() {
  // RtlGetVersion reports the real version; GetVersionEx is subject to the
  // compatibility shims of the manifest.
  OSVERSIONINFOEXW info = {};
  info.dwOSVersionInfoSize = sizeof(info);
  using RtlGetVersionFn = LONG(WINAPI*)(OSVERSIONINFOEXW*);
  auto rtl_get_version = bind_system<RtlGetVersionFn>(L"ntdll.dll", "RtlGetVersion");
  if (!rtl_get_version || rtl_get_version(&info) != 0) {
    info = {};
    info.dwOSVersionInfoSize = sizeof(info);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&info));
#pragma GCC diagnostic pop
  }
  OsVersion out;
  out.platform = static_cast<OsPlatform>(info.dwPlatformId);
  out.major = info.dwMajorVersion;
  out.minor = info.dwMinorVersion;
  out.build = info.dwBuildNumber;
  out.product_type = info.wProductType;
  out.service_pack_major = info.wServicePackMajor;
  out.service_pack = from_wide(info.szCSDVersion);
  return out;
}

bool Win32SystemInfo::is_64bit_windows() {
  if (sizeof(void*) == 8) return true;
  using IsWow64ProcessFn = BOOL(WINAPI*)(HANDLE, PBOOL);
  auto is_wow64 = bind_system<IsWow64ProcessFn>(L"kernel32.dll", "IsWow64Process");
  BOOL wow64 = FALSE;
  return is_wow64 && is_wow64(GetCurrentProcess(), &wow64) && wow64;
}

std::optional<std::string> wine_version_from(WineGetVersionFn get_version) {
  // Wine is there when ntdll exports the function and it gives a version.
  if (!get_version) return std::nullopt;
  const char* text = get_version();
  if (!text) return std::nullopt;
  return std::string(text);
}

std::optional<std::string> Win32SystemInfo::wine_version() {
  return wine_version_from(bind_system<WineGetVersionFn>(L"ntdll.dll", "wine_get_version"));
}

std::uint32_t Win32SystemInfo::ansi_code_page() { return GetACP(); }

std::u16string Win32SystemInfo::ansi_to_utf16(std::string_view text) {
  if (text.empty() || text.size() > 0x7FFFFFFF) return u"";
  const int size = static_cast<int>(text.size());
  const int length = MultiByteToWideChar(CP_ACP, 0, text.data(), size, nullptr, 0);
  if (length <= 0) return u"";
  std::u16string out(static_cast<std::size_t>(length), u'\0');
  MultiByteToWideChar(CP_ACP, 0, text.data(), size, reinterpret_cast<wchar_t*>(out.data()), length);
  return out;
}

std::string Win32SystemInfo::utf16_to_ansi(std::u16string_view text) {
  if (text.empty() || text.size() > 0x7FFFFFFF) return "";
  const auto* wide_text = reinterpret_cast<const wchar_t*>(text.data());
  const int size = static_cast<int>(text.size());
  const int length = WideCharToMultiByte(CP_ACP, 0, wide_text, size, nullptr, 0, nullptr, nullptr);
  if (length <= 0) return "";
  std::string out(static_cast<std::size_t>(length), '\0');
  WideCharToMultiByte(CP_ACP, 0, wide_text, size, out.data(), length, nullptr, nullptr);
  return out;
}

std::uint16_t Win32SystemInfo::user_language() { return GetUserDefaultUILanguage(); }

std::u16string Win32SystemInfo::user_language_native_name() {
  wchar_t name[128] = {};
  const LCID locale = MAKELCID(GetUserDefaultUILanguage(), SORT_DEFAULT);
  if (GetLocaleInfoW(locale, LOCALE_SNATIVELANGNAME, name, 128) == 0) return u"";
  return std::u16string(reinterpret_cast<const char16_t*>(name));
}

std::u16string Win32SystemInfo::computer_name() {
  wchar_t buffer[MAX_COMPUTERNAME_LENGTH + 1] = {};
  DWORD length = MAX_COMPUTERNAME_LENGTH + 1;
  if (!GetComputerNameW(buffer, &length)) return u"";
  return from_wide(buffer, length);
}

std::u16string Win32SystemInfo::user_name() {
  wchar_t buffer[257] = {};
  DWORD length = 257;  // counts the terminating zero on return
  if (!GetUserNameW(buffer, &length) || length == 0) return u"";
  return from_wide(buffer, length - 1);
}

std::u16string Win32SystemInfo::error_text(SysError error) {
  wchar_t* buffer = nullptr;
  DWORD length = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                    FORMAT_MESSAGE_IGNORE_INSERTS,
                                nullptr, error, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::u16string text;
  if (length && buffer) text = from_wide(buffer, length);
  if (buffer) LocalFree(buffer);
  while (!text.empty() && (text.back() == u'\r' || text.back() == u'\n' || text.back() == u' ')) text.pop_back();
  return text;
}

SysError Win32SystemInfo::disable_fs_redirection() {
  using DisableFn = BOOL(WINAPI*)(PVOID*);
  auto disable = bind_system<DisableFn>(L"kernel32.dll", "Wow64DisableWow64FsRedirection");
  if (!disable) return ERROR_INVALID_FUNCTION;
  PVOID old_value = nullptr;  // kept disabled for the rest of the process
  return disable(&old_value) ? err::kSuccess : last_error();
}

FileTime Win32Clock::now_utc() {
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  return (static_cast<FileTime>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
}

CalendarTime Win32Clock::local_time() {
  SYSTEMTIME t;
  GetLocalTime(&t);
  CalendarTime out;
  out.year = t.wYear;
  out.month = t.wMonth;
  out.day_of_week = t.wDayOfWeek;
  out.day = t.wDay;
  out.hour = t.wHour;
  out.minute = t.wMinute;
  out.second = t.wSecond;
  out.milliseconds = t.wMilliseconds;
  return out;
}

std::uint32_t Win32Clock::tick_count() { return GetTickCount(); }

void Win32Clock::sleep(int milliseconds) {
  if (milliseconds <= 0) {
    pump_thread_messages();
    return;
  }
  // A handle that never fires: the wait ends by its time limit, letting
  // window messages through meanwhile.
  HANDLE never = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  if (!never) {
    Sleep(static_cast<DWORD>(milliseconds));
    return;
  }
  wait_pumping(never, static_cast<DWORD>(milliseconds));
  CloseHandle(never);
}

SystemInfo::SignatureCheck Win32SystemInfo::verify_signature(const std::u16string& path) {
  return verify_signature_of(path);
}

}  // namespace hs::platform::win32
