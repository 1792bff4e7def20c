// Protection of the engine's own bytes in front of the package.
//
// Method 1 compares a CRC-32 of the file from behind the optional header's
// CheckSum field (e_lfanew + 92) up to the package section with the engine
// CRC of the header. Signing the finished installer writes the certificate
// table's directory entry (8 bytes inside that range) and appends the
// certificate behind the package: the CRC counts those 8 bytes as zero, so
// an installer gives the same CRC signed and unsigned. Method 2 verifies the file's Authenticode signature and
// turns the outcome into a number (see `signature_outcome`).
#pragma once

#include <cstdint>
#include <span>

#include "package/damage_code.h"
#include "package/package_header.h"
#include "package/package_section.h"

namespace hs::package {

// Engine protection methods chosen by the settings; any other value: none.
inline constexpr int kProtectionCrc = 1;
inline constexpr int kProtectionSignature = 2;

// Offset from e_lfanew at which the engine CRC starts.
inline constexpr std::uint32_t kEngineCrcStart = 92;

// CRC-32 of `file_prefix` (the file up to PointerToRawData) from
// e_lfanew + 92 to its end, the certificate directory entry counted as
// eight zero bytes (when the optional header holds one).
std::uint32_t engine_crc(std::span<const std::uint8_t> file_prefix);

// Method 1: damage code 40 when the engine bytes do not match the header's
// engine CRC, else 0. `file_prefix` holds the file up to PointerToRawData.
DamageCode check_engine_crc(std::span<const std::uint8_t> file_prefix, const PackageSection& section,
                            const PackageHeader& header);

// HRESULTs of WinVerifyTrust the outcome table names.
namespace trust_result {
inline constexpr std::uint32_t kSuccess = 0;
inline constexpr std::uint32_t kProviderUnknown = 0x800B0001;      // TRUST_E_PROVIDER_UNKNOWN
inline constexpr std::uint32_t kSubjectFormUnknown = 0x800B0003;   // TRUST_E_SUBJECT_FORM_UNKNOWN
inline constexpr std::uint32_t kSubjectNotTrusted = 0x800B0004;    // TRUST_E_SUBJECT_NOT_TRUSTED
inline constexpr std::uint32_t kNoSignature = 0x800B0100;          // TRUST_E_NOSIGNATURE
inline constexpr std::uint32_t kCertExpired = 0x800B0101;          // CERT_E_EXPIRED
inline constexpr std::uint32_t kUntrustedRoot = 0x800B0109;        // CERT_E_UNTRUSTEDROOT
inline constexpr std::uint32_t kChaining = 0x800B010A;             // CERT_E_CHAINING
inline constexpr std::uint32_t kRevoked = 0x800B010C;              // CERT_E_REVOKED
inline constexpr std::uint32_t kExplicitDistrust = 0x800B0111;     // TRUST_E_EXPLICIT_DISTRUST
inline constexpr std::uint32_t kCertSignature = 0x80096004;        // TRUST_E_CERT_SIGNATURE
inline constexpr std::uint32_t kTimeStamp = 0x80096005;            // TRUST_E_TIME_STAMP
inline constexpr std::uint32_t kBadDigest = 0x80096010;            // TRUST_E_BAD_DIGEST
inline constexpr std::uint32_t kSecuritySettings = 0x80092026;     // CRYPT_E_SECURITY_SETTINGS
}  // namespace trust_result

// Outcome numbers that are not about the result of WinVerifyTrust itself.
namespace signature_outcome_number {
inline constexpr int kNotAvailable = 5;   // WinVerifyTrust could not be bound
inline constexpr int kRaised = 15;        // WinVerifyTrust raised an exception
}  // namespace signature_outcome_number

// The outcome number of a call to WinVerifyTrust that returned `result`;
// `last_error` is the last system error read right after it (consulted when
// the result says there is no signature, to tell an unsigned file from one
// that could not be opened).
int signature_outcome(std::uint32_t result, std::uint32_t last_error);

// Whether the run goes on with this outcome number.
bool signature_outcome_accepted(int outcome);

// Method 2: 0 when the run goes on, else damage code 1000 + outcome. An
// outcome that is not accepted still lets the run go on when the last
// system error is CERT_E_CHAINING.
DamageCode signature_damage(int outcome, std::uint32_t last_error);

}  // namespace hs::package
