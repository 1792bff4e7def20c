// What the engine knows of the running system, and time.
#pragma once

#include "platform/types.h"

namespace hs::platform {

// Platform ids as GetVersionEx reports them.
enum class OsPlatform : std::uint32_t {
  kWin32s = 0,
  kWindows9x = 1,
  kNt = 2,
};

// Product types as OSVERSIONINFOEX reports them.
namespace product_type {
inline constexpr std::uint32_t kWorkstation = 1;
inline constexpr std::uint32_t kDomainController = 2;
inline constexpr std::uint32_t kServer = 3;
}  // namespace product_type

struct OsVersion {
  OsPlatform platform = OsPlatform::kNt;
  std::uint32_t major = 10;
  std::uint32_t minor = 0;
  std::uint32_t build = 19045;
  std::uint32_t product_type = product_type::kWorkstation;
  std::uint32_t service_pack_major = 0;
  std::u16string service_pack;  // szCSDVersion, "" when none
  std::uint32_t suite_mask = 0;    // wSuiteMask (VER_SUITE_* bits), 0 = none
  std::uint32_t product_kind = 0;  // GetProductInfo's product type, 0 = unknown
  bool server_r2 = false;          // GetSystemMetrics(SM_SERVERR2) != 0
};

class SystemInfo {
 public:
  virtual ~SystemInfo() = default;

  // The real version (not the one a compatibility shim would report).
  virtual OsVersion os_version() = 0;
  // True when Windows itself is 64-bit (whatever this process is).
  virtual bool is_64bit_windows() = 0;
  // The text wine_get_version returns, or nothing when not under Wine.
  virtual std::optional<std::string> wine_version() = 0;

  virtual std::uint32_t ansi_code_page() = 0;        // GetACP
  // An 8-bit text in the system's ANSI code page as UTF-16, and back
  // (MultiByteToWideChar and WideCharToMultiByte with CP_ACP). A character
  // the code page cannot hold becomes "?".
  virtual std::u16string ansi_to_utf16(std::string_view text) = 0;
  virtual std::string utf16_to_ansi(std::u16string_view text) = 0;
  virtual std::uint16_t user_language() = 0;         // GetUserDefaultUILanguage
  // The user's language named in that language ("Deutsch (Deutschland)"),
  // as the language page preselects it; "" when unknown.
  virtual std::u16string user_language_native_name() { return u""; }
  virtual std::u16string computer_name() = 0;
  virtual std::u16string user_name() = 0;

  // The text of a system error number without a trailing line break
  // (FormatMessage on Windows; a fixed table in the simulation).
  virtual std::u16string error_text(SysError error) = 0;

  // Wow64DisableWow64FsRedirection for the rest of the process. Where the
  // function does not exist (32-bit Windows) it fails with error 1
  // (ERROR_INVALID_FUNCTION).
  [[nodiscard]] virtual SysError disable_fs_redirection() = 0;

  // Authenticode check of a file (WinVerifyTrust, bound at run time): the
  // outcome number of the engine protection by signature (0 valid, 5 the
  // function is not available, ...) and the last system error after the
  // call. Backends without the function report 5.
  struct SignatureCheck {
    int outcome = 5;
    std::uint32_t last_error = 0;
  };
  virtual SignatureCheck verify_signature(const std::u16string& path) {
    (void)path;
    return SignatureCheck{};
  }
};

class Clock {
 public:
  virtual ~Clock() = default;
  virtual FileTime now_utc() = 0;
  virtual CalendarTime local_time() = 0;
  // Milliseconds since an arbitrary start (GetTickCount).
  virtual std::uint32_t tick_count() = 0;
  // Sleeps while letting window messages through.
  virtual void sleep(int milliseconds) = 0;
};

}  // namespace hs::platform
