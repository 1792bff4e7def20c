// The package in a real PE file: attached by the writer and by binutils'
// objcopy, read back, checked by objdump; the section lookup rules and the
// engine CRC; the hpack commands end to end.
#include <unistd.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "package/engine_protection.h"
#include "package/package_section.h"
#include "support/package_fixture.h"
#include "packwriter/pe_image.h"

namespace hs::package::test {
namespace {

namespace fs = std::filesystem;

// One folder per test process: CTest runs the cases of this file side by side.
const fs::path kDir = fs::path(HS_BINARY_DIR) / ("package_test_pe-" + std::to_string(::getpid()));

Bytes read_file(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}
void write_file(const fs::path& path, const Bytes& bytes) {
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}
int run(const std::string& command) { return std::system((command + " > " + (kDir / "out.txt").string() + " 2>&1").c_str()); }
std::string output() {
  const Bytes b = read_file(kDir / "out.txt");
  return std::string(b.begin(), b.end());
}
using support::load_le32;
const auto get_u32 = [](const Bytes& d, std::size_t at) { return load_le32(d, at); };

// What a search found, for tables of cases.
enum class Found { kSection, kMissing, kDamaged };
Found found(const SectionSearch& search) {
  if (!search) return Found::kDamaged;
  return *search ? Found::kSection : Found::kMissing;
}

// The section of an installer as the engine reads it, and everything in it.
struct Opened {
  SectionSearch search = std::optional<PackageSection>();
  ReadOutcome read;
};
Opened open_installer(const Bytes& file, bool compressed = true) {
  Opened o;
  o.search = find_package_section(std::span(file).first(std::min(file.size(), kPeHeaderReadSize)));
  if (found(o.search) == Found::kSection) {
    const auto& s = **o.search;
    o.read = read_section(std::span(file).subspan(s.pointer_to_raw_data, std::min<std::size_t>(s.size_of_raw_data, file.size() - s.pointer_to_raw_data)), compressed);
  }
  return o;
}

class PeFile : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    fs::create_directories(kDir);
    std::ofstream(kDir / "stub.c") << "int main(void) { return 0; }\n";
    available_ = run("i686-w64-mingw32-gcc -s -O1 -o " + (kDir / "stub.exe").string() + " " + (kDir / "stub.c").string()) == 0;
  }
  void SetUp() override {
    if (!available_) GTEST_SKIP() << "i686-w64-mingw32-gcc not available";
    stub_ = read_file(kDir / "stub.exe");
    entries_ = {entry("readme.txt", to_bytes("Read me.\r\n")), entry("app.exe", pattern(20000, 5), 9)};
    entries_[1].first_argument = "1.0.2";
    package_ = tools::build_package(settings_bytes(true, 1), entries_, {});
  }
  static inline bool available_ = false;
  Bytes stub_, package_;
  std::vector<tools::WriterEntry> entries_;
};

TEST_F(PeFile, AttachedPackageReadsBackWithItsEngineCrc) {
  const Bytes installer = tools::attach_package(stub_, package_);
  const Opened o = open_installer(installer);
  ASSERT_EQ(found(o.search), Found::kSection);
  ASSERT_EQ(o.read.damage, damage::kNone);
  ASSERT_EQ(o.read.data.size(), 2u);
  EXPECT_EQ(o.read.data[1], entries_[1].data);

  const auto& s = **o.search;
  const support::PeHeaders pe = tools::read_stub_headers(installer);
  const std::uint32_t file_alignment = get_u32(installer, pe.optional_header() + support::kFileAlignmentField);
  const std::uint32_t section_alignment = get_u32(installer, pe.optional_header() + support::kSectionAlignmentField);
  EXPECT_EQ(s.pointer_to_raw_data % file_alignment, 0u);
  EXPECT_EQ(s.virtual_address % section_alignment, 0u);
  EXPECT_EQ(s.size_of_raw_data % file_alignment, 0u);
  EXPECT_EQ(get_u32(installer, pe.optional_header() + support::kSizeOfImageField) % section_alignment, 0u);
  EXPECT_GE(get_u32(installer, pe.optional_header() + support::kSizeOfImageField), s.virtual_address + package_.size());
  EXPECT_EQ(installer.size(), std::size_t{s.pointer_to_raw_data} + s.size_of_raw_data);
  // Same inputs, same bytes.
  EXPECT_EQ(tools::attach_package(stub_, package_), installer);

  const HeaderRead header = read_package_header(std::span(installer).subspan(s.pointer_to_raw_data));
  const auto prefix = std::span(installer).first(s.pointer_to_raw_data);
  EXPECT_EQ(check_engine_crc(prefix, s, *header), damage::kNone);
  // The PE checksum lies in front of the protected range and may change.
  Bytes resummed = installer;
  set_u32(resummed, pe.checksum_field(), 0x12345678);
  EXPECT_EQ(check_engine_crc(std::span(resummed).first(s.pointer_to_raw_data), s, *header), damage::kNone);
  // A changed byte of the engine code is damage code 40.
  Bytes patched = installer;
  patched[0x500] ^= 0xFF;
  EXPECT_EQ(check_engine_crc(std::span(patched).first(s.pointer_to_raw_data), s, *header), damage::kEngineCrc);
}

TEST_F(PeFile, ObjcopyAttachedPackageReadsTheSame) {
  write_file(kDir / "package.bin", package_);
  ASSERT_EQ(run("i686-w64-mingw32-objcopy --add-section .setup=" + (kDir / "package.bin").string() +
                " --set-section-flags .setup=contents,alloc,load,readonly,data " + (kDir / "stub.exe").string() + " " +
                (kDir / "objcopy.exe").string()),
            0)
      << output();
  const Opened theirs = open_installer(read_file(kDir / "objcopy.exe"));
  const Opened ours = open_installer(tools::attach_package(stub_, package_));
  ASSERT_EQ(found(theirs.search), Found::kSection);
  ASSERT_EQ(theirs.read.damage, damage::kNone);
  EXPECT_EQ(theirs.read.settings, ours.read.settings);
  EXPECT_EQ(theirs.read.data, ours.read.data);
  ASSERT_EQ(theirs.read.entries.size(), ours.read.entries.size());
  for (std::size_t i = 0; i < ours.read.entries.size(); ++i) {
    EXPECT_EQ(theirs.read.entries[i].name, ours.read.entries[i].name);
    EXPECT_EQ(theirs.read.entries[i].first_argument, ours.read.entries[i].first_argument);
  }
}

TEST_F(PeFile, ObjdumpAcceptsTheInstaller) {
  write_file(kDir / "ours.exe", tools::attach_package(stub_, package_));
  ASSERT_EQ(run("i686-w64-mingw32-objdump -h " + (kDir / "ours.exe").string()), 0) << output();
  char size[16];
  std::snprintf(size, sizeof size, "%08zx", package_.size());
  const std::string text = output();
  EXPECT_NE(text.find(".setup"), std::string::npos) << text;
  EXPECT_NE(text.find(size), std::string::npos) << text;
}

TEST_F(PeFile, SectionLookupRules) {
  const Bytes installer = tools::attach_package(stub_, package_);
  const support::PeHeaders pe = tools::read_stub_headers(installer);
  const std::size_t setup_entry = pe.section_entry(pe.section_count - 1);
  struct Case {
    const char* what;
    std::function<void(Bytes&)> change;
    Found outcome;
    DamageCode damage;
  };
  const Case cases[] = {
      {"as attached (.setup is not the first section)", [](Bytes&) {}, Found::kSection, 0},
      {"e_lfanew 63", [](Bytes& f) { f[60] = 63; f[61] = 0; }, Found::kDamaged, damage::kNewHeaderOffset},
      {"e_lfanew 4097", [](Bytes& f) { f[60] = 0x01; f[61] = 0x10; }, Found::kDamaged, damage::kNewHeaderOffset},
      {"3 sections", [&](Bytes& f) { f[pe.new_header_offset + 6] = 3; f[pe.new_header_offset + 7] = 0; },
       Found::kDamaged, damage::kSectionCount},
      {"100 sections", [&](Bytes& f) { f[pe.new_header_offset + 6] = 100; f[pe.new_header_offset + 7] = 0; },
       Found::kDamaged, damage::kSectionCount},
      {"PointerToRawData 0", [&](Bytes& f) { set_u32(f, setup_entry + 20, 0); }, Found::kDamaged,
       damage::kNoPointerToRawData},
      {"name .setupX", [&](Bytes& f) { f[setup_entry + 6] = 'X'; }, Found::kMissing, 0},
      {"name .setup then a NUL and more", [&](Bytes& f) { f[setup_entry + 7] = 'Z'; }, Found::kSection, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Bytes file = installer;
    c.change(file);
    const SectionSearch s = find_package_section(file);
    EXPECT_EQ(found(s), c.outcome);
    EXPECT_EQ(s.error(), c.damage);
  }
  EXPECT_EQ(found(find_package_section(stub_)), Found::kMissing);
  EXPECT_EQ(find_package_section(std::span(installer).first(pe.section_entry(1))).error(), damage::kSectionCount);
}

TEST_F(PeFile, AttachRefusesWhatItCannotDoCleanly) {
  const Bytes installer = tools::attach_package(stub_, package_);
  EXPECT_THROW(tools::attach_package(installer, package_), std::runtime_error);  // already has .setup
  const support::PeHeaders pe = tools::read_stub_headers(stub_);
  Bytes full = stub_;
  set_u32(full, pe.optional_header() + support::kSizeOfHeadersField, static_cast<std::uint32_t>(pe.section_entry(pe.section_count)));
  EXPECT_THROW(tools::attach_package(full, package_), std::runtime_error);  // no room for the entry
  Bytes signed_stub = stub_;
  set_u32(signed_stub, *support::data_directory_field(stub_, pe, support::kCertificateDirectory) + 4, 0x100);
  EXPECT_THROW(tools::attach_package(signed_stub, package_), std::runtime_error);
  EXPECT_THROW(tools::attach_package(Bytes(100, 0), package_), std::runtime_error);
}

// hpack on the command line: build from a settings file and a file list,
// then list, verify and extract; verify reports a damaged installer.
TEST_F(PeFile, HpackCommands) {
  const fs::path hpack = fs::path(HS_BINARY_DIR) / "tools" / "hpack";
  if (!fs::exists(hpack)) GTEST_SKIP() << "hpack not built";
  const fs::path work = kDir / "hpack";
  fs::remove_all(work);
  fs::create_directories(work / "src");
  write_file(work / "settings.bin", settings_bytes(true, 1));
  write_file(work / "src" / "a.txt", to_bytes("alpha"));
  write_file(work / "src" / "b.dll", pattern(4000, 9));
  std::ofstream(work / "files.lst") << "# sources\nsrc/a.txt\tdate=2023-01-02 03:04:05\tdest=%APPDIR%\\docs\n"
                                    << "src/b.dll\tkind=7\targ1=4.5.6\tname=lib\\b.dll\n";
  const std::string h = hpack.string() + " ";
  ASSERT_EQ(run(h + "build -s " + (work / "settings.bin").string() + " -f " + (work / "files.lst").string() +
                " --stub " + (kDir / "stub.exe").string() + " --key 0011223344556677 --chunk-size 1K -o " +
                (work / "setup.exe").string()),
            0)
      << output();
  ASSERT_EQ(run(h + "verify " + (work / "setup.exe").string()), 0) << output();
  EXPECT_NE(output().find("OK: 2 entries"), std::string::npos) << output();
  ASSERT_EQ(run(h + "list " + (work / "setup.exe").string()), 0) << output();
  EXPECT_NE(output().find("2023-01-02 03:04:05"), std::string::npos) << output();
  EXPECT_NE(output().find("4.5.6"), std::string::npos) << output();
  EXPECT_NE(output().find("a.txt -> %APPDIR%\\docs"), std::string::npos) << output();
  ASSERT_EQ(run(h + "extract -d " + (work / "out").string() + " " + (work / "setup.exe").string()), 0) << output();
  EXPECT_EQ(read_file(work / "out" / "lib" / "b.dll"), pattern(4000, 9));

  Bytes damaged = read_file(work / "setup.exe");
  damaged[damaged.size() - 600] ^= 0x01;  // inside the payload (or its zero padding)
  damaged[0x600] ^= 0x01;                 // engine code: damage code 40
  write_file(work / "damaged.exe", damaged);
  EXPECT_EQ(WEXITSTATUS(run(h + "verify " + (work / "damaged.exe").string())), 2);
  EXPECT_NE(output().find("damage code 40"), std::string::npos) << output();
  EXPECT_EQ(WEXITSTATUS(run(h + "verify --skip-engine-check -q " + (work / "stub.exe").string())), 1);
  EXPECT_EQ(WEXITSTATUS(run(h + "verify " + (kDir / "stub.exe").string())), 2);
  EXPECT_NE(output().find("no .setup section"), std::string::npos) << output();
  EXPECT_EQ(WEXITSTATUS(run(h + "build --help")), 0);
}

}  // namespace
}  // namespace hs::package::test
