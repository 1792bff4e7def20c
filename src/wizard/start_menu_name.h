// The rule for a Start-menu folder name typed on the Start-menu page.
#pragma once

#include <string_view>

namespace hs::wizard {

// Whether the next button may be used with `name`: no character of
// "/\"<>|*?:;" other than single inner backslashes, no leading backslash,
// no two backslashes in a row. An empty name is allowed (no folder).
bool is_valid_start_menu_name(std::u16string_view name);

}  // namespace hs::wizard
