#include "wizard/page_style.h"

#include <gtest/gtest.h>

#include "wizard/start_menu_name.h"

namespace hs::wizard {
namespace {

struct TemplateCase {
  Page page;
  int style;
  const char* name;
};

TEST(PageStyle, TemplateNamesForEveryStyle) {
  const TemplateCase cases[] = {
      {Page::kLicense, 0, "LicenseDlg2"},      {Page::kLicense, 1, "LicenseDlg"},
      {Page::kLicense, 2, "LicenseDlg3"},      {Page::kLicense, 3, "LicenseDlg4"},
      {Page::kLicense, 7, "LicenseDlg3"},      {Page::kLicense, -1, "LicenseDlg3"},
      {Page::kLanguage, 0, "LanguageDlg2"},    {Page::kReadme, 3, "ReadmeDlg4"},
      {Page::kChooseDir, 2, "ChooseDirDlg3"},  {Page::kStartMenu, 1, "StartMenuDlg"},
      {Page::kProgress, 0, "ProgressDlg2"},    {Page::kSummary, 255, "SummaryDlg3"},
      {Page::kGreeting, 1, "GreetingDlg"},     {Page::kGreeting, 2, "GreetingDlg3"},
      {Page::kGreeting, 3, "GreetingDlg4"},
      // The greeting has no plain template: style 0 is a message box.
      {Page::kGreeting, 0, ""},
  };
  for (const TemplateCase& c : cases)
    EXPECT_EQ(template_name(c.page, c.style), c.name) << "style " << c.style;
}

struct NameCase {
  const char16_t* name;
  bool valid;
};

TEST(StartMenuName, NextButtonRule) {
  const NameCase cases[] = {
      {u"", true},
      {u"Product", true},
      {u"Company\\Product", true},
      {u"Company Tools\\Product 2.0", true},
      {u"Company\\\\Product", false},
      {u"\\Product", false},
      {u"C:Product", false},
      {u"Pro;duct", false},
      {u"Pro/duct", false},
      {u"Pro\"duct", false},
      {u"<Product>", false},
      {u"Pro|duct", false},
      {u"Pro*", false},
      {u"Pro?", false},
      {u"Produkt \u00e4\u00f6\u00fc", true},
  };
  for (const NameCase& c : cases) EXPECT_EQ(is_valid_start_menu_name(c.name), c.valid);
}

}  // namespace
}  // namespace hs::wizard
