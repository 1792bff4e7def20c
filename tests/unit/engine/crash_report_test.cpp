// The crash report text: what is known goes in, in its order, and nothing
// is made up for what is not.
#include <gtest/gtest.h>

#include "engine/crash.h"

namespace hs::engine {
namespace {

TEST(CrashReport, Lines) {
  const struct {
    const char* what;
    platform::CrashInfo crash;
    std::u16string product;
    std::string expected;
  } cases[] = {
      {"read access violation at a 64-bit address",
       {0xC0000005, 0x7FF612340000, u"hsetup.exe", false, 0xFFFFFFFF00000000},
       u"Product",
       "Exception: access violation\r\nProduct: Product\r\nException code: 0xC0000005\r\n"
       "Address: 0x00007FF612340000\r\nModule: hsetup.exe\r\nRead/write: read\r\n"
       "Memory address: 0xFFFFFFFF00000000\r\n"},
      {"before the package is loaded, in no known module",
       {0xC00000FD, 0x401000, u"", false, 0},
       u"",
       "Exception: stack overflow\r\nException code: 0xC00000FD\r\nAddress: 0x00401000\r\n"},
      {"an exception code of a program's own",
       {0xE06D7363, 0x77001000, u"KERNELBASE.dll", false, 0},
       u"Caf\u00e9",
       "Exception: unhandled exception\r\nProduct: Caf\xe9\r\nException code: 0xE06D7363\r\n"
       "Address: 0x77001000\r\nModule: KERNELBASE.dll\r\n"},
  };
  for (const auto& c : cases) EXPECT_EQ(crash_report_text(c.crash, c.product), c.expected) << c.what;
}

}  // namespace
}  // namespace hs::engine
