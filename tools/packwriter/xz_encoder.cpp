#include "packwriter/xz_encoder.h"

#include <lzma.h>

#include <stdexcept>
#include <string>

namespace hs::tools {

std::vector<std::uint8_t> xz_compress(std::span<const std::uint8_t> data, std::uint32_t preset) {
  std::vector<std::uint8_t> out(lzma_stream_buffer_bound(data.size()));
  std::size_t written = 0;
  const lzma_ret ret = lzma_easy_buffer_encode(preset, LZMA_CHECK_CRC32, nullptr, data.data(), data.size(),
                                               out.data(), &written, out.size());
  if (ret != LZMA_OK) throw std::runtime_error("XZ compression failed (liblzma code " + std::to_string(ret) + ")");
  out.resize(written);
  return out;
}

}  // namespace hs::tools
