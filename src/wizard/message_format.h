// Filling values into message texts.
//
// Messages of the table that take values hold C-style conversions ("%s",
// "%c", "%d", "%u", "%I64u", "%ls", with optional flags and width); each
// conversion takes the next value, already formatted as text. "%%" is a
// percent sign. Values left over (a translation that dropped a conversion)
// are appended, each after a space, so no information is lost.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

namespace hs::wizard {

std::u16string format_message(std::u16string_view text, std::initializer_list<std::u16string_view> values);

// A size in bytes as the folder page shows it: "512 bytes", "1.5 KB",
// "12.3 MB", "4.21 GB" (three significant digits above 1 KB).
std::u16string format_size(std::uint64_t bytes);

}  // namespace hs::wizard
