// XZ decompression of the settings block and payload chunks (liblzma).
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "package/byte_buffer.h"

namespace hs::package {

// Replaces the contents of `buffer` (one or more concatenated XZ streams)
// with the decompressed bytes. Returns false, leaving `buffer` as it was,
// when the data is not a complete valid XZ stream or memory runs out.
bool decompress(std::vector<std::uint8_t>& buffer);

// Decompresses one input after another, keeping the decoder's memory (its
// dictionary) from one input to the next: the payload's chunks are decoded
// with one of these.
class XzDecoder {
 public:
  XzDecoder();
  ~XzDecoder();
  XzDecoder(const XzDecoder&) = delete;
  XzDecoder& operator=(const XzDecoder&) = delete;

  // Decompresses `input` (one or more concatenated XZ streams) onto
  // `output`, whose first `used` bytes are kept: the decoded bytes follow
  // them and `used` grows by their count. `output` is only ever enlarged,
  // so a buffer that is used again decodes without new allocations.
  // Returns false when the data is not a complete valid XZ stream; `used`
  // then stays as it was (the bytes behind it are unspecified). Throws
  // std::bad_alloc when memory runs out (for the output or the decoder's
  // own state): that says nothing about the data, and the caller must not
  // take it for damage.
  bool decompress_append(std::span<const std::uint8_t> input, ByteBuffer& output, std::size_t& used);

 private:
  struct Stream;
  std::unique_ptr<Stream> stream_;
};

}  // namespace hs::package
