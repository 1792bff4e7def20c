// XZ compression for the package writer (liblzma).
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace hs::tools {

// Default compression preset (as `xz -6`).
inline constexpr std::uint32_t kDefaultPreset = 6;

// One complete XZ stream of `data` at `preset` (0 to 9, optionally with
// LZMA_PRESET_EXTREME), integrity check CRC-32. Throws std::runtime_error
// when liblzma fails.
std::vector<std::uint8_t> xz_compress(std::span<const std::uint8_t> data, std::uint32_t preset);

}  // namespace hs::tools
