// The shared helpers of support/: paths, little-endian numbers, the
// formatter, and the one value-or-error type.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/types.h"
#include "support/expected.h"
#include "support/format.h"
#include "support/little_endian.h"
#include "support/paths.h"
#include "support/text.h"

namespace hs::support {
namespace {

std::string u8(std::u16string_view text) { return utf16_to_utf8(text); }

TEST(Paths, JoinPathPutsOneBackslashBetween) {
  struct Case {
    const char16_t* folder;
    const char16_t* name;
    const char16_t* joined;
  } cases[] = {
      {u"C:\\P", u"a.txt", u"C:\\P\\a.txt"},
      {u"C:\\P\\", u"a.txt", u"C:\\P\\a.txt"},     // trailing backslash kept, not doubled
      {u"C:\\P", u"\\a.txt", u"C:\\P\\a.txt"},     // leading backslash of the name dropped
      {u"C:\\P\\", u"\\\\a.txt", u"C:\\P\\a.txt"},
      {u"C:\\", u"a", u"C:\\a"},                    // drive root
      {u"C:", u"a", u"C:\\a"},
      {u"\\\\server\\share", u"a", u"\\\\server\\share\\a"},  // UNC
      {u"", u"a.txt", u"a.txt"},                    // no folder: the name alone
      {u"", u"\\a.txt", u"\\a.txt"},
      {u"C:\\P", u"", u"C:\\P"},                    // no name: the folder alone
      {u"C:\\P\\", u"\\", u"C:\\P\\"},
      {u"C:\\P", u"sub\\a.txt", u"C:\\P\\sub\\a.txt"},
  };
  for (const Case& c : cases) EXPECT_EQ(u8(join_path(c.folder, c.name)), u8(c.joined)) << u8(c.folder) << " + " << u8(c.name);
}

TEST(Paths, FolderOfKeepsTheDriveRoot) {
  struct Case {
    const char16_t* path;
    const char16_t* folder;
  } cases[] = {
      {u"C:\\P\\a.txt", u"C:\\P"},
      {u"C:\\a.txt", u"C:\\"},          // a drive root keeps its backslash
      {u"C:\\", u"C:\\"},               // the root is its own folder
      {u"C:\\P\\", u"C:\\P"},           // a trailing backslash is the last one
      {u"C:\\P\\sub\\", u"C:\\P\\sub"},
      {u"\\\\server\\share\\a.txt", u"\\\\server\\share"},  // UNC
      {u"\\\\server\\share", u"\\\\server"},
      {u"a.txt", u""},                  // no backslash: no folder
      {u"", u""},
      {u"C:a.txt", u""},
  };
  for (const Case& c : cases) EXPECT_EQ(u8(folder_of(c.path)), u8(c.folder)) << u8(c.path);
  EXPECT_EQ(u8(without_trailing_backslash(folder_of(u"C:\\a.txt"))), "C:");
  EXPECT_EQ(u8(without_trailing_backslash(u"C:\\P")), "C:\\P");
  EXPECT_EQ(u8(without_trailing_backslash(u"")), "");
}

TEST(LittleEndian, ReadsAtAnyOffset) {
  const std::vector<std::uint8_t> b = {0xFF, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x88};
  EXPECT_EQ(load_u16(b, 1), 0x0201u);
  EXPECT_EQ(load_u16(b, 7), 0x8807u);
  EXPECT_EQ(load_u32(b, 1), 0x04030201u);
  EXPECT_EQ(load_u32(b, 5), 0x88070605u);  // the top byte's high bit does not sign-extend
  EXPECT_EQ(load_u64(b, 1), 0x8807060504030201ull);
}

TEST(Format, OneRuleForEveryKindOfCaller) {
  struct Case {
    const char16_t* format;
    std::vector<FormatArg> args;
    const char16_t* expected;
  } cases[] = {
      {u"%s=%d %05u %x %X|%4s|%-4s|%%", {u"n", -7, 42u, 255, 255, u"ab", u"ab"}, u"n=-7 00042 ff FF|  ab|ab  |%"},
      {u"%03d", {-7}, u"-07"},                        // zeros go behind the sign
      {u"%X", {-1}, u"FFFFFFFF"},                     // 32-bit two's complement
      {u"%I64u %ls %lu %hd", {u"1", u"2", 3u, 4}, u"1 2 3 4"},
      {u"%d-bit", {u"64"}, u"64-bit"},                // texts pass number conversions unchanged
      {u"%c:", {u"C"}, u"C:"},
      {u"%c", {65}, u"A"},
      {u"%s and %s", {u"one"}, u"one and %s"},        // a missing argument: copied as written
      {u"[%3s] [%s]", {u"x"}, u"[  x] [%s]"},
      {u"%", {}, u"%"},
      {u"100%", {}, u"100%"},
      {u"%q %s", {u"a"}, u"%q a"},                    // not a directive: copied as written
      {u"No values", {u"a", u"b"}, u"No values a b"},  // left-over arguments appended
      {u"%s", {u"a", 2}, u"a 2"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(u8(format_text(c.format, std::span<const FormatArg>(c.args))), u8(c.expected)) << u8(c.format);
  }
  // The 8-bit form passes code page 1252 bytes through.
  EXPECT_EQ(format_text("%s: %d", {"Caf\xE9", 3}), "Caf\xE9: 3");
}

TEST(Expected, ValueOrError) {
  const platform::Result<int> ok = 5;
  ASSERT_TRUE(ok);
  EXPECT_EQ(*ok, 5);
  EXPECT_EQ(ok.error(), platform::err::kSuccess);  // a success's error is "no error"
  const platform::Result<int> failed = platform::Result<int>::fail(platform::err::kFileNotFound);
  EXPECT_FALSE(failed);
  EXPECT_EQ(failed.error(), platform::err::kFileNotFound);
  EXPECT_EQ(failed.value_or(7), 7);
  // A failure stays a failure whatever its error holds.
  EXPECT_FALSE((Expected<int, int>::fail(0)));
  // The same value and error type: the value is taken as a value.
  const Expected<std::uint32_t, std::uint32_t> same = 3u;
  EXPECT_TRUE(same);
  const Expected<void, int> done;
  EXPECT_TRUE(done);
  const Expected<void, int> broken = failure(22);
  EXPECT_FALSE(broken);
  EXPECT_EQ(broken.error(), 22);
}

}  // namespace
}  // namespace hs::support
