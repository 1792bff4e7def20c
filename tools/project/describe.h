// A readable listing of an installer's settings, as `hpack info` prints it.
#pragma once

#include <optional>
#include <string>

#include "package/settings.h"

namespace hs::tools {

// Every field of `settings` by name, the option bits by name, the record
// lists, and the messages of `language` (the package's default language
// when not given). Throws std::invalid_argument naming the languages when
// `language` is not one of them.
std::string describe_settings(const package::Settings& settings, const std::optional<std::string>& language);

}  // namespace hs::tools
