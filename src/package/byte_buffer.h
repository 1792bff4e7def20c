// A growable byte buffer whose new room is left uninitialised, for buffers
// that are filled right after they grow (decoded chunks). Growing a vector
// would first clear every new byte and then copy all of the old ones.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>

namespace hs::package {

class ByteBuffer {
 public:
  // Hands out `size` uninitialised bytes; throws std::bad_alloc.
  using Allocate = std::unique_ptr<std::uint8_t[]> (*)(std::size_t size);

  ByteBuffer() = default;
  // A buffer that takes its memory from `allocate` (a test's capped one).
  explicit ByteBuffer(Allocate allocate) : allocate_(allocate) {}

  std::uint8_t* data() { return bytes_.get(); }
  const std::uint8_t* data() const { return bytes_.get(); }
  // Bytes of room; those not yet written hold unspecified values.
  std::size_t capacity() const { return capacity_; }

  // Makes room for at least `size` bytes, keeping the first `keep` bytes.
  // The room at least doubles, from the first request on: a buffer that
  // holds one decoded chunk usually has to take a second one behind the
  // first one's last frame, and room that is never written costs no memory,
  // while moving to a larger block would. When twice the size cannot be
  // had (a 32-bit process holding a file of some hundred MB), less room is
  // asked for, down to exactly `size`; only when that fails too is
  // std::bad_alloc thrown, and the buffer stays as it was.
  void grow(std::size_t size, std::size_t keep) {
    if (size <= capacity_) return;
    std::unique_ptr<std::uint8_t[]> bytes;
    std::size_t room = size;
    for (std::size_t extra = std::max(size, capacity_);; extra /= 2) {
      // Twice the size, then one and a half, one and a quarter, one and an
      // eighth; then the size itself.
      room = extra >= size / 8 && extra > 0 && size <= SIZE_MAX - extra ? size + extra : size;
      try {
        bytes = allocate_(room);
        break;
      } catch (const std::bad_alloc&) {
        if (room == size) throw;
      }
    }
    std::copy_n(bytes_.get(), std::min(keep, capacity_), bytes.get());
    bytes_ = std::move(bytes);
    capacity_ = room;
  }

 private:
  static std::unique_ptr<std::uint8_t[]> allocate_new(std::size_t size) {
    return std::make_unique_for_overwrite<std::uint8_t[]>(size);
  }

  Allocate allocate_ = allocate_new;
  std::unique_ptr<std::uint8_t[]> bytes_;
  std::size_t capacity_ = 0;
};

}  // namespace hs::package
