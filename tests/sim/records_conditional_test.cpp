// Conditional deletion on the simulated machine: conditions, flags, both
// phases, and the damage code of an impossible date.
#include <gtest/gtest.h>

#include "platform/sim/sim_restart.h"
#include "support/records_fixture.h"
#include "support/text.h"
#include "uninstall/conditional_deletion.h"
#include "uninstall/install_log.h"

namespace hs::records_test {
namespace {

using namespace hs::uninstall;
using Entries = std::vector<package::ConditionalDeletion>;

class ConditionalDeletion : public RecordsMachine {
 protected:
  void SetUp() override {
    RecordsMachine::SetUp();
    boot();
    put(u"C:\\P\\logs\\a.log", "");
    put(u"C:\\P\\logs\\b.log", "0123456789");
    put(u"C:\\P\\logs\\c.txt", "keep");
  }

  package::DamageCode apply(Entries& entries, DeletionPhase phase) {
    ConditionalDeletionContext context;
    context.phase = phase;
    context.install_folder = u"C:\\P";
    context.expand = [](const std::u16string& path) {
      std::u16string out = path;
      if (auto at = out.find(u"%AppDir%"); at != std::u16string::npos) out.replace(at, 8, u"C:\\P");
      return out;
    };
    context.log = &log;
    context.product_flags = &flags;
    return apply_conditional_deletions(session(), entries, context);
  }

  InstallLog log;
  std::uint64_t flags = 0;
};

TEST_F(ConditionalDeletion, SizeConditionsPickTheirFiles) {
  Entries entries = {{u"logs\\*.log", 4, u"10", 4}};
  EXPECT_EQ(apply(entries, DeletionPhase::kInstallation), 0);
  EXPECT_TRUE(exists(u"C:\\P\\logs\\a.log"));
  EXPECT_FALSE(exists(u"C:\\P\\logs\\b.log"));
  EXPECT_EQ(log.utf8(), "Deleted file: C:\\P\\logs\\b.log\r\n\r\n");
  EXPECT_EQ(entries.size(), 1u);  // the installation keeps its list

  Entries every = {{u"%AppDir%\\logs\\*", 5, u"0", 4}};
  EXPECT_EQ(apply(every, DeletionPhase::kInstallation), 0);
  EXPECT_FALSE(exists(u"C:\\P\\logs\\a.log"));
  EXPECT_FALSE(exists(u"C:\\P\\logs\\c.txt"));
  EXPECT_TRUE(exists(u"C:\\P\\logs"));  // folders are not files
}

TEST_F(ConditionalDeletion, DateConditionsUseTheFileTime) {
  // The files were written just now: before 2000 they are not, after 2000 they are.
  Entries entries = {{u"C:\\P\\logs\\a.log", 3, u"1999-12-31", 4}, {u"C:\\P\\logs\\b.log", 2, u"2000-01-01 00:00", 4}};
  EXPECT_EQ(apply(entries, DeletionPhase::kInstallation), 0);
  EXPECT_TRUE(exists(u"C:\\P\\logs\\a.log"));
  EXPECT_FALSE(exists(u"C:\\P\\logs\\b.log"));
}

TEST_F(ConditionalDeletion, ImpossibleDateStopsWithDamageCode65OnlyWhenFilesExist) {
  Entries none = {{u"C:\\P\\nothing\\*.log", 1, u"2023-02-29", 4}};
  EXPECT_EQ(apply(none, DeletionPhase::kInstallation), 0);
  Entries bad = {{u"C:\\P\\logs\\a.log", 1, u"2023-02-29", 4}, {u"C:\\P\\logs\\b.log", 0, u"", 4}};
  EXPECT_EQ(apply(bad, DeletionPhase::kInstallation), kBadConditionDate);
  EXPECT_EQ(kBadConditionDate, 65);
  EXPECT_TRUE(exists(u"C:\\P\\logs\\b.log"));  // the run stops at once
}

TEST_F(ConditionalDeletion, FlagOneSchedulesAndSetsTheRestartFlag) {
  Entries entries = {{u"C:\\P\\logs\\b.log", 0, u"", 1 | 4}};
  EXPECT_EQ(apply(entries, DeletionPhase::kInstallation), 0);
  EXPECT_TRUE(exists(u"C:\\P\\logs\\b.log"));
  EXPECT_EQ(flags, 1ULL << 14);
  EXPECT_EQ(log.utf8(), "File \"C:\\P\\logs\\b.log\" will be deleted after rebooting.\r\n\r\n");
  shut_down();
  platform::sim::restart_machine(root_);
  boot();
  EXPECT_FALSE(exists(u"C:\\P\\logs\\b.log"));
}

TEST_F(ConditionalDeletion, LockedFileFollowsFlagTwo) {
  boot({u"C:\\P\\logs\\a.log", u"C:\\P\\logs\\b.log"});
  Entries entries = {{u"C:\\P\\logs\\a.log", 0, u"", 4}, {u"C:\\P\\logs\\b.log", 0, u"", 2 | 4}};
  EXPECT_EQ(apply(entries, DeletionPhase::kInstallation), 0);
  EXPECT_EQ(log.utf8(),
            "Failed to delete file \"C:\\P\\logs\\a.log\": " + support::utf16_to_utf8(sys().info.error_text(32)) +
                "\r\nFile \"C:\\P\\logs\\b.log\" will be deleted after rebooting: " +
                support::utf16_to_utf8(sys().info.error_text(32)) + "\r\n\r\n");
  EXPECT_EQ(flags, 1ULL << 14);
  EXPECT_TRUE(session().failure_summary.empty());
}

TEST_F(ConditionalDeletion, PhasesAndPruningAtUninstallation) {
  boot({u"C:\\P\\logs\\c.txt"});
  Entries entries = {
      {u"C:\\P\\logs\\a.log", 0, u"", 8},      // uninstallation only: kept at installation
      {u"C:\\P\\logs\\c.txt", 0, u"", 8},      // locked, no scheduling: fails and stays listed
      {u"C:\\P\\logs\\b.log", 0, u"", 4},      // installation only: not applied, stays listed
      {u"C:\\P\\missing.txt", 0, u"", 8},      // nothing to do: done
  };
  EXPECT_EQ(apply(entries, DeletionPhase::kInstallation), 0);
  EXPECT_FALSE(exists(u"C:\\P\\logs\\b.log"));
  EXPECT_TRUE(exists(u"C:\\P\\logs\\a.log"));
  EXPECT_EQ(entries.size(), 4u);

  put(u"C:\\P\\logs\\b.log", "again");
  log.clear();
  EXPECT_EQ(apply(entries, DeletionPhase::kUninstallation), 0);
  EXPECT_FALSE(exists(u"C:\\P\\logs\\a.log"));
  EXPECT_TRUE(exists(u"C:\\P\\logs\\b.log"));
  EXPECT_TRUE(log.empty());  // nothing is logged at uninstallation
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0].path, u"C:\\P\\logs\\c.txt");
  EXPECT_EQ(entries[1].path, u"C:\\P\\logs\\b.log");
}

TEST_F(ConditionalDeletion, SchedulingAtUninstallationSetsItsOwnRestartFlag) {
  Entries entries = {{u"C:\\P\\logs\\a.log", 0, u"", 1 | 8}};
  EXPECT_EQ(apply(entries, DeletionPhase::kUninstallation), 0);
  EXPECT_EQ(flags, 1ULL << 45);
  EXPECT_TRUE(entries.empty());
}

// Patterns that could reach beyond what they name delete nothing, are
// logged and stay listed as failed.
TEST_F(ConditionalDeletion, PatternsOutsideAFolderDeleteNothing) {
  put(u"C:\\top.log", "x");
  put(u"C:\\P\\keep.log", "x");
  Entries entries = {
      {u"C:\\*.log", 0, u"", 4 | 8},
      {u"\\*.log", 0, u"", 4 | 8},
      {u"%AppDir%\\logs\\..\\*.log", 0, u"", 4 | 8},
  };
  EXPECT_EQ(apply(entries, DeletionPhase::kInstallation), 0);
  EXPECT_TRUE(exists(u"C:\\top.log"));
  EXPECT_TRUE(exists(u"C:\\P\\keep.log"));
  EXPECT_EQ(log.utf8(),
            "Refused to delete \"C:\\*.log\": the pattern does not name files inside a folder.\r\n"
            "Refused to delete \"\\*.log\": the pattern does not name files inside a folder.\r\n"
            "Refused to delete \"C:\\P\\logs\\..\\*.log\": the pattern does not name files inside a folder.\r\n\r\n");
  EXPECT_EQ(apply(entries, DeletionPhase::kUninstallation), 0);
  EXPECT_TRUE(exists(u"C:\\top.log"));
  EXPECT_EQ(entries.size(), 3u);  // failed: kept for a later run

  // A relative pattern without an installation folder is refused too.
  ConditionalDeletionContext context;
  context.phase = DeletionPhase::kUninstallation;
  Entries relative = {{u"*.log", 0, u"", 8}};
  EXPECT_EQ(apply_conditional_deletions(session(), relative, context), 0);
  EXPECT_EQ(relative.size(), 1u);
}

}  // namespace
}  // namespace hs::records_test
