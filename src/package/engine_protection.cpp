#include "package/engine_protection.h"

#include "package/checksum.h"

namespace hs::package {

std::uint32_t engine_crc(std::span<const std::uint8_t> file_prefix, std::uint32_t new_header_offset) {
  const std::size_t start = std::size_t{new_header_offset} + kEngineCrcStart;
  if (start >= file_prefix.size()) return crc32({});
  return crc32(file_prefix.subspan(start));
}

DamageCode check_engine_crc(std::span<const std::uint8_t> file_prefix, const PackageSection& section,
                            const PackageHeader& header) {
  if (file_prefix.size() != section.pointer_to_raw_data ||
      std::size_t{section.new_header_offset} + kEngineCrcStart > file_prefix.size())
    return damage::kEngineCrc;
  return engine_crc(file_prefix, section.new_header_offset) == header.engine_crc ? damage::kNone
                                                                                 : damage::kEngineCrc;
}

int signature_outcome(std::uint32_t result, std::uint32_t last_error) {
  using namespace trust_result;
  switch (result) {
    case kSuccess: return 0;
    case kNoSignature:
      switch (last_error) {
        case 0:
        case kNoSignature:
        case kSubjectFormUnknown:
        case kProviderUnknown:
          return 1;
        case 2: case 3: case 4: case 19: case 20: case 21:
          return 7;
        case 5: case 12:
          return 8;
        case 9: case 23:
          return 14;
        default:
          return 6;
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
    default: return 6;
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
