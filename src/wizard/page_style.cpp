#include "wizard/page_style.h"

namespace hs::wizard {

std::string_view base_name(Page page) {
  switch (page) {
    case Page::kLanguage: return "LanguageDlg";
    case Page::kGreeting: return "GreetingDlg";
    case Page::kLicense: return "LicenseDlg";
    case Page::kReadme: return "ReadmeDlg";
    case Page::kChooseDir: return "ChooseDirDlg";
    case Page::kStartMenu: return "StartMenuDlg";
    case Page::kProgress: return "ProgressDlg";
    case Page::kSummary: return "SummaryDlg";
  }
  return "";
}

int effective_style(int style) {
  return (style == 0 || style == 1 || style == 3) ? style : 2;
}

std::string template_name(Page page, int style) {
  std::string name(base_name(page));
  switch (effective_style(style)) {
    case 0:
      if (page == Page::kGreeting) return "";
      return name + "2";
    case 1: return name;
    case 3: return name + "4";
    default: return name + "3";
  }
}

}  // namespace hs::wizard
