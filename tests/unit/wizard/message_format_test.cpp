#include "wizard/message_format.h"

#include "support/format.h"

#include <gtest/gtest.h>

#include "wizard/disk_space.h"

namespace hs::wizard {
namespace {

TEST(MessageFormat, ConversionsTakeValuesInOrder) {
  struct Case {
    const char16_t* text;
    std::u16string expected;
  } cases[] = {
      {u"Needs %s on drive %c:, %s free.", u"Needs 1 MB on drive C:, 2 KB free."},
      {u"%-10s|%5ls|%I64u", u"1 MB      |    C|2 KB"},  // widths pad
      {u"100%% of %s", u"100% of 1 MB C 2 KB"},  // left-over values are appended
      {u"No values", u"No values 1 MB C 2 KB"},
      {u"Trailing %", u"Trailing % 1 MB C 2 KB"},
      {u"%q is no conversion, %s is", u"%q is no conversion, 1 MB is C 2 KB"},
  };
  for (const Case& c : cases) EXPECT_EQ(support::format_text(c.text, {u"1 MB", u"C", u"2 KB"}), c.expected);
  EXPECT_EQ(support::format_text(u"%s and %s", {u"one"}), u"one and %s");  // a value short: as written
}

TEST(DiskSpace, FilesRoundUpToWholeClusters) {
  struct Case {
    std::uint64_t size;
    std::uint32_t cluster;
    std::uint64_t rounded;
  } cases[] = {
      {0, 4096, 0},      {1, 4096, 4096},    {4096, 4096, 4096}, {4097, 4096, 8192},
      {1, 0, 4096},      {513, 512, 1024},   {65535, 65536, 65536},
      {UINT64_MAX, 4096, UINT64_MAX},  // saturates instead of wrapping
  };
  for (const Case& c : cases) EXPECT_EQ(round_to_clusters(c.size, c.cluster), c.rounded) << c.size;

  const std::uint64_t files[] = {1, 4096, 4097, 0};
  EXPECT_EQ(space_needed(100000, files, 4096), 100000u + 4096 + 4096 + 8192);
  EXPECT_EQ(space_needed(100000, files, 0), 100000u + 4096 + 4096 + 8192);
  const std::uint64_t huge[] = {UINT64_MAX / 2, UINT64_MAX / 2, UINT64_MAX / 2};
  EXPECT_EQ(space_needed(1, huge, 4096), UINT64_MAX);
}

TEST(DiskSpace, SizesShownToTheUser) {
  EXPECT_EQ(format_size(0), u"0 bytes");
  EXPECT_EQ(format_size(1023), u"1023 bytes");
  EXPECT_EQ(format_size(1536), u"1.50 KB");
  EXPECT_EQ(format_size(12900000), u"12.3 MB");
  EXPECT_EQ(format_size(250ull << 30), u"250 GB");
}

}  // namespace
}  // namespace hs::wizard
