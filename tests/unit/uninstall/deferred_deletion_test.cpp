// Deferred deletion: the pending-rename cleanup, wininit.ini and the
// self-deletion batch.
#include "uninstall/deferred_deletion.h"

#include <gtest/gtest.h>

namespace hs::uninstall {
namespace {

using List = std::vector<std::u16string>;

PendingPathSet deleted(std::initializer_list<const char*> lines) {
  PendingPathSet set;
  for (const char* line : lines) set.add_line(line);
  return set;
}

TEST(PendingRenames, RemovesMatchingPairsWhateverTheirCase) {
  const List list = {
      u"\\??\\C:\\P\\hs1.tmp", u"!\\??\\C:\\P\\APP.EXE",   // move onto a deleted file: removed
      u"\\??\\C:\\Other\\x.tmp", u"!\\??\\C:\\Other\\x",   // kept
      u"\\??\\C:\\p\\Data.bin", u"",                       // deletion of a deleted file: removed
      u"\\??\\C:\\Keep\\k", u"",                           // kept
      u"", u"",                                            // empty deletion: removed quietly
  };
  const PendingCleanup out = clean_pending_renames(list, deleted({"c:\\p\\app.exe", "C:\\P\\data.bin"}));
  EXPECT_TRUE(out.changed);
  EXPECT_EQ(out.list, (List{u"\\??\\C:\\Other\\x.tmp", u"!\\??\\C:\\Other\\x", u"\\??\\C:\\Keep\\k", u""}));
  EXPECT_EQ(out.recycle, List{u"C:\\P\\hs1.tmp"});
  EXPECT_EQ(out.log, (List{u"File \"C:\\P\\APP.EXE\" was removed from the list of pending moves.\r\n",
                           u"File \"C:\\p\\Data.bin\" was removed from the list of pending deletions.\r\n"}));
}

TEST(PendingRenames, OddListLosesItsLastStringWhenAnythingIsRemoved) {
  const List odd = {u"\\??\\C:\\a", u"", u"\\??\\C:\\b", u"", u"\\??\\C:\\dangling"};
  const PendingCleanup removed = clean_pending_renames(odd, deleted({"C:\\a"}));
  EXPECT_TRUE(removed.changed);
  EXPECT_EQ(removed.list, (List{u"\\??\\C:\\b", u""}));

  const PendingCleanup untouched = clean_pending_renames(odd, deleted({"C:\\nothing"}));
  EXPECT_FALSE(untouched.changed);  // nothing is written back, so the registry keeps all five
}

TEST(PendingRenames, NonAsciiPathsMatchThroughTheBarForm) {
  const List list = {u"\\??\\C:\\\u00c9t\u00e9\\f.txt", u""};
  const PendingCleanup out = clean_pending_renames(list, deleted({"|c:\\\xC3\xA9t\xC3\xA9\\F.TXT"}));
  EXPECT_TRUE(out.changed);
  EXPECT_TRUE(out.list.empty());
}

TEST(PendingRenames, MultiStringKeepsEmptyTargets) {
  const List list = {u"\\??\\C:\\a", u"", u"\\??\\C:\\t", u"!\\??\\C:\\b"};
  const platform::Bytes bytes = multi_sz_bytes(list);
  EXPECT_EQ(bytes.size(), 2u * ((8 + 1) + (0 + 1) + (8 + 1) + (9 + 1) + 1));
  EXPECT_EQ(multi_sz_strings(bytes), list);
  // Without the final end mark.
  platform::Bytes unterminated(bytes.begin(), bytes.end() - 2);
  EXPECT_EQ(multi_sz_strings(unterminated), list);
  // A lone string and the end mark read as Windows reads them: a deletion.
  EXPECT_EQ(multi_sz_strings(multi_sz_bytes({u"x"})), (List{u"x", u""}));
  EXPECT_EQ(multi_sz_strings(multi_sz_bytes({u"x", u"", u"y"})), (List{u"x", u"", u"y", u""}));
  EXPECT_TRUE(multi_sz_strings({}).empty());
  EXPECT_TRUE(multi_sz_strings({0, 0}).empty());
}

TEST(Wininit, SectionIsAppendedOrTheEntryGoesRightBehindIt) {
  EXPECT_EQ(insert_wininit_entry("", "NUL", "C:\\A.TXT"), "[rename]\r\nNUL=C:\\A.TXT");
  EXPECT_EQ(insert_wininit_entry("[other]\r\nx=y\r\n", "C:\\T", "C:\\S"), "[other]\r\nx=y\r\n[rename]\r\nC:\\T=C:\\S");
  EXPECT_EQ(insert_wininit_entry("[Rename]\r\nNUL=C:\\OLD\r\n", " \t\r\nNUL", "C:\\NEW"),
            "[Rename]\r\nNUL=C:\\NEW\r\nNUL=C:\\OLD\r\n");
  EXPECT_EQ(insert_wininit_entry("[rename]", " \r\n", "C:\\x"), std::nullopt);
}

TEST(SelfDeletionBatch, RemovesEachLevelOfTheSubfolder) {
  const std::u16string text =
      self_deletion_batch_text(u"C:\\P\\a\\b\\uninst.exe", u"C:\\P", u"a\\b", u"C:\\Temp\\delunins.bat");
  EXPECT_EQ(text,
            u":Repeat\r\n"
            u"del \"C:\\P\\a\\b\\uninst.exe\"\r\n"
            u"if exist \"C:\\P\\a\\b\\uninst.exe\" goto Repeat\r\n"
            u"CHOICE /T 3 /D Y\r\n"
            u"rd \"C:\\P\\a\\b\"\r\n"
            u"rd \"C:\\P\\a\"\r\n"
            u"rd \"C:\\P\"\r\n"
            u"del \"C:\\Temp\\delunins.bat\"\r\n");
}

TEST(SelfDeletionBatch, EdgeCases) {
  // No subfolder: only the installation folder.
  EXPECT_EQ(self_deletion_batch_text(u"C:\\P\\u.exe", u"C:\\P", u"", u"d.bat"),
            u":Repeat\r\ndel \"C:\\P\\u.exe\"\r\nif exist \"C:\\P\\u.exe\" goto Repeat\r\nCHOICE /T 3 /D Y\r\n"
            u"rd \"C:\\P\"\r\ndel \"d.bat\"\r\n");
  // An over-long own path is left empty.
  const std::u16string longest(1025, u'x');
  EXPECT_NE(self_deletion_batch_text(longest, u"C:\\P", u"", u"d.bat").find(u"del \"\"\r\n"), std::u16string::npos);
  // At most 50 levels of the subfolder.
  std::u16string deep;
  for (int i = 0; i < 60; ++i) deep += u"s\\";
  const std::u16string text = self_deletion_batch_text(u"C:\\u.exe", u"C:\\P", deep, u"d.bat");
  std::size_t rd = 0;
  for (std::size_t at = text.find(u"rd \""); at != std::u16string::npos; at = text.find(u"rd \"", at + 1)) ++rd;
  EXPECT_EQ(rd, 51u);
}

TEST(SelfDeletionBatch, EncodingFollowsTheTextAndTheSystem) {
  EXPECT_EQ(encode_batch(u"del \"C:\\x\"\r\n", true), "@chcp 1252 >nul\r\ndel \"C:\\x\"\r\n");
  EXPECT_EQ(encode_batch(u"rd \"C:\\\u00c9\"\r\n", true), "@chcp 65001 >nul\r\nrd \"C:\\\xC3\x89\"\r\n");
  EXPECT_EQ(encode_batch(u"rd \"C:\\\u00c9\"\r\n", false), "@chcp 1252 >nul\r\nrd \"C:\\\xC9\"\r\n");
}

// In code page 1252 a path is written as it is, or by its short form when
// the code page cannot hold it, or not at all: never with a "?" in it.
TEST(SelfDeletionBatch, PathsTheCodePageCannotHold) {
  auto short_of = [](const std::u16string& path) -> std::optional<std::u16string> {
    if (path == u"C:\\P\\\u03a9mega") return std::u16string(u"C:\\P\\MEGA~1");
    if (path == u"C:\\P\\\u0416") return std::u16string(u"C:\\P\\\u0416");  // no short name made
    return std::nullopt;
  };
  const struct {
    const char16_t* path;
    const char16_t* named;  // nullptr: left out
  } cases[] = {
      {u"C:\\P\\Caf\u00e9 \u20ac", u"C:\\P\\Caf\u00e9 \u20ac"},  // code page 1252 holds both
      {u"C:\\P\\\u03a9mega", u"C:\\P\\MEGA~1"},
      {u"C:\\P\\\u0416", nullptr},
      {u"C:\\P\\\u4e2d", nullptr},
  };
  for (const auto& c : cases) {
    const auto named = cp1252_batch_path(c.path, short_of);
    if (c.named) {
      ASSERT_TRUE(named.has_value());
      EXPECT_EQ(*named, c.named);
    } else {
      EXPECT_FALSE(named.has_value());
    }
  }
  // The lines of a path that cannot be named are left out.
  const std::u16string text = self_deletion_batch_text(
      u"C:\\P\\\u0416\\u.exe", u"C:\\P", u"\u0416", u"C:\\T\\delunins.bat",
      [&](const std::u16string& path) { return cp1252_batch_path(path, short_of); });
  EXPECT_EQ(text, u"CHOICE /T 3 /D Y\r\nrd \"C:\\P\"\r\ndel \"C:\\T\\delunins.bat\"\r\n");
}

}  // namespace
}  // namespace hs::uninstall
