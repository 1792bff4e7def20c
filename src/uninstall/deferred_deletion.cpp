#include "uninstall/deferred_deletion.h"

#include "support/files.h"
#include "support/format.h"
#include "support/paths.h"
#include "support/text.h"
#include "uninstall/change_list.h"
#include "uninstall/install_log.h"
#include "uninstall/uninstall_data.h"

namespace hs::uninstall {

namespace {

namespace err = platform::err;

constexpr std::uint64_t kRestartRequired = 1ULL << 14;

bool is_missing_error(platform::SysError e) { return e == err::kFileNotFound || e == err::kPathNotFound; }

bool is_nt(platform::System& sys) { return sys.info.os_version().platform == platform::OsPlatform::kNt; }

bool is_blank(std::u16string_view s) {
  return s.find_first_not_of(u" \t\r\n") == std::u16string_view::npos;
}

bool exists(platform::Files& files, const std::u16string& path) {
  return files.attributes(path).has_value();
}

std::u16string short_or_long(platform::Files& files, const std::u16string& path) {
  auto s = files.short_path(path);
  return s && !s->empty() ? *s : path;
}


// The wininit.ini fall-back: used on systems outside the NT family, and on
// NT-family systems that still have "wininit.exe".
platform::SysError wininit_fallback(platform::System& sys, platform::SysError first, const std::u16string& target,
                                    const std::u16string& source) {
  const bool nt = is_nt(sys);
  if (nt && !exists(sys.files, support::join_path(sys.shell.windows_folder(), u"wininit.exe"))) return first;
  const platform::SysError e = write_wininit_entry(sys, support::utf16_to_cp1252(target), support::utf16_to_cp1252(source));
  if (e == err::kSuccess) return e;
  return nt ? first : e;
}

}  // namespace

platform::SysError delete_file(platform::System& sys, const std::u16string& path, std::uint32_t options) {
  using namespace delete_options;
  if (path.empty()) return err::kInvalidParameter;
  if (options & kAtNextStart) return schedule_deletion_at_next_start(sys, path);

  auto attributes = sys.files.attributes(path);
  if (!attributes) {
    if ((options & kMissingIsSuccess) && is_missing_error(attributes.error())) return err::kSuccess;
    return attributes.error();
  }
  if (options & kOnlyIfEmpty) {
    // The size from the folder listing: a file held open by another program
    // can still be measured.
    auto found = sys.files.find(path);
    if (!found) return found.error();
    for (const auto& entry : *found) {
      if (entry.size != 0) return err::kFileExists;
    }
  }
  if (!(options & kKeepReadOnly) && (*attributes & platform::attr::kReadOnly)) {
    std::uint32_t cleared = *attributes & ~platform::attr::kReadOnly;
    sys.files.set_attributes(path, cleared == 0 ? platform::attr::kNormal : cleared);
  }
  const platform::SysError e = (options & kRecycle) ? sys.shell.recycle(path) : sys.files.delete_file(path);
  if (e == err::kSuccess) return e;
  if (is_missing_error(e)) return (options & kMissingIsSuccess) ? err::kSuccess : e;
  if (options & kScheduleOnFailure) return schedule_deletion_at_next_start(sys, path);
  return e;
}

platform::SysError schedule_deletion_at_next_start(platform::System& sys, const std::u16string& path) {
  if (path.empty()) return err::kInvalidParameter;
  platform::SysError first = err::kSuccess;
  if (is_nt(sys)) {
    first = sys.files.move_file(path, u"", platform::move_flags::kDelayUntilReboot);
    if (first == err::kSuccess) return first;
  }
  return wininit_fallback(sys, first, u"NUL", short_or_long(sys.files, path));
}

platform::Result<bool> schedule_replacement_at_next_start(platform::System& sys, const std::u16string& temporary,
                                                          const std::u16string& target) {
  using R = platform::Result<bool>;
  if (is_blank(temporary) || is_blank(target)) return R::fail(err::kInvalidParameter);
  if (!exists(sys.files, temporary)) return R::fail(err::kFileNotFound);
  auto full_temporary = sys.files.full_path(temporary);
  auto full_target = sys.files.full_path(target);
  if (full_temporary && full_target && support::iequals(*full_temporary, *full_target)) return R::ok(false);

  platform::SysError first = err::kSuccess;
  if (is_nt(sys)) {
    first = sys.files.move_file(temporary, target,
                                platform::move_flags::kReplaceExisting | platform::move_flags::kDelayUntilReboot);
    if (first == err::kSuccess) return R::ok(true);
  }
  const platform::SysError e =
      wininit_fallback(sys, first, short_or_long(sys.files, target), short_or_long(sys.files, temporary));
  if (e != err::kSuccess) return R::fail(e);
  return R::ok(true);
}

std::optional<std::string> insert_wininit_entry(std::string_view existing, std::string_view target,
                                                std::string_view source) {
  while (!target.empty() && (target.front() == ' ' || target.front() == '\t' || target.front() == '\r' ||
                             target.front() == '\n')) {
    target.remove_prefix(1);
  }
  if (target.empty()) return std::nullopt;
  std::string entry(target);
  entry += '=';
  entry += source;

  // Section names are compared without regard to letter case, as Windows does.
  constexpr std::string_view kSection = "[rename]";
  std::size_t at = std::string_view::npos;
  for (std::size_t i = 0; i + kSection.size() <= existing.size(); ++i) {
    bool match = true;
    for (std::size_t k = 0; k < kSection.size() && match; ++k) {
      char c = existing[i + k];
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
      match = c == kSection[k];
    }
    if (match) {
      at = i;
      break;
    }
  }
  std::string out(existing);
  if (at == std::string_view::npos) {
    out += "[rename]\r\n" + entry;
  } else {
    out.insert(at + kSection.size(), "\r\n" + entry);
  }
  return out;
}

platform::SysError write_wininit_entry(platform::System& sys, std::string_view target, std::string_view source) {
  const std::u16string path = support::join_path(sys.shell.windows_folder(), u"wininit.ini");
  std::string existing;
  if (auto read = support::read_whole_file(sys.files, path)) {
    existing = std::move(*read);
  } else if (!is_missing_error(read.error())) {
    return read.error();
  }
  auto updated = insert_wininit_entry(existing, target, source);
  if (!updated) return err::kInvalidParameter;
  return write_whole_file(sys.files, path, *updated);
}

// --- PendingFileRenameOperations ------------------------------------------

std::u16string_view strip_pending_prefix(std::u16string_view entry) {
  while (!entry.empty() && (entry.front() == u'\\' || entry.front() == u'?' || entry.front() == u'!')) {
    entry.remove_prefix(1);
  }
  return entry;
}

void PendingPathSet::add_line(std::string_view change_line, const support::AnsiDecoder& ansi) {
  add(support::from_bar_form(change_line, ansi));
}

void PendingPathSet::add(std::u16string_view path) { paths_.insert(support::to_upper(path)); }

bool PendingPathSet::contains(std::u16string_view path) const { return paths_.count(support::to_upper(path)) != 0; }

PendingCleanup clean_pending_renames(std::vector<std::u16string> list, const PendingPathSet& paths) {
  PendingCleanup out;
  if (list.size() % 2 != 0) list.pop_back();
  std::size_t i = 0;
  while (i + 1 < list.size()) {
    const std::u16string_view source = strip_pending_prefix(list[i]);
    const std::u16string_view target = strip_pending_prefix(list[i + 1]);
    bool remove = false;
    if (!list[i + 1].empty()) {
      if (!target.empty() && paths.contains(target)) {
        out.log.push_back(u"File \"" + std::u16string(target) + u"\" was removed from the list of pending moves.\r\n");
        out.recycle.emplace_back(source);
        remove = true;
      }
    } else if (source.empty() || paths.contains(source)) {
      if (!source.empty()) {
        out.log.push_back(u"File \"" + std::u16string(source) +
                          u"\" was removed from the list of pending deletions.\r\n");
      }
      remove = true;
    }
    if (remove) {
      list.erase(list.begin() + static_cast<std::ptrdiff_t>(i), list.begin() + static_cast<std::ptrdiff_t>(i + 2));
      out.changed = true;
    } else {
      i += 2;
    }
  }
  out.list = std::move(list);
  return out;
}

std::vector<std::u16string> multi_sz_strings(const platform::Bytes& data) {
  std::vector<std::u16string> strings;
  std::u16string current;
  bool open = false;  // characters were read since the last NUL
  for (std::size_t i = 0; i + 1 < data.size(); i += 2) {
    const auto c = static_cast<char16_t>(data[i] | (data[i + 1] << 8));
    if (c == 0) {
      strings.push_back(std::move(current));
      current.clear();
      open = false;
    } else {
      current.push_back(c);
      open = true;
    }
  }
  if (open) strings.push_back(std::move(current));
  // The list ends with one more empty string; pairs keep their empty
  // targets, so only an odd trailing empty string is the end mark.
  if (strings.size() % 2 == 1 && strings.back().empty()) strings.pop_back();
  return strings;
}

void clean_pending_renames(platform::System& sys, const PendingPathSet& paths, InstallLog* log) {
  const platform::RegKeyPath key{platform::RegRoot::kLocalMachine, std::u16string(kSessionManagerKey),
                                 platform::RegView::kDefault};
  const std::u16string name(kPendingRenamesValue);
  auto value = sys.registry.get_value(key, name);
  if (!value) return;
  std::vector<std::u16string> list = multi_sz_strings(value->data);
  if (list.empty()) return;
  if (log) log->add(u"\r\n");
  PendingCleanup cleanup = clean_pending_renames(std::move(list), paths);
  for (const auto& source : cleanup.recycle) {
    // Only a file goes to the recycle bin: a source that is a folder (or
    // that is not there) is left where it is.
    if (source.empty()) continue;
    const auto attributes = sys.files.attributes(source);
    if (!attributes || (*attributes & platform::attr::kDirectory)) continue;
    // A file that cannot be recycled stays where it is; its pair is
    // withdrawn all the same.
    (void)sys.shell.recycle(source);
  }
  if (log) {
    for (const auto& line : cleanup.log) log->add(line);
  }
  if (cleanup.changed) {
    sys.registry.set_value(key, name, platform::RegValue{platform::regtype::kMultiSz, multi_sz_bytes(cleanup.list)});
  }
}

// --- Uninstaller file, reboot marker, self-deletion -----------------------

namespace {

platform::SysError make_uninstaller(platform::System& sys, const UninstallerFileRequest& request,
                                    const std::u16string& path) {
  if (request.way == UninstallerWay::kImage) {
    if (!request.image) return err::kInvalidParameter;
    return write_whole_file(sys.files, path,
                            std::string_view(reinterpret_cast<const char*>(request.image->data()), request.image->size()));
  }
  return sys.files.copy_file(sys.processes.module_path(), path, false);
}

void add_failure(engine::Session& session, std::u16string_view text) { session.failure_summary += text; }

// The uninstaller could not be written in place (it is running, or locked):
// it goes to a temporary file beside it that replaces it at the next start.
void replace_uninstaller_at_next_start(engine::Session& session, const UninstallerFileRequest& request,
                                       InstallLog& log, std::uint64_t& product_flags) {
  platform::System& sys = session.sys;
  const std::u16string& target = request.target;
  auto temporary = sys.files.temp_file_name(support::folder_of(target), u"hs");
  if (!temporary) {
    add_failure(session, support::format_text(u"Failed to register '%s' for replacement because no temporary file could be "
                                     u"created.\r\n%s\r\n\r\n",
                                     {target, sys.info.error_text(temporary.error())}));
    return;
  }
  if (const auto e = make_uninstaller(sys, request, *temporary); e != err::kSuccess) {
    sys.files.delete_file(*temporary);
    add_failure(session, support::format_text(u"Failed to register '%s' for replacement because no temporary file could be "
                                     u"created.\r\n%s\r\n\r\n",
                                     {target, sys.info.error_text(e)}));
    return;
  }
  auto scheduled = schedule_replacement_at_next_start(sys, *temporary, target);
  if (!scheduled) {
    add_failure(session, support::format_text(u"Failed to register '%s' for replacement with temporary file '%s'\r\n%s\r\n\r\n",
                                     {target, *temporary, sys.info.error_text(scheduled.error())}));
    sys.files.delete_file(*temporary);
    return;
  }
  product_flags |= kRestartRequired;
  log.addf(u"\"%s\" was successfully registered for replacement.\r\nTemporary file is \"%s\"\r\nReboot will be "
           u"required.\r\n\r\n",
           {target, *temporary});
}

}  // namespace

void install_uninstaller_file(engine::Session& session, const UninstallerFileRequest& request, InstallLog& log,
                              ChangeList& changes, std::uint64_t& product_flags) {
  platform::System& sys = session.sys;
  const bool has_icon = request.icon && !request.icon->empty();

  if (make_uninstaller(sys, request, request.target) == err::kSuccess) {
    log.add({u"Uninstaller >>> ", request.target, u"\r\n"});
    if (request.way == UninstallerWay::kImage && has_icon) {
      const IconReplacement outcome =
          request.replace_icon ? request.replace_icon(request.target, *request.icon) : IconReplacement::kOpenFailed;
      if (outcome == IconReplacement::kOpenFailed) log.add(u"Failed to open uninstaller for icon replacement.\r\n");
      if (outcome == IconReplacement::kReplaceFailed) log.add(u"Failed to replace uninstaller icon.\r\n");
    }
  } else {
    replace_uninstaller_at_next_start(session, request, log, product_flags);
  }

  if (has_icon) {
    const std::u16string icon_path = support::join_path(request.data_folder, u"uninstall.ico");
    changes.append(icon_path, ChangeKind::kFile);
    const auto e = write_whole_file(
        sys.files, icon_path,
        std::string_view(reinterpret_cast<const char*>(request.icon->data()), request.icon->size()));
    if (e != err::kSuccess) {
      log.addf(u"Failed to install uninstaller icon to %s\r\n%s\r\n", {icon_path, sys.info.error_text(e)});
    }
  }
}

platform::SysError create_reboot_marker(platform::System& sys, const std::u16string& install_folder) {
  const std::u16string path = support::join_path(install_folder, u"reboot.dat");
  if (const auto e = write_whole_file(sys.files, path, {}); e != err::kSuccess) return e;
  return schedule_deletion_at_next_start(sys, path);
}

std::optional<std::u16string> cp1252_batch_path(
    const std::u16string& path, const std::function<std::optional<std::u16string>(const std::u16string&)>& short_path) {
  auto fits = [](const std::u16string& text) { return support::cp1252_to_utf16(support::utf16_to_cp1252(text)) == text; };
  if (fits(path)) return path;
  if (short_path) {
    if (std::optional<std::u16string> short_form = short_path(path); short_form && !short_form->empty() && fits(*short_form))
      return short_form;
  }
  return std::nullopt;
}

std::u16string self_deletion_batch_text(const std::u16string& engine_path, const std::u16string& install_folder,
                                        const std::u16string& uninstall_subdir, const std::u16string& batch_path,
                                        const BatchPathSpelling& spell) {
  auto spelled = [&](const std::u16string& path) { return spell ? spell(path) : std::optional<std::u16string>(path); };
  std::u16string text;
  const std::u16string exe_path = engine_path.size() > 1024 ? std::u16string() : engine_path;
  if (const auto exe = spelled(exe_path)) {
    text += u":Repeat\r\ndel \"" + *exe + u"\"\r\nif exist \"" + *exe + u"\" goto Repeat\r\n";
  }
  text += u"CHOICE /T 3 /D Y\r\n";

  // The uninstall data folder, then each shorter folder of `UninstallSubdir`.
  std::vector<std::u16string_view> parts;
  std::u16string_view rest = uninstall_subdir;
  while (!rest.empty()) {
    const auto at = rest.find(u'\\');
    const auto part = rest.substr(0, at);
    if (!part.empty()) parts.push_back(part);
    if (at == std::u16string_view::npos) break;
    rest.remove_prefix(at + 1);
  }
  for (std::size_t n = parts.size(), lines = 0; n > 0 && lines < 50; --n, ++lines) {
    std::u16string folder = install_folder;
    for (std::size_t k = 0; k < n; ++k) folder = support::join_path(folder, parts[k]);
    if (const auto named = spelled(folder)) text += u"rd \"" + *named + u"\"\r\n";
  }
  if (const auto named = spelled(install_folder)) text += u"rd \"" + *named + u"\"\r\n";
  if (const auto named = spelled(batch_path)) text += u"del \"" + *named + u"\"\r\n";
  return text;
}

std::string encode_batch(std::u16string_view text, bool utf8) {
  bool wide = false;
  for (char16_t c : text) wide = wide || c > 127;
  if (utf8 && wide) return "@chcp 65001 >nul\r\n" + support::utf16_to_utf8(text);
  return "@chcp 1252 >nul\r\n" + support::utf16_to_cp1252(text);
}

platform::SysError start_self_deletion(platform::System& sys, const std::u16string& install_folder,
                                       const std::u16string& uninstall_subdir) {
  const std::u16string temp = sys.files.temp_path();
  const std::u16string batch = temp.empty() ? std::u16string(u"delunins.bat") : support::join_path(temp, u"delunins.bat");
  const platform::OsVersion os = sys.info.os_version();
  const bool utf8 = os.platform == platform::OsPlatform::kNt && (os.major > 6 || (os.major == 6 && os.minor > 0));
  // In code page 1252 a path the code page cannot hold takes its short
  // form; one that even then cannot be named is left out of the batch and
  // deleted at the next start instead.
  std::vector<std::u16string> unnamed;
  BatchPathSpelling spell;
  if (!utf8) {
    spell = [&](const std::u16string& path) {
      auto named = cp1252_batch_path(path, [&](const std::u16string& p) -> std::optional<std::u16string> {
        auto short_form = sys.files.short_path(p);
        if (!short_form) return std::nullopt;
        return *short_form;
      });
      if (!named) unnamed.push_back(path);
      return named;
    };
  }
  const std::u16string text =
      self_deletion_batch_text(sys.processes.module_path(), install_folder, uninstall_subdir, batch, spell);
  if (const auto e = write_whole_file(sys.files, batch, encode_batch(text, utf8)); e != err::kSuccess) return e;
  // Best effort: a path that cannot be scheduled either stays behind, as a
  // folder the batch cannot empty does.
  for (const std::u16string& path : unnamed) (void)schedule_deletion_at_next_start(sys, path);

  std::u16string interpreter;
  if (auto comspec = sys.shell.environment_variable(u"COMSPEC"); comspec && !comspec->empty()) {
    interpreter = *comspec;
  } else {
    interpreter = support::join_path(sys.shell.system_folder(), u"cmd.exe");
  }
  std::u16string short_batch = short_or_long(sys.files, batch);
  if (short_batch.find(u' ') != std::u16string::npos) short_batch = u"\"" + short_batch + u"\"";
  const std::u16string command = u"\"" + interpreter + u"\" /c " + short_batch;
  if (auto started = sys.processes.start(command, u"", platform::show::kHide)) return err::kSuccess;
  return sys.processes.shell_execute(u"open", batch, u"", u"", platform::show::kHide);
}

}  // namespace hs::uninstall
