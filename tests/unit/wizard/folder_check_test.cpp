#include "wizard/folder_check.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

#include "support/text.h"

namespace hs::wizard {
namespace {

using platform::DriveType;

// A made-up machine: drive C: fixed, D: CD-ROM, E: read-only, N: network,
// R: removable, V: volume information unreadable; Z: does not exist.
class FakeHost : public FolderCheckHost {
 public:
  std::vector<std::u16string> reserved_folders() override {
    return {u"C:\\Users\\Public\\Desktop", u"C:\\Users\\Ann\\Desktop", u"C:\\ProgramData\\Microsoft\\Windows\\Start Menu",
            u"C:\\Users\\Ann\\Start Menu\\", u"C:\\Users"};
  }
  std::vector<std::u16string> program_files_folders() override {
    return {u"C:\\Program Files (x86)", u"C:\\Program Files"};
  }
  DriveType drive_type(const std::u16string& root) override {
    switch (root[0]) {
      case u'C': case u'E': case u'V': return DriveType::kFixed;
      case u'D': return DriveType::kCdRom;
      case u'N': return DriveType::kRemote;
      case u'R': return DriveType::kRemovable;
      default: return DriveType::kNoRootDir;
    }
  }
  std::optional<bool> volume_read_only(const std::u16string& root) override {
    if (root[0] == u'V') return std::nullopt;
    return root[0] == u'E' || root[0] == u'D';
  }
  std::optional<std::uint64_t> free_space(const std::u16string&) override { return free; }
  bool directory_exists(const std::u16string& path) override { return existing.count(path) != 0; }
  platform::SysError create_directories(const std::u16string& path) override {
    if (create_error) return create_error;
    created.push_back(path);
    existing.insert(path);
    return 0;
  }
  platform::SysError probe_temporary_file(const std::u16string&) override { return probe_error; }
  std::u16string error_text(platform::SysError e) override { return u"error " + support::ascii_to_utf16(std::to_string(e)); }
  void show_error(const std::u16string& text) override { shown.push_back(text); }
  bool ask_yes_no(const std::u16string& text, const std::u16string& title) override {
    asked.push_back(title + u": " + text);
    return answer;
  }

  std::uint64_t free = 1ull << 40;
  std::set<std::u16string> existing{u"C:\\Existing"};
  platform::SysError create_error = 0;
  platform::SysError probe_error = 0;
  bool answer = true;
  std::vector<std::u16string> shown, asked, created;
};

std::u16string message(int n) {
  static const std::map<int, std::u16string> texts = {
      {16, u"M16 %c"}, {18, u"M18 %s"}, {19, u"M19 %s on %c, %s free"}, {73, u"M73 %s"}, {96, u"M96 %c"},
  };
  auto it = texts.find(n);
  if (it != texts.end()) return it->second;
  return u"M" + support::ascii_to_utf16(std::to_string(n));
}

struct Case {
  const char* what;
  const char16_t* text;
  FolderCheckOptions options;
  const char16_t* shown;  // the error shown, "" = none
  bool accepted;
};

TEST(FolderCheck, EachCheckInOrder) {
  FolderCheckOptions plain;
  FolderCheckOptions network_refused;
  network_refused.file_system_only = true;
  FolderCheckOptions fixed_only;
  fixed_only.refuse_removable = true;
  FolderCheckOptions ascii;
  ascii.ascii_only = true;

  const Case cases[] = {
      {"1 empty after trimming", u"  \t ", plain, u"", false},
      {"1 lone backslash", u"\\", plain, u"", false},
      {"2 relative path", u"Product", plain, u"M14\r\n\r\nProduct", false},
      {"2 forbidden character", u"C:\\Pro*duct", plain, u"M14\r\n\r\nC:\\Pro*duct", false},
      {"2 empty name", u"C:\\a\\\\b", plain, u"M14\r\n\r\nC:\\a\\\\b", false},
      {"2 name ending in a dot", u"C:\\a.\\b", plain, u"M14\r\n\r\nC:\\a.\\b", false},
      {"2 user desktop", u"c:\\users\\ann\\desktop\\", plain, u"M14\r\n\r\nc:\\users\\ann\\desktop", false},
      {"2 user start menu", u"C:\\Users\\Ann\\Start Menu", plain, u"M14\r\n\r\nC:\\Users\\Ann\\Start Menu", false},
      {"2 profiles folder", u"C:\\Users", plain, u"M14\r\n\r\nC:\\Users", false},
      {"3 missing drive", u"Z:\\Product", plain, u"M16 Z", false},
      {"4 UNC path", u"\\\\server\\share\\Product", network_refused, u"M66", false},
      {"4 network drive", u"N:\\Product", network_refused, u"M66", false},
      {"4 network allowed", u"N:\\Product", plain, u"", true},
      {"5 drive root", u"C:\\", plain, u"M17", false},
      {"5 short folder", u"C:\\a", plain, u"", true},
      {"5 drive alone", u" c: ", plain, u"M17", false},
      {"6 Program Files", u"C:\\PROGRAM FILES\\", plain, u"M18 C:\\Program Files", false},
      {"6 Program Files (x86)", u"C:\\Program Files (x86)", plain, u"M18 C:\\Program Files (x86)", false},
      {"6 below Program Files", u"C:\\Program Files\\Product", plain, u"", true},
      {"7 read-only volume", u"E:\\Product", plain, u"M96 E", false},
      {"7 unreadable volume", u"V:\\Product", plain, u"M96 V", false},
      {"7 removable refused", u"R:\\Product", fixed_only, u"M96 R", false},
      {"7 removable allowed", u"R:\\Product", plain, u"", true},
      {"8 character above 127", u"C:\\Produkt \u00fc", ascii, u"M30", false},
      {"8 allowed without the option", u"C:\\Produkt \u00fc", plain, u"", true},
  };
  for (const Case& c : cases) {
    FakeHost host;
    FolderCheckResult result = check_install_folder(c.text, c.options, host, message);
    EXPECT_EQ(result.accepted, c.accepted) << c.what;
    if (*c.shown) {
      ASSERT_EQ(host.shown.size(), 1u) << c.what;
      EXPECT_EQ(host.shown[0], c.shown) << c.what;
    } else {
      EXPECT_TRUE(host.shown.empty()) << c.what;
    }
  }
}

TEST(FolderCheck, FreeSpaceQuestion) {
  FolderCheckOptions options;
  options.space_needed = 3 * 1024 * 1024;
  for (bool answer : {true, false}) {
    FakeHost host;
    host.free = 1536;
    host.answer = answer;
    FolderCheckResult result = check_install_folder(u"C:\\Product", options, host, message);
    ASSERT_EQ(host.asked.size(), 1u);
    EXPECT_EQ(host.asked[0], u"M20: M19 3.00 MB on C, 1.50 KB free");
    EXPECT_EQ(result.accepted, answer);
  }
  // Not asked for an existing installation, in automatic mode, or with room.
  FolderCheckOptions upgrade = options;
  upgrade.new_installation = false;
  FolderCheckOptions automatic = options;
  automatic.automatic = true;
  for (const FolderCheckOptions& o : {upgrade, automatic}) {
    FakeHost host;
    host.free = 1536;
    EXPECT_TRUE(check_install_folder(u"C:\\Product", o, host, message).accepted);
    EXPECT_TRUE(host.asked.empty());
  }
  FakeHost roomy;
  EXPECT_TRUE(check_install_folder(u"C:\\Product", options, roomy, message).accepted);
  EXPECT_TRUE(roomy.asked.empty());
}

TEST(FolderCheck, ConfirmationNamesExistingOrNewFolder) {
  FolderCheckOptions options;
  options.confirm_folder = true;
  FakeHost host;
  EXPECT_TRUE(check_install_folder(u"C:\\Existing", options, host, message).accepted);
  EXPECT_TRUE(check_install_folder(u"C:\\New\\Folder", options, host, message).accepted);
  ASSERT_EQ(host.asked.size(), 2u);
  EXPECT_EQ(host.asked[0], u"M24: M22\r\n\r\nC:\\Existing");
  EXPECT_EQ(host.asked[1], u"M24: M23\r\n\r\nC:\\New\\Folder");

  FakeHost declining;
  declining.answer = false;
  EXPECT_FALSE(check_install_folder(u"C:\\New", options, declining, message).accepted);
  EXPECT_TRUE(declining.created.empty());  // nothing made before the user agreed
}

TEST(FolderCheck, CreatesTheFolderAndProbesIt) {
  FolderCheckOptions options;
  FakeHost host;
  FolderCheckResult result = check_install_folder(u"  C:\\Company\\Product\\  ", options, host, message);
  EXPECT_TRUE(result.accepted);
  EXPECT_EQ(result.folder, u"C:\\Company\\Product");
  EXPECT_EQ(host.created, std::vector<std::u16string>{u"C:\\Company\\Product"});

  FakeHost cannot_create;
  cannot_create.create_error = 5;
  EXPECT_FALSE(check_install_folder(u"C:\\Product", options, cannot_create, message).accepted);
  ASSERT_EQ(cannot_create.shown.size(), 1u);
  EXPECT_EQ(cannot_create.shown[0], u"M25\r\nC:\\Product\r\n\r\nerror 5");

  FakeHost cannot_write;
  cannot_write.probe_error = 5;
  EXPECT_FALSE(check_install_folder(u"C:\\Existing", options, cannot_write, message).accepted);
  ASSERT_EQ(cannot_write.shown.size(), 1u);
  EXPECT_EQ(cannot_write.shown[0], u"M73 C:\\Existing");
}

TEST(FolderCheck, CompletePaths) {
  struct PathCase {
    const char16_t* path;
    bool complete;
  } cases[] = {
      {u"C:", true},           {u"C:\\a", true},        {u"\\\\srv\\share", true}, {u"\\\\srv\\share\\x", true},
      {u"\\\\srv", false},     {u"C:a", false},         {u"1:\\a", false},         {u"C:\\a/b", false},
      {u"C:\\..", false},      {u"C:\\a \\b", false},   {u"\\a", false},           {u"", false},
  };
  for (const PathCase& c : cases)
    EXPECT_EQ(is_complete_path(c.path), c.complete) << support::utf16_to_utf8(c.path);
  EXPECT_FALSE(is_complete_path(u"C:\\" + std::u16string(257, u'a')));
}

}  // namespace
}  // namespace hs::wizard
