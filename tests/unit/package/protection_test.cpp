// Engine protection by signature: the outcome table and which outcomes stop
// the run.
#include <gtest/gtest.h>

#include "package/engine_protection.h"

namespace hs::package {
namespace {

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
