#include "platform/sim/sim_restart.h"

#include "platform/sim/sim_machine.h"
#include "support/files.h"
#include "support/text.h"

namespace hs::platform::sim {

namespace {

const RegKeyPath kSessionManager{RegRoot::kLocalMachine, u"SYSTEM\\CurrentControlSet\\Control\\Session Manager",
                                 RegView::k64};
constexpr char16_t kPendingValue[] = u"PendingFileRenameOperations";

std::u16string without_nt_prefix(std::u16string_view path) {
  if (path.starts_with(u"\\??\\")) path.remove_prefix(4);
  return std::u16string(path);
}

RestartOperation carry_out(Files& files, RestartOperation op) {
  if (op.target.empty()) {
    op.result = support::is_folder(files, op.source) ? files.remove_directory(op.source) : files.delete_file(op.source);
  } else {
    op.result = files.move_file(op.source, op.target, op.replace ? move_flags::kReplaceExisting : 0);
  }
  return op;
}

// The "[rename]" lines of wininit.ini, in file order.
std::vector<RestartOperation> wininit_operations(const std::string& text) {
  std::vector<RestartOperation> ops;
  bool in_rename = false;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find_first_of("\r\n", start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    start = end + 1;
    while (!line.empty() && (line.back() == ' ' || line.back() == '\t')) line.pop_back();
    if (line.empty()) continue;
    if (line.front() == '[') {
      std::string lower = line;
      for (auto& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      in_rename = lower == "[rename]";
      continue;
    }
    const auto eq = line.find('=');
    if (!in_rename || eq == std::string::npos) continue;
    RestartOperation op;
    const std::u16string target = support::cp1252_to_utf16(line.substr(0, eq));
    op.source = support::cp1252_to_utf16(line.substr(eq + 1));
    op.target = support::iequals(target, u"NUL") ? std::u16string() : target;
    op.replace = true;
    ops.push_back(std::move(op));
  }
  return ops;
}

}  // namespace

std::vector<RestartOperation> run_pending_operations(SimMachine& machine) {
  std::vector<RestartOperation> done;
  Files& files = machine.system().files;
  Registry& registry = machine.system().registry;

  if (auto value = registry.get_value(kSessionManager, kPendingValue)) {
    const std::vector<std::u16string> list = multi_sz_strings(value->data);
    for (std::size_t i = 0; i < list.size(); i += 2) {
      RestartOperation op;
      op.source = without_nt_prefix(list[i]);
      std::u16string_view target = i + 1 < list.size() ? std::u16string_view(list[i + 1]) : std::u16string_view();
      if (target.starts_with(u"!")) {
        op.replace = true;
        target.remove_prefix(1);
      }
      op.target = without_nt_prefix(target);
      done.push_back(carry_out(files, std::move(op)));
    }
    registry.delete_value(kSessionManager, kPendingValue);
  }

  const std::u16string wininit = machine.windows_folder() + u"\\wininit.ini";
  auto host = machine.host_path(wininit);
  if (host && std::filesystem::is_regular_file(*host)) {
    std::string text;
    if (auto file = files.open(wininit, OpenMode::kRead)) {
      char buffer[4096];
      while (true) {
        auto got = (*file)->read(buffer, sizeof buffer);
        if (!got || *got == 0) break;
        text.append(buffer, *got);
      }
    }
    for (auto& op : wininit_operations(text)) done.push_back(carry_out(files, std::move(op)));
    files.move_file(wininit, machine.windows_folder() + u"\\wininit.bak", move_flags::kReplaceExisting);
  }
  return done;
}

std::vector<RestartOperation> restart_machine(const std::filesystem::path& root) {
  RunOptions options;
  // Every program has ended: nothing holds a file open any more.
  options.configure = [](MachineConfig& config) { config.locked_files.clear(); };
  SimMachine machine(root, options);
  return run_pending_operations(machine);
}

}  // namespace hs::platform::sim
