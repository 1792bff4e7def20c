#include "package/engine_protection.h"

#include "package/checksum.h"
#include "support/pe_image.h"

namespace hs::package {

std::uint32_t engine_crc(std::span<const std::uint8_t> file_prefix) {
  const std::optional<support::PeHeaders> headers = support::read_pe_headers(file_prefix);
  if (!headers) return crc32({});
  const std::size_t start = std::size_t{headers->new_header_offset} + kEngineCrcStart;
  if (start >= file_prefix.size()) return crc32({});
  const std::span<const std::uint8_t> range = file_prefix.subspan(start);
  const std::optional<std::size_t> directory =
      support::data_directory_field(file_prefix, *headers, support::kCertificateDirectory);
  if (!directory || *directory < start) return crc32(range);
  static constexpr std::uint8_t kZeros[support::kDataDirectorySize] = {};
  const std::size_t before = *directory - start;
  std::uint32_t crc = crc32(range.first(before));
  crc = crc32(kZeros, crc);
  return crc32(range.subspan(before + support::kDataDirectorySize), crc);
}

DamageCode check_engine_crc(std::span<const std::uint8_t> file_prefix, const PackageSection& section,
                            const PackageHeader& header) {
  if (file_prefix.size() != section.pointer_to_raw_data ||
      std::size_t{section.new_header_offset} + kEngineCrcStart > file_prefix.size())
    return damage::kEngineCrc;
  return engine_crc(file_prefix) == header.engine_crc ? damage::kNone : damage::kEngineCrc;
}

namespace {

// The outcome of a file that could not be opened, by the system error.
int open_failure_outcome(std::uint32_t error) {
  switch (error) {
    case 2: case 3: case 4: case 19: case 20: case 21:
      return 7;
    case 5: case 12:
      return 8;
    case 9: case 23:
      return 14;
    default:
      return 6;
  }
}

}  // namespace

int signature_outcome(std::uint32_t result, std::uint32_t last_error) {
  using namespace trust_result;
  switch (result) {
    case kSuccess: return 0;
    case kNoSignature:
      // No signature, or the file could not be read: the last error tells.
      switch (last_error) {
        case 0:
        case kNoSignature:
        case kSubjectFormUnknown:
        case kProviderUnknown:
          return 1;
        default:
          return open_failure_outcome(last_error);
      }
    case kExplicitDistrust: return 2;
    case kBadDigest:
    case kSubjectNotTrusted:
    case kUntrustedRoot:
      return 3;
    case kSecuritySettings: return 4;
    case kSubjectFormUnknown: return 9;
    case kRevoked: return 10;
    case kCertExpired: return 11;
    case kTimeStamp: return 12;
    case kCertSignature: return 13;
    case kProviderUnknown: return 16;
    case kChaining: return 17;
    default:
      // A system error as an HRESULT (HRESULT_FROM_WIN32): the file could not be opened.
      if ((result & 0xFFFF0000u) == 0x80070000u) return open_failure_outcome(result & 0xFFFFu);
      return 6;
  }
}

bool signature_outcome_accepted(int outcome) {
  switch (outcome) {
    case 1: case 2: case 3: case 12: case 14: case 15: case 16:
      return false;
    default:
      return true;
  }
}

DamageCode signature_damage(int outcome, std::uint32_t last_error) {
  if (signature_outcome_accepted(outcome) || last_error == trust_result::kChaining) return damage::kNone;
  return damage::kSignatureBase + outcome;
}

}  // namespace hs::package
