// Replays a fuzz target's corpus without libFuzzer: every file of the
// folders (or the files) named on the command line is fed to the target
// once. A crash or abort fails the run, as it would under the fuzzer.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

void replay(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  // A copy of exactly the input's size, so that reads past its end are
  // caught by the address sanitizer as under the fuzzer.
  std::vector<std::uint8_t> data(bytes.begin(), bytes.end());
  LLVMFuzzerTestOneInput(data.empty() ? nullptr : data.data(), data.size());
}

}  // namespace

int main(int argc, char** argv) {
  std::size_t count = 0;
  // The empty input first: every target must take it.
  LLVMFuzzerTestOneInput(nullptr, 0);
  for (int i = 1; i < argc; ++i) {
    const std::filesystem::path path = argv[i];
    if (std::filesystem::is_directory(path)) {
      for (const auto& entry : std::filesystem::directory_iterator(path)) {
        if (entry.is_regular_file()) replay(entry.path()), ++count;
      }
    } else if (std::filesystem::is_regular_file(path)) {
      replay(path), ++count;
    }
  }
  std::cout << "replayed " << count << " inputs\n";
  return 0;
}
