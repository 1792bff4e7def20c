#include "support/message_box.h"

namespace hs::support {

using platform::BoxButtons;
using platform::BoxResult;

namespace {

bool is_conversion(char16_t c) {
  return c == u's' || c == u'S' || c == u'd' || c == u'i' || c == u'u' || c == u'x' || c == u'X' ||
         c == u'c' || c == u'C' || c == u'o' || c == u'f' || c == u'g' || c == u'e' || c == u'p';
}

}  // namespace

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

std::u16string format_message(std::u16string_view format, const std::vector<std::u16string>& values) {
  std::u16string out;
  std::size_t next_value = 0;
  for (std::size_t i = 0; i < format.size(); ++i) {
    if (format[i] != u'%') {
      out.push_back(format[i]);
      continue;
    }
    if (i + 1 < format.size() && format[i + 1] == u'%') {
      out.push_back(u'%');
      ++i;
      continue;
    }
    // Flags, width, precision and size prefixes, then the conversion.
    std::size_t j = i + 1;
    while (j < format.size() && !is_conversion(format[j]) &&
           std::u16string_view(u"-+ #0123456789.lhIwL").find(format[j]) != std::u16string_view::npos) {
      ++j;
    }
    if (j >= format.size() || !is_conversion(format[j])) {
      out.push_back(u'%');  // not a placeholder: kept as written
      continue;
    }
    if (next_value < values.size()) out += values[next_value];
    ++next_value;
    i = j;
  }
  return out;
}

void formatted_error_box(engine::Session& session, int number, const std::vector<std::u16string>& values,
                         std::u16string_view fallback) {
  error_box(session, format_message(session.message_or(number, fallback), values));
}

}  // namespace hs::support
