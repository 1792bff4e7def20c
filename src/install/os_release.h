// The running Windows release: its code, short name and full description as
// the folder variables %OS%, %OSName%, %OSDescription% and %OSServer% give
// them (and batches receive them as SET lines).
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/system_info.h"

namespace hs::install {

// What the engine knows of the running system, gathered once per process.
struct SystemDescription {
  platform::OsVersion version;             // platform, numbers, build, type, suite, kind
  bool is_64bit = false;                   // native architecture AMD64 or IA64
  std::optional<std::string> wine_version; // the Wine version, nothing when not under Wine
  std::u16string release_id;               // "ReleaseId" of Windows NT\CurrentVersion, "" = none
};

// Suite bit of Windows Home Server (VER_SUITE_WH_SERVER).
inline constexpr std::uint32_t kSuiteHomeServer = 0x8000;
// GetProductInfo kind of Windows Home Server 2011 (PRODUCT_HOME_PREMIUM_SERVER).
inline constexpr std::uint32_t kProductHomePremiumServer = 0x22;

// True for the product types server (3) and domain controller (2).
bool is_server(const platform::OsVersion& version);

// The release code of %OS%: 0 outside the NT platform and for releases
// without a code.
int release_code(const SystemDescription& system);

// The short release name of %OSName%: "XP", "Vista", "7", "2008", "10",
// "11", "2022"; "" for a release the engine does not know.
std::u16string release_short_name(const SystemDescription& system);

// The edition name for a GetProductInfo kind ("Home Premium", "Enterprise",
// "Datacenter"); "" for unknown kinds.
std::u16string edition_name(std::uint32_t product_kind);

// The full description of %OSDescription%, for example
// "Windows 10 Pro x64 22H2" or "WINE 8.0 reporting as Windows 7 x64 Service Pack 1".
std::u16string os_description(const SystemDescription& system);

}  // namespace hs::install
