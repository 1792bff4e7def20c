// The system bit: one bit per Windows release family, matched against the
// package's excluded-systems mask at start-up.
#pragma once

#include <cstdint>

#include "platform/system_info.h"

namespace hs::engine {

// Bit values of the releases. `kOther` covers every system the table does
// not name; `kWine` is added to the release's bit under Wine.
namespace system_bit {
inline constexpr std::uint32_t kOther = 0x1;
inline constexpr std::uint32_t kWin32s = 0x2;
inline constexpr std::uint32_t kWin95 = 0x4;            // 9x 4.0 to 4.9
inline constexpr std::uint32_t kWin98 = 0x8;            // 9x 4.10 to 4.89
inline constexpr std::uint32_t kWinMe = 0x10;           // 9x 4.90 and above
inline constexpr std::uint32_t kNt3 = 0x20;             // NT 3.x and lower
inline constexpr std::uint32_t kNt4 = 0x40;
inline constexpr std::uint32_t kWin2000 = 0x80;         // NT 5.0
inline constexpr std::uint32_t kWinXp = 0x100;          // NT 5.1, 5.2 workstation
inline constexpr std::uint32_t kServer2003 = 0x200;     // NT 5.2 server
inline constexpr std::uint32_t kVista = 0x400;          // NT 6.0 workstation
inline constexpr std::uint32_t kServer2008 = 0x800;     // NT 6.0 and 6.1 server
inline constexpr std::uint32_t kWin7 = 0x1000;          // NT 6.1 workstation
inline constexpr std::uint32_t kWin8 = 0x2000;          // NT 6.2, 6.3 workstation
inline constexpr std::uint32_t kServer2012 = 0x4000;    // NT 6.2, 6.3 server
inline constexpr std::uint32_t kWin10 = 0x8000;         // NT 6.4; 10.0 workstation below build 21996
inline constexpr std::uint32_t kServer2016 = 0x10000;   // NT 10.0 server below build 17733
inline constexpr std::uint32_t kServer2019 = 0x20000;   // NT 10.0 server from build 17733
inline constexpr std::uint32_t kWine = 0x40000;
inline constexpr std::uint32_t kWin11 = 0x80000;        // NT 10.0 workstation from build 21996
}  // namespace system_bit

// The bit of the release described by `version`, plus `kWine` when
// `under_wine`. A workstation is product type 1; any other type is a server.
std::uint32_t system_bits(const platform::OsVersion& version, bool under_wine);

}  // namespace hs::engine
