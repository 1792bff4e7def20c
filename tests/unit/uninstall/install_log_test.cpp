// The installation log: entry forms, the record layout and how records are
// appended to an existing file.
#include "uninstall/install_log.h"

#include <gtest/gtest.h>

namespace hs::uninstall {
namespace {

TEST(InstallLog, EveryFormStoresUtf8) {
  InstallLog log;
  log.add(u"Wide \u00e9 ");
  log.add({u"a", u"\u20ac", u"b "});
  log.add_cp1252("cp\xE9\x80 ");
  log.addf(u"%s=%d %05u %x|%4s|%%\r\n", {u"n\u00fc", -7, 42u, 255, u"ab"});
  log.addf("%s: %d\r\n", {"Caf\xE9", 3});
  std::u16string broken = u"x";
  broken.push_back(0xDC00);
  log.add(broken);
  EXPECT_EQ(log.utf8(),
            "Wide \xC3\xA9 a\xE2\x82\xAC" "b cp\xC3\xA9\xE2\x82\xAC n\xC3\xBC=-7 00042 ff|  ab|%\r\n"
            "Caf\xC3\xA9: 3\r\nx?");
}

TEST(LogFormat, DirectivesWithoutArgumentsStayAsWritten) {
  EXPECT_EQ(support::format_text(u"%s and %s", {u"one"}), u"one and %s");
  EXPECT_EQ(support::format_text(u"100%", {}), u"100%");
  EXPECT_EQ(support::format_text(u"%q", {1}), u"%q 1");  // the unused argument is appended
  EXPECT_EQ(support::format_text(u"%d", {u"text"}), u"text");
  EXPECT_EQ(support::format_text(u"%X", {-1}), u"FFFFFFFF");
}

LogRecordHeader sample_header() {
  LogRecordHeader h;
  h.product_name = u"Product \u00e9";
  h.date = {2024, 3, 2, 5, 14, 7, 9, 0};
  h.has_uninstaller = true;
  h.install_type = InstallType::kUpgrade;
  h.install_folder = u"C:\\Program Files\\P";
  h.build_date = u"2026/12/01";
  h.product_version = u"2.1";
  h.overwriting_version = u"2.0";
  h.os_description = u"Windows 10 (10.0.19045), 64-bit";
  return h;
}

TEST(InstallLog, RecordHasHeaderEntriesAndSummary) {
  const std::string record = compose_log_record(sample_header(), "entry 1\r\n", u"", u"Done \u2713");
  EXPECT_EQ(record,
            "Installation log for: Product \xC3\xA9\r\n"
            "Install date: 2024/03/05 14:07:09\r\n"
            "Install type: Upgrade\r\n"
            "Install location: C:\\Program Files\\P\r\n"
            "Installer version: 45.0\r\n"
            "Installer built: 2026/12/01\r\n"
            "Product version: 2.1\r\n"
            "Overwriting version: 2.0\r\n"
            "Operating system: Windows 10 (10.0.19045), 64-bit\r\n"
            "\r\n"
            "entry 1\r\n"
            "\r\n"
            "Done \xE2\x9C\x93\r\n");

  LogRecordHeader bare = sample_header();
  bare.has_uninstaller = false;
  bare.build_date.clear();
  bare.product_version.clear();
  bare.overwriting_version.clear();
  const std::string failed = compose_log_record(bare, "", u"Could not write C:\\x\r\n", u"Done");
  EXPECT_EQ(failed.find("Install type"), std::string::npos);
  EXPECT_EQ(failed.find("Installer built"), std::string::npos);
  EXPECT_EQ(failed.find("Product version"), std::string::npos);
  EXPECT_EQ(failed.find("Overwriting version"), std::string::npos);
  EXPECT_TRUE(failed.ends_with("\r\n\r\n*** FAILURE SUMMARY ***\r\nCould not write C:\\x\r\n")) << failed;
  EXPECT_EQ(failed.find("Done"), std::string::npos);
}

TEST(InstallLog, FirstRecordGetsTheMarkLaterOnesTheSeparator) {
  const std::string first = append_log_record("", "R1");
  EXPECT_EQ(first, "\xEF\xBB\xBFR1");
  const std::string second = append_log_record(first, "R2");
  EXPECT_EQ(second, "\xEF\xBB\xBFR1\r\n\r\n" + std::string(46, '*') + "\r\nR2");
}

TEST(InstallLog, OlderCodePage1252FileIsConvertedOnce) {
  const std::string old = "Alt: Caf\xE9 \x80\r\n";
  const std::string converted = append_log_record(old, "R");
  EXPECT_EQ(converted, "\xEF\xBB\xBF" "Alt: Caf\xC3\xA9 \xE2\x82\xAC\r\n\r\n\r\n" + std::string(46, '*') + "\r\nR");
  // Now marked: the next record leaves the earlier bytes alone.
  const std::string again = append_log_record(converted, "S");
  EXPECT_EQ(again.substr(0, converted.size()), converted);
}

TEST(InstallLog, TypeWords) {
  EXPECT_EQ(install_type_word(InstallType::kNew), u"New");
  EXPECT_EQ(install_type_word(InstallType::kReinstall), u"Reinstall");
  EXPECT_EQ(install_type_word(InstallType::kUpgrade), u"Upgrade");
  EXPECT_EQ(install_type_word(InstallType::kDowngrade), u"Downgrade");
}

}  // namespace
}  // namespace hs::uninstall
