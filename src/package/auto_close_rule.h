// A rule for closing the product's running programs before files change.
#pragma once

#include <cstdint>
#include <string>

namespace hs::package {

struct AutoCloseRule {
  // Window class pattern: "*text" matches when text occurs anywhere,
  // otherwise an exact, case-sensitive match; "" = not tested.
  std::u16string window_class;
  std::u16string window_title;   // window title pattern, same rules
  std::string program_name;      // 8-bit (code page 1252) name shown when asking the user
  std::uint8_t action = 0;       // 0 close, 1 quit, 2 ask the user, 3 terminate the process
  // Bit set: 1 before installing; 2 uninstall, before the confirmation;
  // 4 uninstall, after the confirmation.
  std::uint8_t phases = 0;

  bool operator==(const AutoCloseRule&) const = default;
};

// The window class that ends the rule table in the settings stream.
inline constexpr std::u16string_view kAutoCloseEndRow = u"~~THE~END~~";

}  // namespace hs::package
