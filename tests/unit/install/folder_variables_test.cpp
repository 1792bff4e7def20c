// Folder variables: expansion rules, every folder query with its sources
// removed one at a time, and the release codes of the running system.
#include "install/folder_variables.h"

#include <gtest/gtest.h>

#include <functional>

#include "support/fake_system.h"

namespace hs::install {
namespace {

using hs::testing::FakeMachine;
using platform::RegRoot;
using support::ascii_to_utf16;
using support::utf16_to_utf8;

const std::u16string kShellFolders = u"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
const std::u16string kCurrentVersion = u"Software\\Microsoft\\Windows\\CurrentVersion";

// CSIDL numbers as Windows defines them.
enum Csidl {
  kPrograms = 0x02, kPersonal = 0x05, kFavorites = 0x06, kStartup = 0x07, kStartMenu = 0x0b,
  kDesktop = 0x10, kFonts = 0x14, kCommonStartMenu = 0x16, kCommonPrograms = 0x17, kCommonStartup = 0x18,
  kCommonDesktop = 0x19, kAppData = 0x1a, kCommonFavorites = 0x1f, kCommonAppData = 0x23,
  kProgramFiles = 0x26, kProgramFilesCommon = 0x2b, kCommonDocuments = 0x2e,
};
const std::u16string kIdProgramFilesX64 = u"{6D809377-6AF0-444B-8957-A3773F02200E}";
const std::u16string kIdProgramFiles = u"{905E63B6-C1BF-494E-B29C-65B732D3D21A}";
const std::u16string kIdCommonX64 = u"{6365D5A7-0F0D-45E5-87F6-0DA56B6A4F7D}";
const std::u16string kIdCommon = u"{F7F1ED05-9F6D-47A2-AAAE-29D317C6F066}";

class FolderVariablesTest : public ::testing::Test {
 protected:
  FakeMachine m;
  FolderVariableState state;
  FolderCache cache;

  void SetUp() override {
    state.install_folder = u"C:\\Program Files\\Acme Tool";
    state.product_name = u"Acme Tool";
    state.company_name = u"Acme";
    state.product_version = u"2.5";
    state.language_name = u"English";
    state.uninstall_folder = u"C:\\Program Files\\Acme Tool\\uninstall";
    m.files.folders.insert(u"C:\\USERS\\U\\APPDATA\\LOCAL\\TEMP");
  }

  std::u16string expand(std::u16string text) {
    expand_variables(m.system, state, cache, text);
    return text;
  }
  std::string expand8(const char* text) { return utf16_to_utf8(expand(ascii_to_utf16(text))); }
};

TEST_F(FolderVariablesTest, NamesMatchWhateverTheirCase) {
  for (const char* form : {"%InstallDir%", "%INSTALLDIR%", "%installdir%", "%iNsTaLlDiR%"}) {
    EXPECT_EQ(expand8(form), "C:\\Program Files\\Acme Tool") << form;
  }
}

TEST_F(FolderVariablesTest, UnknownNamesStayAndEnvironmentExpandsLast) {
  m.shell.environment[u"SYSTEMROOT"] = u"C:\\Windows";
  EXPECT_EQ(expand8("%NoSuchThing%\\x"), "%NoSuchThing%\\x");
  EXPECT_EQ(expand8("%SystemRoot%\\%ProductName%"), "C:\\Windows\\Acme Tool");
  EXPECT_EQ(expand8("100% sure, 50%"), "100% sure, 50%");
  // An environment variable named like one of ours loses to ours.
  m.shell.environment[u"VERSION"] = u"env";
  EXPECT_EQ(expand8("%Version%"), "2.5");
}

TEST_F(FolderVariablesTest, EachVariableIsOnePassAndLaterOnesSeeInsertedText) {
  struct Case {
    const char* product_name;
    const char* version;
    const char* install;
    const char* input;
    const char* expected;
  } cases[] = {
      // %Version% comes after %ProductName%: a product name holding it is expanded.
      {"Tool %Version%", "2.5", "C:\\T", "%ProductName%", "Tool 2.5"},
      // A version holding %ProductName% keeps the token: it was already passed.
      {"Tool", "2.%ProductName%", "C:\\T", "%Version%", "2.%ProductName%"},
      // A value holding its own name is not expanded again.
      {"Tool", "1", "C:\\%installdir%", "%InstallDir%", "C:\\%installdir%"},
      {"A%ProductName%B", "1", "C:\\T", "%ProductName%%ProductName%", "A%ProductName%BA%ProductName%B"},
  };
  for (const auto& c : cases) {
    state.product_name = ascii_to_utf16(c.product_name);
    state.product_version = ascii_to_utf16(c.version);
    state.install_folder = ascii_to_utf16(c.install);
    EXPECT_EQ(expand8(c.input), c.expected) << c.input;
  }
}

TEST_F(FolderVariablesTest, OldVersionParts) {
  struct Case {
    const char* version;
    const char* major;
    const char* minor;
  } cases[] = {{"3.2.1", "3", "2"}, {"7", "7", ""}, {"", "", ""}, {"..4...5.", "4", "5"}, {"10.0", "10", "0"}};
  for (const auto& c : cases) {
    state.existing_version = ascii_to_utf16(c.version);
    EXPECT_EQ(expand8("[%OldVersion%|%OldVersionMajor%|%OldVersionMinor%]"),
              std::string("[") + c.version + "|" + c.major + "|" + c.minor + "]")
        << c.version;
  }
}

TEST_F(FolderVariablesTest, InstallDriveAndNetworkInstall) {
  m.files.drive_types[u'N'] = platform::DriveType::kRemote;
  struct Case {
    const char* folder;
    const char* drive;
    const char* network;
  } cases[] = {
      {"c:\\Tools", "C:", "0"},
      {"\\\\server\\share\\Tools", "", "1"},
      {"n:\\Tools", "N:", "1"},
      {"", "", "0"},
  };
  for (const auto& c : cases) {
    state.install_folder = ascii_to_utf16(c.folder);
    EXPECT_EQ(expand8("%InstallDrive%|%NetworkInstall%"), std::string(c.drive) + "|" + c.network) << c.folder;
  }
}

TEST_F(FolderVariablesTest, RunValuesAndInstallerPath) {
  state.automatic = true;
  state.portable = true;
  state.existing_code = 3;
  state.shared_folder = u"C:\\Shared";
  EXPECT_EQ(expand8("%Automatic%%Portable%%Existing%|%SharedDir%|%UninstallDir%|%Language%|%CompanyName%"),
            "113|C:\\Shared|C:\\Program Files\\Acme Tool\\uninstall|English|Acme");
  m.processes.module = u"d:\\Downloads\\setup.exe";
  EXPECT_EQ(expand8("%InstallerDir%|%InstallerDrive%|%InstallerFilename%|%InstallerFilepath%"),
            "d:\\Downloads|D:|setup.exe|d:\\Downloads\\setup.exe");
  // The engine reads its own path into 1,024 characters; a longer one is empty.
  m.processes.module = u"C:\\" + std::u16string(1030, u'a');
  EXPECT_EQ(expand8("[%InstallerFilepath%]"), "[]");
}

TEST_F(FolderVariablesTest, StartMenuChosenAndDesktopShortcutsFollowShortcutMode) {
  m.shell.special[kPrograms] = u"C:\\U\\Programs";
  m.shell.special[kCommonPrograms] = u"C:\\All\\Programs";
  m.shell.special[kDesktop] = u"C:\\U\\Desktop";
  m.shell.special[kCommonDesktop] = u"C:\\All\\Desktop";
  state.start_menu_folder = u"Acme";
  state.desktop_folder = u"Acme Apps";
  EXPECT_EQ(expand8("%StartMenuChosen%|%DesktopShortcuts%"), "C:\\U\\Programs\\Acme|C:\\U\\Desktop\\Acme Apps");
  state.all_users_shortcuts = true;
  state.desktop_folder.clear();
  EXPECT_EQ(expand8("%StartMenuChosen%|%DesktopShortcuts%"), "C:\\All\\Programs\\Acme|C:\\All\\Desktop");
}

TEST_F(FolderVariablesTest, ProgramsAndCommonFollowProductAndSystemBitness) {
  m.shell.special[kProgramFiles] = u"C:\\Program Files (x86)";
  m.shell.known[kIdProgramFilesX64] = u"C:\\Program Files";
  m.shell.special[kProgramFilesCommon] = u"C:\\Program Files (x86)\\Common Files";
  m.shell.known[kIdCommonX64] = u"C:\\Program Files\\Common Files";
  const char* all = "%ProgramsDir%|%ProgramsDir32%|%ProgramsDir64%|%CommonDir%|%Bits%";
  EXPECT_EQ(expand8(all),
            "C:\\Program Files (x86)|C:\\Program Files (x86)|C:\\Program Files|C:\\Program Files (x86)\\Common Files|64");
  state.product_64bit = true;
  EXPECT_EQ(expand8("%ProgramsDir%|%CommonDir%"), "C:\\Program Files|C:\\Program Files\\Common Files");

  // On 32-bit Windows the 64-bit forms are the 32-bit folders.
  FakeMachine m32;
  m32.info.windows64 = false;
  m32.shell.special[kProgramFiles] = u"C:\\Program Files";
  m32.shell.known[kIdProgramFilesX64] = u"C:\\Wrong";
  FolderCache cache32;
  std::u16string text = u"%ProgramsDir64%=%ProgramsDir32%|%Bits%|%ProgramsDir%";
  expand_variables(m32.system, state, cache32, text);
  EXPECT_EQ(utf16_to_utf8(text), "C:\\Program Files=C:\\Program Files|32|C:\\Program Files");
}

// One fallback chain: the sources in order, each as the step that removes it,
// and the answer expected before each removal.
struct ChainStep {
  std::function<void(FakeMachine&)> remove;
  std::string expected_before;
};

class FolderChainTest : public FolderVariablesTest {
 protected:
  void walk(const char* variable, const std::vector<ChainStep>& steps, const std::string& last) {
    for (const auto& step : steps) {
      FolderCache fresh;
      cache = fresh;
      EXPECT_EQ(expand8(variable), step.expected_before) << variable;
      step.remove(m);
    }
    cache = FolderCache{};
    EXPECT_EQ(expand8(variable), last) << variable << " with every source removed";
  }
  std::function<void(FakeMachine&)> drop_special(int id) {
    return [id](FakeMachine& x) { x.shell.special.erase(id); };
  }
  std::function<void(FakeMachine&)> drop_known(std::u16string id) {
    return [id](FakeMachine& x) { x.shell.known.erase(id); };
  }
  std::function<void(FakeMachine&)> drop_value(RegRoot root, std::u16string key, std::u16string name) {
    return [=](FakeMachine& x) { x.registry.remove_value(root, key, name); };
  }
  std::function<void(FakeMachine&)> drop_env(std::u16string name) {
    return [name](FakeMachine& x) { x.shell.environment.erase(support::to_upper(name)); };
  }
  void shell_value(bool common, const char16_t* name, const char16_t* path) {
    m.registry.set_text(common ? RegRoot::kLocalMachine : RegRoot::kCurrentUser, kShellFolders, name, path);
  }
};

TEST_F(FolderChainTest, ProgramFiles32) {
  m.shell.special[kProgramFiles] = u"C:\\PF-csidl";
  m.shell.known[kIdProgramFiles] = u"C:\\PF-known";
  m.registry.set_text(RegRoot::kLocalMachine, kCurrentVersion, u"ProgramFilesDir", u"C:\\PF-reg\\");
  walk("%ProgramsDir32%",
       {{drop_special(kProgramFiles), "C:\\PF-csidl"},
        {drop_known(kIdProgramFiles), "C:\\PF-known"},
        {drop_value(RegRoot::kLocalMachine, kCurrentVersion, u"ProgramFilesDir"), "C:\\PF-reg"}},
       "c:\\Program Files");
}

TEST_F(FolderChainTest, ProgramFiles64) {
  m.shell.known[kIdProgramFilesX64] = u"C:\\PF64-known";
  m.shell.environment[u"PROGRAMW6432"] = u"C:\\PF64-env";
  m.shell.special[kProgramFiles] = u"C:\\Program Files (x86)";
  walk("%ProgramsDir64%",
       {{drop_known(kIdProgramFilesX64), "C:\\PF64-known"},
        {drop_env(u"ProgramW6432"), "C:\\PF64-env"},
        {drop_special(kProgramFiles), "C:\\Program Files"}},
       "c:\\Program Files");
}

TEST_F(FolderChainTest, CommonFiles32And64) {
  m.shell.special[kProgramFilesCommon] = u"C:\\CF-csidl";
  m.shell.known[kIdCommon] = u"C:\\CF-known";
  m.registry.set_text(RegRoot::kLocalMachine, kCurrentVersion, u"CommonFilesDir", u"C:\\CF-reg");
  m.registry.set_text(RegRoot::kLocalMachine, kCurrentVersion, u"ProgramFilesDir", u"C:\\PF (x86)");
  walk("%CommonDir32%",
       {{drop_special(kProgramFilesCommon), "C:\\CF-csidl"},
        {drop_known(kIdCommon), "C:\\CF-known"},
        {drop_value(RegRoot::kLocalMachine, kCurrentVersion, u"CommonFilesDir"), "C:\\CF-reg"}},
       "C:\\PF (x86)\\Common Files");

  m.shell.known[kIdCommonX64] = u"C:\\CF64-known";
  m.shell.environment[u"COMMONPROGRAMW6432"] = u"C:\\CF64-env";
  walk("%CommonDir64%",
       {{drop_known(kIdCommonX64), "C:\\CF64-known"}, {drop_env(u"CommonProgramW6432"), "C:\\CF64-env"}},
       "C:\\PF\\Common Files");
}

TEST_F(FolderChainTest, AppData) {
  m.shell.special[kCommonAppData] = u"C:\\PD";
  shell_value(true, u"Common AppData", u"C:\\PD-reg\\");
  m.shell.special[kAppData] = u"C:\\U\\AD";
  shell_value(false, u"AppData", u"C:\\U\\AD-reg");
  m.shell.special[kProgramFilesCommon] = u"C:\\CF";
  walk("%AppDataAllDir%",
       {{drop_special(kCommonAppData), "C:\\PD"},
        {drop_value(RegRoot::kLocalMachine, kShellFolders, u"Common AppData"), "C:\\PD-reg"}},
       "C:\\CF");
  walk("%AppDataDir%",
       {{drop_special(kAppData), "C:\\U\\AD"}, {drop_value(RegRoot::kCurrentUser, kShellFolders, u"AppData"), "C:\\U\\AD-reg"}},
       "C:\\CF");
}

TEST_F(FolderChainTest, UserFoldersEndInTheWindowsFolder) {
  struct Row {
    const char* variable;
    int csidl;
    const char16_t* value;
    const char* last;
  } rows[] = {
      {"%DesktopDir%", kDesktop, u"Desktop", "C:\\Windows\\Desktop"},
      {"%DocumentDir%", kPersonal, u"Personal", "c:\\My Documents"},
      {"%FavoritesDir%", kFavorites, u"Favorites", "C:\\Windows\\Favorites"},
      {"%FontDir%", kFonts, u"Fonts", "C:\\Windows\\Fonts"},
      {"%StartMenuDir%", kStartMenu, u"Start Menu", "C:\\Windows\\Start Menu"},
      {"%SMProgramsDir%", kPrograms, u"Programs", "C:\\Windows\\Start Menu\\Programs"},
      {"%StartupDir%", kStartup, u"Startup", "C:\\Windows\\Start Menu\\Programs\\StartUp"},
  };
  for (const auto& r : rows) {
    m.shell.special[r.csidl] = u"C:\\csidl";
    shell_value(false, r.value, u"C:\\reg\\");
    walk(r.variable,
         {{drop_special(r.csidl), "C:\\csidl"}, {drop_value(RegRoot::kCurrentUser, kShellFolders, r.value), "C:\\reg"}},
         r.last);
  }
}

TEST_F(FolderChainTest, CommonFoldersFallBackToTheUsersFolders) {
  struct Row {
    const char* variable;
    int csidl;
    const char16_t* value;
    int user_csidl;
  } rows[] = {
      {"%DesktopAllDir%", kCommonDesktop, u"Common Desktop", kDesktop},
      {"%DocumentAllDir%", kCommonDocuments, u"Common Documents", kPersonal},
      {"%FavoritesAllDir%", kCommonFavorites, u"Common Favorites", kFavorites},
      {"%StartupAllDir%", kCommonStartup, u"Common Startup", kStartup},
      {"%SMProgramsAllDir%", kCommonPrograms, u"Common Programs", kPrograms},
      {"%StartMenuAllDir%", kCommonStartMenu, u"Common Start Menu", kStartMenu},
  };
  for (const auto& r : rows) {
    m.shell.special[r.csidl] = u"C:\\All";
    m.shell.special[r.user_csidl] = u"C:\\User";
    shell_value(true, r.value, u"C:\\All-reg");
    walk(r.variable,
         {{drop_special(r.csidl), "C:\\All"}, {drop_value(RegRoot::kLocalMachine, kShellFolders, r.value), "C:\\All-reg"}},
         "C:\\User");
  }
}

TEST_F(FolderChainTest, CommonProgramsAndStartMenuDeriveFromCommonStartup) {
  m.shell.special[kPrograms] = u"C:\\User\\Programs";
  m.shell.special[kStartMenu] = u"C:\\User\\Start Menu";
  shell_value(true, u"Common Startup", u"C:\\All\\Start Menu\\Programs\\Startup\\");
  EXPECT_EQ(expand8("%SMProgramsAllDir%|%StartMenuAllDir%"), "C:\\All\\Start Menu\\Programs|C:\\All\\Start Menu");
  m.registry.remove_value(RegRoot::kLocalMachine, kShellFolders, u"Common Startup");
  EXPECT_EQ(expand8("%SMProgramsAllDir%|%StartMenuAllDir%"), "C:\\User\\Programs|C:\\User\\Start Menu");
}

TEST_F(FolderChainTest, BootDrive) {
  struct Case {
    const char16_t* boot_dir;  // nullptr: no value
    const char* expected;
  } cases[] = {{u"d:\\", "D:"}, {u"E:", "E:"}, {u"x", "C:"}, {u"1:\\", "C:"}, {u"", "C:"}, {nullptr, "C:"}};
  for (const auto& c : cases) {
    m.registry.keys.clear();
    if (c.boot_dir) m.registry.set_text(RegRoot::kLocalMachine, kCurrentVersion + u"\\Setup", u"BootDir", c.boot_dir);
    EXPECT_EQ(expand8("%BootDrive%"), c.expected);
  }
}

TEST_F(FolderChainTest, DeviceMediaSystemAndInetpub) {
  m.registry.set_text(RegRoot::kLocalMachine, kCurrentVersion, u"DevicePath", u"%SystemRoot%\\inf;D:\\Drivers");
  m.registry.set_text(RegRoot::kLocalMachine, kCurrentVersion, u"MediaPath", u"D:\\Media\\");
  m.registry.set_text(RegRoot::kLocalMachine, u"SOFTWARE\\Microsoft\\INetStp", u"PathWWWRoot",
                      u"%SystemDrive%\\inetpub\\wwwroot\\");
  m.shell.environment[u"SYSTEMDRIVE"] = u"E:";
  EXPECT_EQ(expand8("%DeviceDir%|%MediaDir%|%SystemDir%|%Inetpub%"),
            "C:\\Windows\\inf|D:\\Media|C:\\Windows\\system32|E:\\inetpub");
  m.registry.keys.clear();
  m.shell.system.clear();
  EXPECT_EQ(expand8("%DeviceDir%|%MediaDir%|%SystemDir%|%Inetpub%"),
            "C:\\Windows\\INF|C:\\Windows\\Media|C:\\Windows\\System32|c:\\Inetpub");
  m.shell.windows.clear();
  EXPECT_EQ(expand8("%DeviceDir%|%MediaDir%"), "INF|Media");
}

TEST_F(FolderChainTest, RegistryAnswersKeepABareDriveRoot) {
  m.registry.set_text(RegRoot::kLocalMachine, kCurrentVersion, u"ProgramFilesDir", u"D:\\");
  EXPECT_EQ(expand8("%ProgramsDir32%"), "D:\\");
}

TEST_F(FolderChainTest, TempFolderFallsBackAndIsComputedOnce) {
  m.files.folders.clear();
  m.files.folders.insert(u"C:\\WINDOWS\\TEMP");
  EXPECT_EQ(expand8("%Temp%"), "C:\\Windows\\temp");
  // Cached: a later change of the system is not seen.
  m.files.folders.insert(u"C:\\USERS\\U\\APPDATA\\LOCAL\\TEMP");
  EXPECT_EQ(expand8("%Temp%"), "C:\\Windows\\temp");

  cache = FolderCache{};
  EXPECT_EQ(expand8("%Temp%"), "C:\\Users\\u\\AppData\\Local\\Temp");

  cache = FolderCache{};
  m.files.folders.clear();
  EXPECT_EQ(expand8("%Temp%"), "c:\\temp");
  EXPECT_EQ(m.files.folders.count(u"C:\\TEMP"), 1u) << "c:\\temp is created";
}

TEST_F(FolderVariablesTest, EveryVariableIsReplaced) {
  for (int i = 0; i < kFolderVariableCount; ++i) {
    const std::u16string token = u"%" + std::u16string(folder_variable_name(i)) + u"%";
    const std::u16string out = expand(token);
    EXPECT_NE(out, token) << utf16_to_utf8(token);
  }
}

// ---------------------------------------------------------------------------
// Release codes, names and descriptions
// ---------------------------------------------------------------------------

struct ReleaseCase {
  platform::OsPlatform platform;
  std::uint32_t major, minor, type, build;
  std::uint32_t suite = 0, kind = 0;
  bool r2 = false, x64 = true;
  const char* wine = nullptr;
  int code;
  const char* name;
  const char* server;
  const char* description;
  const char16_t* service_pack = u"";
  const char16_t* release_id = u"";
};

constexpr auto NT = platform::OsPlatform::kNt;
constexpr std::uint32_t WS = 1, SRV = 3, DC = 2;

TEST(ReleaseCodes, TableOfSystems) {
  const ReleaseCase cases[] = {
      {platform::OsPlatform::kWindows9x, 4, 10, 0, 2222, 0, 0, false, false, nullptr, 0, "98 SE", "0", "Windows 98 SE"},
      {platform::OsPlatform::kWindows9x, 4, 90, 0, 3000, 0, 0, false, false, nullptr, 0, "ME", "0", "Windows ME"},
      {NT, 5, 0, WS, 2195, 0, 0, false, false, nullptr, 0, "2000", "0", "Windows 2000 Service Pack 4", u"Service Pack 4"},
      {NT, 5, 1, WS, 2600, 0, 0, false, false, nullptr, 20, "XP", "0", "Windows XP Service Pack 3", u"Service Pack 3"},
      {NT, 5, 2, WS, 3790, 0, 0, false, true, nullptr, 24, "XP", "0", "Windows XP x64"},
      {NT, 5, 2, WS, 3790, 0, 0, false, false, nullptr, 20, "XP", "0", "Windows XP"},
      {NT, 5, 2, SRV, 3790, 0x8000, 0, false, false, nullptr, 28, "Home Server", "1", "Windows Home Server"},
      {NT, 5, 2, SRV, 3790, 0, 0, true, false, nullptr, 26, "2003 R2", "1", "Windows Server 2003 R2"},
      {NT, 5, 2, DC, 3790, 0, 0, false, false, nullptr, 22, "2003", "1", "Windows Server 2003"},
      {NT, 6, 0, WS, 6002, 0, 3, false, false, nullptr, 30, "Vista", "0", "Windows Vista Home Premium"},
      {NT, 6, 0, SRV, 6002, 0, 8, false, true, nullptr, 32, "2008", "1", "Windows Server 2008 Datacenter x64"},
      {NT, 6, 1, WS, 7601, 0, 1, false, true, nullptr, 36, "7", "0", "Windows 7 Ultimate x64 Service Pack 1", u"Service Pack 1"},
      {NT, 6, 1, SRV, 7601, 0, 0x22, false, true, nullptr, 38, "Home Server 2011", "1", "Windows Home Server 2011 Home Server Premium x64"},
      {NT, 6, 1, SRV, 7601, 0, 7, false, true, nullptr, 34, "2008 R2", "1", "Windows Server 2008 R2 Standard x64"},
      {NT, 6, 2, WS, 9200, 0, 0x30, false, true, nullptr, 40, "8", "0", "Windows 8 Professional x64"},
      {NT, 6, 2, SRV, 9200, 0, 0, false, true, nullptr, 42, "2012", "1", "Windows Server 2012 x64"},
      {NT, 6, 3, WS, 9600, 0, 0, false, true, nullptr, 44, "8.1", "0", "Windows 8.1 x64"},
      {NT, 6, 3, SRV, 9600, 0, 0, false, true, nullptr, 46, "2012 R2", "1", "Windows Server 2012 R2 x64"},
      {NT, 6, 4, WS, 9841, 0, 0, false, true, nullptr, 48, "10", "0", "Windows 10 x64"},
      {NT, 10, 0, WS, 19045, 0, 0x30, false, true, nullptr, 48, "10", "0", "Windows 10 Pro x64 2009", u"", u"2009"},
      {NT, 10, 0, WS, 21995, 0, 0, false, false, nullptr, 48, "10", "0", "Windows 10"},
      {NT, 10, 0, WS, 21996, 0, 0x65, false, true, nullptr, 56, "11", "0", "Windows 11 Home x64"},
      {NT, 10, 0, SRV, 17732, 0, 0, false, true, nullptr, 50, "2016", "1", "Windows Server 2016 x64", u"", u"1607"},
      {NT, 10, 0, SRV, 17733, 0, 0, false, true, nullptr, 52, "2019", "1", "Windows Server 2019 x64"},
      {NT, 10, 0, DC, 20297, 0, 0, false, true, nullptr, 52, "2019", "1", "Windows Server 2019 x64"},
      {NT, 10, 0, SRV, 20298, 0, 8, false, true, nullptr, 60, "2022", "1", "Windows Server 2022 Datacenter x64"},
      {NT, 10, 1, WS, 30000, 0, 0, false, true, nullptr, 0, "", "0", "Windows NT 10.1 x64"},
      {NT, 6, 1, WS, 7601, 0, 0, false, true, "8.0.1", 36, "7", "0",
       "WINE 8.0.1 reporting as Windows 7 x64 Service Pack 1", u"Service Pack 1"},
  };
  for (const auto& c : cases) {
    SystemDescription s;
    s.version.platform = c.platform;
    s.version.major = c.major;
    s.version.minor = c.minor;
    s.version.product_type = c.type;
    s.version.build = c.build;
    s.version.suite_mask = c.suite;
    s.version.product_kind = c.kind;
    s.version.server_r2 = c.r2;
    s.version.service_pack = c.service_pack;
    s.is_64bit = c.x64;
    if (c.wine) s.wine_version = c.wine;
    s.release_id = c.release_id;
    const std::string label = std::to_string(c.major) + "." + std::to_string(c.minor) + " build " +
                              std::to_string(c.build) + " type " + std::to_string(c.type);
    EXPECT_EQ(release_code(s), c.code) << label;
    EXPECT_EQ(utf16_to_utf8(release_short_name(s)), c.name) << label;
    EXPECT_EQ(is_server(s.version) ? "1" : "0", std::string(c.server)) << label;
    EXPECT_EQ(utf16_to_utf8(os_description(s)), c.description) << label;
  }
}

TEST_F(FolderVariablesTest, OsVariablesReadTheSystemOnceAndTheReleaseId) {
  m.info.version = platform::OsVersion{NT, 10, 0, 22631, WS, 0, u"", 0, 0x30, false};
  m.registry.set_text(RegRoot::kLocalMachine, u"Software\\Microsoft\\Windows NT\\CurrentVersion", u"ReleaseId",
                      u"2009");
  EXPECT_EQ(expand8("%OS%|%OSMajor%.%OSMinor%|%OSName%|%OSServer%|%OSDescription%"),
            "56|10.0|11|0|Windows 11 Pro x64 2009");
  m.info.version.major = 6;  // gathered once per process: not seen
  EXPECT_EQ(expand8("%OSMajor%"), "10");
}

}  // namespace
}  // namespace hs::install
