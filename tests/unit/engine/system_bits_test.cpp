// The system bits table for every release family, at the edges of its
// version and build ranges.
#include "engine/system_bits.h"

#include <gtest/gtest.h>

namespace hs::engine {
namespace {

using platform::OsPlatform;

struct Case {
  OsPlatform platform;
  std::uint32_t major, minor, type, build;
  bool wine;
  std::uint32_t bits;
};

constexpr auto NT = OsPlatform::kNt;
constexpr auto W9X = OsPlatform::kWindows9x;
constexpr std::uint32_t WS = 1, DC = 2, SRV = 3;

TEST(SystemBits, Table) {
  const Case cases[] = {
      {OsPlatform::kWin32s, 3, 10, 0, 0, false, 2},
      {W9X, 4, 0, 0, 950, false, 4},
      {W9X, 4, 9, 0, 0, false, 4},
      {W9X, 4, 10, 0, 1998, false, 8},
      {W9X, 4, 89, 0, 0, false, 8},
      {W9X, 4, 90, 0, 3000, false, 16},
      {W9X, 5, 0, 0, 0, false, 1},
      {NT, 3, 51, WS, 1057, false, 32},
      {NT, 4, 0, WS, 1381, false, 64},
      {NT, 5, 0, SRV, 2195, false, 128},
      {NT, 5, 1, WS, 2600, false, 256},
      {NT, 5, 2, WS, 3790, false, 256},
      {NT, 5, 2, SRV, 3790, false, 512},
      {NT, 5, 2, DC, 3790, false, 512},
      {NT, 5, 3, WS, 0, false, 1},
      {NT, 6, 0, WS, 6002, false, 1024},
      {NT, 6, 0, SRV, 6002, false, 2048},
      {NT, 6, 1, SRV, 7601, false, 2048},
      {NT, 6, 1, WS, 7601, false, 4096},
      {NT, 6, 2, WS, 9200, false, 8192},
      {NT, 6, 3, WS, 9600, false, 8192},
      {NT, 6, 2, SRV, 9200, false, 0x4000},
      {NT, 6, 3, DC, 9600, false, 0x4000},
      {NT, 6, 4, SRV, 9841, false, 0x8000},
      {NT, 6, 5, WS, 0, false, 1},
      {NT, 7, 0, WS, 0, false, 1},
      {NT, 10, 0, WS, 21995, false, 0x8000},
      {NT, 10, 0, WS, 21996, false, 0x80000},
      {NT, 10, 0, SRV, 17732, false, 0x10000},
      {NT, 10, 0, SRV, 17733, false, 0x20000},
      {NT, 10, 0, DC, 20348, false, 0x20000},
      {NT, 10, 1, WS, 19045, false, 1},
      {NT, 11, 0, WS, 30000, false, 1},
      {static_cast<OsPlatform>(3), 10, 0, WS, 19045, false, 1},
      // Under Wine the release's bit and the Wine bit.
      {NT, 10, 0, WS, 19045, true, 0x8000 | 0x40000},
      {NT, 6, 1, WS, 7601, true, 4096 | 0x40000},
  };
  for (const auto& c : cases) {
    platform::OsVersion v;
    v.platform = c.platform;
    v.major = c.major;
    v.minor = c.minor;
    v.product_type = c.type;
    v.build = c.build;
    EXPECT_EQ(system_bits(v, c.wine), c.bits)
        << "platform " << static_cast<int>(c.platform) << " " << c.major << "." << c.minor << " type " << c.type
        << " build " << c.build << (c.wine ? " wine" : "");
  }
}

}  // namespace
}  // namespace hs::engine
