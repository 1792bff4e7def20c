#include "package/settings_session.h"

namespace hs::package {

LoadResult load_session_settings(engine::Session& session, std::span<const std::uint8_t> stream,
                                 const FieldHook& hook) {
  // 8-bit texts without the leading "|" are in the system's ANSI code page.
  const support::AnsiDecoder ansi = [&session](std::string_view text) { return session.sys.info.ansi_to_utf16(text); };
  LoadResult result = load_settings(stream, session.settings, hook, ansi);
  if (!result) return result;
  session.derived = derive_settings(session.settings, session.modes.product_name_override);
  session.message = [&session](int n) { return session_message(session, n); };
  return result;
}

std::u16string session_message(const engine::Session& session, int n) {
  std::u16string_view text = session.settings.messages.text(n);
  if (text.empty()) return {};
  std::u16string windows_folder;
  if (text.find(u"<os>") != std::u16string_view::npos) {
    windows_folder = session.sys.shell.windows_folder();
  }
  return replace_message_macros(text, session.derived.product_name, session.derived.description,
                                windows_folder);
}

}  // namespace hs::package
