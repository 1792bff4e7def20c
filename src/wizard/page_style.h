// Page styles and the choice of a page's dialog template.
//
// Every page comes in four looks; the package picks one per page. The
// template of a page is its base name with a suffix for the style.
#pragma once

#include <string>
#include <string_view>

namespace hs::wizard {

// The wizard's pages, each with its own template base name.
enum class Page {
  kLanguage,
  kGreeting,
  kLicense,
  kReadme,
  kChooseDir,
  kStartMenu,
  kProgress,
  kSummary,
};

// Base name of the page's templates ("LicenseDlg", ...).
std::string_view base_name(Page page);

// The style a template is actually drawn in: 0, 1 and 3 as given, every
// other value the banner style 2.
int effective_style(int style);

// Template name for `page` in `style`: style 0 base + "2", style 1 the base
// alone, style 3 base + "4", every other value base + "3".
// The greeting has no plain template; its style 0 is a message box, and
// asking for it gives "".
std::string template_name(Page page, int style);

// Template of the password page, which has only one look.
inline constexpr std::string_view kPasswordTemplate = "EnterPassword";

}  // namespace hs::wizard
