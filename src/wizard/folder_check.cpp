#include "wizard/folder_check.h"

#include "support/text.h"
#include "support/format.h"
#include "wizard/message_format.h"

namespace hs::wizard {

namespace {

bool is_space(char16_t c) { return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n'; }

bool is_forbidden_in_name(char16_t c) {
  return c < 32 || c == u'<' || c == u'>' || c == u':' || c == u'"' || c == u'|' || c == u'?' ||
         c == u'*' || c == u'/';
}

// Names separated by single backslashes, each valid on its own.
bool are_valid_names(std::u16string_view rest) {
  if (rest.empty()) return false;
  std::size_t start = 0;
  while (true) {
    std::size_t end = rest.find(u'\\', start);
    std::u16string_view name = rest.substr(start, end == std::u16string_view::npos ? rest.size() - start : end - start);
    if (name.empty()) return false;
    if (name.back() == u'.' || name.back() == u' ') return false;  // also "." and ".."
    for (char16_t c : name)
      if (is_forbidden_in_name(c)) return false;
    if (end == std::u16string_view::npos) return true;
    start = end + 1;
  }
}

std::u16string drive_root(char16_t letter) { return std::u16string{letter, u':', u'\\'}; }

std::u16string trimmed_folder(std::u16string text) {
  while (text.size() > 1 && text.back() == u'\\') text.pop_back();
  return text;
}

}  // namespace

std::u16string normalize_folder_text(std::u16string_view text) {
  std::size_t first = 0;
  std::size_t last = text.size();
  while (first < last && is_space(text[first])) ++first;
  while (last > first && is_space(text[last - 1])) --last;
  std::u16string out(text.substr(first, last - first));
  if (!out.empty() && out.back() == u'\\') out.pop_back();
  return out;
}

char16_t drive_letter(std::u16string_view path) {
  if (path.size() < 2 || path[1] != u':') return 0;
  char16_t c = path[0];
  if (c >= u'a' && c <= u'z') return static_cast<char16_t>(c - u'a' + u'A');
  if (c >= u'A' && c <= u'Z') return c;
  return 0;
}

bool is_complete_path(std::u16string_view path) {
  if (path.size() >= 260) return false;
  if (drive_letter(path) != 0) {
    if (path.size() == 2) return true;  // a drive root
    if (path[2] != u'\\') return false;
    return are_valid_names(path.substr(3));
  }
  if (path.size() > 2 && path[0] == u'\\' && path[1] == u'\\') {
    std::u16string_view rest = path.substr(2);
    // At least a server and a share.
    std::size_t slash = rest.find(u'\\');
    if (slash == std::u16string_view::npos) return false;
    return are_valid_names(rest);
  }
  return false;
}

FolderCheckResult check_install_folder(std::u16string_view text, const FolderCheckOptions& options,
                                       FolderCheckHost& host,
                                       const std::function<std::u16string(int)>& message) {
  auto msg = [&](int n) { return message ? message(n) : std::u16string(); };
  FolderCheckResult refused;

  // 1. Trim; an empty text just shows the page again.
  std::u16string folder = normalize_folder_text(text);
  if (folder.empty()) return refused;
  refused.folder = folder;

  // 2. Complete and valid, and not one of the user's own shell folders.
  bool reserved = false;
  for (const std::u16string& name : host.reserved_folders())
    if (!name.empty() && support::iequals(trimmed_folder(name), folder)) reserved = true;
  if (!is_complete_path(folder) || reserved) {
    host.show_error(msg(14) + u"\r\n\r\n" + folder);
    return refused;
  }

  // 3. The drive must exist.
  const char16_t letter = drive_letter(folder);
  const std::u16string letter_text = letter ? std::u16string(1, letter) : std::u16string();
  if (letter && host.drive_type(drive_root(letter)) == platform::DriveType::kNoRootDir) {
    host.show_error(support::format_text(msg(16), {letter_text}));
    return refused;
  }

  // 4. File-system folders only: no network paths.
  if (options.file_system_only) {
    bool network = folder.size() >= 2 && folder[0] == u'\\' && folder[1] == u'\\';
    if (letter && host.drive_type(drive_root(letter)) == platform::DriveType::kRemote) network = true;
    if (network) {
      host.show_error(msg(66));
      return refused;
    }
  }

  // 5. A drive root (or anything as short) is no product folder.
  if (folder.size() < 4) {
    host.show_error(msg(17));
    return refused;
  }

  // 6. Nor is Program Files itself.
  for (const std::u16string& program_files : host.program_files_folders()) {
    if (!program_files.empty() && support::iequals(trimmed_folder(program_files), folder)) {
      host.show_error(support::format_text(msg(18), {program_files}));
      return refused;
    }
  }

  // 7. The volume must be writable (and fixed, when the package asks).
  if (letter) {
    const std::u16string root = drive_root(letter);
    std::optional<bool> read_only = host.volume_read_only(root);
    bool refuse = !read_only.has_value() || *read_only;
    if (options.refuse_removable) {
      platform::DriveType type = host.drive_type(root);
      if (type == platform::DriveType::kRemovable || type == platform::DriveType::kCdRom ||
          type == platform::DriveType::kRamDisk)
        refuse = true;
    }
    if (refuse) {
      host.show_error(support::format_text(msg(96), {letter_text}));
      return refused;
    }
  }

  // 8. Plain ASCII only, when the package asks.
  if (options.ascii_only) {
    for (char16_t c : folder) {
      if (c > 127) {
        host.show_error(msg(30));
        return refused;
      }
    }
  }

  // 9. Enough free space for a new installation, or the user's consent.
  if (options.new_installation && !options.automatic && letter) {
    std::optional<std::uint64_t> free = host.free_space(drive_root(letter));
    if (free && *free < options.space_needed) {
      std::u16string question =
          support::format_text(msg(19), {format_size(options.space_needed), letter_text, format_size(*free)});
      if (!host.ask_yes_no(question, msg(20))) return refused;
    }
  }

  // 10. Confirmation of the folder, when the package asks.
  const bool exists = host.directory_exists(folder);
  if (options.confirm_folder) {
    const std::u16string text = msg(exists ? 22 : 23);
    std::u16string question = text.find(u'%') != std::u16string::npos ? support::format_text(text, {folder})
                                                                        : text + u"\r\n\r\n" + folder;
    if (!host.ask_yes_no(question, msg(24))) return refused;
  }

  // 11. The folder must exist (made here with its parents) and be writable.
  if (!exists) {
    platform::SysError error = host.create_directories(folder);
    if (error != platform::err::kSuccess) {
      host.show_error(msg(25) + u"\r\n" + folder + u"\r\n\r\n" + host.error_text(error));
      return refused;
    }
  }
  if (host.probe_temporary_file(folder) != platform::err::kSuccess) {
    host.show_error(support::format_text(msg(73), {folder}));
    return refused;
  }

  return FolderCheckResult{true, folder};
}

}  // namespace hs::wizard
