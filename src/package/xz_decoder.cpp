#include "package/xz_decoder.h"

#include <lzma.h>

#include <algorithm>
#include <cstdint>
#include <new>
#include <stdexcept>
#include <vector>

namespace hs::package {
namespace {

// Input is handed to the decoder, and output taken from it, in windows of
// this many bytes.
constexpr std::size_t kWindow = 16384;

// Owns an lzma_stream so that lzma_end runs on every path.
struct DecoderStream {
  lzma_stream strm = LZMA_STREAM_INIT;
  ~DecoderStream() { lzma_end(&strm); }
};

}  // namespace

bool decompress(std::vector<std::uint8_t>& buffer) {
  std::vector<std::uint8_t> output;
  try {
    output.reserve(buffer.size() * 3 + 1024);
  } catch (const std::bad_alloc&) {
    return false;
  } catch (const std::length_error&) {
    return false;
  }

  DecoderStream d;
  if (lzma_stream_decoder(&d.strm, UINT64_MAX, LZMA_CONCATENATED) != LZMA_OK) return false;

  std::uint8_t window[kWindow];
  std::size_t fed = 0;
  d.strm.next_out = window;
  d.strm.avail_out = kWindow;
  try {
    for (;;) {
      if (d.strm.avail_in == 0 && fed < buffer.size()) {
        const std::size_t piece = std::min(kWindow, buffer.size() - fed);
        d.strm.next_in = buffer.data() + fed;
        d.strm.avail_in = piece;
        fed += piece;
      }
      const lzma_action action = (fed == buffer.size() && d.strm.avail_in == 0) ? LZMA_FINISH : LZMA_RUN;
      const lzma_ret ret = lzma_code(&d.strm, action);
      if (d.strm.avail_out == 0 || ret == LZMA_STREAM_END) {
        output.insert(output.end(), window, window + (kWindow - d.strm.avail_out));
        d.strm.next_out = window;
        d.strm.avail_out = kWindow;
      }
      if (ret == LZMA_STREAM_END) break;
      if (ret == LZMA_MEM_ERROR || ret == LZMA_FORMAT_ERROR || ret == LZMA_DATA_ERROR ||
          ret == LZMA_BUF_ERROR || ret == LZMA_PROG_ERROR || ret == LZMA_OPTIONS_ERROR ||
          ret == LZMA_MEMLIMIT_ERROR)
        return false;
    }
  } catch (const std::bad_alloc&) {
    return false;
  } catch (const std::length_error&) {
    return false;
  }
  buffer.swap(output);
  return true;
}

}  // namespace hs::package
