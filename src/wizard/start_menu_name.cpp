#include "wizard/start_menu_name.h"

namespace hs::wizard {

bool is_valid_start_menu_name(std::u16string_view name) {
  if (!name.empty() && name.front() == u'\\') return false;
  if (name.find(u"\\\\") != std::u16string_view::npos) return false;
  return name.find_first_of(u"/\"<>|*?:;") == std::u16string_view::npos;
}

}  // namespace hs::wizard
