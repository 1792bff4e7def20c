// Loading the settings stream into the run's session.
#pragma once

#include <cstdint>
#include <span>

#include "engine/session.h"
#include "package/settings.h"

namespace hs::package {

// Loads `stream` into `session.settings` (its `product_flags2` must already
// hold the header's word), derives the product name and the other derived
// values (the /n: override included), and makes `session.message` return
// the package's messages in the chosen language with "<product>",
// "<description>" and "<os>" replaced. `hook` is called after each field
// as in `load_settings`. Returns the damage code of a violated rule, 0 when
// loaded; on damage `session.message` is left unchanged.
LoadResult load_session_settings(engine::Session& session, std::span<const std::uint8_t> stream,
                                 const FieldHook& hook = {});

// Message `n` of the chosen language with its macros replaced ("" for an
// unknown number or an unloaded table).
std::u16string session_message(const engine::Session& session, int n);

}  // namespace hs::package
