// The uninstall data file: recording rules, the writer's layout and the
// reader's tolerance of line breaks, order and repeated sections.
#include "uninstall/uninstall_data.h"

#include <gtest/gtest.h>

#include "support/text.h"
#include "uninstall/change_list.h"
#include "uninstall/csv_line.h"

namespace hs::uninstall {
namespace {

TEST(ChangeList, RecordsEachKindWithItsPrefixAndEncoding) {
  ChangeList list;
  EXPECT_TRUE(list.append(std::u16string(u"C:\\P\\a.txt"), ChangeKind::kFile));
  EXPECT_TRUE(list.append(std::u16string(u"C:\\P\\Sub"), ChangeKind::kFolder));
  EXPECT_TRUE(list.append(std::u16string(u"\\HKCU\\Software\\P\\Wert\u00e4"), ChangeKind::kRegistryValue));
  EXPECT_TRUE(list.append(std::u16string(u"\\HKLM\\Software\\P\u00e9"), ChangeKind::kRegistryKey64));
  EXPECT_TRUE(list.append(std::u16string(u"\\HKLM\\Software\\Q"), ChangeKind::kRegistryKey));
  EXPECT_TRUE(list.append(std::u16string(u"C:\\P\\\u00fcber.txt"), ChangeKind::kFile));
  EXPECT_EQ(list.text(),
            "C:\\P\\a.txt\r\n"
            "~C:\\P\\Sub\r\n"
            "!\\HKCU\\Software\\P\\Wert\xC3\xA4\r\n"   // UTF-8
            "*\\HKLM\\Software\\P\xE9\r\n"             // code page 1252
            "^\\HKLM\\Software\\Q\r\n"
            "|C:\\P\\\xC3\xBC" "ber.txt\r\n");         // bar form
}

TEST(ChangeList, ShortTextsAndRepeatedFoldersAreNotRecorded) {
  ChangeList list;
  EXPECT_FALSE(list.append(std::u16string(u"C:\\"), ChangeKind::kFolder));
  EXPECT_FALSE(list.append(std::string("C:\\"), ChangeKind::kFile));
  EXPECT_TRUE(list.append(std::u16string(u"C:\\Programme\\\u00c4pfel"), ChangeKind::kFolder));
  // Same folder in other letter case, given once wide and once in bar form.
  EXPECT_FALSE(list.append(std::u16string(u"c:\\PROGRAMME\\\u00e4PFEL"), ChangeKind::kFolder));
  EXPECT_FALSE(list.append(support::to_bar_form(u"C:\\programme\\\u00e4pfel"), ChangeKind::kFolder));
  // Files are recorded every time.
  EXPECT_TRUE(list.append(std::string("C:\\a.b"), ChangeKind::kFile));
  EXPECT_TRUE(list.append(std::string("C:\\a.b"), ChangeKind::kFile));
  EXPECT_EQ(list.text(), "~|C:\\Programme\\\xC3\x84pfel\r\nC:\\a.b\r\nC:\\a.b\r\n");

  list.clear();
  EXPECT_TRUE(list.empty());
  EXPECT_TRUE(list.append(std::u16string(u"C:\\Programme\\\u00c4pfel"), ChangeKind::kFolder));
}

TEST(ChangeList, UnpairedSurrogateInRegistryValueBecomesQuestionMark) {
  ChangeList list;
  std::u16string path = u"\\HKCU\\X\\a";
  path.push_back(0xD800);
  list.append(path, ChangeKind::kRegistryValue);
  EXPECT_EQ(list.text(), "!\\HKCU\\X\\a?\r\n");
}

// The 64-bit key lines are written in the system's ANSI code page.
TEST(ChangeList, KeyLinesOfThe64BitViewUseTheAnsiCodePage) {
  ChangeList changes;
  changes.use_code_page({}, [](std::u16string_view text) {
    std::string out;
    for (char16_t c : text) out += c == u'\u0416' ? '\xC6' : c < 128 ? static_cast<char>(c) : '?';
    return out;
  });
  EXPECT_TRUE(changes.append(std::u16string_view(u"\\HKLM\\Software\\\u0416"), ChangeKind::kRegistryKey64));
  EXPECT_EQ(changes.text(), "*\\HKLM\\Software\\\xC6\r\n");
}

TEST(CsvLine, QuotesExactlyTheFieldsThatNeedIt) {
  struct Case {
    std::string field;
    std::string written;
  } cases[] = {
      {"plain", "plain"},         {"", ""},
      {"a,b", "\"a,b\""},         {"say \"hi\"", "\"say \"\"hi\"\"\""},
      {"a\tb", "\"a\tb\""},       {"a;b", "\"a;b\""},
      {"|C:\\x", "\"|C:\\x\""},   {" lead", "\" lead\""},
      {"trail ", "\"trail \""},   {"'q", "\"'q\""},
      {"#h", "\"#h\""},           {"in side", "in side"},
      {"a\r\nb", "\"a\r\nb\""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(csv_field(c.field), c.written) << c.field;
    const auto back = split_csv_line(csv_field(c.field));
    ASSERT_EQ(back.size(), 1u) << c.field;
    EXPECT_EQ(back[0], c.field);
  }
  EXPECT_EQ(split_csv_line("a;\"b;c\";;d", ';'), (std::vector<std::string>{"a", "b;c", "", "d"}));
  EXPECT_EQ(split_csv_line("\"unterminated"), (std::vector<std::string>{"unterminated"}));
}

UninstallData full_data() {
  UninstallData d;
  ChangeList changes;
  changes.append(std::u16string(u"C:\\P\\a.exe"), ChangeKind::kFile);
  changes.append(std::u16string(u"C:\\P\\\u00e9t\u00e9"), ChangeKind::kFolder);
  changes.append(std::u16string(u"\\HKCU\\Software\\P\\v"), ChangeKind::kRegistryValue);
  d.changes = changes.text();
  d.messages.resize(116);
  d.messages[10] = u"Errors:\r\nsecond line";
  d.messages[53] = u"Remove \u00abP\u00bb?";
  d.messages[115] = u"last";
  d.caption = u"P Setup \u2122";
  d.auto_close = {{u"Cls,1", u"Title \"x\"", "Prog\xE9", 2, 4}, {u"C2", u"", "p", 3, 2}};
  d.associations = {{".txt", "P.Doc", "open", u"C:\\P\\\u00e9.ico"}, {".p", "P.X", "edit", u""}};
  d.firewall = {"8080;x;3;y", "|C:\\P\\\xC3\xA9.exe;n;1;"};
  d.inf = {"C:\\P\\drv.inf"};
  d.msi = {"\"C:\\P\\a.msi\",2"};
  d.registry2 = "\\HKLM\\Software\\P\r\n\\HKLM\\Software\\P,Name,x,y,2\r\n";
  d.conditional = {{u"%AppDir%\\*.tmp", 5, u"0", 8}, {u"C:\\x, y.log", 2, u"2024-02-29 10:00", 12},
                   {u"install only", 4, u"1", 4}};
  return d;
}

TEST(UninstallData, EverySectionSurvivesWriteAndRead) {
  const UninstallData d = full_data();
  const UninstallData back = parse_uninstall_data(compose_uninstall_data(d));
  EXPECT_EQ(back.changes, d.changes);
  for (int n : kUninstallMessageNumbers) EXPECT_EQ(back.message(n), d.message(n)) << n;
  EXPECT_EQ(back.caption, d.caption);
  EXPECT_EQ(back.auto_close, d.auto_close);
  EXPECT_EQ(back.associations, d.associations);
  EXPECT_EQ(back.firewall, d.firewall);
  EXPECT_EQ(back.inf, d.inf);
  EXPECT_EQ(back.msi, d.msi);
  EXPECT_EQ(back.registry2, d.registry2);
  // Only the entries applied at uninstallation are written.
  ASSERT_EQ(back.conditional.size(), 2u);
  EXPECT_EQ(back.conditional[0], d.conditional[0]);
  EXPECT_EQ(back.conditional[1], d.conditional[1]);
  // Reading what was read and writing it again gives the same bytes.
  EXPECT_EQ(compose_uninstall_data(back), compose_uninstall_data(d));
}

TEST(UninstallData, SectionsAreWrittenInTheirFixedOrder) {
  const std::string text = compose_uninstall_data(full_data());
  const char* headers[] = {"\r\n\r\n[Strings]\r\n",  "\r\n\r\n[AutoClose]\r\n", "\r\n\r\n[Associations]\r\n",
                           "\r\n\r\n[Firewall]\r\n", "\r\n\r\n[INF]\r\n",       "\r\n\r\n[MSI]\r\n",
                           "\r\n\r\n[Registry2]\r\n", "\r\n\r\n[ConditionalDelete]\r\n"};
  std::size_t last = 0;
  for (const char* h : headers) {
    const auto at = text.find(h);
    ASSERT_NE(at, std::string::npos) << h;
    EXPECT_GT(at, last) << h;
    last = at;
  }
  EXPECT_NE(text.find("[AutoClose]\r\n\"Cls,1\",\"Title \"\"x\"\"\",Prog\xE9,2\r\n"), std::string::npos);
  EXPECT_NE(text.find("[Associations]\r\n.txt~!~P.Doc~!~open~!~|C:\\P\\\xC3\xA9.ico\r\n.p~!~P.X~!~edit~!~\r\n"),
            std::string::npos);
  EXPECT_NE(text.find("[ConditionalDelete]\r\n%AppDir%\\*.tmp,5,0,8\r\n\"C:\\x, y.log\",2,2024-02-29 10:00,12\r\n"),
            std::string::npos);
  EXPECT_EQ(text.find("install only"), std::string::npos);
  EXPECT_EQ(text.find('\xEF'), std::string::npos);  // no byte-order mark
}

TEST(UninstallData, NothingRecordedStillGivesStringsAndCaption) {
  UninstallData d;
  d.caption = u"P";
  std::string expected = "\r\n\r\n[Strings]\r\n";
  for (int n : kUninstallMessageNumbers) expected += "~" + std::to_string(n) + "\r\n\r\n";
  expected += "~999\r\nP\r\n";
  EXPECT_EQ(compose_uninstall_data(d), expected);
  const UninstallData back = parse_uninstall_data(expected);
  EXPECT_EQ(back.caption, u"P");
  EXPECT_TRUE(back.changes.empty());
}

TEST(UninstallData, ReaderAcceptsEveryLineBreakAndAnyOrder) {
  const std::string lf =
      "C:\\P\\a.exe\n~C:\\P\n\n[MSI]\n\"C:\\a.msi\",1\n[Strings]\n~53\nRemove?\nReally\n~999\nCap\n"
      "[ConditionalDelete]\nC:\\P\\*.log,4,0,8\n[INF]\nC:\\x.inf\n[Strings]\n~55\nUninstall\n";
  for (std::string_view brk : {"\n", "\r", "\r\n", "\n\r"}) {
    std::string text;
    for (char c : lf) {
      if (c == '\n') {
        text += brk;
      } else {
        text.push_back(c);
      }
    }
    const UninstallData d = parse_uninstall_data(text);
    SCOPED_TRACE(testing::PrintToString(std::string(brk)));
    EXPECT_EQ(d.changes, "C:\\P\\a.exe\r\n~C:\\P\r\n");
    EXPECT_EQ(d.msi, std::vector<std::string>{"\"C:\\a.msi\",1"});
    EXPECT_EQ(d.message(53), u"Remove?" + std::u16string(brk.begin(), brk.end()) + u"Really");
    EXPECT_EQ(d.message(55), u"Uninstall");  // a second [Strings] section
    EXPECT_EQ(d.caption, u"Cap");
    EXPECT_EQ(d.inf, std::vector<std::string>{"C:\\x.inf"});
    ASSERT_EQ(d.conditional.size(), 1u);
    EXPECT_EQ(d.conditional[0].path, u"C:\\P\\*.log");
  }
}

TEST(UninstallData, StringRecordsOutOfRangeOrMalformedAreSkipped) {
  const UninstallData d = parse_uninstall_data(
      "[Strings]\r\n~0\r\nzero\r\n~1001\r\nbig\r\n~x\r\nnot a number\r\nstray line\r\n~1000\r\nedge\r\n"
      "~7\r\n  text with trailing blanks \t \r\n\r\n[INF]x\r\n");
  EXPECT_EQ(d.messages.size(), 1001u);
  EXPECT_EQ(d.message(1000), u"edge");
  EXPECT_EQ(d.message(0), u"");
  // A line starting with a header other than [Strings] ends the text.
  EXPECT_EQ(d.message(7), u"  text with trailing blanks");
  EXPECT_TRUE(d.inf.empty());
}

TEST(UninstallData, HeadersAreTrimmedAndCaseSensitive) {
  const UninstallData d = parse_uninstall_data(" \t[INF]\t \r\nC:\\a.inf\r\n[inf]\r\n  C:\\b.inf  \r\n");
  EXPECT_EQ(d.inf, (std::vector<std::string>{"C:\\a.inf", "[inf]", "C:\\b.inf"}));
}

TEST(UninstallData, MalformedSectionLinesAreDropped) {
  const UninstallData d = parse_uninstall_data(
      "[AutoClose]\r\nonly,three,fields\r\na,b,c,1\r\na,b,c,d,e\r\n"
      "[Associations]\r\n.x~!~~!~open~!~\r\n.y~!~Y\r\n.z~!~Z~!~open\r\n"
      "[ConditionalDelete]\r\nC:\\a,1,2\r\nC:\\b,999,x,-3\r\n");
  ASSERT_EQ(d.auto_close.size(), 1u);
  EXPECT_EQ(d.auto_close[0].action, 1);
  EXPECT_EQ(d.auto_close[0].phases, 2);
  ASSERT_EQ(d.associations.size(), 1u);
  EXPECT_EQ(d.associations[0].verb, "open");
  EXPECT_EQ(d.associations[0].icon, u"");
  ASSERT_EQ(d.conditional.size(), 1u);
  EXPECT_EQ(d.conditional[0].condition, 0);  // out of range: no condition
  EXPECT_EQ(d.conditional[0].flags, 0);
}

// Texts that no Windows path can be are dropped on reading, so that what is
// read comes back unchanged through every later write and read.
TEST(UninstallData, TextsThatCannotBePathsAreDropped) {
  const struct {
    const char* what;
    const char* line;
    bool kept;
  } cases[] = {
      {"a path of one bar", "||,,,8", false},
      {"empty after decoding", "|,,,8", false},
      {"empty", "\"\",0,,8", false},
      {"an angle bracket", "C:\\a<b,0,,8", false},
      {"a double quote", "\"C:\\a\"\"b\",0,,8", false},
      {"a control character", "C:\\a\tb,0,,8", false},
      {"a bar in the argument", "C:\\a.log,5,||,8", false},
      {"a sound pattern", "C:\\P\\*.log,5,100,8", true},
      {"a UTF-8 pattern", "|C:\\\xC3\x9C\\*.log,0,,8", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string file = std::string("[ConditionalDelete]\r\n") + c.line + "\r\n";
    const UninstallData once = parse_uninstall_data(file);
    EXPECT_EQ(once.conditional.size(), c.kept ? 1u : 0u);
    const std::string written = compose_uninstall_data(once);
    EXPECT_EQ(compose_uninstall_data(parse_uninstall_data(written)), written);
  }
  const UninstallData icons = parse_uninstall_data("[Associations]\r\n.x~!~X~!~open~!~||\r\n.y~!~Y~!~open~!~C:\\y.exe,1\r\n");
  ASSERT_EQ(icons.associations.size(), 2u);
  EXPECT_EQ(icons.associations[0].icon, u"");
  EXPECT_EQ(icons.associations[1].icon, u"C:\\y.exe,1");
  // A verb that runs into the separator would be split elsewhere once
  // written again: the record is dropped.
  const UninstallData separator = parse_uninstall_data("[Associations]\r\n.x~!~X~!~open~!\r\n.y~!~Y~!~open\r\n");
  ASSERT_EQ(separator.associations.size(), 1u);
  EXPECT_EQ(separator.associations[0].extension, ".y");
}

// Paths without the leading "|" are read in the system's ANSI code page.
TEST(UninstallData, PathsWithoutTheBarAreInTheAnsiCodePage) {
  const support::AnsiDecoder cyrillic = [](std::string_view text) {
    std::u16string out;
    for (char c : text) out += static_cast<unsigned char>(c) == 0xC6 ? u'\u0416' : static_cast<char16_t>(c);
    return out;
  };
  const std::string file = "[Associations]\r\n.x~!~X~!~open~!~C:\\\xC6.exe,0\r\n[ConditionalDelete]\r\nC:\\\xC6\\*.log,0,,8\r\n";
  const UninstallData d = parse_uninstall_data(file, cyrillic);
  ASSERT_EQ(d.conditional.size(), 1u);
  EXPECT_EQ(d.conditional[0].path, u"C:\\\u0416\\*.log");
  ASSERT_EQ(d.associations.size(), 1u);
  EXPECT_EQ(d.associations[0].icon, u"C:\\\u0416.exe,0");
  EXPECT_EQ(parse_uninstall_data(file).conditional[0].path, u"C:\\\u00c6\\*.log");
}

TEST(UninstallDataPaths, FollowTheLocationRule) {
  EXPECT_EQ(uninstall_data_path(u"C:\\P", u""), u"C:\\P\\Uninstall.DAT");
  EXPECT_EQ(uninstall_data_path(u"C:\\P\\", u"uninst"), u"C:\\P\\uninst\\Uninstall.DAT");
  EXPECT_EQ(install_log_path(u"C:\\P", u"a\\b"), u"C:\\P\\a\\b\\Install.log");
  EXPECT_EQ(install_log_path_bar(u"C:\\\u00c9", u""), "|C:\\\xC3\x89\\Install.log");
  EXPECT_EQ(install_log_path_bar(u"C:\\E", u""), "C:\\E\\Install.log");
}

}  // namespace
}  // namespace hs::uninstall
