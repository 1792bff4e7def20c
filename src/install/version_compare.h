// Comparison of version texts ("2.10.1" against "2.9").
#pragma once

#include <string_view>

namespace hs::install {

// Compares two version texts: each is read as a sequence of decimal numbers
// (every run of digits is one number; a "." before the first number counts
// as 0; other characters only separate). The first differing number
// decides; when one sequence is the start of the other, the shorter is
// lower; when both are equal, the last letter of each text decides (upper
// case compared, no letter lowest). Returns negative, 0 or positive.
int compare_versions(std::u16string_view a, std::u16string_view b);

}  // namespace hs::install
