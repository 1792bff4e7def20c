// The simulated file system: Windows paths, letter case, attributes,
// locks, redirection and delayed moves.
#include <gtest/gtest.h>

#include "support/machine_fixture.h"
#include "platform/sim/win_path.h"

namespace hs::platform::sim::testing {
namespace {

TEST(WinPath, ReadsPathsAsWindowsDoes) {
  const WinPath current{u'D', {u"Work", u"Setup"}};
  struct Case {
    std::u16string in;
    std::u16string out;  // "" = refused
  };
  const Case cases[] = {
      {u"C:\\Program Files\\App", u"C:\\Program Files\\App"},
      {u"c:/program files//app/", u"C:\\program files\\app"},
      {u"C:\\a\\.\\b\\..\\c", u"C:\\a\\c"},
      {u"C:\\..\\..", u"C:\\"},
      {u"C:\\name. . ", u"C:\\name"},
      {u"\\\\?\\C:\\long", u"C:\\long"},
      {u"file.txt", u"D:\\Work\\Setup\\file.txt"},
      {u"..\\other", u"D:\\Work\\other"},
      {u"\\root.txt", u"D:\\root.txt"},
      {u"D:rel", u"D:\\Work\\Setup\\rel"},
      {u"C:rel", u"C:\\rel"},
      {u"C:\\bad|name", u""},
      {u"C:\\a\\b?", u""},
      {u"\\\\server\\share\\x", u""},
  };
  for (const auto& c : cases) {
    auto p = parse_win_path(c.in, current);
    if (c.out.empty()) {
      EXPECT_FALSE(p) << u8(c.in);
    } else {
      ASSERT_TRUE(p) << u8(c.in);
      EXPECT_EQ(u8(c.out), u8(p->text())) << u8(c.in);
    }
  }
}

TEST(WinPath, WildcardsMatchWithoutRegardToCase) {
  struct Case {
    const char16_t* pattern;
    const char16_t* name;
    bool match;
  };
  const Case cases[] = {
      {u"*.*", u"noext", true},     {u"*", u"a.b", true},          {u"*.TXT", u"read.me.txt", true},
      {u"*.txt", u"a.txt.bak", false}, {u"a?c", u"ABC", true},      {u"a?c", u"ac", false},
      {u"name.*", u"name", true},   {u"*x*y", u"axxbyy", true},     {u"setup*.tmp", u"setup1.tmp", true},
  };
  for (const auto& c : cases) EXPECT_EQ(c.match, wildcard_match(c.pattern, c.name)) << u8(c.pattern) << " " << u8(c.name);
}

using SimFilesTest = MachineTest;

TEST_F(SimFilesTest, NamesMatchWithoutRegardToCaseAndKeepTheirCase) {
  open();
  ASSERT_EQ(0u, machine_->files().create_directory(u"C:\\Program Files (x86)\\My App"));
  write_file(u"C:\\Program Files (x86)\\My App\\ReadMe.TXT", "hello");
  // Another spelling finds the same file...
  auto file = machine_->files().open(u"c:\\PROGRAM FILES (X86)\\my app\\readme.txt", OpenMode::kRead);
  ASSERT_TRUE(file);
  char buf[8] = {};
  EXPECT_EQ(5u, *(*file)->read(buf, sizeof buf));
  EXPECT_EQ(std::string("hello"), buf);
  // ...and a folder search shows the name as first written.
  auto found = machine_->files().find(u"C:\\program files (x86)\\MY APP\\*.txt");
  ASSERT_TRUE(found);
  ASSERT_EQ(1u, found->size());
  EXPECT_EQ(u"ReadMe.TXT", (*found)[0].name);
  EXPECT_TRUE(std::filesystem::exists(root_ / "drives/C/Program Files (x86)/My App/ReadMe.TXT"));
  // Creating it again under another case is the same folder.
  EXPECT_EQ(err::kAlreadyExists, machine_->files().create_directory(u"C:\\PROGRAM FILES (X86)\\MY APP"));
}

TEST_F(SimFilesTest, AttributesAndTimesPersistForTheNextProcess) {
  open();
  write_file(u"C:\\data.bin", "x");
  const FileTime when = 125911584000000000ULL;  // 2000-01-01 00:00:00 UTC
  ASSERT_EQ(0u, machine_->files().set_attributes(u"C:\\data.bin", attr::kReadOnly | attr::kHidden));
  ASSERT_EQ(0u, machine_->files().set_times(u"C:\\data.bin", FileTimes{when, 0, when}));
  open();
  EXPECT_EQ(attr::kReadOnly | attr::kHidden, *machine_->files().attributes(u"C:\\DATA.BIN"));
  auto times = machine_->files().times(u"C:\\data.bin");
  ASSERT_TRUE(times);
  EXPECT_EQ(when, times->creation);
  EXPECT_EQ(when, times->last_write);
  // A read-only file can be neither deleted nor opened for writing.
  EXPECT_EQ(err::kAccessDenied, machine_->files().delete_file(u"C:\\data.bin"));
  EXPECT_EQ(err::kAccessDenied, machine_->files().open(u"C:\\data.bin", OpenMode::kReadWrite).error());
  ASSERT_EQ(0u, machine_->files().set_attributes(u"C:\\data.bin", attr::kNormal));
  EXPECT_EQ(attr::kNormal, *machine_->files().attributes(u"C:\\data.bin"));
  EXPECT_EQ(0u, machine_->files().delete_file(u"C:\\data.bin"));
}

TEST_F(SimFilesTest, ErrorsAreTheOnesWindowsGives) {
  open();
  auto& files = machine_->files();
  EXPECT_EQ(err::kFileNotFound, files.attributes(u"C:\\nothing.txt").error());
  EXPECT_EQ(err::kPathNotFound, files.attributes(u"C:\\no\\such.txt").error());
  EXPECT_EQ(err::kPathNotFound, files.open(u"Q:\\x.txt", OpenMode::kCreateAlways).error());
  EXPECT_EQ(err::kFileNotFound, files.open(u"C:\\nothing.txt", OpenMode::kRead).error());
  EXPECT_EQ(err::kPathNotFound, files.create_directory(u"C:\\a\\b"));
  ASSERT_EQ(0u, files.create_directory(u"C:\\a"));
  write_file(u"C:\\a\\f", "1");
  EXPECT_EQ(err::kDirNotEmpty, files.remove_directory(u"C:\\a"));
  EXPECT_EQ(err::kAlreadyExists, files.move_file(u"C:\\a\\f", u"C:\\a", 0));
  EXPECT_EQ(err::kFileExists, files.copy_file(u"C:\\a\\f", u"C:\\a\\f", true));
  EXPECT_EQ(123u, files.attributes(u"C:\\a\\<x>").error());
  EXPECT_EQ(DriveType::kFixed, files.drive_type(u"C:\\"));
  EXPECT_EQ(DriveType::kNoRootDir, files.drive_type(u"Q:\\"));
}

TEST_F(SimFilesTest, LockedFilesRefuseWritersAndTheirDelayedMoveIsRecorded) {
  RunOptions options;
  options.configure = [](MachineConfig& c) { c.locked_files.push_back(u"C:\\Windows\\Fonts\\busy.ttf"); };
  open(options);
  write_host(root_ / "drives/C/Windows/Fonts/busy.ttf", "font");
  auto& files = machine_->files();
  EXPECT_EQ(err::kSharingViolation, files.delete_file(u"c:\\windows\\fonts\\BUSY.TTF"));
  EXPECT_EQ(err::kSharingViolation, files.open(u"C:\\Windows\\Fonts\\busy.ttf", OpenMode::kCreateAlways).error());
  write_file(u"C:\\Windows\\Fonts\\new.tmp", "new");
  ASSERT_EQ(0u, files.move_file(u"C:\\Windows\\Fonts\\new.tmp", u"C:\\Windows\\Fonts\\busy.ttf",
                                move_flags::kDelayUntilReboot | move_flags::kReplaceExisting));
  ASSERT_EQ(0u, files.move_file(u"C:\\Windows\\Fonts\\old.ttf", u"", move_flags::kDelayUntilReboot));
  // Windows keeps the pairs in the Session Manager key, also for a 32-bit
  // process.
  const RegKeyPath key{RegRoot::kLocalMachine, u"SYSTEM\\CurrentControlSet\\Control\\Session Manager"};
  auto value = machine_->registry().get_value(key, u"PendingFileRenameOperations");
  ASSERT_TRUE(value);
  EXPECT_EQ(regtype::kMultiSz, value->type);
  const std::vector<std::u16string> expected = {u"\\??\\C:\\Windows\\Fonts\\new.tmp", u"!\\??\\C:\\Windows\\Fonts\\busy.ttf",
                                                u"\\??\\C:\\Windows\\Fonts\\old.ttf", u""};
  EXPECT_EQ(expected, multi_sz_strings(value->data));
}

TEST_F(SimFilesTest, System32IsRedirectedForThe32BitEngineUntilSwitchedOff) {
  open();
  write_file(u"C:\\Windows\\System32\\lib.dll", "32");
  EXPECT_TRUE(std::filesystem::exists(root_ / "drives/C/Windows/SysWOW64/lib.dll"));
  // Folders Windows exempts stay where they are.
  ASSERT_EQ(0u, machine_->files().create_directory(u"C:\\Windows\\System32\\drivers"));
  EXPECT_TRUE(std::filesystem::exists(root_ / "drives/C/Windows/System32/drivers"));
  ASSERT_EQ(0u, machine_->info().disable_fs_redirection());
  write_file(u"C:\\Windows\\System32\\lib.dll", "64");
  EXPECT_EQ("64", read_host(root_ / "drives/C/Windows/System32/lib.dll"));
  EXPECT_EQ("32", read_host(root_ / "drives/C/Windows/SysWOW64/lib.dll"));
}

TEST_F(SimFilesTest, NoRedirectionOn32BitWindows) {
  RunOptions options;
  options.configure = [](MachineConfig& c) { c.is_64bit = false; };
  open(options);
  EXPECT_EQ(1u, machine_->info().disable_fs_redirection());
  write_file(u"C:\\Windows\\System32\\lib.dll", "32");
  EXPECT_TRUE(std::filesystem::exists(root_ / "drives/C/Windows/System32/lib.dll"));
  EXPECT_FALSE(machine_->shell().system_wow64_folder());
  EXPECT_EQ(u"C:\\Program Files", *machine_->shell().special_folder(0x26));
}

TEST_F(SimFilesTest, TempFilesAreNewAndUnique) {
  open();
  const std::u16string temp = machine_->files().temp_path();
  EXPECT_EQ(u"C:\\Users\\User\\AppData\\Local\\Temp\\", temp);
  auto a = machine_->files().temp_file_name(temp, u"hsetup");
  auto b = machine_->files().temp_file_name(temp, u"hsetup");
  ASSERT_TRUE(a && b);
  EXPECT_NE(*a, *b);
  EXPECT_TRUE(a->starts_with(temp + u"hse"));
  EXPECT_TRUE(a->ends_with(u".tmp"));
  EXPECT_EQ(0u, *machine_->files().attributes(*a) & attr::kDirectory);
}

}  // namespace
}  // namespace hs::platform::sim::testing
