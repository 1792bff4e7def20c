#include "package/damage.h"

#include <string>

#include "engine/exit.h"
#include "support/format.h"
#include "support/message_box.h"
#include "support/text.h"

namespace hs::package {

std::u16string damage_report_text(const engine::Session& session, DamageCode code, platform::SysError system_error,
                                  std::u16string_view system_error_text) {
  const std::u16string format = session.message_or(13, kDamageText);
  std::u16string text = support::format_text(format, {support::ascii_to_utf16(std::to_string(code))});
  if (system_error != 0) {
    text += support::format_text(u"\r\nSystem error, code %s: %s",
                                    {support::ascii_to_utf16(std::to_string(system_error)),
                                     std::u16string(system_error_text)});
  }
  return text;
}

void queue_problem_report(engine::Session& session, const std::u16string& text) {
  // The background sender is built by the reports subsystem; until then the
  // problem list stays in the failure summary only.
  (void)session;
  (void)text;
}

void report_damage(engine::Session& session, DamageCode code, platform::SysError system_error) {
  const std::u16string system_text = system_error != 0 ? session.sys.info.error_text(system_error) : u"";
  const std::u16string text = damage_report_text(session, code, system_error, system_text);
  session.failure_summary += text;
  queue_problem_report(session, text);
  if (!session.modes.silent) {
    platform::MessageBoxRequest box;
    box.text = text;
    box.caption = support::error_caption(session);
    box.icon = platform::BoxIcon::kError;
    box.buttons = platform::BoxButtons::kOk;
    support::message_box(session, box);
  }
  engine::exit_run(session, kDamageExitCode);
}

}  // namespace hs::package
