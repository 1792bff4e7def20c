#include "platform/sim/sim_processes.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <fstream>

#include "platform/sim/sim_machine.h"
#include "support/files.h"
#include "support/text.h"

namespace hs::platform::sim {

namespace {

// A program that has already ended.
class EndedProcess : public Process {
 public:
  explicit EndedProcess(std::uint32_t code) : code_(code) {}
  bool wait(int) override { return true; }
  std::uint32_t exit_code() override { return code_; }

 private:
  std::uint32_t code_;
};

// Mutex names may hold any character but the backslash; the lock file's
// name keeps letters and digits and spells the rest as hex.
std::string lock_file_name(const std::u16string& name) {
  std::string out;
  for (char16_t c : support::to_upper(name)) {
    if ((c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9')) {
      out.push_back(static_cast<char>(c));
    } else {
      char buf[8];
      std::snprintf(buf, sizeof buf, "_%04x", static_cast<unsigned>(c));
      out += buf;
    }
  }
  return out + ".lock";
}

}  // namespace

SimProcesses::~SimProcesses() { release_mutexes(); }

void SimProcesses::start_process(std::u16string command_line, std::u16string module_path) {
  command_line_ = std::move(command_line);
  module_path_ = std::move(module_path);
}

void SimProcesses::simulate_crash(const CrashInfo& crash) {
  if (crash_handler_) crash_handler_(crash);
  exit_process(static_cast<int>(crash.code));
}

void SimProcesses::exit_process(int code) {
  release_mutexes();
  throw ProcessExit{code};
}

void SimProcesses::terminate_process(int code) {
  release_mutexes();
  throw ProcessExit{code, true};
}

MutexTake SimProcesses::take_named_mutex(const std::u16string& name) {
  const std::u16string key = support::to_upper(name);
  if (name.find(u'\\') != std::u16string::npos) return MutexTake::kFailed;
  if (mutexes_.count(key)) return MutexTake::kTaken;  // already ours
  const std::filesystem::path folder = machine_.root() / "mutex";
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  const std::filesystem::path file = folder / lock_file_name(name);
  const bool left_behind = std::filesystem::exists(file);
  const int fd = ::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) return MutexTake::kFailed;
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    ::close(fd);
    return MutexTake::kBusy;
  }
  mutexes_[key] = {file, fd};
  return left_behind ? MutexTake::kAbandoned : MutexTake::kTaken;
}

void SimProcesses::release_mutexes() {
  for (auto& [key, held] : mutexes_) {
    (void)key;
    // The lock file goes first, so that the next taker sees a fresh mutex
    // rather than an abandoned one.
    std::error_code ec;
    std::filesystem::remove(held.first, ec);
    ::close(held.second);
  }
  mutexes_.clear();
}

void SimProcesses::abandon_mutexes() {
  for (auto& [key, held] : mutexes_) {
    (void)key;
    ::close(held.second);
  }
  mutexes_.clear();
}

std::uint32_t SimProcesses::exit_code_for(const std::u16string& command_line) const {
  const std::u16string upper = support::to_upper(command_line);
  for (const auto& [pattern, code] : machine_.config().exit_codes) {
    if (upper.find(support::to_upper(pattern)) != std::u16string::npos) return code;
  }
  return 0;
}

void SimProcesses::append_log(const std::string& text) {
  std::ofstream out(machine_.root() / "launches.log", std::ios::app | std::ios::binary);
  out << text;
}

void SimProcesses::log_event(const std::u16string& text) { append_log(support::utf16_to_utf8(text) + "\n"); }

Result<std::unique_ptr<Process>> SimProcesses::start(const std::u16string& command_line,
                                                     const std::u16string& working_folder, int show_mode) {
  if (!working_folder.empty()) {
    if (!support::is_folder(machine_.files(), working_folder)) return Result<std::unique_ptr<Process>>::fail(267);  // ERROR_DIRECTORY
  }
  Launch launch{u"start", command_line, working_folder, show_mode, exit_code_for(command_line)};
  append_log("start\n  command line: " + support::utf16_to_utf8(command_line) +
             "\n  folder: " + support::utf16_to_utf8(working_folder) + "\n  show: " + std::to_string(show_mode) +
             "\n  exit code: " + std::to_string(launch.exit_code) + "\n");
  launches_.push_back(launch);
  return Result<std::unique_ptr<Process>>::ok(std::make_unique<EndedProcess>(launch.exit_code));
}

SysError SimProcesses::shell_execute(const std::u16string& verb, const std::u16string& file,
                                     const std::u16string& parameters, const std::u16string& folder, int show_mode) {
  std::u16string line = file;
  if (!parameters.empty()) line += u" " + parameters;
  Launch launch{u"shell_execute " + verb, line, folder, show_mode, exit_code_for(line)};
  append_log("shell_execute " + support::utf16_to_utf8(verb) + "\n  file: " + support::utf16_to_utf8(file) +
             "\n  parameters: " + support::utf16_to_utf8(parameters) + "\n  folder: " + support::utf16_to_utf8(folder) +
             "\n  show: " + std::to_string(show_mode) + "\n");
  launches_.push_back(launch);
  return err::kSuccess;
}

}  // namespace hs::platform::sim
