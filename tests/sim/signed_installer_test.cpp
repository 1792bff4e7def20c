// Signed installers: a certificate made here with openssl, the demo project
// built by hpack and signed by osslsigncode through --sign-command, then
// checked by hpack verify and osslsigncode verify and installed on the
// simulated machine with protection by CRC. A package that asks for an
// uninstaller without the package gets an unsigned one (the signature
// covered the package) and hpack says so.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "package/package_section.h"
#include "support/pe_image.h"
#include "support/uninstaller_image.h"

namespace hs {
namespace {

namespace fs = std::filesystem;

const fs::path kDir = fs::path(HS_BINARY_DIR) / ("signed-installer-" + std::to_string(::getpid()));
const fs::path kHpack = fs::path(HS_BINARY_DIR) / "tools" / "hpack";

std::string quoted(const fs::path& path) { return "'" + path.string() + "'"; }

struct Ran {
  int code = -1;
  std::string output;
};
Ran run(const std::string& command) {
  const fs::path out = kDir / "out.txt";
  const int status = std::system((command + " > " + quoted(out) + " 2>&1").c_str());
  std::ifstream in(out, std::ios::binary);
  return Ran{WIFEXITED(status) ? WEXITSTATUS(status) : -1,
             std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>())};
}

std::vector<std::uint8_t> read_file(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

support::PeDataDirectory certificate_of(const fs::path& path) {
  const auto file = read_file(path);
  const auto headers = support::read_pe_headers(file);
  return headers ? support::certificate_table(file, *headers) : support::PeDataDirectory{};
}

class SignedInstaller : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    fs::create_directories(kDir);
    for (const char* tool : {"openssl", "osslsigncode", "i686-w64-mingw32-gcc"}) {
      if (run(std::string("command -v ") + tool).code != 0) missing_ = std::string(tool) + " not installed";
    }
    if (!fs::exists(kHpack)) missing_ = "hpack not built";
    if (!missing_.empty()) return;
    std::ofstream(kDir / "stub.c") << "int main(void) { return 0; }\n";
    const Ran stub = run("i686-w64-mingw32-gcc -s -O1 -o " + quoted(kDir / "stub.exe") + " " + quoted(kDir / "stub.c"));
    // A self-signed code-signing certificate of this test alone.
    const Ran certificate = run("openssl req -x509 -newkey rsa:2048 -nodes -days 30 -subj '/CN=Halvorend Test Signer' "
                                "-addext extendedKeyUsage=codeSigning -keyout " + quoted(kDir / "key.pem") +
                                " -out " + quoted(kDir / "cert.pem"));
    if (stub.code != 0 || certificate.code != 0) missing_ = "set-up failed: " + stub.output + certificate.output;
  }
  void SetUp() override {
    if (!missing_.empty()) GTEST_SKIP() << missing_;
  }
  static std::string sign_command() {
    return "osslsigncode sign -certs " + quoted(kDir / "cert.pem") + " -key " + quoted(kDir / "key.pem") +
           " -n 'Halvorend Demo' -in {in} -out {out}";
  }
  // hpack build PROJECT with `extra` arguments; the installer is OUTPUT.
  static Ran build(const fs::path& project, const fs::path& output, const std::string& extra = "") {
    return run(quoted(kHpack) + " build " + quoted(project) + " --stub " + quoted(kDir / "stub.exe") + " -o " +
               quoted(output) + " " + extra);
  }
  static Ran install(const fs::path& installer, const std::string& machine) {
    const fs::path root = kDir / machine;
    fs::remove_all(root);
    return run(std::string(HS_SIM_TOOL) + " --root " + quoted(root) + " --transcript - " + quoted(installer) + " /silent");
  }
  static inline std::string missing_;
};

TEST_F(SignedInstaller, TheSignedDemoPassesEveryCheck) {
  const fs::path demo = fs::path(HS_SOURCE_DIR) / "examples" / "demo" / "demo.toml";
  const fs::path plain = kDir / "demo.exe", signed_exe = kDir / "demo-signed.exe";
  ASSERT_EQ(build(demo, plain).code, 0);
  const Ran built = build(demo, signed_exe, "--sign-command \"" + sign_command() + "\"");
  ASSERT_EQ(built.code, 0) << built.output;
  EXPECT_NE(built.output.find("signature present"), std::string::npos) << built.output;
  EXPECT_FALSE(fs::exists(kDir / "demo-signed.unsigned.exe")) << "the unsigned copy is removed";

  // The signature is sound in the eyes of the tool that made it, and the
  // certificate table follows the package.
  const Ran checked = run("osslsigncode verify -CAfile " + quoted(kDir / "cert.pem") + " " + quoted(signed_exe));
  EXPECT_EQ(checked.code, 0) << checked.output;
  const support::PeDataDirectory certificate = certificate_of(signed_exe);
  EXPECT_EQ(certificate.address, fs::file_size(plain));
  EXPECT_EQ(std::uint64_t{certificate.address} + certificate.size, fs::file_size(signed_exe));
  EXPECT_EQ(certificate_of(plain).size, 0u);

  const Ran verified = run(quoted(kHpack) + " verify " + quoted(signed_exe));
  EXPECT_EQ(verified.code, 0) << verified.output;
  EXPECT_NE(verified.output.find("engine protection by CRC: ok"), std::string::npos) << verified.output;
  EXPECT_NE(verified.output.find("signature: present (certificate table of " + std::to_string(certificate.size) +
                                 " bytes at offset " + std::to_string(certificate.address) + ")"),
            std::string::npos)
      << verified.output;
  EXPECT_NE(run(quoted(kHpack) + " verify " + quoted(plain)).output.find("signature: none"), std::string::npos);
  EXPECT_NE(run(quoted(kHpack) + " info " + quoted(signed_exe)).output.find("  signature: present ("),
            std::string::npos);

  // The engine accepts it: protection by CRC, the whole installation.
  const Ran installed = install(signed_exe, "demo-signed");
  EXPECT_EQ(installed.code, 0) << installed.output;
  // Signed after the fact, outside hpack, the same.
  const Ran resigned = run("osslsigncode sign -certs " + quoted(kDir / "cert.pem") + " -key " + quoted(kDir / "key.pem") +
                           " -in " + quoted(plain) + " -out " + quoted(kDir / "demo-later.exe"));
  ASSERT_EQ(resigned.code, 0) << resigned.output;
  EXPECT_EQ(install(kDir / "demo-later.exe", "demo-later").code, 0);
}

TEST_F(SignedInstaller, AnUninstallerWithoutThePackageIsUnsigned) {
  std::ofstream(kDir / "readme.txt") << "read me\r\n";
  std::ofstream(kDir / "cut.toml") << "[product]\nname = \"Cut Probe\"\nversion = \"1.0\"\n"
                                   << "[options]\nhas_uninstaller = true\nuninstaller_without_package = true\n"
                                   << "[build]\nsign_command = \"" << sign_command() << "\"\n"
                                   << "[[files]]\nsource = \"readme.txt\"\n";
  const fs::path signed_exe = kDir / "cut-signed.exe";
  const Ran built = build(kDir / "cut.toml", signed_exe);
  ASSERT_EQ(built.code, 0) << built.output;
  EXPECT_NE(built.output.find("uninstaller_without_package is set: the uninstaller is cut out of the signed installer "
                              "and is not signed"),
            std::string::npos)
      << built.output;
  ASSERT_GT(certificate_of(signed_exe).size, 0u);

  const Ran installed = install(signed_exe, "cut-signed");
  ASSERT_EQ(installed.code, 0) << installed.output;

  // The image the engine copies as the uninstaller (start-up step 11): no
  // certificate directory entry and no certificate bytes, the stub again.
  const auto file = read_file(signed_exe);
  const auto search = package::find_package_section(file);
  ASSERT_TRUE(search && *search);
  const auto& section = **search;
  const auto image = support::build_uninstaller_image(
      std::span(file).first(section.pointer_to_raw_data),
      std::span(file).subspan(section.pointer_to_raw_data + section.size_of_raw_data), section.pointer_to_raw_data,
      section.size_of_raw_data);
  ASSERT_TRUE(image);
  const fs::path uninstaller = kDir / "cut-uninstaller.exe";
  std::ofstream(uninstaller, std::ios::binary).write(reinterpret_cast<const char*>(image->data()), image->size());
  const support::PeDataDirectory left = certificate_of(uninstaller);
  EXPECT_EQ(left.address, 0u);
  EXPECT_EQ(left.size, 0u);
  EXPECT_EQ(fs::file_size(uninstaller), (fs::file_size(kDir / "stub.exe") + 511) / 512 * 512);
  const Ran checked = run("osslsigncode verify " + quoted(uninstaller));
  EXPECT_NE(checked.code, 0);
  EXPECT_NE(checked.output.find("No signature found"), std::string::npos) << checked.output;
}

TEST_F(SignedInstaller, ASignCommandThatFailsLeavesNoInstaller) {
  const fs::path demo = fs::path(HS_SOURCE_DIR) / "examples" / "demo" / "demo.toml";
  const fs::path output = kDir / "failed.exe";
  // Changes a byte of the engine code, then signs.
  std::ofstream(kDir / "tamper.sh") << "printf X | dd of=\"$1\" bs=1 seek=1024 conv=notrunc 2>/dev/null\n"
                                    << "exec osslsigncode sign -certs " << quoted(kDir / "cert.pem") << " -key "
                                    << quoted(kDir / "key.pem") << " -in \"$1\" -out \"$2\"\n";
  struct Case {
    const char* what;
    std::string command;
    std::string message;
  };
  const Case cases[] = {
      {"the command fails", "false {in} {out}", "sign command: ended with exit code 1"},
      {"no signature", "cp {in} {out}", "sign command: left no signature"},
      {"no output", "true {in} {out}", "sign command: wrote no"},
      {"a signature over a changed engine", "sh " + quoted(kDir / "tamper.sh") + " {in} {out}",
       "the signed installer fails the engine's checks: damage code 40"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const Ran built = build(demo, output, "--sign-command \"" + c.command + "\"");
    EXPECT_EQ(built.code, 1) << built.output;
    EXPECT_NE(built.output.find(c.message), std::string::npos) << built.output;
    EXPECT_FALSE(fs::exists(output));
    EXPECT_FALSE(fs::exists(kDir / "failed.unsigned.exe"));
  }
}

}  // namespace
}  // namespace hs
