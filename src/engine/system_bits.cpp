#include "engine/system_bits.h"

namespace hs::engine {
namespace {

using platform::OsPlatform;
using platform::OsVersion;

std::uint32_t windows_9x_bit(const OsVersion& v) {
  if (v.major != 4) return system_bit::kOther;
  if (v.minor < 10) return system_bit::kWin95;
  if (v.minor < 90) return system_bit::kWin98;
  return system_bit::kWinMe;
}

std::uint32_t nt_bit(const OsVersion& v) {
  const bool workstation = v.product_type == platform::product_type::kWorkstation;
  if (v.major <= 3) return system_bit::kNt3;
  if (v.major == 4) return system_bit::kNt4;
  if (v.major == 5) {
    switch (v.minor) {
      case 0: return system_bit::kWin2000;
      case 1: return system_bit::kWinXp;
      case 2: return workstation ? system_bit::kWinXp : system_bit::kServer2003;
      default: return system_bit::kOther;
    }
  }
  if (v.major == 6) {
    switch (v.minor) {
      case 0: return workstation ? system_bit::kVista : system_bit::kServer2008;
      case 1: return workstation ? system_bit::kWin7 : system_bit::kServer2008;
      case 2:
      case 3: return workstation ? system_bit::kWin8 : system_bit::kServer2012;
      case 4: return system_bit::kWin10;
      default: return system_bit::kOther;
    }
  }
  if (v.major == 10 && v.minor == 0) {
    if (workstation) return v.build < 21996 ? system_bit::kWin10 : system_bit::kWin11;
    return v.build < 17733 ? system_bit::kServer2016 : system_bit::kServer2019;
  }
  return system_bit::kOther;
}

}  // namespace

std::uint32_t system_bits(const OsVersion& version, bool under_wine) {
  std::uint32_t bit = system_bit::kOther;
  switch (version.platform) {
    case OsPlatform::kWin32s: bit = system_bit::kWin32s; break;
    case OsPlatform::kWindows9x: bit = windows_9x_bit(version); break;
    case OsPlatform::kNt: bit = nt_bit(version); break;
    default: bit = system_bit::kOther; break;
  }
  return under_wine ? bit | system_bit::kWine : bit;
}

}  // namespace hs::engine
