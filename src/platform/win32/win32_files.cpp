// Files and folders through the Windows file API.
#include <algorithm>

#include "platform/win32/wide.h"
#include "platform/win32/win32_services.h"

namespace hs::platform::win32 {

namespace {

FileTime to_file_time(const FILETIME& t) {
  return (static_cast<FileTime>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
}

FILETIME to_filetime(FileTime t) {
  FILETIME out;
  out.dwLowDateTime = static_cast<DWORD>(t & 0xFFFFFFFFu);
  out.dwHighDateTime = static_cast<DWORD>(t >> 32);
  return out;
}

SysError result_of(BOOL ok) { return ok ? err::kSuccess : last_error(); }

class Win32File final : public File {
 public:
  explicit Win32File(HANDLE handle) : handle_(handle) {}
  ~Win32File() override { CloseHandle(handle_); }
  Win32File(const Win32File&) = delete;
  Win32File& operator=(const Win32File&) = delete;

  Result<std::size_t> read(void* buffer, std::size_t size) override {
    std::size_t total = 0;
    auto* out = static_cast<std::uint8_t*>(buffer);
    while (total < size) {
      DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(size - total, 1u << 30));
      DWORD got = 0;
      if (!ReadFile(handle_, out + total, chunk, &got, nullptr)) return Result<std::size_t>::fail(last_error());
      if (got == 0) break;  // end of file
      total += got;
    }
    return Result<std::size_t>::ok(total);
  }

  Result<std::size_t> write(const void* buffer, std::size_t size) override {
    std::size_t total = 0;
    const auto* in = static_cast<const std::uint8_t*>(buffer);
    while (total < size) {
      DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(size - total, 1u << 30));
      DWORD put = 0;
      if (!WriteFile(handle_, in + total, chunk, &put, nullptr)) return Result<std::size_t>::fail(last_error());
      if (put == 0) return Result<std::size_t>::fail(ERROR_WRITE_FAULT);
      total += put;
    }
    return Result<std::size_t>::ok(total);
  }

  Result<std::uint64_t> seek(std::uint64_t offset) override {
    LARGE_INTEGER to;
    to.QuadPart = static_cast<LONGLONG>(offset);
    LARGE_INTEGER now;
    if (!SetFilePointerEx(handle_, to, &now, FILE_BEGIN)) return Result<std::uint64_t>::fail(last_error());
    return Result<std::uint64_t>::ok(static_cast<std::uint64_t>(now.QuadPart));
  }

  Result<std::uint64_t> position() override {
    LARGE_INTEGER zero;
    zero.QuadPart = 0;
    LARGE_INTEGER now;
    if (!SetFilePointerEx(handle_, zero, &now, FILE_CURRENT)) return Result<std::uint64_t>::fail(last_error());
    return Result<std::uint64_t>::ok(static_cast<std::uint64_t>(now.QuadPart));
  }

  Result<std::uint64_t> size() override {
    LARGE_INTEGER size;
    if (!GetFileSizeEx(handle_, &size)) return Result<std::uint64_t>::fail(last_error());
    return Result<std::uint64_t>::ok(static_cast<std::uint64_t>(size.QuadPart));
  }

  SysError truncate() override { return result_of(SetEndOfFile(handle_)); }

 private:
  HANDLE handle_;
};

}  // namespace

Result<std::unique_ptr<File>> Win32Files::open(const std::u16string& path, OpenMode mode) {
  DWORD access = GENERIC_READ;
  DWORD share = FILE_SHARE_READ;
  DWORD disposition = OPEN_EXISTING;
  switch (mode) {
    case OpenMode::kRead:
      share = FILE_SHARE_READ | FILE_SHARE_WRITE;
      break;
    case OpenMode::kReadWrite:
      access = GENERIC_READ | GENERIC_WRITE;
      break;
    case OpenMode::kCreateAlways:
      access = GENERIC_READ | GENERIC_WRITE;
      disposition = CREATE_ALWAYS;
      break;
    case OpenMode::kOpenAlways:
      access = GENERIC_READ | GENERIC_WRITE;
      disposition = OPEN_ALWAYS;
      break;
  }
  HANDLE handle = CreateFileW(wide(path), access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return Result<std::unique_ptr<File>>::fail(last_error());
  return Result<std::unique_ptr<File>>::ok(std::make_unique<Win32File>(handle));
}

Result<std::uint32_t> Win32Files::attributes(const std::u16string& path) {
  DWORD value = GetFileAttributesW(wide(path));
  if (value == INVALID_FILE_ATTRIBUTES) return Result<std::uint32_t>::fail(last_error());
  return Result<std::uint32_t>::ok(value);
}

SysError Win32Files::set_attributes(const std::u16string& path, std::uint32_t attributes) {
  return result_of(SetFileAttributesW(wide(path), attributes));
}

Result<FileTimes> Win32Files::times(const std::u16string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(wide(path), GetFileExInfoStandard, &data)) return Result<FileTimes>::fail(last_error());
  FileTimes out;
  out.creation = to_file_time(data.ftCreationTime);
  out.last_access = to_file_time(data.ftLastAccessTime);
  out.last_write = to_file_time(data.ftLastWriteTime);
  return Result<FileTimes>::ok(out);
}

SysError Win32Files::set_times(const std::u16string& path, const FileTimes& times) {
  // Backup semantics let the same call open folders.
  HANDLE handle = CreateFileW(wide(path), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return last_error();
  FILETIME creation = to_filetime(times.creation);
  FILETIME access = to_filetime(times.last_access);
  FILETIME write = to_filetime(times.last_write);
  BOOL ok = SetFileTime(handle, times.creation ? &creation : nullptr, times.last_access ? &access : nullptr,
                        times.last_write ? &write : nullptr);
  SysError error = result_of(ok);
  CloseHandle(handle);
  return error;
}

SysError Win32Files::create_directory(const std::u16string& path) {
  return result_of(CreateDirectoryW(wide(path), nullptr));
}

SysError Win32Files::remove_directory(const std::u16string& path) { return result_of(RemoveDirectoryW(wide(path))); }

SysError Win32Files::delete_file(const std::u16string& path) { return result_of(DeleteFileW(wide(path))); }

SysError Win32Files::move_file(const std::u16string& from, const std::u16string& to, std::uint32_t flags) {
  DWORD native = 0;
  if (flags & move_flags::kReplaceExisting) native |= MOVEFILE_REPLACE_EXISTING;
  if (flags & move_flags::kCopyAllowed) native |= MOVEFILE_COPY_ALLOWED;
  if (flags & move_flags::kDelayUntilReboot) native |= MOVEFILE_DELAY_UNTIL_REBOOT;
  return result_of(MoveFileExW(wide(from), wide_or_null(to), native));
}

SysError Win32Files::copy_file(const std::u16string& from, const std::u16string& to, bool fail_if_exists) {
  return result_of(CopyFileW(wide(from), wide(to), fail_if_exists ? TRUE : FALSE));
}

Result<std::vector<FindEntry>> Win32Files::find(const std::u16string& pattern) {
  WIN32_FIND_DATAW data;
  HANDLE search = FindFirstFileW(wide(pattern), &data);
  if (search == INVALID_HANDLE_VALUE) return Result<std::vector<FindEntry>>::fail(last_error());
  std::vector<FindEntry> entries;
  do {
    FindEntry entry;
    entry.name = from_wide(data.cFileName);
    entry.attributes = data.dwFileAttributes;
    entry.size = (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    entry.creation_time = to_file_time(data.ftCreationTime);
    entry.last_access_time = to_file_time(data.ftLastAccessTime);
    entry.last_write_time = to_file_time(data.ftLastWriteTime);
    entries.push_back(std::move(entry));
  } while (FindNextFileW(search, &data));
  DWORD error = GetLastError();
  FindClose(search);
  if (error != ERROR_NO_MORE_FILES) return Result<std::vector<FindEntry>>::fail(error);
  return Result<std::vector<FindEntry>>::ok(std::move(entries));
}

std::u16string Win32Files::temp_path() {
  std::u16string out;
  // A failure gives no folder at all, so that the callers' fallbacks apply
  // (never a drive root that would pass for the temporary folder).
  if (!read_growing([](wchar_t* b, DWORD n) { return GetTempPathW(n, b); }, out)) return u"";
  return out;
}

Result<std::u16string> Win32Files::temp_file_name(const std::u16string& folder, const std::u16string& prefix) {
  wchar_t buffer[MAX_PATH + 1] = {};
  if (GetTempFileNameW(wide(folder), wide(prefix), 0, buffer) == 0) return Result<std::u16string>::fail(last_error());
  return Result<std::u16string>::ok(from_wide(buffer));
}

Result<std::u16string> Win32Files::short_path(const std::u16string& path) {
  std::u16string out;
  if (!read_growing([&](wchar_t* b, DWORD n) { return GetShortPathNameW(wide(path), b, n); }, out))
    return Result<std::u16string>::fail(last_error());
  return Result<std::u16string>::ok(out);
}

Result<std::u16string> Win32Files::full_path(const std::u16string& path) {
  std::u16string out;
  if (!read_growing([&](wchar_t* b, DWORD n) { return GetFullPathNameW(wide(path), n, b, nullptr); }, out))
    return Result<std::u16string>::fail(last_error());
  return Result<std::u16string>::ok(out);
}

Result<std::uint32_t> Win32Files::volume_flags(const std::u16string& root) {
  DWORD flags = 0;
  if (!GetVolumeInformationW(wide(root), nullptr, 0, nullptr, nullptr, &flags, nullptr, 0))
    return Result<std::uint32_t>::fail(last_error());
  return Result<std::uint32_t>::ok(flags);
}

DriveType Win32Files::drive_type(const std::u16string& root) {
  return static_cast<DriveType>(GetDriveTypeW(wide(root)));
}

Result<Files::FreeSpace> Win32Files::free_space(const std::u16string& root) {
  ULARGE_INTEGER to_caller, total, free_total;
  if (!GetDiskFreeSpaceExW(wide(root), &to_caller, &total, &free_total)) return Result<FreeSpace>::fail(last_error());
  FreeSpace out;
  out.free_to_caller = to_caller.QuadPart;
  out.total = total.QuadPart;
  DWORD sectors_per_cluster = 0, bytes_per_sector = 0, free_clusters = 0, clusters = 0;
  if (GetDiskFreeSpaceW(wide(root), &sectors_per_cluster, &bytes_per_sector, &free_clusters, &clusters))
    out.cluster_size = sectors_per_cluster * bytes_per_sector;
  return Result<FreeSpace>::ok(out);
}

}  // namespace hs::platform::win32
