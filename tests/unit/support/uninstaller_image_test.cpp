// The uninstaller image: the executable without its package section. A
// small image from the tests' PE builder shows the table edits and the
// certificate of a signed file; a real MinGW program with an
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

#include "support/pe_image.h"
#include "support/uninstaller_image.h"
#include "support/pe_builder.h"

namespace hs::support {
namespace {

namespace fs = std::filesystem;

std::uint32_t u32(const std::vector<std::uint8_t>& b, std::size_t at) { return load_le32(b, at); }

// A PE file with three sections: .text, .setup (the package), .rsrc, at
// file offsets 0x400, 0x600 and 0xA00 and addresses 0x1000, 0x2000, 0x3000.
struct SmallPe {
  test::PeBuilder pe{test::PeOptions{.new_header_offset = 0x80, .size_of_headers = 0x400}};
  PeHeaders headers;
  SmallPe(std::size_t package_size = 0x400, bool package_last = false) {
    pe.section(".text", 0x100, 0x11);
    if (package_last) pe.section(".rsrc", 0x80, 0x5A);
    pe.section(".setup", package_size, 0x77);
    if (!package_last) pe.section(".rsrc", 0x80, 0x5A);
    headers = pe.headers();
    // What follows the table ends up in the freed slot.
    for (std::size_t i = 0; i < 40; ++i) file()[headers.section_entry(3) + i] = static_cast<std::uint8_t>(0xA0 + i);
  }
  std::vector<std::uint8_t>& file() { return pe.bytes(); }
  PeSection package() const { return pe.entry(package_index()); }
  std::size_t package_index() const { return pe.entry(1).name == ".setup" ? 1 : 2; }
  std::span<const std::uint8_t> head() const { return std::span(pe.bytes()).first(package().pointer_to_raw_data); }
  std::span<const std::uint8_t> tail() const {
    const PeSection s = package();
    return std::span(pe.bytes()).subspan(s.pointer_to_raw_data + s.size_of_raw_data);
  }
  std::optional<std::vector<std::uint8_t>> image() const {
    return build_uninstaller_image(head(), tail(), package().pointer_to_raw_data, package().size_of_raw_data);
  }
  // Signs the file as a signing tool does: a certificate table appended
  // behind everything, named by the certificate directory entry.
  void sign(std::size_t certificate_size) {
    const std::size_t at = file().size();
    file().resize(at + certificate_size, 0xCE);
    const std::size_t directory = *data_directory_field(file(), headers, kCertificateDirectory);
    store_u32(file(), directory, static_cast<std::uint32_t>(at));
    store_u32(file(), directory + 4, static_cast<std::uint32_t>(certificate_size));
  }
};

TEST(UninstallerImage, RemovesThePackageSectionFromTheTable) {
  SmallPe pe;
  ASSERT_EQ(pe.package().pointer_to_raw_data, 0x600u);
  ASSERT_EQ(pe.headers.section_count, 3u);
  auto image = pe.image();
  ASSERT_TRUE(image);
  ASSERT_EQ(image->size(), 0x800u);
  const auto& b = *image;
  const std::size_t opt = pe.headers.optional_header();
  EXPECT_EQ(b[pe.headers.new_header_offset + 6], 2);
  EXPECT_EQ(u32(b, opt + kSizeOfInitializedDataField), 0x400u);
  // .rsrc moved up one slot, its data now directly after the headers.
  const std::size_t second = pe.headers.section_entry(1);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&b[second])), ".rsrc");
  EXPECT_EQ(u32(b, second + 20), 0x600u);
  EXPECT_EQ(b[0x600], 0x5A);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&b[pe.headers.section_table()])), ".text");
  EXPECT_EQ(u32(b, pe.headers.section_table() + 20), 0x400u) << "sections before the package keep their place";
  // The freed slot holds the bytes that followed the table.
  for (std::size_t i = 0; i < 40; ++i) EXPECT_EQ(b[pe.headers.section_entry(2) + i], 0xA0 + i);
  // 0x4000 - 0x400 is not a multiple of the section alignment; the image
  // must still cover .rsrc (0x3000 + 0x80) and stay aligned.
  EXPECT_EQ(u32(b, opt + kSizeOfImageField), 0x4000u);
}

TEST(UninstallerImage, SizeOfImageIsTheExtentOfTheRemainingSections) {
  // The package last in memory: the image ends with .rsrc again.
  SmallPe pe(0x2100, true);
  ASSERT_EQ(u32(pe.file(), pe.headers.optional_header() + kSizeOfImageField), 0x6000u);
  auto image = pe.image();
  ASSERT_TRUE(image);
  EXPECT_EQ(u32(*image, pe.headers.optional_header() + kSizeOfImageField), 0x3000u);
}

TEST(UninstallerImage, HeadersThatDoNotDescribeThePackageGiveNothing) {
  SmallPe pe;
  const PeSection s = pe.package();
  EXPECT_FALSE(build_uninstaller_image(pe.head(), pe.tail(), 0x800, s.size_of_raw_data));
  EXPECT_FALSE(build_uninstaller_image(pe.head().first(0x100), pe.tail(), s.pointer_to_raw_data, s.size_of_raw_data));
  SmallPe broken;
  store_u32(broken.file(), 0x3C, 0x90);
  EXPECT_FALSE(broken.image());
  SmallPe empty;
  empty.file()[empty.headers.new_header_offset + 6] = 0;
  EXPECT_FALSE(empty.image());
}

// A signed installer: the signature covered the package, so the image made
// without it leaves the certificate out and is unsigned.
TEST(UninstallerImage, ASignedFileGivesAnUnsignedImage) {
  SmallPe signed_file;
  signed_file.sign(0x328);
  auto image = signed_file.image();
  ASSERT_TRUE(image);
  SmallPe unsigned_file;
  auto plain = unsigned_file.image();
  ASSERT_TRUE(plain);
  EXPECT_EQ(*image, *plain) << "no certificate bytes and no directory entry left";
  const PeDataDirectory left = certificate_table(*image, signed_file.headers);
  EXPECT_EQ(left.address, 0u);
  EXPECT_EQ(left.size, 0u);

  // A certificate table that does not end the file is not cut out (it is
  // not where a signing tool leaves one); the entry is cleared all the same.
  SmallPe odd;
  odd.sign(0x100);
  odd.file().push_back(0x42);
  auto kept = odd.image();
  ASSERT_TRUE(kept);
  EXPECT_EQ(kept->size(), plain->size() + 0x101);
  EXPECT_EQ(certificate_table(*kept, odd.headers).size, 0u);
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
  struct {
    std::uint32_t pointer_to_raw_data, size_of_raw_data;
  } section{setup->second, 0};
  // objdump gives the section's size in memory; the file holds whole
  // FileAlignment blocks, as the section table says.
  const std::size_t table = pe + 24 + (file[pe + 20] | (file[pe + 21] << 8));
  for (std::size_t i = 0; i < file[pe + 6]; ++i) {
    if (u32(file, table + i * 40 + 20) == setup->second) section.size_of_raw_data = u32(file, table + i * 40 + 16);
  }
  ASSERT_NE(section.size_of_raw_data, 0u);
  std::span<const std::uint8_t> all(file);
  auto image = build_uninstaller_image(all.first(section.pointer_to_raw_data),
                                       all.subspan(section.pointer_to_raw_data + section.size_of_raw_data),
                                       section.pointer_to_raw_data, section.size_of_raw_data);
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
}  // namespace hs::support
