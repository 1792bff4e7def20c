// Fuzz target: the TOML project-file reader. Any text either gives a
// project or a ProjectError naming the mistake; nothing else may escape.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string_view>

#include "project/project.h"

namespace {

// A small folder of sources that project texts can name, removed at exit.
struct SourceFolder {
  std::filesystem::path path;
  ~SourceFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
  }
};

const std::filesystem::path& source_folder() {
  static const SourceFolder folder{[] {
    auto dir = std::filesystem::temp_directory_path() / ("hs_project_fuzz_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir / "files" / "sub");
    std::ofstream(dir / "files" / "a.txt") << "a";
    std::ofstream(dir / "files" / "sub" / "b.exe") << "MZ";
    std::ofstream(dir / "licence.rtf") << "{\\rtf1 x}";
    std::ofstream(dir / "back.bmp", std::ios::binary) << std::string("BM", 2) << std::string(60, '\1');
    return dir;
  }()};
  return folder.path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  try {
    hs::tools::parse_project(text, "fuzz.toml", source_folder(), hs::tools::ProjectEnvironment{1700000000});
  } catch (const hs::tools::ProjectError&) {
  }
  return 0;
}
