// The machine's file system: drive-letter paths under root/drives.
#pragma once

#include <filesystem>

#include "platform/files.h"
#include "platform/sim/win_path.h"

namespace hs::platform::sim {

class SimMachine;

class SimFiles : public Files {
 public:
  explicit SimFiles(SimMachine& machine) : machine_(machine) {}

  Result<std::unique_ptr<File>> open(const std::u16string& path, OpenMode mode) override;
  Result<std::uint32_t> attributes(const std::u16string& path) override;
  [[nodiscard]] SysError set_attributes(const std::u16string& path, std::uint32_t attributes) override;
  Result<FileTimes> times(const std::u16string& path) override;
  [[nodiscard]] SysError set_times(const std::u16string& path, const FileTimes& times) override;
  [[nodiscard]] SysError create_directory(const std::u16string& path) override;
  [[nodiscard]] SysError remove_directory(const std::u16string& path) override;
  [[nodiscard]] SysError delete_file(const std::u16string& path) override;
  [[nodiscard]] SysError move_file(const std::u16string& from, const std::u16string& to, std::uint32_t flags) override;
  [[nodiscard]] SysError copy_file(const std::u16string& from, const std::u16string& to, bool fail_if_exists) override;
  Result<std::vector<FindEntry>> find(const std::u16string& pattern) override;
  std::u16string temp_path() override;
  Result<std::u16string> temp_file_name(const std::u16string& folder, const std::u16string& prefix) override;
  Result<std::u16string> short_path(const std::u16string& path) override;
  Result<std::u16string> full_path(const std::u16string& path) override;
  DriveType drive_type(const std::u16string& root) override;
  Result<FreeSpace> free_space(const std::u16string& root) override;
  Result<std::uint32_t> volume_flags(const std::u16string& root) override;

  // Reads a path against the current folder and applies the file-system
  // redirection of a 32-bit process on 64-bit Windows.
  Result<WinPath> resolve(const std::u16string& path);
  // The host path of a resolved path; names matched without regard to case.
  std::filesystem::path host_path(const WinPath& path);
  // The current folder of the simulated process.
  WinPath current_folder;

 private:
  bool drive_exists(char16_t drive) const;
  bool is_locked(const WinPath& path) const;
  std::uint32_t attributes_of(const WinPath& path, const std::filesystem::path& host);
  FileTimes times_of(const WinPath& path, const std::filesystem::path& host);
  void touch_new(const WinPath& path, bool directory);
  [[nodiscard]] SysError schedule_at_restart(const WinPath& from, const WinPath* to, bool replace);

  SimMachine& machine_;
  std::uint32_t temp_counter_ = 0;
};

}  // namespace hs::platform::sim
