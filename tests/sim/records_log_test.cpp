// The installation log and the uninstall data file written and read on the
// simulated machine.
#include <gtest/gtest.h>

#include "support/records_fixture.h"
#include "support/text.h"
#include "uninstall/install_log.h"
#include "uninstall/uninstall_strings.h"

namespace hs::records_test {
namespace {

using namespace hs::uninstall;

class LogFile : public RecordsMachine {
 protected:
  void SetUp() override {
    RecordsMachine::SetUp();
    boot();
    sys().files.create_directory(u"C:\\P");
    request.path = u"C:\\P\\Install.log";
    request.header.product_name = u"P";
    request.header.install_folder = u"C:\\P";
  }
  LogWriteRequest request;
  InstallLog log;
};

TEST_F(LogFile, SuccessWithoutBit6WritesNothing) {
  log.add(u"line\r\n");
  EXPECT_FALSE(write_install_log(session(), log, request));
  EXPECT_FALSE(exists(u"C:\\P\\Install.log"));
}

TEST_F(LogFile, RecordsAreAppendedWithMarkThenSeparator) {
  request.product_flags = 1ULL << 6;
  log.add(u"first run\r\n");
  ASSERT_TRUE(write_install_log(session(), log, request));
  const std::string first = read(u"C:\\P\\Install.log");
  EXPECT_TRUE(first.starts_with("\xEF\xBB\xBFInstallation log for: P\r\nInstall date: ")) << first;
  EXPECT_EQ(first.find("*****"), std::string::npos);
  EXPECT_NE(first.find("\r\nInstall date: " + support::utf16_to_utf8(log_date(sys().clock.local_time())).substr(0, 10)),
            std::string::npos);
  EXPECT_NE(first.find("\r\nOperating system: Windows 10 (10.0."), std::string::npos) << first;
  EXPECT_TRUE(first.ends_with("first run\r\n\r\n" + support::utf16_to_utf8(session().message_or(43, u"Installation complete")) + "\r\n"));

  session().failure_summary = u"Could not write C:\\P\\x.dll\r\n\r\n";
  request.product_flags = 0;  // failures are logged even without bit 6
  InstallLog second;
  second.add(u"second run\r\n");
  ASSERT_TRUE(write_install_log(session(), second, request));
  const std::string both = read(u"C:\\P\\Install.log");
  EXPECT_EQ(both.substr(0, first.size()), first);
  EXPECT_TRUE(both.substr(first.size()).starts_with("\r\n\r\n" + std::string(46, '*') + "\r\nInstallation log for: P"));
  EXPECT_TRUE(both.ends_with("second run\r\n\r\n*** FAILURE SUMMARY ***\r\nCould not write C:\\P\\x.dll\r\n\r\n"));
}

TEST_F(LogFile, OldCodePageFileIsConvertedOnce) {
  put(u"C:\\P\\Install.log", "Caf\xE9\r\n");
  request.product_flags = 1ULL << 6;
  ASSERT_TRUE(write_install_log(session(), log, request));
  ASSERT_TRUE(write_install_log(session(), log, request));
  const std::string text = read(u"C:\\P\\Install.log");
  EXPECT_TRUE(text.starts_with("\xEF\xBB\xBF" "Caf\xC3\xA9\r\n\r\n\r\n***")) << text;
  EXPECT_EQ(text.find("\xEF\xBB\xBF", 1), std::string::npos);
  std::size_t records = 0;
  for (auto at = text.find("Installation log for"); at != std::string::npos; at = text.find("Installation log for", at + 1)) {
    ++records;
  }
  EXPECT_EQ(records, 2u);
}

TEST_F(LogFile, UnwritableLogIsSkippedQuietly) {
  request.path = u"C:\\Missing\\Install.log";
  session().failure_summary = u"x\r\n";
  EXPECT_FALSE(write_install_log(session(), log, request));
  EXPECT_EQ(session().failure_summary, u"x\r\n");
}

TEST_F(LogFile, ShownThroughTheShellFromTheEnginesFolder) {
  show_install_log(sys(), u"C:\\P\\Install.log");
  const auto& launches = machine_->processes().launches();
  ASSERT_EQ(launches.size(), 1u);
  EXPECT_EQ(launches[0].kind, u"shell_execute ");
  EXPECT_EQ(launches[0].command_line, u"C:\\P\\Install.log");
  EXPECT_EQ(launches[0].folder, u"C:\\");  // the engine runs as C:\setup.exe
  EXPECT_EQ(launches[0].show_mode, platform::show::kNormal);
}

// What the user is asked or told before the record is written, by result
// and flags, in an interactive run.
TEST_F(LogFile, QuestionsBeforeWriting) {
  struct Case {
    const char* what;
    bool errors;
    std::uint64_t flags;
    bool nothing_to_offer;
    const char* answer;          // button for a box; "" = none expected
    const char* box_kind;        // "question", "information" or "" for no box
    bool summary_page;
    bool written;
    bool shown;
  } cases[] = {
      {"errors, user wants the log", true, 0, true, "yes", "question", false, true, true},
      {"errors, user declines", true, 0, true, "no", "question", false, true, false},
      {"success, nothing to offer", false, 0, true, "ok", "information", false, false, false},
      {"success, log kept", false, 1ULL << 6, true, "ok", "information", false, true, false},
      {"success, no summary wanted", false, 1ULL << 22, true, "", "", false, false, false},
      {"success, summary has choices", false, 0, false, "", "", true, false, false},
      {"success, restart pending", false, 1ULL << 14, false, "ok", "information", false, false, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::string answers;
    if (*c.answer) answers = std::string("[answer]\nbutton = ") + c.answer + "\n";
    boot({}, answers);
    session().modes.automatic = false;
    sys().files.create_directory(u"C:\\P");
    sys().files.delete_file(request.path);
    if (c.errors) session().failure_summary = u"Failed: x\r\n";
    request.product_flags = c.flags;
    request.nothing_more_to_offer = c.nothing_to_offer;
    bool page_shown = false;
    request.show_summary_page = [&page_shown] { page_shown = true; };

    EXPECT_EQ(write_install_log(session(), log, request), c.written);
    const auto& transcript = machine_->ui().transcript();
    if (*c.box_kind) {
      ASSERT_EQ(transcript.size(), 1u);
      if (c.errors) {
        EXPECT_NE(transcript[0].text.find(u"C:\\P\\Install.log"), std::u16string::npos);
        EXPECT_EQ(transcript[0].caption, session().message_or(41, u"Installation log"));
      } else {
        EXPECT_EQ(transcript[0].text, session().message_or(42, u"The installation has finished."));
        EXPECT_EQ(transcript[0].caption, session().message_or(43, u"Installation complete"));
      }
    } else {
      EXPECT_TRUE(transcript.empty());
    }
    EXPECT_EQ(page_shown, c.summary_page);
    EXPECT_EQ(exists(request.path), c.written);
    EXPECT_EQ(machine_->processes().launches().size(), c.shown ? 1u : 0u);
  }
}

using DataFile = RecordsMachine;

TEST_F(DataFile, WrittenAndReadBackThroughTheMachine) {
  boot();
  sys().files.create_directory(u"C:\\P");
  UninstallData data;
  data.changes = "C:\\P\\a.exe\r\n";
  data.caption = u"P \u00e9";
  const std::u16string path = uninstall_data_path(u"C:\\P", u"");
  ASSERT_EQ(write_uninstall_data(sys().files, path, data), 0u);
  ASSERT_EQ(write_uninstall_data(sys().files, path, data), 0u);  // replaces the older file
  auto back = read_uninstall_data(sys().files, path);
  ASSERT_TRUE(back);
  EXPECT_EQ(back->changes, data.changes);
  EXPECT_EQ(back->caption, data.caption);
  EXPECT_EQ(read_uninstall_data(sys().files, u"C:\\P\\none.DAT").error(), platform::err::kFileNotFound);
}

TEST_F(DataFile, FailedWriteGoesToTheFailureSummary) {
  boot();
  UninstallData data;
  EXPECT_FALSE(save_uninstall_data(session(), u"C:\\Missing\\Uninstall.DAT", data));
  EXPECT_EQ(session().failure_summary,
            session().message_or(31, u"Could not write the uninstall information:") +
                u" C:\\Missing\\Uninstall.DAT\r\nCode 3: " + sys().info.error_text(3) + u"\r\n\r\n");
  sys().files.create_directory(u"C:\\P");
  session().failure_summary.clear();
  EXPECT_TRUE(save_uninstall_data(session(), u"C:\\P\\Uninstall.DAT", data));
  EXPECT_TRUE(session().failure_summary.empty());
}

TEST_F(DataFile, StringsComeFromTheChosenLanguage) {
  boot();
  session().settings.page_title = u"Package caption";
  session().message = [](int n) { return n == 53 ? std::u16string(u"Remove it?") : std::u16string(); };
  UninstallData data;
  fill_uninstall_strings(data, session());
  EXPECT_EQ(data.message(53), u"Remove it?");
  EXPECT_EQ(data.caption, u"Package caption");
  session().message = [](int n) { return n == 114 ? std::u16string(u"Caption 114") : std::u16string(); };
  fill_uninstall_strings(data, session());
  EXPECT_EQ(data.caption, u"Caption 114");
  EXPECT_EQ(data.message(53), u"");
  // Record 999 holds the caption as the wizard shows it: macros expanded.
  session().message = [](int) { return std::u16string(); };
  session().settings.page_title = u"<product> (<description>) in <os>";
  session().derived.product_name = u"Sample";
  session().derived.description = u"Sample Tools";
  fill_uninstall_strings(data, session());
  EXPECT_EQ(data.caption, u"Sample (Sample Tools) in C:\\Windows");
}

}  // namespace
}  // namespace hs::records_test
