// The command line: atoms, switches, usage errors and the usage text.
#include "engine/command_line.h"

#include <gtest/gtest.h>

// The table names only the fields each case sets.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

#include <optional>
#include <string>

#include "support/text.h"

namespace hs::engine {
namespace {

using support::utf16_to_utf8;

struct Case {
  const char* name;
  std::u16string command_line;
  RunModes expected;
  std::optional<std::u16string> error;  // the usage error's message
};

std::u16string repeat_switch(const std::u16string& sw, int count) {
  std::u16string text;
  for (int i = 0; i < count; ++i) text += u" " + sw;
  return text;
}

void expect_modes(const RunModes& expected, const RunModes& actual) {
  EXPECT_EQ(expected.automatic, actual.automatic);
  EXPECT_EQ(expected.silent, actual.silent);
  EXPECT_EQ(expected.minimized, actual.minimized);
  EXPECT_EQ(expected.uninstall, actual.uninstall);
  EXPECT_EQ(utf16_to_utf8(expected.folder_override), utf16_to_utf8(actual.folder_override));
  EXPECT_EQ(expected.folder_override_narrow, actual.folder_override_narrow);
  EXPECT_EQ(utf16_to_utf8(expected.product_name_override), utf16_to_utf8(actual.product_name_override));
  EXPECT_EQ(utf16_to_utf8(expected.uninstall_product), utf16_to_utf8(actual.uninstall_product));
  EXPECT_EQ(utf16_to_utf8(expected.run_after), utf16_to_utf8(actual.run_after));
  for (int i = 0; i < 3; ++i) EXPECT_EQ(expected.extra_batch[i], actual.extra_batch[i]) << "batch " << i + 1;
}

const Case kCases[] = {
    {"program name only", u"\"C:\\Users\\Me\\Downloads\\setup.exe\"", {}, {}},
    {"quoted program name with blanks", u"\"C:\\Program Files\\x.exe\" /a", {.automatic = true}, {}},
    {"unquoted program name", u"setup.exe /a", {.automatic = true}, {}},
    {"dash and upper case", u"setup.exe -A", {.automatic = true}, {}},
    {"quoted folder with blanks and trailing backslash", u"setup.exe /D:\"C:\\Program Files\\My App\\\"",
     {.folder_override = u"C:\\Program Files\\My App", .folder_override_narrow = "C:\\Program Files\\My App"}, {}},
    {"unquoted folder", u"setup.exe /d:C:\\Temp\\", {.folder_override = u"C:\\Temp", .folder_override_narrow = "C:\\Temp"}, {}},
    {"only one trailing backslash goes", u"setup.exe /d:\"C:\\\\\"", {.folder_override = u"C:\\", .folder_override_narrow = "C:\\"}, {}},
    {"folder with characters outside code page 1252", u"setup.exe /d:\"C:\\caf\u00e9\u4e2d\"",
     {.folder_override = u"C:\\caf\u00e9\u4e2d", .folder_override_narrow = "C:\\caf\xe9?"}, {}},
    {"quote without its closing quote runs to the end", u"setup.exe /d:\"C:\\My Folder",
     {.folder_override = u"C:\\My Folder", .folder_override_narrow = "C:\\My Folder"}, {}},
    {"two quotes inside a quoted part are one", u"setup.exe /n:\"say \"\"hi\"\"\"", {.product_name_override = u"say \"hi\""}, {}},
    {"a quoted literal quote", u"setup.exe /n:\"\"\"\"", {.product_name_override = u"\""}, {}},
    {"product name", u"setup.exe /n:\"My Product\"", {.product_name_override = u"My Product"}, {}},
    {"a later switch replaces the earlier value", u"setup.exe /n:one /N:two", {.product_name_override = u"two"}, {}},
    {"uninstall with name", u"setup.exe /u:\"My Product\"", {.uninstall = true, .uninstall_product = u"My Product"}, {}},
    {"uninstall without quotes", u"setup.exe /U:Name", {.uninstall = true, .uninstall_product = u"Name"}, {}},
    {"/uninstall has no name", u"setup.exe /uninstall", {.uninstall = true}, u"Product name required"},
    {"/u alone has no name", u"setup.exe /u", {.uninstall = true}, u"Product name required"},
    {"/u: with an empty name", u"setup.exe /u:\"\"", {.uninstall = true}, u"Product name required"},
    {"run-after with back-quotes", u"setup.exe /r:\"notepad.exe `C:\\a b.txt`\"", {.run_after = u"notepad.exe \"C:\\a b.txt\""}, {}},
    {"batch 1 with back-quotes and ~~", u"setup.exe /b1:\"echo `hello`~~pause\"", {.extra_batch = {"echo \"hello\"\r\npause", "", ""}}, {}},
    {"batches 2 and 3", u"setup.exe /B2:\"a\" /b3:\"b~~~~c\"", {.extra_batch = {"", "a", "b\r\n\r\nc"}}, {}},
    {"batch text is code page 1252", u"setup.exe /b1:\"echo \u20ac \u0416\"", {.extra_batch = {"echo \x80 ?", "", ""}}, {}},
    {"batch without a quote is illegal", u"setup.exe /b1:abc", {}, u"Illegal command line atom:\r\n/b1:abc"},
    {"run-after without a quote is illegal", u"setup.exe /r:prog.exe", {}, u"Illegal command line atom:\r\n/r:prog.exe"},
    {"-silent", u"setup.exe -silent", {.automatic = true, .silent = true}, {}},
    {"/SILENT", u"setup.exe /SILENT", {.automatic = true, .silent = true}, {}},
    {"/Silent", u"setup.exe /Silent", {.automatic = true, .silent = true}, {}},
    {"/silentx is illegal", u"setup.exe /silentx", {}, u"Illegal command line atom:\r\n/silentx"},
    {"minimized", u"setup.exe /min", {.minimized = true}, {}},
    {"unknown switch", u"setup.exe -q", {}, u"Illegal command line atom:\r\n-q"},
    {"a lone switch character is ignored", u"setup.exe / - /a", {.automatic = true}, {}},
    {"a bare word", u"setup.exe foo", {}, u"Unexpected command line parameter:\r\nfoo"},
    {"two spaces and other blanks between atoms", u"setup.exe  /a\t/MIN\r\n/silent  ", {.automatic = true, .silent = true, .minimized = true}, {}},
    {"an atom of two quotes", u"setup.exe \"\"", {}, u"Unexpected command line parameter:\r\n\"\""},
    {"switches before a bad atom are kept", u"setup.exe /silent /x", {.automatic = true, .silent = true}, u"Illegal command line atom:\r\n/x"},
    {"switches after a bad atom are not read", u"setup.exe /x /silent", {}, u"Illegal command line atom:\r\n/x"},
    {"19 switches are read", u"setup.exe" + repeat_switch(u"/a", 18) + u" /x", {.automatic = true}, u"Illegal command line atom:\r\n/x"},
    {"the 20th switch is never looked at", u"setup.exe" + repeat_switch(u"/a", 19) + u" /x", {.automatic = true}, {}},
    {"the 20th atom after a lone switch character", u"setup.exe" + repeat_switch(u"/", 19) + u" foo", {}, {}},
};

TEST(CommandLine, TableOfCommandLines) {
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    const ParsedCommandLine parsed = parse_command_line(c.command_line);
    expect_modes(c.expected, parsed.modes);
    ASSERT_EQ(c.error.has_value(), parsed.error.has_value());
    if (c.error) {
      EXPECT_EQ(utf16_to_utf8(*c.error), utf16_to_utf8(parsed.error->message));
    }
  }
}

TEST(CommandLine, NextAtomTakesOneAtomAndItsSeparator) {
  struct AtomCase {
    std::u16string text;
    std::u16string atom;
    std::u16string rest;
  };
  const AtomCase cases[] = {
      {u"  \t\r\nabc def", u"abc", u"def"},
      {u"abc  def", u"abc", u" def"},
      {u"/d:\"a b\" c", u"/d:\"a b\"", u"c"},
      {u"x\"a b\"y z", u"x\"a b\"y", u"z"},
      {u"\"a\"\"b\"", u"\"a\"b\"", u""},
      {u"\"\"", u"\"\"", u""},
      {u"\"open to the end", u"\"open to the end\"", u""},
      {u"   ", u"", u""},
      {u"", u"", u""},
  };
  for (const auto& c : cases) {
    std::u16string rest = c.text;
    EXPECT_EQ(utf16_to_utf8(c.atom), utf16_to_utf8(next_atom(rest))) << utf16_to_utf8(c.text);
    EXPECT_EQ(utf16_to_utf8(c.rest), utf16_to_utf8(rest)) << utf16_to_utf8(c.text);
  }
}

TEST(CommandLine, UsageTextByteForByte) {
  const std::u16string tab = u"\t";
  const std::u16string lines[] = {
      u"Unexpected command line parameter:\r\nfoo",
      u"",
      u"Usage:",
      u"setup.exe [/a] [/b1:\"commands\"] [/b2:\"commands\"] [/b3:\"commands\"] [/d:\"dir\"] [/n:\"name\"] "
      u"[/u:\"name\"] [/r:\"program\"] [/silent]",
      u"",
      u"/a" + std::u16string(18, u' ') + tab + u"Automatic mode.",
      u"/d:\"dir\"" + std::u16string(8, u' ') + tab + u"Override installation path.",
      u"/b1:\"commands\"" + tab + u"Add commands to the end of the Pre-Installation Batch.",
      u"/b2:\"commands\"" + tab + u"Add commands to the end of the Post-Installation Batch.",
      u"/b3:\"commands\"" + tab + u"Add commands to the end of the Installation-Exit Batch.",
      u"/n:\"name\"" + tab + u"Override product name.",
      u"/u:\"name\"" + tab + u"Uninstall product by name.",
      u"/r:\"program\"" + tab + u"Run the specified program after a successful installation.",
      u"/silent" + tab + u"Display no user interface.",
  };
  std::u16string expected;
  for (std::size_t i = 0; i < std::size(lines); ++i) expected += (i ? u"\r\n" : u"") + lines[i];
  EXPECT_EQ(utf16_to_utf8(expected),
            utf16_to_utf8(usage_text(u"Unexpected command line parameter:\r\nfoo", u"setup.exe")));
}

TEST(CommandLine, FileNamePart) {
  EXPECT_EQ(u"setup.exe", file_name_part(u"C:\\Users\\Me\\setup.exe"));
  EXPECT_EQ(u"setup.exe", file_name_part(u"setup.exe"));
  EXPECT_EQ(u"a.exe", file_name_part(u"C:a.exe"));
}

}  // namespace
}  // namespace hs::engine
