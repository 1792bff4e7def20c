// The uninstaller image: the executable without its package section. A
// hand-made header shows the table edits; a real MinGW program with an
// objcopy-added package section shows that binutils still reads the result.
#include <unistd.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

#include "engine/startup.h"

namespace hs::engine {
namespace {

namespace fs = std::filesystem;

std::uint32_t u32(const std::vector<std::uint8_t>& b, std::size_t at) {
  return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (std::uint32_t{b[at + 3]} << 24);
}
void put32(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

// A PE file with three sections: .text, .setup (the package), .rsrc.
struct SmallPe {
  static constexpr std::size_t kPe = 0x80;
  static constexpr std::size_t kTable = kPe + 24 + 0xE0;
  std::vector<std::uint8_t> file = std::vector<std::uint8_t>(0xC00, 0);

  SmallPe() {
    file[0] = 'M';
    file[1] = 'Z';
    put32(file, 0x3C, kPe);
    file[kPe] = 'P';
    file[kPe + 1] = 'E';
    file[kPe + 6] = 3;            // NumberOfSections
    file[kPe + 20] = 0xE0;        // SizeOfOptionalHeader
    put32(file, kPe + 32, 0x800);   // SizeOfInitializedData
    put32(file, kPe + 24 + 32, 0x1000);  // SectionAlignment
    put32(file, kPe + 80, 0x4000);  // SizeOfImage
    section(0, ".text", 0x100, 0x1000, 0x200, 0x400);
    section(1, ".setup", 0x400, 0x2000, 0x400, 0x600);
    section(2, ".rsrc", 0x80, 0x3000, 0x200, 0xA00);
    // What follows the table ends up in the freed slot.
    for (std::size_t i = 0; i < 40; ++i) file[kTable + 3 * 40 + i] = static_cast<std::uint8_t>(0xA0 + i);
    for (std::size_t i = 0xA00; i < 0xC00; ++i) file[i] = 0x5A;
  }
  void section(std::size_t i, const char* name, std::uint32_t vsize, std::uint32_t va, std::uint32_t raw_size,
               std::uint32_t raw_pointer) {
    const std::size_t at = kTable + i * 40;
    std::fill_n(file.begin() + static_cast<std::ptrdiff_t>(at), 8, 0);
    for (std::size_t k = 0; name[k]; ++k) file[at + k] = static_cast<std::uint8_t>(name[k]);
    put32(file, at + 8, vsize);
    put32(file, at + 12, va);
    put32(file, at + 16, raw_size);
    put32(file, at + 20, raw_pointer);
  }
  package::PackageSection package() const { return {kPe, 0x2000, 0x400, 0x600}; }
  std::span<const std::uint8_t> head() const { return std::span(file).first(0x600); }
  std::span<const std::uint8_t> tail() const { return std::span(file).subspan(0xA00); }
};

TEST(UninstallerImage, RemovesThePackageSectionFromTheTable) {
  SmallPe pe;
  auto image = build_uninstaller_image(pe.head(), pe.tail(), pe.package());
  ASSERT_TRUE(image);
  ASSERT_EQ(image->size(), 0x800u);
  const auto& b = *image;
  EXPECT_EQ(b[SmallPe::kPe + 6], 2);
  EXPECT_EQ(u32(b, SmallPe::kPe + 32), 0x400u);
  // .rsrc moved up one slot, its data now directly after the headers.
  const std::size_t second = SmallPe::kTable + 40;
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&b[second])), ".rsrc");
  EXPECT_EQ(u32(b, second + 20), 0x600u);
  EXPECT_EQ(b[0x600], 0x5A);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&b[SmallPe::kTable])), ".text");
  EXPECT_EQ(u32(b, SmallPe::kTable + 20), 0x400u) << "sections before the package keep their place";
  // The freed slot holds the bytes that followed the table.
  for (std::size_t i = 0; i < 40; ++i) EXPECT_EQ(b[SmallPe::kTable + 80 + i], 0xA0 + i);
  // 0x4000 - 0x400 is not a multiple of the section alignment; the image
  // must still cover .rsrc (0x3000 + 0x80) and stay aligned.
  EXPECT_EQ(u32(b, SmallPe::kPe + 80), 0x4000u);
}

TEST(UninstallerImage, SizeOfImageIsTheExtentOfTheRemainingSections) {
  // The package last in memory: the image ends with .rsrc again.
  SmallPe pe;
  pe.section(1, ".rsrc", 0x80, 0x2000, 0x400, 0x600);
  pe.section(2, ".setup", 0x2100, 0x3000, 0x200, 0xA00);
  put32(pe.file, SmallPe::kPe + 80, 0x6000);
  const package::PackageSection last{SmallPe::kPe, 0x3000, 0x200, 0xA00};
  auto image = build_uninstaller_image(std::span(pe.file).first(0xA00), {}, last);
  ASSERT_TRUE(image);
  EXPECT_EQ(u32(*image, SmallPe::kPe + 80), 0x3000u);
}

TEST(UninstallerImage, HeadersThatDoNotDescribeThePackageGiveNothing) {
  SmallPe pe;
  auto wrong = pe.package();
  wrong.pointer_to_raw_data = 0x800;
  EXPECT_FALSE(build_uninstaller_image(pe.head(), pe.tail(), wrong));
  EXPECT_FALSE(build_uninstaller_image(pe.head().first(0x100), pe.tail(), pe.package()));
  SmallPe broken;
  put32(broken.file, 0x3C, 0x90);
  EXPECT_FALSE(build_uninstaller_image(broken.head(), broken.tail(), broken.package()));
  SmallPe empty;
  empty.file[SmallPe::kPe + 6] = 0;
  EXPECT_FALSE(build_uninstaller_image(empty.head(), empty.tail(), empty.package()));
}

// --- A real program -------------------------------------------------------

bool have(const char* tool) { return std::system((std::string("command -v ") + tool + " >/dev/null 2>&1").c_str()) == 0; }

std::vector<std::uint8_t> read_file(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string run(const std::string& command) {
  std::string out;
  if (FILE* pipe = popen(command.c_str(), "r")) {
    char buffer[4096];
    while (std::size_t n = fread(buffer, 1, sizeof buffer, pipe)) out.append(buffer, n);
    pclose(pipe);
  }
  return out;
}

// Offsets of a section from `objdump -h` ("size vma lma file-offset").
std::optional<std::pair<std::uint32_t, std::uint32_t>> objdump_section(const std::string& listing, const std::string& name) {
  std::istringstream lines(listing);
  std::string line;
  while (std::getline(lines, line)) {
    std::istringstream words(line);
    std::string index, found, size, vma, lma, offset;
    if (words >> index >> found >> size >> vma >> lma >> offset && found == name) {
      return std::make_pair(static_cast<std::uint32_t>(std::stoul(size, nullptr, 16)),
                            static_cast<std::uint32_t>(std::stoul(offset, nullptr, 16)));
    }
  }
  return std::nullopt;
}

// The first free address behind every section of `listing`, on a 64 KiB
// boundary.
std::uint64_t free_address(const std::string& listing) {
  std::istringstream lines(listing);
  std::string line;
  std::uint64_t end = 0;
  while (std::getline(lines, line)) {
    std::istringstream words(line);
    std::string index, name, size, vma;
    if (words >> index >> name >> size >> vma && std::isdigit(static_cast<unsigned char>(index[0]))) {
      end = std::max<std::uint64_t>(end, std::stoull(vma, nullptr, 16) + std::stoull(size, nullptr, 16));
    }
  }
  return (end + 0xFFFF) / 0x10000 * 0x10000;
}

std::string hex(std::uint64_t v) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "0x%llx", static_cast<unsigned long long>(v));
  return buffer;
}

TEST(UninstallerImage, ObjdumpReadsTheResultOfARealProgram) {
  if (!have("i686-w64-mingw32-gcc") || !have("i686-w64-mingw32-objcopy") || !have("i686-w64-mingw32-objdump")) {
    GTEST_SKIP() << "MinGW binutils not installed";
  }
  const fs::path dir = fs::path(HS_BINARY_DIR) / ("test-uninstaller-image-" + std::to_string(::getpid()));
  fs::create_directories(dir);
  const fs::path source = dir / "probe.c", exe = dir / "probe.exe", packed = dir / "packed.exe", blob = dir / "pkg.bin";
  std::ofstream(source) << "int main(void) { return 3; }\n";
  {
    std::ofstream out(blob, std::ios::binary);
    for (int i = 0; i < 5000; ++i) out.put(static_cast<char>(i * 7));
  }
  ASSERT_EQ(std::system(("i686-w64-mingw32-gcc -s -O1 -o " + exe.string() + " " + source.string()).c_str()), 0);
  // The package behind the program's sections, and one more section behind
  // the package, whose entry and data must move up.
  const std::uint64_t address = free_address(run("i686-w64-mingw32-objdump -h " + exe.string()));
  const std::string flags = "contents,alloc,load,readonly,data";
  ASSERT_EQ(std::system(("i686-w64-mingw32-objcopy --add-section .setup=" + blob.string() +
                         " --set-section-flags .setup=" + flags + " --change-section-address .setup=" + hex(address) +
                         " --add-section .after=" + source.string() + " --set-section-flags .after=" + flags +
                         " --change-section-address .after=" + hex(address + 0x10000) + " " + exe.string() + " " +
                         packed.string())
                            .c_str()),
            0);
  const std::string before = run("i686-w64-mingw32-objdump -h " + packed.string());
  auto setup = objdump_section(before, ".setup");
  auto after = objdump_section(before, ".after");
  ASSERT_TRUE(setup && after) << before;
  ASSERT_GT(after->second, setup->second) << before;

  const auto file = read_file(packed);
  const std::uint32_t pe = u32(file, 0x3C);
  package::PackageSection section{pe, 0, 0, setup->second};
  // objdump gives the section's size in memory; the file holds whole
  // FileAlignment blocks, as the section table says.
  const std::size_t table = pe + 24 + (file[pe + 20] | (file[pe + 21] << 8));
  for (std::size_t i = 0; i < file[pe + 6]; ++i) {
    if (u32(file, table + i * 40 + 20) == setup->second) section.size_of_raw_data = u32(file, table + i * 40 + 16);
  }
  ASSERT_NE(section.size_of_raw_data, 0u);
  std::span<const std::uint8_t> all(file);
  auto image = build_uninstaller_image(all.first(section.pointer_to_raw_data),
                                       all.subspan(section.pointer_to_raw_data + section.size_of_raw_data), section);
  ASSERT_TRUE(image);
  const fs::path out = dir / "uninstaller.exe";
  std::ofstream(out, std::ios::binary).write(reinterpret_cast<const char*>(image->data()), image->size());

  const std::string listing = run("i686-w64-mingw32-objdump -h " + out.string() + " 2>&1");
  EXPECT_FALSE(objdump_section(listing, ".setup")) << listing;
  auto moved = objdump_section(listing, ".after");
  ASSERT_TRUE(moved) << listing;
  EXPECT_EQ(moved->second, after->second - section.size_of_raw_data);
  EXPECT_EQ(listing.find("warning"), std::string::npos) << listing;
  // The program's own sections are where they were.
  EXPECT_EQ(objdump_section(listing, ".text"), objdump_section(before, ".text"));
  EXPECT_EQ(objdump_section(listing, ".reloc"), objdump_section(before, ".reloc"));
  // The moved section's bytes are those of the original.
  EXPECT_TRUE(std::equal(file.begin() + after->second, file.begin() + after->second + 16,
                         image->begin() + moved->second));
}

}  // namespace
}  // namespace hs::engine
