// The installer's own file, opened for reading at the start of the run and
// kept open until the end.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/system_info.h"
#include "support/expected.h"

namespace hs::package {

class OwnFile {
 public:
  // Why a positioned read failed.
  struct ReadFailure {
    // "Read past end of file", "Illegal block size %d", "Read access
    // denied", "File not open", or the system's text of a failing read.
    std::u16string text;
    platform::SysError system_error = 0;  // the system's number; 0 for the engine's own texts
  };
  // A positioned read: the bytes, or why there are none.
  using Read = support::Expected<std::vector<std::uint8_t>, ReadFailure>;

  OwnFile() = default;

  // Opens `path` for reading (others may read and write it). On failure the
  // system error is returned and the file stays closed.
  [[nodiscard]] platform::SysError open(platform::Files& files, const std::u16string& path);

  // Adopts an already opened file (`readable`: opened with read access).
  void adopt(std::unique_ptr<platform::File> file, std::uint64_t size, bool readable);

  bool is_open() const { return file_ != nullptr; }
  const std::u16string& path() const { return path_; }
  std::uint64_t size() const { return size_; }

  // Reads exactly `size` bytes at `offset`; the file position is the same
  // afterwards as before. `error_text` turns a system error into its text.
  Read read_at(std::uint64_t offset, std::int64_t size,
               platform::SystemInfo* info = nullptr);

  // The first `size` bytes of the file; fails when the file is shorter.
  Read read_prefix(std::int64_t size, platform::SystemInfo* info = nullptr) { return read_at(0, size, info); }

 private:
  std::unique_ptr<platform::File> file_;
  std::u16string path_;
  std::uint64_t size_ = 0;
  bool readable_ = false;
};

}  // namespace hs::package
