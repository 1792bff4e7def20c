#include "uninstall/uninstall_strings.h"

#include <algorithm>

#include "package/message_table.h"
#include "support/format.h"

namespace hs::uninstall {

void fill_uninstall_strings(UninstallData& data, const engine::Session& session) {
  const int highest = *std::max_element(kUninstallMessageNumbers.begin(), kUninstallMessageNumbers.end());
  if (data.messages.size() < static_cast<std::size_t>(highest) + 1) data.messages.resize(static_cast<std::size_t>(highest) + 1);
  for (int n : kUninstallMessageNumbers) {
    data.messages[static_cast<std::size_t>(n)] = session.message ? session.message(n) : std::u16string();
  }
  // The caption the wizard shows: message 114, else the package's page
  // title with its macros expanded.
  std::u16string windows_folder;
  if (session.settings.page_title.find(u"<os>") != std::u16string::npos) windows_folder = session.sys.shell.windows_folder();
  data.caption = session.message_or(
      114, package::replace_message_macros(session.settings.page_title, session.derived.product_name,
                                           session.derived.description, windows_folder));
}

bool save_uninstall_data(engine::Session& session, const std::u16string& path, const UninstallData& data) {
  const platform::SysError error = write_uninstall_data(session.sys.files, path, data);
  if (error == platform::err::kSuccess) return true;
  session.failure_summary +=
      support::format_text(u"%s %s\r\n", {session.message_or(31, u"Could not write the uninstall information:"), path});
  session.failure_summary +=
      support::format_text(u"Code %s: %s\r\n\r\n", {std::to_string(error), session.sys.info.error_text(error)});
  return false;
}

}  // namespace hs::uninstall
