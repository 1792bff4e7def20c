// The comma-separated lines of "Uninstall.DAT" ([AutoClose], [MSI],
// [Registry2], [ConditionalDelete]; [Firewall] with ";").
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace hs::uninstall {

// One field as written: enclosed in double quotes (inner quotes doubled)
// when it holds a comma, a double quote, a tab, CR, LF, ";" or "|", or
// begins with a blank, an apostrophe or "#", or ends with a blank.
std::string csv_field(std::string_view field);

// The fields joined by `separator`, followed by CR LF.
std::string csv_line(const std::vector<std::string>& fields, char separator = ',');

// Splits one line (without its line break) into fields. A field that starts
// with a double quote runs to the matching quote ("" inside is one quote);
// text after the closing quote up to the separator is kept as well.
std::vector<std::string> split_csv_line(std::string_view line, char separator = ',');

}  // namespace hs::uninstall
