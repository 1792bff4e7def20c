#include "install/os_release.h"

#include "support/text.h"

namespace hs::install {
namespace {

using platform::OsPlatform;
using platform::OsVersion;

bool is_workstation(const OsVersion& v) { return v.product_type == platform::product_type::kWorkstation; }

bool is_nt(const OsVersion& v, std::uint32_t major, std::uint32_t minor) {
  return v.platform == OsPlatform::kNt && v.major == major && v.minor == minor;
}

// The server releases of NT 10.0 by build.
std::u16string server_10_year(std::uint32_t build) {
  if (build < 17733) return u"2016";
  if (build < 20298) return u"2019";
  return u"2022";
}

// The release name as %OSDescription% writes it after "Windows ": server
// releases carry "Server ", workstations their plain name.
std::u16string release_long_name(const SystemDescription& s) {
  const OsVersion& v = s.version;
  if (v.platform == OsPlatform::kWin32s) return u"3.1 (Win32s)";
  if (v.platform == OsPlatform::kWindows9x) {
    if (v.major != 4) return u"";
    if (v.minor < 10) return u"95";
    if (v.minor < 90) return v.build >= 2222 ? u"98 SE" : u"98";
    return u"ME";
  }
  if (v.platform != OsPlatform::kNt) return u"";
  const bool ws = is_workstation(v);
  if (v.major <= 4) {
    return u"NT " + support::ascii_to_utf16(std::to_string(v.major) + "." + std::to_string(v.minor));
  }
  if (v.major == 5) {
    switch (v.minor) {
      case 0: return u"2000";
      case 1: return u"XP";
      case 2:
        if (v.suite_mask & kSuiteHomeServer) return u"Home Server";
        if (ws) return u"XP";
        return v.server_r2 ? u"Server 2003 R2" : u"Server 2003";
      default: return u"";
    }
  }
  if (v.major == 6) {
    switch (v.minor) {
      case 0: return ws ? u"Vista" : u"Server 2008";
      case 1:
        if (v.product_kind == kProductHomePremiumServer) return u"Home Server 2011";
        return ws ? u"7" : u"Server 2008 R2";
      case 2: return ws ? u"8" : u"Server 2012";
      case 3: return ws ? u"8.1" : u"Server 2012 R2";
      case 4: return u"10";
      default: return u"";
    }
  }
  if (v.major == 10 && v.minor == 0) {
    if (ws) return v.build < 21996 ? u"10" : u"11";
    return u"Server " + server_10_year(v.build);
  }
  return u"";
}

void trim_trailing_blanks(std::u16string& text) {
  while (!text.empty() && text.back() == u' ') text.pop_back();
}

}  // namespace

bool is_server(const OsVersion& v) {
  return v.product_type == platform::product_type::kServer ||
         v.product_type == platform::product_type::kDomainController;
}

int release_code(const SystemDescription& s) {
  const OsVersion& v = s.version;
  if (v.platform != OsPlatform::kNt) return 0;
  const bool ws = is_workstation(v);
  if (is_nt(v, 5, 1)) return 20;
  if (is_nt(v, 5, 2)) {
    if (v.suite_mask & kSuiteHomeServer) return 28;
    if (ws) return s.is_64bit ? 24 : 20;
    return v.server_r2 ? 26 : 22;
  }
  if (is_nt(v, 6, 0)) return ws ? 30 : 32;
  if (is_nt(v, 6, 1)) {
    if (v.product_kind == kProductHomePremiumServer) return 38;
    return ws ? 36 : 34;
  }
  if (is_nt(v, 6, 2)) return ws ? 40 : 42;
  if (is_nt(v, 6, 3)) return ws ? 44 : 46;
  if (is_nt(v, 6, 4)) return 48;
  if (is_nt(v, 10, 0)) {
    if (ws) return v.build < 21996 ? 48 : 56;
    if (v.build < 17733) return 50;
    if (v.build < 20298) return 52;
    return 60;
  }
  return 0;
}

std::u16string release_short_name(const SystemDescription& s) {
  const OsVersion& v = s.version;
  if (v.platform == OsPlatform::kNt && v.major == 10 && v.minor == 0 && !is_workstation(v)) {
    return server_10_year(v.build);
  }
  std::u16string name = release_long_name(s);
  static constexpr std::u16string_view kServer = u"Server ";
  if (name.starts_with(kServer)) name.erase(0, kServer.size());
  return name;
}

std::u16string edition_name(std::uint32_t kind) {
  switch (kind) {
    case 0x01: return u"Ultimate";
    case 0x02: return u"Home Basic";
    case 0x03: return u"Home Premium";
    case 0x04: return u"Enterprise";
    case 0x05: return u"Home Basic N";
    case 0x06: return u"Business";
    case 0x07: return u"Standard";
    case 0x08: return u"Datacenter";
    case 0x09: return u"Small Business Server";
    case 0x0A: return u"Enterprise";
    case 0x0B: return u"Starter";
    case 0x0C: return u"Datacenter (core installation)";
    case 0x0D: return u"Standard (core installation)";
    case 0x0E: return u"Enterprise (core installation)";
    case 0x0F: return u"Enterprise for Itanium-based Systems";
    case 0x10: return u"Business N";
    case 0x11: return u"Web Server";
    case 0x12: return u"Cluster Server";
    case 0x13: return u"Home Server";
    case 0x14: return u"Storage Server Express";
    case 0x15: return u"Storage Server Standard";
    case 0x16: return u"Storage Server Workgroup";
    case 0x17: return u"Storage Server Enterprise";
    case 0x18: return u"for Small Business";
    case 0x19: return u"Small Business Server Premium";
    case 0x1A: return u"Home Premium N";
    case 0x1B: return u"Enterprise N";
    case 0x1C: return u"Ultimate N";
    case 0x1D: return u"Web Server (core installation)";
    case 0x22: return u"Home Server Premium";
    case 0x2A: return u"Hyper-V Server";
    case 0x30: return u"Professional";
    case 0x31: return u"Professional N";
    case 0x48: return u"Enterprise Evaluation";
    case 0x4F: return u"Standard Evaluation";
    case 0x50: return u"Datacenter Evaluation";
    case 0x62: return u"Home N";
    case 0x63: return u"Home China";
    case 0x64: return u"Home Single Language";
    case 0x65: return u"Home";
    case 0x79: return u"Education";
    case 0x7A: return u"Education N";
    case 0x7D: return u"Enterprise LTSC";
    case 0x7E: return u"Enterprise N LTSC";
    case 0xA1: return u"Pro for Workstations";
    case 0xA2: return u"Pro N for Workstations";
    case 0xA4: return u"Pro Education";
    case 0xA5: return u"Pro Education N";
    default: return u"";
  }
}

std::u16string os_description(const SystemDescription& s) {
  const OsVersion& v = s.version;
  std::u16string text = u"Windows ";
  std::u16string name = release_long_name(s);
  if (name.empty()) {
    name = u"NT " + support::ascii_to_utf16(std::to_string(v.major) + "." + std::to_string(v.minor));
  }
  text += name;
  // Windows 10 and 11 call the professional kind "Pro".
  std::u16string edition = edition_name(v.product_kind);
  if (v.platform == OsPlatform::kNt && v.major == 10 && edition == u"Professional") edition = u"Pro";
  if (!edition.empty()) text += u" " + edition;
  if (s.is_64bit) text += u" x64";
  if (!v.service_pack.empty()) text += u" " + v.service_pack;
  if (v.platform == OsPlatform::kNt && v.major == 10 && v.minor == 0 && is_workstation(v) && !s.release_id.empty()) {
    text += u" " + s.release_id;
  }
  trim_trailing_blanks(text);
  if (s.wine_version) {
    text = u"WINE " + support::utf8_to_utf16(*s.wine_version) + u" reporting as " + text;
  }
  return text;
}

}  // namespace hs::install
