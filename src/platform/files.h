// Files and folders: the file system as the engine sees it on Windows.
//
// Paths are full Windows paths ("C:\Program Files\Product\a.txt"); names
// are matched without regard to letter case and kept as written.
#pragma once

#include <memory>

#include "platform/types.h"

namespace hs::platform {

// File attribute bits, as Windows defines them.
namespace attr {
inline constexpr std::uint32_t kReadOnly = 0x1;
inline constexpr std::uint32_t kHidden = 0x2;
inline constexpr std::uint32_t kSystem = 0x4;
inline constexpr std::uint32_t kDirectory = 0x10;
inline constexpr std::uint32_t kArchive = 0x20;
inline constexpr std::uint32_t kNormal = 0x80;
}  // namespace attr

// File-system flags of a volume that the engine reads.
namespace volume {
inline constexpr std::uint32_t kReadOnlyVolume = 0x00080000;  // FILE_READ_ONLY_VOLUME
}  // namespace volume

// How a file is opened.
enum class OpenMode {
  kRead,           // existing file, read only, others may read and write
  kReadWrite,      // existing file, read and write
  kCreateAlways,   // create or truncate, write
  kOpenAlways,     // open or create, read and write
};

// MoveFileEx flags the engine uses.
namespace move_flags {
inline constexpr std::uint32_t kReplaceExisting = 0x1;
inline constexpr std::uint32_t kCopyAllowed = 0x2;
inline constexpr std::uint32_t kDelayUntilReboot = 0x4;
}  // namespace move_flags

// Drive types as GetDriveType returns them.
enum class DriveType : std::uint32_t {
  kUnknown = 0,
  kNoRootDir = 1,
  kRemovable = 2,
  kFixed = 3,
  kRemote = 4,
  kCdRom = 5,
  kRamDisk = 6,
};

// An open file. Closing happens when the object is destroyed.
class File {
 public:
  virtual ~File() = default;
  // Reads up to `size` bytes at the current position; returns the count read
  // (0 at the end of the file).
  virtual Result<std::size_t> read(void* buffer, std::size_t size) = 0;
  virtual Result<std::size_t> write(const void* buffer, std::size_t size) = 0;
  virtual Result<std::uint64_t> seek(std::uint64_t offset) = 0;
  virtual Result<std::uint64_t> position() = 0;
  virtual Result<std::uint64_t> size() = 0;
  // Cuts or extends the file at the current position.
  [[nodiscard]] virtual SysError truncate() = 0;
};

// One entry found by a directory search.
struct FindEntry {
  std::u16string name;            // file name only, as written on disk
  std::uint32_t attributes = 0;
  std::uint64_t size = 0;
  FileTime creation_time = 0;
  FileTime last_access_time = 0;
  FileTime last_write_time = 0;
};

struct FileTimes {
  FileTime creation = 0;       // 0 leaves the time unchanged when setting
  FileTime last_access = 0;
  FileTime last_write = 0;
};

class Files {
 public:
  virtual ~Files() = default;

  virtual Result<std::unique_ptr<File>> open(const std::u16string& path, OpenMode mode) = 0;

  // The attributes of an existing path; a failure when there is none (the
  // error says why: kFileNotFound, kPathNotFound, ...).
  virtual Result<std::uint32_t> attributes(const std::u16string& path) = 0;
  [[nodiscard]] virtual SysError set_attributes(const std::u16string& path, std::uint32_t attributes) = 0;
  virtual Result<FileTimes> times(const std::u16string& path) = 0;
  [[nodiscard]] virtual SysError set_times(const std::u16string& path, const FileTimes& times) = 0;

  [[nodiscard]] virtual SysError create_directory(const std::u16string& path) = 0;
  [[nodiscard]] virtual SysError remove_directory(const std::u16string& path) = 0;
  [[nodiscard]] virtual SysError delete_file(const std::u16string& path) = 0;
  // MoveFileEx. With move_flags::kDelayUntilReboot the move (or, with an
  // empty `to`, the deletion) is recorded for the next start of Windows.
  [[nodiscard]] virtual SysError move_file(const std::u16string& from, const std::u16string& to, std::uint32_t flags) = 0;
  [[nodiscard]] virtual SysError copy_file(const std::u16string& from, const std::u16string& to, bool fail_if_exists) = 0;

  // Entries matching a pattern whose last component may hold * and ?
  // ("C:\dir\*.txt"). "." and ".." are included for folders, as on Windows.
  virtual Result<std::vector<FindEntry>> find(const std::u16string& pattern) = 0;

  // The user's temporary folder, with a trailing backslash (GetTempPath);
  // "" when it cannot be read.
  virtual std::u16string temp_path() = 0;
  // GetTempFileName: creates a new empty file "<prefix><hex>.tmp" in `folder`.
  virtual Result<std::u16string> temp_file_name(const std::u16string& folder, const std::u16string& prefix) = 0;
  virtual Result<std::u16string> short_path(const std::u16string& path) = 0;
  virtual Result<std::u16string> full_path(const std::u16string& path) = 0;

  // `root` is a root folder such as "C:\".
  virtual DriveType drive_type(const std::u16string& root) = 0;
  struct FreeSpace {
    std::uint64_t free_to_caller = 0;
    std::uint64_t total = 0;
    std::uint32_t cluster_size = 0;  // bytes per cluster; 0 means unknown
  };
  virtual Result<FreeSpace> free_space(const std::u16string& root) = 0;
  // The file-system flags of the volume of `root` (GetVolumeInformation's
  // FILE_* flags, such as kReadOnlyVolume); fails when the volume
  // information cannot be read.
  virtual Result<std::uint32_t> volume_flags(const std::u16string& root) = 0;
};

}  // namespace hs::platform
