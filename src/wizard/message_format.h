// Sizes as the wizard's pages show them. Values are filled into message
// texts by support::format_text.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace hs::wizard {

// A size in bytes as the folder page shows it: "512 bytes", "1.5 KB",
// "12.3 MB", "4.21 GB" (three significant digits above 1 KB).
std::u16string format_size(std::uint64_t bytes);

}  // namespace hs::wizard
