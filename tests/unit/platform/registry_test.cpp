// The simulated registry: views, persistence as .reg text across runs, and
// the .reg format itself, checked against Wine's regedit where available.
#include <gtest/gtest.h>

#include <cstdlib>

#include "support/machine_fixture.h"
#include "platform/sim/reg_tree.h"

namespace hs::platform::sim::testing {
namespace {

RegValue sz(std::u16string_view text) { return RegValue{regtype::kSz, sz_bytes(text)}; }
RegValue dword(std::uint32_t n) {
  return RegValue{regtype::kDword, {static_cast<std::uint8_t>(n), static_cast<std::uint8_t>(n >> 8),
                                    static_cast<std::uint8_t>(n >> 16), static_cast<std::uint8_t>(n >> 24)}};
}

// A key with a value of every form a .reg file has.
void fill_sample(RegTree& tree) {
  RegKey& key = *RegTree::walk(tree.users, tree.current_user_sid + u"\\Software\\HsSample", true);
  key.set_value(u"", sz(u"default"));
  key.set_value(u"Path \"quoted\"", sz(u"C:\\Program Files\\App \"x\""));
  key.set_value(u"Count", dword(0x2a));
  key.set_value(u"Expand", RegValue{regtype::kExpandSz, sz_bytes(u"%TEMP%\\x")});
  key.set_value(u"Multi", RegValue{regtype::kMultiSz, multi_sz_bytes({u"one", u"two"})});
  key.set_value(u"Big", RegValue{regtype::kQword, {1, 2, 3, 4, 5, 6, 7, 8}});
  key.set_value(u"Bytes", RegValue{regtype::kBinary, Bytes(30, 0xAB)});
  key.set_value(u"Lines", sz(u"a\r\nb"));
  key.set_value(u"Caf\u00e9", sz(u"\u00fcber"));
  RegTree::walk(key, u"Empty Subkey", true);
}

const char kSampleText[] =
    "Windows Registry Editor Version 5.00\r\n"
    "\r\n"
    "[HKEY_USERS\\S-1-5-21-1004336348-1177238915-682003330-1001]\r\n"
    "\r\n"
    "[HKEY_USERS\\S-1-5-21-1004336348-1177238915-682003330-1001\\Software]\r\n"
    "\r\n"
    "[HKEY_USERS\\S-1-5-21-1004336348-1177238915-682003330-1001\\Software\\HsSample]\r\n"
    "@=\"default\"\r\n"
    "\"Path \\\"quoted\\\"\"=\"C:\\\\Program Files\\\\App \\\"x\\\"\"\r\n"
    "\"Count\"=dword:0000002a\r\n"
    "\"Expand\"=hex(2):25,00,54,00,45,00,4d,00,50,00,25,00,5c,00,78,00,00,00\r\n"
    "\"Multi\"=hex(7):6f,00,6e,00,65,00,00,00,74,00,77,00,6f,00,00,00,00,00\r\n"
    "\"Big\"=hex(b):01,02,03,04,05,06,07,08\r\n"
    "\"Bytes\"=hex:ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,\\\r\n"
    "  ab,ab,ab,ab,ab,ab,ab,ab\r\n"
    "\"Lines\"=hex(1):61,00,0d,00,0a,00,62,00,00,00\r\n"
    "\"Caf\xc3\xa9\"=\"\xc3\xbc" "ber\"\r\n"
    "\r\n"
    "[HKEY_USERS\\S-1-5-21-1004336348-1177238915-682003330-1001\\Software\\HsSample\\Empty Subkey]\r\n"
    "\r\n";

TEST(RegFile, WritesRegeditsFormat) {
  RegTree tree;
  fill_sample(tree);
  EXPECT_EQ(kSampleText, write_reg_file(tree));
}

TEST(RegFile, ReadsWhatItWritesAndRegeditsOtherForms) {
  RegTree tree;
  std::string error;
  ASSERT_TRUE(read_reg_file(kSampleText, tree, error)) << error;
  EXPECT_EQ(kSampleText, write_reg_file(tree));
  // UTF-16 with its mark (as regedit exports), HKEY_CURRENT_USER, lower- and
  // upper-case hex, deletions of values and keys.
  const std::string more = write_reg_file_utf16(RegTree{}) ;
  ASSERT_TRUE(read_reg_file(more, tree, error)) << error;
  const char kEdits[] =
      "Windows Registry Editor Version 5.00\r\n\r\n"
      "[HKEY_CURRENT_USER\\Software\\HsSample]\n"
      "\"Count\"=-\n"
      "\"Bytes\"=hex:AB,\\\n   CD\n"
      "[-HKEY_CURRENT_USER\\Software\\HsSample\\Empty Subkey]\n";
  ASSERT_TRUE(read_reg_file(kEdits, tree, error)) << error;
  RegKey* key = RegTree::walk(tree.users, tree.current_user_sid + u"\\Software\\HsSample", false);
  ASSERT_NE(nullptr, key);
  EXPECT_EQ(nullptr, key->value(u"count"));
  EXPECT_EQ((Bytes{0xAB, 0xCD}), key->value(u"Bytes")->data);
  EXPECT_EQ(nullptr, key->child(u"empty subkey"));
}

TEST(RegFile, RefusesBrokenLinesWithTheLineNumber) {
  struct Case {
    const char* text;
    const char* error;
  };
  const Case cases[] = {
      {"REGEDIT5\r\n", "line 1:"},
      {"Windows Registry Editor Version 5.00\r\n\"a\"=\"b\"\r\n", "line 2: value outside a key"},
      {"Windows Registry Editor Version 5.00\r\n[HKEY_NOWHERE\\x]\r\n", "line 2: unknown root key"},
      {"Windows Registry Editor Version 5.00\r\n[HKEY_LOCAL_MACHINE\\x]\r\n\"a\"=dword:123456789\r\n", "line 3: bad value data"},
      {"Windows Registry Editor Version 5.00\r\n[HKEY_LOCAL_MACHINE\\x]\r\n\"a\"=hex:1g\r\n", "line 3: bad value data"},
      {"Windows Registry Editor Version 5.00\r\n[HKEY_LOCAL_MACHINE\\x]\r\n\"a=\"b\"\r\n", "line 3:"},
      {"Windows Registry Editor Version 5.00\r\n[HKEY_LOCAL_MACHINE\\x\r\n", "line 2: unclosed key name"},
  };
  for (const auto& c : cases) {
    RegTree tree;
    std::string error;
    EXPECT_FALSE(read_reg_file(c.text, tree, error)) << c.text;
    EXPECT_EQ(0u, error.find(c.error)) << error;
  }
}

using SimRegistryTest = MachineTest;

TEST_F(SimRegistryTest, ChangesPersistForTheNextProcess) {
  open();
  const RegKeyPath key{RegRoot::kLocalMachine, u"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\My App"};
  bool created = false;
  ASSERT_EQ(0u, machine_->registry().create_key(key, &created));
  EXPECT_TRUE(created);
  ASSERT_EQ(0u, machine_->registry().set_value(key, u"DisplayName", sz(u"My App")));
  ASSERT_EQ(0u, machine_->registry().set_value(key, u"ProductFlags", RegValue{regtype::kQword, Bytes(8, 1)}));

  open();  // a later process, such as the uninstaller
  const RegKeyPath other_case{RegRoot::kLocalMachine, u"SOFTWARE\\microsoft\\windows\\currentversion\\UNINSTALL\\my app"};
  auto name = machine_->registry().get_value(other_case, u"displayname");
  ASSERT_TRUE(name);
  EXPECT_EQ(sz(u"My App").data, name->data);
  EXPECT_EQ(std::vector<std::u16string>({u"DisplayName", u"ProductFlags"}), *machine_->registry().value_names(key));
  EXPECT_EQ(Bytes(8, 1), machine_->registry().get_value(key, u"ProductFlags")->data);
  EXPECT_EQ(err::kAccessDenied, machine_->registry().delete_key(RegKeyPath{RegRoot::kLocalMachine, u"Software\\Microsoft"}));
  ASSERT_EQ(0u, machine_->registry().delete_tree(key));
  open();
  EXPECT_FALSE(machine_->registry().key_exists(key));
  EXPECT_EQ(err::kFileNotFound, machine_->registry().get_value(key, u"DisplayName").error());
}

TEST_F(SimRegistryTest, The32BitViewOfSoftwareLivesUnderWow6432Node) {
  open();
  auto& reg = machine_->registry();
  const RegKeyPath view32{RegRoot::kLocalMachine, u"Software\\Vendor\\App", RegView::kDefault};
  const RegKeyPath view64{RegRoot::kLocalMachine, u"Software\\Vendor\\App", RegView::k64};
  ASSERT_EQ(0u, reg.create_key(view32));
  ASSERT_EQ(0u, reg.set_value(view32, u"Bits", dword(32)));
  EXPECT_FALSE(reg.key_exists(view64));
  EXPECT_TRUE(reg.key_exists(RegKeyPath{RegRoot::kLocalMachine, u"Software\\WOW6432Node\\Vendor\\App", RegView::k64}));
  ASSERT_EQ(0u, reg.create_key(view64));
  ASSERT_EQ(0u, reg.set_value(view64, u"Bits", dword(64)));
  EXPECT_EQ(dword(32).data, reg.get_value(RegKeyPath{view32.root, view32.subkey, RegView::k32}, u"Bits")->data);
  EXPECT_EQ(dword(64).data, reg.get_value(view64, u"Bits")->data);
  // Classes and the current user are the same in both views.
  const RegKeyPath classes{RegRoot::kLocalMachine, u"Software\\Classes\\.hsx"};
  ASSERT_EQ(0u, reg.create_key(classes));
  EXPECT_TRUE(reg.key_exists(RegKeyPath{classes.root, classes.subkey, RegView::k64}));
  EXPECT_TRUE(reg.key_exists(RegKeyPath{RegRoot::kClassesRoot, u".hsx"}));
  // HKEY_CURRENT_USER is the user's hive under HKEY_USERS.
  ASSERT_EQ(0u, reg.create_key(RegKeyPath{RegRoot::kCurrentUser, u"Software\\Vendor"}));
  auto users = reg.subkeys(RegKeyPath{RegRoot::kUsers, u""});
  ASSERT_TRUE(users);
  EXPECT_EQ(2u, users->size());
  const std::string text = read_host(root_ / "registry.reg");
  EXPECT_NE(std::string::npos, text.find("[HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\Vendor\\App]\r\n\"Bits\"=dword:00000020\r\n"));
  EXPECT_NE(std::string::npos, text.find("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Vendor\\App]\r\n\"Bits\"=dword:00000040\r\n"));
}

TEST_F(SimRegistryTest, On32BitWindowsThereIsOneView) {
  RunOptions options;
  options.configure = [](MachineConfig& c) { c.is_64bit = false; };
  open(options);
  const RegKeyPath key{RegRoot::kLocalMachine, u"Software\\Vendor"};
  ASSERT_EQ(0u, machine_->registry().create_key(key));
  EXPECT_TRUE(machine_->registry().key_exists(RegKeyPath{key.root, key.subkey, RegView::k64}));
}

// ---- against Wine's regedit ------------------------------------------

// A Wine launcher that works here, or "" (the test is then skipped).
std::string wine_launcher() {
  for (const char* candidate : {"wine", "/usr/lib/wine/wine64"}) {
    const std::string probe = std::string(candidate) + " --version >/dev/null 2>&1";
    if (std::system(probe.c_str()) == 0) return candidate;
  }
  return "";
}

TEST(RegFileWithWine, RegeditImportsOurFileAndWeReadItsExport) {
  const std::string wine = wine_launcher();
  if (wine.empty()) GTEST_SKIP() << "Wine is not available";
  const std::filesystem::path dir = std::filesystem::path(HS_BINARY_DIR) / "test-machines" / "regedit";
  std::filesystem::create_directories(dir);
  // Wine takes the file names relative to the folder it runs in.
  const std::string env = "cd '" + dir.string() + "' && WINEDEBUG=-all WINEPREFIX='" + (dir / "prefix").string() + "' ";
  RegTree tree;
  fill_sample(tree);
  // Only the user's hive: the sample's key as HKEY_CURRENT_USER.
  std::string text = write_reg_file(tree);
  const std::string sid = "HKEY_USERS\\S-1-5-21-1004336348-1177238915-682003330-1001";
  for (std::size_t at; (at = text.find(sid)) != std::string::npos;) text.replace(at, sid.size(), "HKEY_CURRENT_USER");
  {
    // As regedit writes it: UTF-16LE with its byte-order mark.
    std::ofstream out(dir / "import.reg", std::ios::binary);
    out << "\xFF\xFE";
    for (char16_t c : support::utf8_to_utf16(text)) out << static_cast<char>(c & 0xFF) << static_cast<char>(c >> 8);
  }
  std::string error;
  std::filesystem::remove(dir / "export.reg");
  const std::string import = env + wine + " regedit /S import.reg";
  const std::string export_ = env + wine + " regedit /E export.reg 'HKEY_CURRENT_USER\\Software\\HsSample'";
  ASSERT_EQ(0, std::system((import + " >/dev/null 2>&1").c_str()));
  ASSERT_EQ(0, std::system((export_ + " >/dev/null 2>&1").c_str()));

  std::ifstream in(dir / "export.reg", std::ios::binary);
  std::stringstream exported;
  exported << in.rdbuf();
  RegTree back;
  ASSERT_TRUE(read_reg_file(exported.str(), back, error)) << error << "\n" << exported.str();
  RegKey* original = RegTree::walk(tree.users, tree.current_user_sid + u"\\Software\\HsSample", false);
  RegKey* copy = RegTree::walk(back.users, back.current_user_sid + u"\\Software\\HsSample", false);
  ASSERT_NE(nullptr, copy) << exported.str();
  ASSERT_EQ(original->values.size(), copy->values.size());
  for (const auto& [name, value] : original->values) {
    RegValue* got = copy->value(name);
    ASSERT_NE(nullptr, got) << u8(name);
    EXPECT_EQ(value.type, got->type) << u8(name);
    EXPECT_EQ(value.data, got->data) << u8(name);
  }
  EXPECT_NE(nullptr, copy->child(u"Empty Subkey"));
}

}  // namespace
}  // namespace hs::platform::sim::testing
