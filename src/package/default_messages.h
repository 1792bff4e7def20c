// The English message table built into hpack: the text of every message
// number the engine shows, used for a project's "English" language unless
// the project overrides single messages.
#pragma once

#include <span>
#include <string_view>

namespace hs::package {

// Number of messages in the default table (message numbers 0 to 115).
inline constexpr int kDefaultMessageCount = 116;

// The default English texts, indexed by message number (UTF-8). An empty
// text is a number the engine does not show; its callers fall back to
// their built-in texts.
std::span<const std::string_view> default_english_messages();

}  // namespace hs::package
