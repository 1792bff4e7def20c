// The TOML project file: what it builds, what hpack info shows of it, and
// how mistakes are reported.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "package/product_flags.h"
#include "package/registry_entry_list.h"
#include "package/settings_stream.h"
#include "package/settings.h"
#include "packwriter/package_writer.h"
#include "project/describe.h"
#include "project/project.h"
#include "support/text.h"

namespace hs::tools {
namespace {

namespace fs = std::filesystem;

// A scratch folder with a few source files, removed afterwards.
class ProjectTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("hs_project_test_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    write("app/main.exe", "MZ program");
    write("app/lib/one.dll", "one");
    write("app/lib/deep/two.dll", "two");
    write("app/readme.txt", "read me");
    write("licence.txt", "Licence \xc3\xa9");
    write("licence.rtf", "{\\rtf1 Licence}");
    std::string bmp = "BM" + std::string(12, '\0') + std::string(40, '\x01');
    write("back.bmp", bmp);
    write("caf\xc3\xa9/\xc3\xa9t\xc3\xa9.txt", "summer");
    // A known time for every file, so dates are predictable.
    for (const auto& item : fs::recursive_directory_iterator(dir_)) {
      fs::last_write_time(item.path(), fs::file_time_type::clock::from_sys(
                                           std::chrono::sys_seconds{std::chrono::seconds{1700000000}}));
    }
  }
  void TearDown() override { fs::remove_all(dir_); }

  void write(const std::string& name, const std::string& bytes) {
    fs::create_directories((dir_ / name).parent_path());
    std::ofstream(dir_ / name, std::ios::binary) << bytes;
  }
  Project parse(const std::string& text, ProjectEnvironment env = {}) {
    return parse_project(text, "project.toml", dir_, env);
  }
  // The error message of `text`, or "" when it parses.
  std::string error_of(const std::string& text) {
    try {
      parse(text);
    } catch (const ProjectError& error) {
      return error.what();
    }
    return "";
  }

  fs::path dir_;
};

std::uint64_t bit(int n) { return std::uint64_t{1} << n; }

const char* kFullProject = R"(
[product]
name = "Demo"
version = "2.5"
company = "Acme"
bits = "64"
install_folder = "Acme\\Demo"
registry_key = "Acme\\Demo"
uninstaller_date = 2024-05-06T07:08:09
all_users_shortcuts = true
[product.master]
name = "Base"
min_version = "1.0"

[options]
product_flags = 0x10000000000
has_uninstaller = true
no_backdrop = true
no_backdrop_unused = false

[wizard]
licence = ["licence.txt", "licence.rtf"]
password = "secret"
folder_style = "banner"
[wizard.colors]
background = "#102030"
text = 0x0000FF

[backdrop]
top_color = "#FF0000"
bitmap = "back.bmp"
[backdrop.copyright]
text = "(c) Acme"

[batches]
pre_install = "echo caf\u00e9\n"

[[registry]]
key = "\\HKLM\\Software\\Acme"
[[registry]]
key = "\\HKLM\\Software\\Acme"
name = "Path, with comma"
type = "expand_sz"
data = "%InstallPath%"

[[uninstall_values]]
name = "HelpLink"
data = "https://example.com"

[[firewall]]
port = 8080
udp = true
[[firewall]]
program = "bin\\server.exe"
name = "Server"
permanent = true

[[auto_close]]
window_class = "DemoWnd"
action = "terminate"
phases = ["install", "uninstall_after"]

[[conditional_deletions]]
path = "*.tmp"
condition = "size_at_least"
argument = 10
at_uninstall = true

[[files]]
source = "app/*.exe"
desktop_shortcut = true
shortcut_name = "Demo"
[[files]]
source = "app/lib"
recursive = true
target = "lib"
kind = "system"
version = "1.2.3.4"
[[files]]
source = "app/readme.txt"
name = "docs/read me.txt"
date = "2020-01-02 03:04:05"
attributes = 1

[languages]
names = ["Deutsch", "English"]
[messages.Deutsch]
0 = "Hallo <product>"
120 = "Neu"
)";

TEST_F(ProjectTest, ProjectBecomesTheStateItDescribes) {
  // Remove the one deliberate mistake of the full project first.
  std::string text = kFullProject;
  text.erase(text.find("no_backdrop_unused = false\n"), 27);
  const Project p = parse(text);
  const package::Settings& s = p.settings;

  EXPECT_EQ(s.product_name, u"Demo");
  EXPECT_EQ(s.bits, 1);
  EXPECT_EQ(s.shortcut_mode, 1);
  EXPECT_EQ(s.uninstaller_date, (std::array<std::int32_t, 6>{2024, 5, 6, 7, 8, 9}));
  EXPECT_EQ(s.product_flags, bit(40) | bit(package::pf::kHasUninstaller) | bit(package::pf::kNoBackdrop) |
                                 bit(package::pf::kMasterProduct) | bit(package::pf::kDialogColors) |
                                 bit(package::pf::kBackdropBitmap) | bit(package::pf::kCompressedPayload));
  EXPECT_EQ(s.master_display_name, u"Base");
  EXPECT_EQ(s.dialog_bg, 0x302010u);  // "#RRGGBB" becomes a COLORREF
  EXPECT_EQ(s.dialog_fg, 0x0000FFu);
  EXPECT_EQ(s.top_color, 0x0000FFu);
  EXPECT_EQ(s.backdrop_bitmap.size(), 40u);  // without the 14-byte file header
  EXPECT_EQ(s.dialog_styles.choose_folder, 2u);
  ASSERT_EQ(s.licence_texts.size(), 2u);
  EXPECT_EQ(s.licence_texts[0], package::text_to_utf16le(u"Licence \u00e9"));
  EXPECT_EQ(s.licence_texts[1], "{\\rtf1 Licence}");
  EXPECT_EQ(s.web_texts[static_cast<int>(package::WebText::kPassword)], u"secret");
  EXPECT_EQ(s.copyright_pos, 5);
  EXPECT_EQ(s.batches[0], "echo caf\xe9\r\n");  // code page 1252, CR LF
  const auto rows = package::parse_registry_entries(s.registry_entries);
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[1].fields, (std::vector<std::u16string>{u"\\HKLM\\Software\\Acme", u"Path, with comma", u"2",
                                                         u"%InstallPath%", u"3"}));
  EXPECT_EQ(s.firewall_entries, "8080;;3;\r\nbin\\server.exe;Server;1;1\r\n");
  ASSERT_EQ(s.auto_close_rules.size(), 1u);
  EXPECT_EQ(s.auto_close_rules[0].action, 3);
  EXPECT_EQ(s.auto_close_rules[0].phases, 1 | 4);
  ASSERT_EQ(s.conditional_deletions.size(), 1u);
  EXPECT_EQ(s.conditional_deletions[0].condition, 5);
  EXPECT_EQ(s.conditional_deletions[0].argument, u"10");
  EXPECT_EQ(s.conditional_deletions[0].flags, 4 | 8);

  // Languages: no "English" first, so the default is the last "English".
  EXPECT_EQ(s.messages.languages, (std::vector<std::u16string>{u"Deutsch", u"English"}));
  EXPECT_EQ(s.messages.default_language, 1u);
  EXPECT_EQ(s.messages.message_count, 121u);
  EXPECT_EQ(s.messages.text(0, 0), u"Hallo <product>");
  EXPECT_EQ(s.messages.text(120, 0), u"Neu");
  EXPECT_EQ(s.messages.text(120, 1), u"");
  EXPECT_EQ(s.messages.text(21, 0), u"Error");  // from the English table

  // Files: glob, recursive folder with its target, explicit name and date.
  ASSERT_EQ(p.files.size(), 4u);
  EXPECT_EQ(p.files[0].name, "main.exe");
  EXPECT_EQ(p.files[0].flags, 1u);
  EXPECT_EQ(p.files[0].first_argument, "Demo");
  EXPECT_EQ(p.files[1].name, "lib\\deep\\two.dll");
  EXPECT_EQ(p.files[2].name, "lib\\one.dll");
  EXPECT_EQ(p.files[2].kind, 6u);
  EXPECT_EQ(p.files[2].first_argument, "1.2.3.4");
  EXPECT_EQ(p.files[3].name, "docs\\read me.txt");
  EXPECT_EQ(p.files[3].value, 1u);
  EXPECT_EQ(p.files[3].date, (std::array<std::uint32_t, 6>{2020, 1, 2, 3, 4, 5}));
  EXPECT_EQ(p.files[0].date, (std::array<std::uint32_t, 6>{2023, 11, 14, 22, 13, 20}));  // mtime, UTC
  EXPECT_EQ(std::string(p.files[0].data.begin(), p.files[0].data.end()), "MZ program");

  // Through the stream and back: the same state.
  package::Settings loaded;
  loaded.product_flags2 = s.product_flags2;
  const std::string stream = package::write_settings(s);
  ASSERT_EQ(package::load_settings({reinterpret_cast<const std::uint8_t*>(stream.data()), stream.size()}, loaded)
                .error(),
            0);
  EXPECT_EQ(loaded, s);

  // hpack info shows the same.
  const std::string info = describe_settings(loaded, std::string("Deutsch"));
  for (const char* line : {"  name: \"Demo\"\n", "    bit 2 has_uninstaller:", "    bit 29 no_backdrop:",
                           "    bit 40 maximize_backdrop:", "  colors: background #102030, text #FF0000\n",
                           "  0: \"Hallo <product>\"\n", "  120: \"Neu\"\n", "  password: set\n",
                           "\"\\\\HKLM\\\\Software\\\\Acme\", \"Path, with comma\", \"2\""}) {
    EXPECT_NE(info.find(line), std::string::npos) << line << "\n" << info;
  }
  EXPECT_EQ(info.find("secret"), std::string::npos);
  EXPECT_NE(describe_settings(loaded, std::nullopt).find("  21: \"Error\"\n"), std::string::npos);
  EXPECT_THROW(describe_settings(loaded, std::string("Klingon")), std::invalid_argument);
}

TEST_F(ProjectTest, MistakesNameFileLineAndColumn) {
  struct Case {
    std::string text;
    std::string expected;  // a part of the message, with its position
  };
  const std::string product = "[product]\nname = \"Demo\"\n";
  const Case cases[] = {
      {kFullProject, "project.toml:19:1: unknown key \"options.no_backdrop_unused\""},
      {product + "colour = 1\n", "project.toml:3:1: unknown key \"product.colour\""},
      {product + "version = 2\n", "project.toml:3:11: product.version: expected a string, got an integer"},
      {product + "[options]\nhas_uninstaller = 1\n", "project.toml:4:19: options.has_uninstaller: expected true or false"},
      {product + "[wizard]\nlicence = \"missing.txt\"\n", "project.toml:4:11: wizard.licence: cannot read the file \"missing.txt\""},
      {product + "[[files]]\nsource = \"app/*.zip\"\n", "project.toml:4:10: files[0].source: no file matches \"app/*.zip\""},
      {product + "[[files]]\nsource = \"app/lib\"\n", "set recursive = true"},
      {product + "[backdrop]\nbitmap_size = 101\n", "project.toml:4:15: backdrop.bitmap_size: expected an integer from 0 to 100, got 101"},
      {product + "[backdrop]\ntop_color = \"red\"\n", "backdrop.top_color: expected a colour \"#RRGGBB\""},
      {product + "[backdrop]\ntitle_position = \"middle\"\n", "expected one of \"none\", \"top_left\""},
      {product + "[wizard]\nmin_status_time_ms = 10000\n", "expected an integer from 0 to 9999"},
      {product + "[messages.English]\n9999 = \"x\"\n", "project.toml:4:1: messages.English: expected message numbers from 0 to 9998"},
      {product + "[messages.Klingon]\n1 = \"x\"\n", "project.toml:3:11: messages.Klingon: expected a language"},
      {product + "[batches]\npre_install = \"\u4e2d\"\n", "expected text that code page 1252 can hold"},
      {product + "[[firewall]]\nport = 80\nprogram = \"x.exe\"\n", "expected either port or program"},
      {product + "[[auto_close]]\naction = \"ask\"\n", "needs window_class or window_title"},
      {product + "name = \"Again\"\n", "project.toml:3:8: Error while parsing"},  // redefinition
      {"[product]\nname = \"Demo\n", "project.toml:2:"},  // unterminated string
      {"[options]\n", "the project needs a [product] table"},
      {product + "uninstaller_icon = \"licence.txt\"\n", "project.toml:3:20: product.uninstaller_icon: needs the has_uninstaller option"},
      // Letters above 127 where the parser looks for whitespace are plain
      // mistakes, whatever the letter.
      {"[product]\nname = \"x\" \xc3\xa9\n", "project.toml:2:12: Error while parsing"},
      {"\xc8\xa0t\n", "project.toml:1:1: Error while parsing"},
      {"orles =-\"\xc9\xaa", "project.toml:1:"},
      {"[product]\nname = \"\xf3\xb0\x80\x81\"\n", "project.toml:2:9: characters of the private planes"},
      {"[product]\nversion = \"1\"\n", "the product needs a name"},
      {product + "[build]\ncipher_key = \"xyz\"\n", "expected 16 hexadecimal digits"},
      {product + "[build]\nsign_command = 1\n", "project.toml:4:16: build.sign_command: expected a string"},
      {product + "[build]\nsign_command = \"sign {in}\"\n",
       "project.toml:4:16: build.sign_command: expected a command with {in} (the unsigned installer) and {out}"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    const std::string message = error_of(c.text);
    EXPECT_NE(message.find(c.expected), std::string::npos) << message;
  }
}

TEST_F(ProjectTest, NonAsciiTextInStringsAndComments) {
  const Project p = parse("# caf\xc3\xa9\n[product]\nname = \"Caf\xc3\xa9 \\\"f\xc3\xbcr\\\\\"\nversion = '\xc3\xa9'\n"
                          "description = \"\"\"\n\xc3\xa9\\t\xc3\xa9\\\n  \xe4\xb8\xad\"\"\"\n"
                          "[[files]]\nsource = \"caf\xc3\xa9/*\"\n");
  EXPECT_EQ(p.settings.product_name, u"Caf\u00e9 \"f\u00fcr\\");
  EXPECT_EQ(p.settings.product_version, u"\u00e9");
  EXPECT_EQ(p.settings.product_description, u"\u00e9\t\u00e9\u4e2d");
  ASSERT_EQ(p.files.size(), 1u);
  EXPECT_EQ(p.files[0].name, "|\xc3\xa9t\xc3\xa9.txt");
}

TEST_F(ProjectTest, EveryOptionNameSetsAndClearsItsBit) {
  for (const auto& info : package::product_flag_table()) {
    SCOPED_TRACE(std::string(info.name));
    const std::string base = "[product]\nname = \"D\"\n[build]\ncompress = false\n[options]\nproduct_flags = -1\nproduct_flags2 = 0xFFFFFFFF\n";
    const Project on = parse(base.substr(0, base.find("product_flags =")) + std::string(info.name) + " = true\n");
    const Project off = parse(base + std::string(info.name) + " = false\n");
    if (info.word == package::FlagWord::kProductFlags) {
      // Bits the project sets from its content (compression) are left out.
      if (info.bit == package::pf::kCompressedPayload) continue;
      EXPECT_EQ(on.settings.product_flags, bit(info.bit));
      EXPECT_EQ(off.settings.product_flags, ~bit(info.bit) & ~bit(package::pf::kCompressedPayload));
    } else {
      if (info.bit == package::pf2::kEnciphered) continue;
      EXPECT_EQ(on.settings.product_flags2, bit(info.bit));
      EXPECT_EQ(off.settings.product_flags2, ~static_cast<std::uint32_t>(bit(info.bit)) & ~(1u << 12));
      EXPECT_EQ(on.package.product_flags2, on.settings.product_flags2);
    }
  }
}

TEST_F(ProjectTest, DatesComeFromSourcesAndSourceDateEpochOnly) {
  const std::string text = "[product]\nname = \"D\"\n[[files]]\nsource = \"app/main.exe\"\n";
  // Without SOURCE_DATE_EPOCH and without a project file on disk: no date
  // from the clock.
  const Project plain = parse(text);
  EXPECT_EQ(plain.settings.uninstaller_date, (std::array<std::int32_t, 6>{}));
  EXPECT_EQ(plain.files[0].date, (std::array<std::uint32_t, 6>{2023, 11, 14, 22, 13, 20}));
  // SOURCE_DATE_EPOCH is the default date and caps later file times.
  ProjectEnvironment early{1600000000};  // 2020-09-13 12:26:40
  const Project capped = parse(text, early);
  EXPECT_EQ(capped.settings.uninstaller_date, (std::array<std::int32_t, 6>{2020, 9, 13, 12, 26, 40}));
  EXPECT_EQ(capped.files[0].date, (std::array<std::uint32_t, 6>{2020, 9, 13, 12, 26, 40}));
  ProjectEnvironment late{1800000000};
  EXPECT_EQ(parse(text, late).files[0].date, plain.files[0].date);

  EXPECT_EQ(date_from_epoch(0), (std::array<std::int32_t, 6>{1970, 1, 1, 0, 0, 0}));
  EXPECT_EQ(date_from_epoch(951782400), (std::array<std::int32_t, 6>{2000, 2, 29, 0, 0, 0}));
  EXPECT_EQ(date_from_epoch(-1), (std::array<std::int32_t, 6>{1969, 12, 31, 23, 59, 59}));
}

TEST_F(ProjectTest, GlobPatterns) {
  struct Case {
    std::string source;
    bool recursive;
    std::vector<std::string> names;
  };
  const Case cases[] = {
      {"app/*", false, {"main.exe", "readme.txt"}},
      {"app/**/*.dll", false, {"lib\\deep\\two.dll", "lib\\one.dll"}},
      {"app/**", false, {"lib\\deep\\two.dll", "lib\\one.dll", "main.exe", "readme.txt"}},
      {"app/*.dll", true, {"lib\\deep\\two.dll", "lib\\one.dll"}},
      {"app/lib/?ne.dll", false, {"one.dll"}},
      {"app/lib", true, {"deep\\two.dll", "one.dll"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.source);
    const Project p = parse("[product]\nname = \"D\"\n[[files]]\nsource = \"" + c.source + "\"\nrecursive = " +
                            (c.recursive ? "true" : "false") + "\n");
    std::vector<std::string> names;
    for (const auto& f : p.files) names.push_back(f.name);
    EXPECT_EQ(names, c.names);
  }
}

TEST(DemoProject, TwoBuildsAreByteIdentical) {
  const fs::path demo = fs::path(HS_SOURCE_DIR) / "examples" / "demo" / "demo.toml";
  std::vector<std::uint8_t> packages[2];
  for (auto& package : packages) {
    const Project p = load_project(demo, ProjectEnvironment{1700000000});
    const std::string stream = package::write_settings(p.settings);
    PackageOptions options = p.package;
    options.threads = 1;
    package = build_package({reinterpret_cast<const std::uint8_t*>(stream.data()), stream.size()}, p.files, options);
  }
  EXPECT_FALSE(packages[0].empty());
  EXPECT_EQ(packages[0], packages[1]);
}

}  // namespace
}  // namespace hs::tools
