#include "support/message_box.h"

namespace hs::support {

using platform::BoxButtons;
using platform::BoxResult;

BoxResult default_result(BoxButtons buttons, int default_button) {
  const auto list = platform::box_results(buttons);
  if (default_button < 0 || static_cast<std::size_t>(default_button) >= list.size()) return list.front();
  return list[static_cast<std::size_t>(default_button)];
}

BoxResult message_box(engine::Session& session, const platform::MessageBoxRequest& request) {
  if (session.modes.silent) return BoxResult::kOk;
  if (session.modes.automatic && request.buttons != BoxButtons::kOk) {
    return default_result(request.buttons, request.default_button);
  }
  return session.sys.ui.message_box(request);
}

std::u16string error_caption(const engine::Session& session) { return session.message_or(21, u"Error"); }

void error_box(engine::Session& session, std::u16string_view text) {
  if (session.modes.silent) return;
  if (session.modes.automatic && !session.errors_in_automatic_mode) return;
  platform::MessageBoxRequest request;
  request.text = std::u16string(text);
  request.caption = error_caption(session);
  request.icon = platform::BoxIcon::kError;
  request.buttons = BoxButtons::kOk;
  message_box(session, request);
}

void formatted_error_box(engine::Session& session, int number, std::initializer_list<FormatArg> values,
                         std::u16string_view fallback) {
  error_box(session, format_text(session.message_or(number, fallback), values));
}

}  // namespace hs::support
