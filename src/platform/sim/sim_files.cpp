#include "platform/sim/sim_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>

#include "platform/sim/sim_machine.h"
#include "support/text.h"

namespace hs::platform::sim {

namespace fs = std::filesystem;

namespace {

constexpr SysError kNotSameDevice = 17;
constexpr SysError kInvalidDrive = 15;

template <typename T>
Result<T> fail(SysError e) {
  return Result<T>::fail(e);
}

std::u16string name_of(const fs::path& p) { return support::utf8_to_utf16(p.filename().string()); }

FileTime to_file_time(fs::file_time_type t) {
  const auto sys = std::chrono::file_clock::to_sys(t);
  const auto since_1970 = std::chrono::duration_cast<std::chrono::nanoseconds>(sys.time_since_epoch()).count();
  return static_cast<FileTime>(since_1970 / 100 + 116444736000000000LL);
}

fs::file_time_type from_file_time(FileTime t) {
  const auto since_1970 = std::chrono::nanoseconds((static_cast<std::int64_t>(t) - 116444736000000000LL) * 100);
  return std::chrono::file_clock::from_sys(std::chrono::system_clock::time_point(
      std::chrono::duration_cast<std::chrono::system_clock::duration>(since_1970)));
}

// Folders that stay in System32 for a 32-bit process.
bool exempt_from_redirection(const std::u16string& name) {
  for (const char16_t* exempt : {u"catroot", u"catroot2", u"drivers", u"logfiles", u"spool"}) {
    if (support::iequals(name, exempt)) return true;
  }
  return false;
}

// An open host file.
class SimFile : public File {
 public:
  SimFile(int fd, std::function<void()> on_write) : fd_(fd), on_write_(std::move(on_write)) {}
  ~SimFile() override { ::close(fd_); }

  Result<std::size_t> read(void* buffer, std::size_t size) override {
    const ssize_t n = ::read(fd_, buffer, size);
    if (n < 0) return fail<std::size_t>(err::kAccessDenied);
    return Result<std::size_t>::ok(static_cast<std::size_t>(n));
  }
  Result<std::size_t> write(const void* buffer, std::size_t size) override {
    const ssize_t n = ::write(fd_, buffer, size);
    if (n < 0) return fail<std::size_t>(errno == ENOSPC ? 112 : err::kAccessDenied);
    changed();
    return Result<std::size_t>::ok(static_cast<std::size_t>(n));
  }
  Result<std::uint64_t> seek(std::uint64_t offset) override {
    const off_t at = ::lseek(fd_, static_cast<off_t>(offset), SEEK_SET);
    if (at < 0) return fail<std::uint64_t>(err::kInvalidParameter);
    return Result<std::uint64_t>::ok(static_cast<std::uint64_t>(at));
  }
  Result<std::uint64_t> position() override {
    const off_t at = ::lseek(fd_, 0, SEEK_CUR);
    if (at < 0) return fail<std::uint64_t>(err::kInvalidHandle);
    return Result<std::uint64_t>::ok(static_cast<std::uint64_t>(at));
  }
  Result<std::uint64_t> size() override {
    struct stat st {};
    if (::fstat(fd_, &st) != 0) return fail<std::uint64_t>(err::kInvalidHandle);
    return Result<std::uint64_t>::ok(static_cast<std::uint64_t>(st.st_size));
  }
  SysError truncate() override {
    const off_t at = ::lseek(fd_, 0, SEEK_CUR);
    if (at < 0 || ::ftruncate(fd_, at) != 0) return err::kAccessDenied;
    changed();
    return err::kSuccess;
  }

 private:
  void changed() {
    if (on_write_) on_write_(), on_write_ = nullptr;
  }
  int fd_;
  std::function<void()> on_write_;
};

}  // namespace

bool SimFiles::drive_exists(char16_t drive) const {
  return drive < 128 && machine_.config().drives.count(static_cast<char>(drive)) != 0;
}

Result<WinPath> SimFiles::resolve(const std::u16string& path) {
  auto parsed = parse_win_path(path, current_folder);
  if (!parsed) return parsed;
  WinPath& p = *parsed;
  if (!drive_exists(p.drive)) return fail<WinPath>(err::kPathNotFound);
  if (machine_.config().is_64bit && machine_.fs_redirection && p.drive == u'C' && p.parts.size() >= 2 &&
      support::iequals(p.parts[0], u"Windows") && support::iequals(p.parts[1], u"System32") &&
      (p.parts.size() == 2 || !exempt_from_redirection(p.parts[2]))) {
    p.parts[1] = u"SysWOW64";
  }
  return parsed;
}

fs::path SimFiles::host_path(const WinPath& path) {
  fs::path host = machine_.root() / "drives" / std::string(1, static_cast<char>(path.drive));
  bool scanning = true;
  for (const auto& part : path.parts) {
    fs::path next;
    if (scanning) {
      std::error_code ec;
      for (fs::directory_iterator it(host, ec), end; !ec && it != end; it.increment(ec)) {
        if (support::iequals(name_of(it->path()), part)) {
          next = it->path();
          break;
        }
      }
    }
    if (next.empty()) {
      scanning = false;
      next = host / support::utf16_to_utf8(part);
    }
    host = next;
  }
  return host;
}

bool SimFiles::is_locked(const WinPath& path) const {
  const std::u16string key = path.key();
  for (const auto& locked : machine_.config().locked_files) {
    auto parsed = parse_win_path(locked, current_folder);
    if (parsed && parsed->key() == key) return true;
  }
  return false;
}

std::uint32_t SimFiles::attributes_of(const WinPath& path, const fs::path& host) {
  const bool dir = fs::is_directory(host);
  const FileMeta* meta = machine_.meta().find(path.key());
  std::uint32_t a = meta && meta->attributes ? meta->attributes : (dir ? 0 : attr::kArchive);
  a &= ~attr::kDirectory;
  if (dir) a |= attr::kDirectory;
  if (a == 0) a = attr::kNormal;
  return a;
}

FileTimes SimFiles::times_of(const WinPath& path, const fs::path& host) {
  std::error_code ec;
  const FileTime modified = to_file_time(fs::last_write_time(host, ec));
  FileTimes t;
  if (const FileMeta* meta = machine_.meta().find(path.key())) t = meta->times;
  if (!t.last_write) t.last_write = modified;
  if (!t.creation) t.creation = t.last_write;
  if (!t.last_access) t.last_access = t.last_write;
  return t;
}

void SimFiles::touch_new(const WinPath& path, bool directory) {
  FileMeta& meta = machine_.meta().edit(path.key());
  meta = FileMeta{};
  meta.attributes = directory ? 0 : attr::kArchive;
  meta.times.creation = machine_.clock().now_utc();
  machine_.meta().save();
}

Result<std::unique_ptr<File>> SimFiles::open(const std::u16string& path, OpenMode mode) {
  using R = Result<std::unique_ptr<File>>;
  auto p = resolve(path);
  if (!p) return R::fail(p.error());
  if (p->is_root()) return R::fail(err::kAccessDenied);
  const fs::path host = host_path(*p);
  if (!fs::is_directory(host.parent_path())) return R::fail(err::kPathNotFound);
  const bool exists = fs::exists(host);
  if (exists && fs::is_directory(host)) return R::fail(err::kAccessDenied);
  if (is_locked(*p)) return R::fail(err::kSharingViolation);
  if (!exists && (mode == OpenMode::kRead || mode == OpenMode::kReadWrite)) return R::fail(err::kFileNotFound);
  if (exists && mode != OpenMode::kRead && (attributes_of(*p, host) & attr::kReadOnly)) {
    return R::fail(err::kAccessDenied);
  }

  int flags = O_CLOEXEC;
  switch (mode) {
    case OpenMode::kRead: flags |= O_RDONLY; break;
    case OpenMode::kReadWrite: flags |= O_RDWR; break;
    case OpenMode::kCreateAlways: flags |= O_RDWR | O_CREAT | O_TRUNC; break;
    case OpenMode::kOpenAlways: flags |= O_RDWR | O_CREAT; break;
  }
  const int fd = ::open(host.c_str(), flags, 0644);
  if (fd < 0) return R::fail(err::kAccessDenied);
  if (!exists) touch_new(*p, false);

  std::function<void()> on_write;
  if (mode != OpenMode::kRead) {
    // Writing sets the archive bit and makes the host's time the file's.
    const std::u16string key = p->key();
    MetaStore& meta = machine_.meta();
    on_write = [&meta, key] {
      FileMeta& m = meta.edit(key);
      m.attributes |= attr::kArchive;
      m.times.last_write = 0;
      m.times.last_access = 0;
      meta.save();
    };
    if (mode == OpenMode::kCreateAlways && exists) on_write();
  }
  return R::ok(std::make_unique<SimFile>(fd, std::move(on_write)));
}

Result<std::uint32_t> SimFiles::attributes(const std::u16string& path) {
  auto p = resolve(path);
  if (!p) return fail<std::uint32_t>(p.error());
  const fs::path host = host_path(*p);
  if (!fs::exists(host)) {
    return fail<std::uint32_t>(fs::is_directory(host.parent_path()) ? err::kFileNotFound : err::kPathNotFound);
  }
  return Result<std::uint32_t>::ok(attributes_of(*p, host));
}

SysError SimFiles::set_attributes(const std::u16string& path, std::uint32_t attributes) {
  auto p = resolve(path);
  if (!p) return p.error();
  const fs::path host = host_path(*p);
  if (!fs::exists(host)) return fs::is_directory(host.parent_path()) ? err::kFileNotFound : err::kPathNotFound;
  std::uint32_t a = attributes & ~(attr::kDirectory | attr::kNormal);
  machine_.meta().edit(p->key()).attributes = a ? a : attr::kNormal;
  machine_.meta().save();
  return err::kSuccess;
}

Result<FileTimes> SimFiles::times(const std::u16string& path) {
  auto p = resolve(path);
  if (!p) return fail<FileTimes>(p.error());
  const fs::path host = host_path(*p);
  if (!fs::exists(host)) return fail<FileTimes>(err::kFileNotFound);
  return Result<FileTimes>::ok(times_of(*p, host));
}

SysError SimFiles::set_times(const std::u16string& path, const FileTimes& times) {
  auto p = resolve(path);
  if (!p) return p.error();
  const fs::path host = host_path(*p);
  if (!fs::exists(host)) return err::kFileNotFound;
  if (is_locked(*p)) return err::kSharingViolation;
  FileTimes now = times_of(*p, host);
  FileMeta& meta = machine_.meta().edit(p->key());
  meta.times.creation = times.creation ? times.creation : now.creation;
  meta.times.last_access = times.last_access ? times.last_access : now.last_access;
  meta.times.last_write = times.last_write ? times.last_write : now.last_write;
  if (times.last_write) {
    std::error_code ec;
    fs::last_write_time(host, from_file_time(times.last_write), ec);
  }
  machine_.meta().save();
  return err::kSuccess;
}

SysError SimFiles::create_directory(const std::u16string& path) {
  auto p = resolve(path);
  if (!p) return p.error();
  if (p->is_root()) return err::kAlreadyExists;
  const fs::path host = host_path(*p);
  if (fs::exists(host)) return err::kAlreadyExists;
  if (!fs::is_directory(host.parent_path())) return err::kPathNotFound;
  std::error_code ec;
  if (!fs::create_directory(host, ec)) return err::kAccessDenied;
  touch_new(*p, true);
  return err::kSuccess;
}

SysError SimFiles::remove_directory(const std::u16string& path) {
  auto p = resolve(path);
  if (!p) return p.error();
  const fs::path host = host_path(*p);
  if (!fs::exists(host)) return fs::is_directory(host.parent_path()) ? err::kFileNotFound : err::kPathNotFound;
  if (!fs::is_directory(host)) return 267;  // ERROR_DIRECTORY
  if (p->is_root()) return err::kAccessDenied;
  if (attributes_of(*p, host) & attr::kReadOnly) return err::kAccessDenied;
  if (!fs::is_empty(host)) return err::kDirNotEmpty;
  std::error_code ec;
  fs::remove(host, ec);
  if (ec) return err::kAccessDenied;
  machine_.meta().remove_tree(p->key());
  machine_.meta().save();
  return err::kSuccess;
}

SysError SimFiles::delete_file(const std::u16string& path) {
  auto p = resolve(path);
  if (!p) return p.error();
  const fs::path host = host_path(*p);
  if (!fs::exists(host)) return fs::is_directory(host.parent_path()) ? err::kFileNotFound : err::kPathNotFound;
  if (fs::is_directory(host)) return err::kAccessDenied;
  if (attributes_of(*p, host) & attr::kReadOnly) return err::kAccessDenied;
  if (is_locked(*p)) return err::kSharingViolation;
  std::error_code ec;
  fs::remove(host, ec);
  if (ec) return err::kAccessDenied;
  machine_.meta().remove_tree(p->key());
  machine_.meta().save();
  return err::kSuccess;
}

SysError SimFiles::schedule_at_restart(const WinPath& from, const WinPath* to, bool replace) {
  // As Windows records it: pairs of "\??\source" and "\??\target" (or ""
  // to delete; "!" in front when the target may be replaced).
  const RegKeyPath key{RegRoot::kLocalMachine, u"SYSTEM\\CurrentControlSet\\Control\\Session Manager", RegView::k64};
  std::vector<std::u16string> list;
  if (auto value = machine_.registry().get_value(key, u"PendingFileRenameOperations")) {
    list = multi_sz_strings(value->data);
  }
  list.push_back(u"\\??\\" + from.text());
  list.push_back(to ? (replace ? u"!" : u"") + (u"\\??\\" + to->text()) : u"");
  return machine_.registry().set_value(key, u"PendingFileRenameOperations",
                                       RegValue{regtype::kMultiSz, multi_sz_bytes(list)});
}

SysError SimFiles::move_file(const std::u16string& from, const std::u16string& to, std::uint32_t flags) {
  auto src = resolve(from);
  if (!src) return src.error();
  const bool replace = flags & move_flags::kReplaceExisting;
  if (flags & move_flags::kDelayUntilReboot) {
    if (to.empty()) return schedule_at_restart(*src, nullptr, false);
    auto dst = resolve(to);
    if (!dst) return dst.error();
    return schedule_at_restart(*src, &*dst, replace);
  }
  if (to.empty()) return err::kInvalidParameter;
  auto dst = resolve(to);
  if (!dst) return dst.error();
  const fs::path host_from = host_path(*src);
  if (!fs::exists(host_from)) return fs::is_directory(host_from.parent_path()) ? err::kFileNotFound : err::kPathNotFound;
  if (is_locked(*src)) return err::kSharingViolation;
  const bool is_dir = fs::is_directory(host_from);
  if (is_dir && src->drive != dst->drive) return kNotSameDevice;
  fs::path host_to = host_path(*dst);
  if (!fs::is_directory(host_to.parent_path())) return err::kPathNotFound;
  const bool same = src->key() == dst->key();
  if (fs::exists(host_to) && !same) {
    if (!replace || is_dir || fs::is_directory(host_to)) return replace ? err::kAccessDenied : err::kAlreadyExists;
    if (attributes_of(*dst, host_to) & attr::kReadOnly) return err::kAccessDenied;
    if (is_locked(*dst)) return err::kSharingViolation;
  }
  if (same) host_to = host_to.parent_path() / support::utf16_to_utf8(dst->parts.back());  // a change of case
  std::error_code ec;
  fs::rename(host_from, host_to, ec);
  if (ec) return err::kAccessDenied;
  machine_.meta().remove_tree(dst->key());
  machine_.meta().move_tree(src->key(), dst->key());
  machine_.meta().save();
  return err::kSuccess;
}

SysError SimFiles::copy_file(const std::u16string& from, const std::u16string& to, bool fail_if_exists) {
  auto src = resolve(from);
  if (!src) return src.error();
  auto dst = resolve(to);
  if (!dst) return dst.error();
  const fs::path host_from = host_path(*src);
  if (!fs::exists(host_from)) return err::kFileNotFound;
  if (fs::is_directory(host_from)) return err::kAccessDenied;
  if (is_locked(*src) || is_locked(*dst)) return err::kSharingViolation;
  const fs::path host_to = host_path(*dst);
  if (!fs::is_directory(host_to.parent_path())) return err::kPathNotFound;
  if (fs::exists(host_to)) {
    if (fail_if_exists) return err::kFileExists;
    if (fs::is_directory(host_to) || (attributes_of(*dst, host_to) & attr::kReadOnly)) return err::kAccessDenied;
  }
  std::error_code ec;
  fs::copy_file(host_from, host_to, fs::copy_options::overwrite_existing, ec);
  if (ec) return err::kAccessDenied;
  // The copy keeps the attributes and the modification time of the source.
  const FileTimes t = times_of(*src, host_from);
  FileMeta& meta = machine_.meta().edit(dst->key());
  meta.attributes = attributes_of(*src, host_from) | attr::kArchive;
  meta.times = FileTimes{machine_.clock().now_utc(), machine_.clock().now_utc(), t.last_write};
  fs::last_write_time(host_to, from_file_time(t.last_write), ec);
  machine_.meta().save();
  return err::kSuccess;
}

Result<std::vector<FindEntry>> SimFiles::find(const std::u16string& pattern) {
  using R = Result<std::vector<FindEntry>>;
  // The last component may hold wildcards, which no path may: it is taken
  // off before the folder is read.
  const std::size_t slash = pattern.find_last_of(u"\\/");
  const std::u16string mask = slash == std::u16string::npos ? pattern : pattern.substr(slash + 1);
  std::u16string folder_text = slash == std::u16string::npos ? u"." : pattern.substr(0, slash + 1);
  if (mask.empty() || mask == u"." || mask == u"..") return R::fail(err::kFileNotFound);
  auto p = resolve(folder_text);
  if (!p) return R::fail(p.error());
  const WinPath folder = *p;
  const fs::path host = host_path(folder);
  if (!fs::is_directory(host)) return R::fail(err::kPathNotFound);

  std::vector<FindEntry> entries;
  auto add = [&](const std::u16string& name, const WinPath& path, const fs::path& host_entry) {
    if (!wildcard_match(mask, name)) return;
    FindEntry entry;
    entry.name = name;
    entry.attributes = attributes_of(path, host_entry);
    std::error_code ec;
    entry.size = fs::is_directory(host_entry) ? 0 : fs::file_size(host_entry, ec);
    const FileTimes t = times_of(path, host_entry);
    entry.creation_time = t.creation;
    entry.last_access_time = t.last_access;
    entry.last_write_time = t.last_write;
    entries.push_back(std::move(entry));
  };
  if (!folder.is_root()) {
    add(u".", folder, host);
    add(u"..", folder.parent(), host.parent_path());
  }
  std::vector<fs::path> children;
  std::error_code ec;
  for (fs::directory_iterator it(host, ec), end; !ec && it != end; it.increment(ec)) children.push_back(it->path());
  std::sort(children.begin(), children.end());
  for (const auto& child : children) {
    WinPath path = folder;
    path.parts.push_back(name_of(child));
    add(path.parts.back(), path, child);
  }
  if (entries.empty()) return R::fail(err::kFileNotFound);
  return R::ok(std::move(entries));
}

std::u16string SimFiles::temp_path() {
  auto temp = machine_.shell().environment_variable(u"TEMP");
  std::u16string path = temp ? *temp : machine_.windows_folder() + u"\\Temp";
  if (path.empty() || path.back() != u'\\') path += u'\\';
  return path;
}

Result<std::u16string> SimFiles::temp_file_name(const std::u16string& folder, const std::u16string& prefix) {
  auto p = resolve(folder);
  if (!p) return Result<std::u16string>::fail(p.error());
  if (!fs::is_directory(host_path(*p))) return Result<std::u16string>::fail(267);
  static constexpr char16_t kHex[] = u"0123456789ABCDEF";
  for (int attempt = 0; attempt < 0xFFFF; ++attempt) {
    std::uint32_t n = ++temp_counter_ & 0xFFFF;
    if (n == 0) continue;
    std::u16string name = prefix.substr(0, 3);
    std::u16string hex;
    while (n) hex.insert(hex.begin(), kHex[n & 0xF]), n >>= 4;
    WinPath file = *p;
    file.parts.push_back(name + hex + u".tmp");
    if (fs::exists(host_path(file))) continue;
    auto created = open(file.text(), OpenMode::kCreateAlways);
    if (!created) return Result<std::u16string>::fail(created.error());
    return Result<std::u16string>::ok(file.text());
  }
  return Result<std::u16string>::fail(80);
}

Result<std::u16string> SimFiles::short_path(const std::u16string& path) {
  // The machine has no 8.3 names; the long path stands for the short one.
  auto p = parse_win_path(path, current_folder);
  if (!p) return Result<std::u16string>::fail(p.error());
  auto a = attributes(path);
  if (!a) return Result<std::u16string>::fail(a.error());
  return Result<std::u16string>::ok(p->text());
}

Result<std::u16string> SimFiles::full_path(const std::u16string& path) {
  auto p = parse_win_path(path, current_folder);
  if (!p) return Result<std::u16string>::fail(p.error());
  std::u16string text = p->text();
  if (!path.empty() && (path.back() == u'\\' || path.back() == u'/') && !p->is_root()) text += u'\\';
  return Result<std::u16string>::ok(text);
}

DriveType SimFiles::drive_type(const std::u16string& root) {
  auto p = parse_win_path(root, current_folder);
  if (!p || !drive_exists(p->drive)) return DriveType::kNoRootDir;
  return machine_.config().drives.at(static_cast<char>(p->drive)).type;
}

Result<Files::FreeSpace> SimFiles::free_space(const std::u16string& root) {
  auto p = parse_win_path(root, current_folder);
  if (!p || !drive_exists(p->drive)) return Result<FreeSpace>::fail(kInvalidDrive);
  const DriveConfig& drive = machine_.config().drives.at(static_cast<char>(p->drive));
  if (drive.type == DriveType::kCdRom && drive.total_bytes == 0) return Result<FreeSpace>::fail(21);
  return Result<FreeSpace>::ok(FreeSpace{drive.free_bytes, drive.total_bytes, 4096});
}

Result<std::uint32_t> SimFiles::volume_flags(const std::u16string& root) {
  auto p = parse_win_path(root, current_folder);
  if (!p || !drive_exists(p->drive)) return Result<std::uint32_t>::fail(kInvalidDrive);
  const DriveConfig& drive = machine_.config().drives.at(static_cast<char>(p->drive));
  // A CD-ROM drive without a disc has no volume to describe.
  if (drive.type == DriveType::kCdRom && drive.total_bytes == 0) return Result<std::uint32_t>::fail(21);
  return Result<std::uint32_t>::ok(drive.read_only ? volume::kReadOnlyVolume : 0);
}

}  // namespace hs::platform::sim
