// Registry value data as Windows stores it, to and from the engine's texts.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/registry.h"

namespace hs::support {

// The text of a REG_SZ or REG_EXPAND_SZ value, up to its first zero;
// nothing for a value of another type.
std::optional<std::u16string> registry_text(const platform::RegValue& value);

// REG_SZ data of a text: UTF-16LE with its terminating zero.
platform::Bytes sz_bytes(std::u16string_view text);

// REG_MULTI_SZ data: each string in UTF-16LE ended by a zero, then one more
// zero. An empty string is kept as a lone zero (the delayed deletions in
// PendingFileRenameOperations are stored that way).
platform::Bytes multi_sz_bytes(const std::vector<std::u16string>& strings);

}  // namespace hs::support
