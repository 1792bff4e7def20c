// XZ decompression of the settings block and payload chunks (liblzma).
#pragma once

#include <cstdint>
#include <vector>

namespace hs::package {

// Replaces the contents of `buffer` (one or more concatenated XZ streams)
// with the decompressed bytes. Returns false, leaving `buffer` as it was,
// when the data is not a complete valid XZ stream or memory runs out.
bool decompress(std::vector<std::uint8_t>& buffer);

}  // namespace hs::package
