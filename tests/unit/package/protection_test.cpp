// Engine protection: the engine CRC of a signed installer, and by
// signature the outcome table and which outcomes stop the run.
#include <gtest/gtest.h>

#include "package/engine_protection.h"
#include "package/package_section.h"
#include "support/package_fixture.h"
#include "packwriter/pe_image.h"
#include "support/pe_builder.h"

namespace hs::package {
namespace {

// Signing writes the certificate directory entry (inside the protected
// range) and appends the certificate behind the package: neither changes
// the engine CRC, in a PE32 and in a PE32+ engine. Any other byte of the
// optional header still does.
TEST(EngineCrc, SigningLeavesItAsItWas) {
  for (const bool pe32_plus : {false, true}) {
    SCOPED_TRACE(pe32_plus ? "PE32+" : "PE32");
    hs::test::PeBuilder stub(hs::test::PeOptions{.pe32_plus = pe32_plus});
    stub.section(".text", 0x300, 0x90).section(".rdata", 0x80, 0x11).section(".data", 0x40, 0x22);
    const test::Bytes package = tools::build_package(test::settings_bytes(false, kProtectionCrc), {}, {});
    std::vector<std::uint8_t> installer = tools::attach_package(stub.bytes(), package);
    const SectionSearch search = find_package_section(installer);
    ASSERT_TRUE(search && *search);
    const PackageSection& section = **search;
    const HeaderRead header = read_package_header(std::span(installer).subspan(section.pointer_to_raw_data));
    ASSERT_TRUE(header);
    auto check = [&](const std::vector<std::uint8_t>& file) {
      return check_engine_crc(std::span(file).first(section.pointer_to_raw_data), section, *header);
    };
    ASSERT_EQ(check(installer), damage::kNone);

    const support::PeHeaders headers = *support::read_pe_headers(installer);
    const std::size_t directory = *support::data_directory_field(installer, headers, support::kCertificateDirectory);
    EXPECT_EQ(directory, headers.optional_header() + (pe32_plus ? 144u : 128u));
    std::vector<std::uint8_t> signed_installer = installer;
    support::store_u32(signed_installer, directory, static_cast<std::uint32_t>(installer.size()));
    support::store_u32(signed_installer, directory + 4, 0x5E8);
    signed_installer.resize(installer.size() + 0x5E8, 0x30);
    support::update_pe_checksum(signed_installer, headers);
    EXPECT_EQ(check(signed_installer), damage::kNone);
    EXPECT_EQ(engine_crc(std::span(signed_installer).first(section.pointer_to_raw_data)),
              engine_crc(std::span(installer).first(section.pointer_to_raw_data)));

    // The data directory in front of it and the one behind it stay covered.
    for (const std::size_t changed : {directory - 1, directory + 8}) {
      std::vector<std::uint8_t> damaged = signed_installer;
      damaged[changed] ^= 0x01;
      EXPECT_EQ(check(damaged), damage::kEngineCrc) << changed;
    }
  }
}

TEST(SignatureOutcome, Table) {
  using namespace trust_result;
  struct Case {
    std::uint32_t result, last_error;
    int outcome;
    bool accepted;
  };
  const Case cases[] = {
      {kSuccess, 0, 0, true},
      {kNoSignature, kNoSignature, 1, false},
      {kNoSignature, 0, 1, false},
      {kNoSignature, kSubjectFormUnknown, 1, false},
      {kExplicitDistrust, 0, 2, false},
      {kBadDigest, 0, 3, false},
      {kSubjectNotTrusted, 0, 3, false},
      {kUntrustedRoot, 0, 3, false},
      {kSecuritySettings, 0, 4, true},
      {0x80004005, 0, 6, true},  // E_FAIL: any other result
      {kNoSignature, 2, 7, true},
      {kNoSignature, 21, 7, true},
      {kNoSignature, 5, 8, true},
      {kNoSignature, 12, 8, true},
      {kNoSignature, 32, 6, true},  // sharing violation: cannot be opened for another reason
      {0x80070003, 0, 7, true},     // the same errors as HRESULTs
      {0x80070005, 0, 8, true},
      {kSubjectFormUnknown, 0, 9, true},
      {kRevoked, 0, 10, true},
      {kCertExpired, 0, 11, true},
      {kTimeStamp, 0, 12, false},
      {kCertSignature, 0, 13, true},
      {kNoSignature, 9, 14, false},
      {kNoSignature, 23, 14, false},
      {kProviderUnknown, 0, 16, false},
      {kChaining, 0, 17, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << std::hex << c.result << " " << c.last_error);
    EXPECT_EQ(signature_outcome(c.result, c.last_error), c.outcome);
    EXPECT_EQ(signature_outcome_accepted(c.outcome), c.accepted);
  }
  EXPECT_TRUE(signature_outcome_accepted(signature_outcome_number::kNotAvailable));
  EXPECT_FALSE(signature_outcome_accepted(signature_outcome_number::kRaised));
}

TEST(SignatureOutcome, DamageCodes) {
  EXPECT_EQ(signature_damage(0, 0), damage::kNone);
  EXPECT_EQ(signature_damage(5, 0), damage::kNone);
  EXPECT_EQ(signature_damage(1, trust_result::kNoSignature), 1001);
  EXPECT_EQ(signature_damage(12, 0), 1012);
  // A refused outcome with CERT_E_CHAINING as the last error goes on.
  EXPECT_EQ(signature_damage(3, trust_result::kChaining), damage::kNone);
}

}  // namespace
}  // namespace hs::package
