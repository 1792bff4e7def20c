// Deferred deletion on the simulated machine: locked files are replaced or
// deleted by the restart, and withdrawn hand-offs are not carried out.
#include <gtest/gtest.h>

#include "platform/sim/reg_tree.h"
#include "platform/sim/sim_restart.h"
#include "support/records_fixture.h"
#include "support/text.h"
#include "uninstall/change_list.h"
#include "uninstall/deferred_deletion.h"
#include "uninstall/install_log.h"

namespace hs::records_test {
namespace {

using namespace hs::uninstall;
namespace err = platform::err;

const platform::RegKeyPath kSessionManager{platform::RegRoot::kLocalMachine,
                                           u"SYSTEM\\CurrentControlSet\\Control\\Session Manager",
                                           platform::RegView::kDefault};

std::vector<std::u16string> pending(platform::System& sys) {
  auto value = sys.registry.get_value(kSessionManager, u"PendingFileRenameOperations");
  if (!value) return {};
  EXPECT_EQ(value->type, platform::regtype::kMultiSz);
  return multi_sz_strings(value->data);
}

using DeferredDeletion = RecordsMachine;

TEST_F(DeferredDeletion, LockedFileIsReplacedAfterRestart) {
  boot();
  put(u"C:\\P\\app.exe", "old");
  put(u"C:\\P\\new.tmp", "new");
  boot({u"C:\\P\\app.exe"});
  EXPECT_EQ(sys().files.delete_file(u"C:\\P\\app.exe"), err::kSharingViolation);

  auto scheduled = schedule_replacement_at_next_start(sys(), u"C:\\P\\new.tmp", u"C:\\P\\app.exe");
  ASSERT_TRUE(scheduled) << scheduled.error();
  EXPECT_TRUE(*scheduled);
  EXPECT_EQ(pending(sys()), (std::vector<std::u16string>{u"\\??\\C:\\P\\new.tmp", u"!\\??\\C:\\P\\app.exe"}));

  shut_down();
  const auto done = platform::sim::restart_machine(root_);
  ASSERT_EQ(done.size(), 1u);
  EXPECT_EQ(done[0].result, 0u);
  boot();
  EXPECT_EQ(read(u"C:\\P\\app.exe"), "new");
  EXPECT_FALSE(exists(u"C:\\P\\new.tmp"));
  EXPECT_TRUE(pending(sys()).empty());
}

TEST_F(DeferredDeletion, ReplacementRefusesBadArguments) {
  boot();
  put(u"C:\\P\\a.txt", "a");
  EXPECT_EQ(schedule_replacement_at_next_start(sys(), u"  ", u"C:\\P\\a.txt").error(), err::kInvalidParameter);
  EXPECT_EQ(schedule_replacement_at_next_start(sys(), u"C:\\P\\a.txt", u"").error(), err::kInvalidParameter);
  EXPECT_EQ(schedule_replacement_at_next_start(sys(), u"C:\\P\\none.tmp", u"C:\\P\\a.txt").error(), err::kFileNotFound);
  auto same = schedule_replacement_at_next_start(sys(), u"C:\\P\\a.txt", u"c:\\p\\A.TXT");
  ASSERT_TRUE(same);
  EXPECT_FALSE(*same);
  EXPECT_TRUE(pending(sys()).empty());
}

TEST_F(DeferredDeletion, DeleteOptions) {
  boot();
  put(u"C:\\P\\ro.txt", "x");
  sys().files.set_attributes(u"C:\\P\\ro.txt", platform::attr::kReadOnly);
  EXPECT_EQ(delete_file(sys(), u"C:\\P\\ro.txt", delete_options::kKeepReadOnly), err::kAccessDenied);
  EXPECT_EQ(delete_file(sys(), u"C:\\P\\ro.txt", 0), err::kSuccess);
  EXPECT_FALSE(exists(u"C:\\P\\ro.txt"));

  EXPECT_EQ(delete_file(sys(), u"", 0), err::kInvalidParameter);
  EXPECT_EQ(delete_file(sys(), u"C:\\P\\gone.txt", 0), err::kFileNotFound);
  EXPECT_EQ(delete_file(sys(), u"C:\\P\\gone.txt", delete_options::kMissingIsSuccess), err::kSuccess);
  EXPECT_EQ(delete_file(sys(), u"C:\\Nowhere\\gone.txt", delete_options::kScheduleOnFailure), err::kPathNotFound);

  put(u"C:\\P\\full.txt", "data");
  put(u"C:\\P\\empty.txt", "");
  EXPECT_EQ(delete_file(sys(), u"C:\\P\\full.txt", delete_options::kOnlyIfEmpty), err::kFileExists);
  EXPECT_TRUE(exists(u"C:\\P\\full.txt"));
  EXPECT_EQ(delete_file(sys(), u"C:\\P\\empty.txt", delete_options::kOnlyIfEmpty), err::kSuccess);
  // A locked file is measured all the same; deleting it now fails.
  put(u"C:\\P\\locked.txt", "data");
  boot({u"C:\\P\\locked.txt"});
  EXPECT_EQ(delete_file(sys(), u"C:\\P\\locked.txt", delete_options::kOnlyIfEmpty), err::kFileExists);
  EXPECT_EQ(delete_file(sys(), u"C:\\P\\locked.txt", 0), err::kSharingViolation);

  EXPECT_EQ(delete_file(sys(), u"C:\\P\\full.txt", delete_options::kAtNextStart), err::kSuccess);
  EXPECT_TRUE(exists(u"C:\\P\\full.txt"));
  EXPECT_EQ(pending(sys()), (std::vector<std::u16string>{u"\\??\\C:\\P\\full.txt", u""}));
}

TEST_F(DeferredDeletion, LockedFileIsDeletedAfterRestartWhenDeletingNowFails) {
  boot();
  put(u"C:\\P\\busy.dll", "x");
  boot({u"C:\\P\\busy.dll"});
  EXPECT_EQ(delete_file(sys(), u"C:\\P\\busy.dll", 0), err::kSharingViolation);
  EXPECT_EQ(delete_file(sys(), u"C:\\P\\busy.dll", delete_options::kScheduleOnFailure), err::kSuccess);
  EXPECT_TRUE(exists(u"C:\\P\\busy.dll"));
  shut_down();
  platform::sim::restart_machine(root_);
  boot();
  EXPECT_FALSE(exists(u"C:\\P\\busy.dll"));
}

TEST_F(DeferredDeletion, CleanupWithdrawsHandOffsOfDeletedFiles) {
  boot();
  put(u"C:\\P\\a.exe", "a");
  put(u"C:\\P\\hs1.tmp", "new a");
  put(u"C:\\P\\b.dat", "b");
  put(u"C:\\Other\\c.dat", "c");
  ASSERT_TRUE(schedule_replacement_at_next_start(sys(), u"C:\\P\\hs1.tmp", u"C:\\P\\a.exe"));
  ASSERT_EQ(schedule_deletion_at_next_start(sys(), u"C:\\P\\b.dat"), 0u);
  ASSERT_EQ(schedule_deletion_at_next_start(sys(), u"C:\\Other\\c.dat"), 0u);

  PendingPathSet deleted;
  deleted.add_line("c:\\p\\A.EXE");
  deleted.add_line("C:\\P\\B.DAT");
  InstallLog log;
  clean_pending_renames(sys(), deleted, &log);
  EXPECT_EQ(pending(sys()), (std::vector<std::u16string>{u"\\??\\C:\\Other\\c.dat", u""}));
  EXPECT_EQ(log.utf8(),
            "\r\nFile \"C:\\P\\a.exe\" was removed from the list of pending moves.\r\n"
            "File \"C:\\P\\b.dat\" was removed from the list of pending deletions.\r\n");
  // The temporary file of the withdrawn move went to the recycle bin.
  EXPECT_FALSE(exists(u"C:\\P\\hs1.tmp"));

  shut_down();
  platform::sim::restart_machine(root_);
  boot();
  EXPECT_EQ(read(u"C:\\P\\a.exe"), "a");
  EXPECT_EQ(read(u"C:\\P\\b.dat"), "b");
  EXPECT_FALSE(exists(u"C:\\Other\\c.dat"));
}

// A withdrawn move whose source is a folder takes the pair out of the list
// but leaves the folder where it is: only files go to the recycle bin.
TEST_F(DeferredDeletion, CleanupNeverRecyclesAFolder) {
  boot();
  put(u"C:\\P\\data\\kept.txt", "k");
  put(u"C:\\P\\hs2.tmp", "new b");
  const std::vector<std::u16string> list = {u"\\??\\C:\\P\\data", u"!\\??\\C:\\P\\a.exe",
                                            u"\\??\\C:\\P\\hs2.tmp", u"!\\??\\C:\\P\\b.exe"};
  sys().registry.set_value(kSessionManager, u"PendingFileRenameOperations",
                           platform::RegValue{platform::regtype::kMultiSz, multi_sz_bytes(list)});
  PendingPathSet deleted;
  deleted.add(u"C:\\P\\a.exe");
  deleted.add(u"C:\\P\\b.exe");
  clean_pending_renames(sys(), deleted, nullptr);
  EXPECT_TRUE(pending(sys()).empty());
  EXPECT_EQ(read(u"C:\\P\\data\\kept.txt"), "k");
  EXPECT_FALSE(exists(u"C:\\P\\hs2.tmp"));  // a file: recycled
}

TEST_F(DeferredDeletion, CleanupWithoutListChangesNothing) {
  boot();
  PendingPathSet deleted;
  deleted.add(u"C:\\P\\a.exe");
  InstallLog log;
  clean_pending_renames(sys(), deleted, &log);
  EXPECT_TRUE(log.empty());
  EXPECT_FALSE(sys().registry.get_value(kSessionManager, u"PendingFileRenameOperations"));
}

TEST_F(DeferredDeletion, WininitFallbackOnOlderWindows) {
  boot();
  put(u"C:\\P\\old.dll", "x");
  shut_down();
  platform::sim::RunOptions options;
  options.configure = [](platform::sim::MachineConfig& config) {
    config.windows = "98";
    config.version = *platform::sim::parse_windows_version("98");
  };
  machine_ = std::make_unique<platform::sim::SimMachine>(root_, options);
  ASSERT_EQ(schedule_deletion_at_next_start(sys(), u"C:\\P\\old.dll"), 0u);
  EXPECT_EQ(read(u"C:\\Windows\\wininit.ini"), "[rename]\r\nNUL=C:\\P\\old.dll");
  EXPECT_TRUE(pending(sys()).empty());
  shut_down();
  platform::sim::restart_machine(root_);
  boot();
  EXPECT_FALSE(exists(u"C:\\P\\old.dll"));
  EXPECT_FALSE(exists(u"C:\\Windows\\wininit.ini"));
}

TEST_F(DeferredDeletion, UninstallerInUseIsReplacedAtNextStart) {
  boot();
  put(u"C:\\setup.exe", "engine v2");
  put(u"C:\\P\\uninst\\uninstall.exe", "engine v1");
  boot({u"C:\\P\\uninst\\uninstall.exe"});

  const platform::Bytes icon = {0, 0, 1, 0};
  UninstallerFileRequest request;
  request.target = u"C:\\P\\uninst\\uninstall.exe";
  request.data_folder = u"C:\\P\\uninst";
  request.way = UninstallerWay::kCopy;
  request.icon = &icon;
  InstallLog log;
  ChangeList changes;
  std::uint64_t flags = 0;
  install_uninstaller_file(session(), request, log, changes, flags);

  EXPECT_EQ(flags, 1ULL << 14);
  EXPECT_TRUE(session().failure_summary.empty()) << support::utf16_to_utf8(session().failure_summary);
  const auto list = pending(sys());
  ASSERT_EQ(list.size(), 2u);
  const std::u16string temporary = list[0].substr(4);
  EXPECT_EQ(list[1], u"!\\??\\C:\\P\\uninst\\uninstall.exe");
  EXPECT_EQ(log.utf8(), "\"C:\\P\\uninst\\uninstall.exe\" was successfully registered for replacement.\r\n"
                        "Temporary file is \"" + support::utf16_to_utf8(temporary) +
                            "\"\r\nReboot will be required.\r\n\r\n");
  EXPECT_EQ(changes.text(), "C:\\P\\uninst\\uninstall.ico\r\n");
  EXPECT_EQ(read(u"C:\\P\\uninst\\uninstall.ico"), std::string("\0\0\1\0", 4));

  shut_down();
  platform::sim::restart_machine(root_);
  boot();
  EXPECT_EQ(read(u"C:\\P\\uninst\\uninstall.exe"), "engine v2");
}

TEST_F(DeferredDeletion, UninstallerImageIsWrittenInPlace) {
  boot();
  put(u"C:\\P\\keep.txt", "");
  const platform::Bytes image = {'M', 'Z', 1, 2};
  const platform::Bytes icon = {9};
  UninstallerFileRequest request;
  request.target = u"C:\\P\\uninstall.exe";
  request.data_folder = u"C:\\P";
  request.way = UninstallerWay::kImage;
  request.image = &image;
  request.icon = &icon;
  request.replace_icon = [](const std::u16string&, const platform::Bytes&) { return IconReplacement::kReplaceFailed; };
  InstallLog log;
  ChangeList changes;
  std::uint64_t flags = 0;
  install_uninstaller_file(session(), request, log, changes, flags);
  EXPECT_EQ(read(u"C:\\P\\uninstall.exe"), "MZ\x01\x02");
  EXPECT_EQ(log.utf8(), "Uninstaller >>> C:\\P\\uninstall.exe\r\nFailed to replace uninstaller icon.\r\n");
  EXPECT_EQ(flags, 0u);
}

TEST_F(DeferredDeletion, RebootMarkerLastsUntilRestart) {
  boot();
  sys().files.create_directory(u"C:\\P");
  ASSERT_EQ(create_reboot_marker(sys(), u"C:\\P"), 0u);
  EXPECT_EQ(read(u"C:\\P\\reboot.dat"), "");
  shut_down();
  platform::sim::restart_machine(root_);
  boot();
  EXPECT_FALSE(exists(u"C:\\P\\reboot.dat"));
}

TEST_F(DeferredDeletion, SelfDeletionBatchIsWrittenAndStartedHidden) {
  platform::sim::RunOptions options;
  options.module_path = u"C:\\P\\\u00dcber\\uninstall.exe";
  machine_ = std::make_unique<platform::sim::SimMachine>(root_, options);
  ASSERT_EQ(start_self_deletion(sys(), u"C:\\P", u"\u00dcber"), 0u);
  const std::u16string batch = sys().files.temp_path() + u"delunins.bat";
  EXPECT_EQ(read(batch), "@chcp 65001 >nul\r\n:Repeat\r\ndel \"C:\\P\\\xC3\x9C" "ber\\uninstall.exe\"\r\n"
                         "if exist \"C:\\P\\\xC3\x9C" "ber\\uninstall.exe\" goto Repeat\r\nCHOICE /T 3 /D Y\r\n"
                         "rd \"C:\\P\\\xC3\x9C" "ber\"\r\nrd \"C:\\P\"\r\ndel \"" + support::utf16_to_utf8(batch) + "\"\r\n");
  const auto& launches = machine_->processes().launches();
  ASSERT_EQ(launches.size(), 1u);
  EXPECT_EQ(launches[0].command_line, u"\"C:\\Windows\\system32\\cmd.exe\" /c " + batch);
  EXPECT_EQ(launches[0].show_mode, platform::show::kHide);
}

// On Windows Vista the batch is in code page 1252: a folder whose name it
// cannot hold (and which has no short name here) is not named with a "?"
// wild card; it is deleted at the next start instead.
TEST_F(DeferredDeletion, SelfDeletionBatchInCodePage1252NeverNamesAWildCard) {
  platform::sim::RunOptions options;
  options.module_path = u"C:\\P\\\u0416\\uninstall.exe";
  options.configure = [](platform::sim::MachineConfig& config) {
    config.windows = "vista";
    config.version = *platform::sim::parse_windows_version("vista");
  };
  machine_ = std::make_unique<platform::sim::SimMachine>(root_, options);
  put(u"C:\\P\\\u0416\\uninstall.exe", "MZ");
  put(u"C:\\P\\\u0416x\\sibling.exe", "MZ");
  ASSERT_EQ(start_self_deletion(sys(), u"C:\\P", u"\u0416"), 0u);
  const std::u16string batch = sys().files.temp_path() + u"delunins.bat";
  const std::string text = read(batch);
  EXPECT_EQ(text.find('?'), std::string::npos) << text;
  EXPECT_EQ(text, "@chcp 1252 >nul\r\nCHOICE /T 3 /D Y\r\nrd \"C:\\P\"\r\ndel \"" + support::utf16_to_utf8(batch) + "\"\r\n");
  const std::vector<std::u16string> list = pending(sys());
  EXPECT_NE(std::find(list.begin(), list.end(), u"\\??\\C:\\P\\\u0416\\uninstall.exe"), list.end());
  EXPECT_NE(std::find(list.begin(), list.end(), u"\\??\\C:\\P\\\u0416"), list.end());
}

}  // namespace
}  // namespace hs::records_test
