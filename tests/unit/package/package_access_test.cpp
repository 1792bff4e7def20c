// The engine's access to its own package on the simulated machine: opening
// itself, the damage report and its exits, the payload with its progress,
// and the own-file reads with their error texts.
#include <unistd.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "engine/session.h"
#include "package/damage.h"
#include "package/engine_protection.h"
#include "package/package_access.h"
#include "support/package_fixture.h"
#include "packwriter/pe_image.h"
#include "platform/sim/sim_machine.h"
#include "support/pe_image.h"

namespace hs::package::test {
namespace {

namespace fs = std::filesystem;
using platform::sim::ProcessExit;
using platform::sim::SimMachine;

// One folder per test process: CTest runs the cases of this file side by side.
const fs::path kDir = fs::path(HS_BINARY_DIR) / ("package_test_access-" + std::to_string(::getpid()));

class PackageAccess : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    fs::create_directories(kDir);
    std::ofstream(kDir / "stub.c") << "int main(void) { return 0; }\n";
    const std::string command = "i686-w64-mingw32-gcc -s -O1 -o " + (kDir / "stub.exe").string() + " " +
                                (kDir / "stub.c").string() + " > /dev/null 2>&1";
    available_ = std::system(command.c_str()) == 0;
  }
  static void TearDownTestSuite() { fs::remove_all(kDir); }
  void SetUp() override {
    if (!available_) GTEST_SKIP() << "i686-w64-mingw32-gcc not available";
    std::ifstream in(kDir / "stub.exe", std::ios::binary);
    stub_.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    entries_ = {entry("one.txt", to_bytes("1")), entry("two.bin", pattern(3000, 4)), entry("three", {})};
    root_ = kDir / ::testing::UnitTest::GetInstance()->current_test_info()->name();
    fs::remove_all(root_);
  }

  Bytes installer(tools::PackageOptions options = {}) {
    options.chunk_size = 1024;
    return tools::attach_package(stub_, tools::build_package(settings_bytes(true), entries_, options));
  }
  // Starts the machine with `file` as the running executable.
  void start(const Bytes& file, bool silent = false) {
    const fs::path host = root_.string() + "-setup.exe";
    std::ofstream(host, std::ios::binary).write(reinterpret_cast<const char*>(file.data()), file.size());
    machine_ = std::make_unique<SimMachine>(root_);
    machine_->put_file(host, u"C:\\setup.exe");
    session_ = std::make_unique<engine::Session>(machine_->system());
    session_->modes.silent = silent;
    session_->modes.automatic = silent;
  }
  template <typename F>
  int exit_code_of(F body) {
    try {
      body();
    } catch (const ProcessExit& e) {
      return e.code;
    }
    ADD_FAILURE() << "the process did not end";
    return 0;
  }

  static inline bool available_ = false;
  Bytes stub_;
  std::vector<tools::WriterEntry> entries_;
  fs::path root_;
  std::unique_ptr<SimMachine> machine_;
  std::unique_ptr<engine::Session> session_;
};

// A signature as a signing tool leaves it: the certificate directory entry
// and a certificate table appended behind the package.
Bytes signed_copy(Bytes file) {
  const support::PeHeaders headers = *support::read_pe_headers(file);
  const std::size_t directory = *support::data_directory_field(file, headers, support::kCertificateDirectory);
  support::store_u32(file, directory, static_cast<std::uint32_t>(file.size()));
  support::store_u32(file, directory + 4, 0x6A0);
  file.resize(file.size() + 0x6A0, 0x82);
  support::update_pe_checksum(file, headers);
  return file;
}

// Also signed: the certificate behind the package is part of no check, and
// the payload read from the file is its payload-size bytes, not the rest of
// the file.
TEST_F(PackageAccess, OpensItselfAndHandsOutEveryEntry) {
  for (int run = 0; run < 4; ++run) {
    const bool from_file = run & 1, is_signed = run & 2;
    SCOPED_TRACE(std::string(from_file ? "from the file" : "in place") + (is_signed ? ", signed" : ""));
    const Bytes file = installer({.cipher_key = std::array<std::uint8_t, 8>{1, 1, 2, 3, 5, 8, 13, 21}});
    start(is_signed ? signed_copy(file) : file);
    auto package = open_package(*session_);
    EXPECT_EQ(package->settings, settings_bytes(true));
    check_settings_crc(*session_, *package);
    protect_engine(*session_, *package, kProtectionCrc);
    protect_engine(*session_, *package, kProtectionSignature);  // not available here: goes on

    std::vector<int> positions, statuses;
    PayloadAccess payload(*session_, *package, from_file, true,
                          {[&](int m) { statuses.push_back(m); }, [&](int p) { positions.push_back(p); }});
    for (std::uint32_t i = 0; i < payload.entry_count(); ++i) {
      const PayloadEntry e = payload.next_entry();
      EXPECT_EQ(e.name, entries_[i].name);
      EXPECT_EQ(Bytes(e.data.begin(), e.data.end()), entries_[i].data);
    }
    payload.finish();
    EXPECT_EQ(statuses, (std::vector<int>{62, 54}));
    EXPECT_EQ(positions, (std::vector<int>{21, 26, 28, 48, 69}));
  }
}

TEST_F(PackageAccess, DamageReportShowsTheCodeAndEndsWithTwo) {
  Bytes file = installer();
  file[0x500] ^= 1;  // engine code
  start(file);
  auto package = open_package(*session_);
  EXPECT_EQ(exit_code_of([&] { protect_engine(*session_, *package, kProtectionCrc); }), kDamageExitCode);
  const auto& shown = machine_->ui().transcript();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].caption, u"Error");
  EXPECT_NE(shown[0].text.find(u"This installation program is corrupt."), std::u16string::npos);
  EXPECT_NE(shown[0].text.find(u"\r\n\r\nError code: 40"), std::u16string::npos);
  EXPECT_NE(session_->failure_summary.find(u"Error code: 40"), std::u16string::npos);
}

TEST_F(PackageAccess, SilentDamageReportShowsNothing) {
  Bytes file = installer();
  const auto section = find_package_section(file).value().value();
  file[section.pointer_to_raw_data] ^= 1;  // magic
  start(file, true);
  EXPECT_EQ(exit_code_of([&] { open_package(*session_); }), kDamageExitCode);
  EXPECT_TRUE(machine_->ui().transcript().empty());
  EXPECT_NE(session_->failure_summary.find(u"Error code: 20"), std::u16string::npos);
}

TEST_F(PackageAccess, SystemErrorLineAndMessageThirteen) {
  start(installer());
  session_->message = [](int n) -> std::u16string { return n == 13 ? u"Broken (%d)." : u""; };
  EXPECT_EQ(damage_report_text(*session_, 1001, 0x800B0100, u"No signature."),
            u"Broken (1001).\r\nSystem error, code 2148204800: No signature.");
  EXPECT_EQ(damage_report_text(*session_, 62, 0, u"ignored"), u"Broken (62).");
}

TEST_F(PackageAccess, FatalStartsEndWithMinusOne) {
  start(stub_);
  EXPECT_EQ(exit_code_of([&] { open_package(*session_); }), -1);
  ASSERT_EQ(machine_->ui().transcript().size(), 1u);
  EXPECT_EQ(machine_->ui().transcript()[0].text, kNoPackageText);

  Bytes other = installer();
  other[find_package_section(other).value()->pointer_to_raw_data + 5] = '4';  // "44.0"
  start(other);
  EXPECT_EQ(exit_code_of([&] { open_package(*session_); }), -1);
  ASSERT_EQ(machine_->ui().transcript().size(), 1u);
  EXPECT_EQ(machine_->ui().transcript()[0].text,
            u"The installer version (45.0) does not match the version of Halvorend Setup (44.0).  Close all "
            u"applications and reinstall Halvorend Setup.");
}

TEST_F(PackageAccess, PayloadFromFileReadsExactlyItsSize) {
  // A payload size beyond the end of the file: 46 from the file (where
  // reading everything up to the end would overflow), 46 in place as well.
  Bytes file = installer();
  const auto section = find_package_section(file).value().value();
  set_u32(file, section.pointer_to_raw_data + 33, 0x7FFFFFF0);
  for (bool from_file : {true, false}) {
    start(file);
    auto package = open_package(*session_);
    EXPECT_EQ(exit_code_of([&] { PayloadAccess(*session_, *package, from_file, true); }), kDamageExitCode);
    EXPECT_NE(session_->failure_summary.find(u"Error code: 46"), std::u16string::npos);
  }
}

TEST_F(PackageAccess, OwnFileReadsAndTheirErrors) {
  start(Bytes{'0', '1', '2', '3', '4', '5', '6', '7', '8', '9'});
  OwnFile file;
  EXPECT_EQ(file.read_at(0, 1).error().text, u"File not open");
  ASSERT_EQ(file.open(machine_->system().files, u"C:\\setup.exe"), 0u);
  EXPECT_EQ(file.size(), 10u);
  const auto read = file.read_at(3, 4);
  ASSERT_TRUE(read);
  EXPECT_EQ((*read), to_bytes("3456"));
  EXPECT_TRUE(file.read_at(10, 0));
  EXPECT_EQ(file.read_at(8, 3).error().text, u"Read past end of file");
  EXPECT_EQ(file.read_at(0, -1).error().text, u"Illegal block size -1");
  EXPECT_EQ(file.read_prefix(10)->size(), 10u);
  EXPECT_EQ(file.read_prefix(11).error().text, u"Read past end of file");
  EXPECT_NE(file.open(machine_->system().files, u"C:\\missing.exe"), 0u);

  // The file position is the same after a read as before it.
  auto opened = machine_->system().files.open(u"C:\\setup.exe", platform::OpenMode::kRead);
  ASSERT_TRUE(opened);
  platform::File* raw = opened->get();
  ASSERT_TRUE(raw->seek(7));
  OwnFile adopted;
  adopted.adopt(std::move(*opened), 10, true);
  EXPECT_TRUE(adopted.read_at(0, 5));
  EXPECT_EQ(*raw->position(), 7u);

  auto write_only = machine_->system().files.open(u"C:\\setup.exe", platform::OpenMode::kReadWrite);
  OwnFile no_read;
  no_read.adopt(std::move(*write_only), 10, false);
  EXPECT_EQ(no_read.read_at(0, 1).error().text, u"Read access denied");
}

}  // namespace
}  // namespace hs::package::test
