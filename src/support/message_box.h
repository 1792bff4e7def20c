// The engine's message box: every question, warning and error goes through
// here, so that the run modes decide once what is shown.
//
// Silent mode: nothing is shown and the answer is OK at once.
// Automatic mode: a question is not asked; it takes its default button.
#pragma once

#include <string>
#include <string_view>
#include <initializer_list>

#include "engine/session.h"
#include "platform/ui.h"
#include "support/format.h"

namespace hs::support {

// Shows the box (or answers for the user, as the run modes say).
platform::BoxResult message_box(engine::Session& session, const platform::MessageBoxRequest& request);

// The result the default button of a box gives.
platform::BoxResult default_result(platform::BoxButtons buttons, int default_button);

// The caption of error boxes: message 21 of the package, else "Error".
std::u16string error_caption(const engine::Session& session);

// The error box: `text` with the error caption and the error icon. Never
// shown in silent mode; in automatic mode only when the package asks for
// errors to be shown there too (`Session::errors_in_automatic_mode`).
void error_box(engine::Session& session, std::u16string_view text);

// The formatted error box: package message `number` used as the format,
// filled with `values` (support::format_text), shown as the error box.
// `fallback` is the built-in format used while the message table has no
// such text.
void formatted_error_box(engine::Session& session, int number, std::initializer_list<FormatArg> values,
                         std::u16string_view fallback = {});

}  // namespace hs::support
