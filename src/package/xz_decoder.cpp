#include "package/xz_decoder.h"

#include <lzma.h>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <new>
#include <stdexcept>
#include <vector>

namespace hs::package {
namespace {

// Input is handed to the decoder, and output taken from it, in windows of
// this many bytes. The output window is the next free part of the output
// buffer itself, so decoded bytes are never copied.
constexpr std::size_t kWindow = 16384;

// The decoded size that the index of the last stream in `input` records,
// or 0 when it cannot be read. Only a hint for sizing the output: the
// decoder checks the data itself.
std::uint64_t recorded_decoded_size(std::span<const std::uint8_t> input) {
  if (input.size() < 2 * LZMA_STREAM_HEADER_SIZE) return 0;
  lzma_stream_flags footer;
  const std::uint8_t* footer_bytes = input.data() + input.size() - LZMA_STREAM_HEADER_SIZE;
  if (lzma_stream_footer_decode(&footer, footer_bytes) != LZMA_OK) return 0;
  const std::size_t before_footer = input.size() - LZMA_STREAM_HEADER_SIZE;
  if (footer.backward_size > before_footer - LZMA_STREAM_HEADER_SIZE) return 0;
  std::size_t position = before_footer - static_cast<std::size_t>(footer.backward_size);
  lzma_index* index = nullptr;
  std::uint64_t memory_limit = 1u << 20;
  if (lzma_index_buffer_decode(&index, &memory_limit, nullptr, input.data(), &position, before_footer) != LZMA_OK)
    return 0;
  const std::uint64_t size = lzma_index_uncompressed_size(index);
  lzma_index_end(index, nullptr);
  return size;
}

// Largest decoded size taken from a stream's index when sizing the output
// up front; larger streams grow the buffer as they decode.
constexpr std::uint64_t kLargestSizeHint = std::uint64_t{1} << 28;

bool is_failure(lzma_ret ret) {
  return ret == LZMA_MEM_ERROR || ret == LZMA_FORMAT_ERROR || ret == LZMA_DATA_ERROR || ret == LZMA_BUF_ERROR ||
         ret == LZMA_PROG_ERROR || ret == LZMA_OPTIONS_ERROR || ret == LZMA_MEMLIMIT_ERROR;
}

// Decodes `input` with `strm`, which is set up afresh for it (an lzma_stream
// that decoded before keeps its memory when it is set up again).
bool decode(lzma_stream& strm, std::span<const std::uint8_t> input, ByteBuffer& output, std::size_t& used) {
  // Room for three times the input up front, or for what the stream's index
  // records when that is more, and one window besides, so that a stream
  // ending exactly at the hinted size still has room for the decoder's last
  // call. When that much cannot be had, the output grows as the data needs.
  const std::uint64_t hint = recorded_decoded_size(input);
  const std::uint64_t room = std::uint64_t{input.size()} * 3 + 1024;
  const std::uint64_t wanted = used + std::max(room, hint <= kLargestSizeHint ? hint : 0) + kWindow;
  try {
    if (wanted <= std::numeric_limits<std::size_t>::max() / 2) output.grow(static_cast<std::size_t>(wanted), used);
  } catch (const std::bad_alloc&) {
  }

  if (const lzma_ret ret = lzma_stream_decoder(&strm, UINT64_MAX, LZMA_CONCATENATED); ret != LZMA_OK) {
    if (ret == LZMA_MEM_ERROR) throw std::bad_alloc();
    return false;
  }
  strm.next_in = nullptr;
  strm.avail_in = 0;
  strm.next_out = nullptr;
  strm.avail_out = 0;

  std::size_t fed = 0;
  std::size_t produced = used;
  for (;;) {
    if (strm.avail_in == 0 && fed < input.size()) {
      const std::size_t piece = std::min(kWindow, input.size() - fed);
      strm.next_in = input.data() + fed;
      strm.avail_in = piece;
      fed += piece;
    }
    if (strm.avail_out == 0) {
      output.grow(produced + kWindow, produced);
      strm.next_out = output.data() + produced;
      strm.avail_out = kWindow;
    }
    const std::uint8_t* window_end = strm.next_out + strm.avail_out;
    const lzma_action action = (fed == input.size() && strm.avail_in == 0) ? LZMA_FINISH : LZMA_RUN;
    const lzma_ret ret = lzma_code(&strm, action);
    produced = static_cast<std::size_t>(window_end - output.data()) - strm.avail_out;
    if (ret == LZMA_STREAM_END) {
      used = produced;
      return true;
    }
    if (ret == LZMA_MEM_ERROR) throw std::bad_alloc();
    if (is_failure(ret)) return false;
  }
}

}  // namespace

// Owns an lzma_stream so that lzma_end runs on every path.
struct XzDecoder::Stream {
  lzma_stream strm = LZMA_STREAM_INIT;
  ~Stream() { lzma_end(&strm); }
};

XzDecoder::XzDecoder() : stream_(std::make_unique<Stream>()) {}
XzDecoder::~XzDecoder() = default;

bool XzDecoder::decompress_append(std::span<const std::uint8_t> input, ByteBuffer& output, std::size_t& used) {
  return decode(stream_->strm, input, output, used);
}

bool decompress(std::vector<std::uint8_t>& buffer) {
  try {
    ByteBuffer output;
    std::size_t used = 0;
    if (!XzDecoder().decompress_append(buffer, output, used)) return false;
    buffer.assign(output.data(), output.data() + used);
    return true;
  } catch (const std::bad_alloc&) {
    return false;
  } catch (const std::length_error&) {
    return false;
  }
}

}  // namespace hs::package
