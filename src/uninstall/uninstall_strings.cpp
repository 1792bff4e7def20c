#include "uninstall/uninstall_strings.h"

#include <algorithm>

namespace hs::uninstall {

void fill_uninstall_strings(UninstallData& data, const engine::Session& session) {
  const int highest = *std::max_element(kUninstallMessageNumbers.begin(), kUninstallMessageNumbers.end());
  if (data.messages.size() < static_cast<std::size_t>(highest) + 1) data.messages.resize(static_cast<std::size_t>(highest) + 1);
  for (int n : kUninstallMessageNumbers) {
    data.messages[static_cast<std::size_t>(n)] = session.message ? session.message(n) : std::u16string();
  }
  data.caption = session.message_or(114, session.settings.page_title);
}

}  // namespace hs::uninstall
