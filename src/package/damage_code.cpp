#include "package/damage_code.h"

namespace hs::package {

std::string_view damage_meaning(DamageCode code) {
  switch (code) {
    case damage::kNone: return "no damage";
    case damage::kNoPointerToRawData: return "the .setup section has no file data (PointerToRawData is 0)";
    case damage::kSeekFailed: return "the file ends before the .setup section's data";
    case damage::kBadMagic: return "the package header magic is wrong or the header is cut short";
    case damage::kSettingsSize: return "the settings size is out of range or runs past the section";
    case damage::kSettingsCrc: return "the decoded settings do not match the settings CRC";
    case damage::kEntryCount: return "the entry count is negative or its size table runs past the section";
    case damage::kEntrySizeTable: return "an entry size in the header table is negative or above 1 GiB";
    case damage::kPayloadSize: return "the payload size is negative";
    case damage::kSettingsEndMarker: return "the settings block does not end with its end marker";
    case damage::kEngineReadFailed: return "the engine bytes in front of the package cannot be read";
    case damage::kEngineCrc: return "the engine bytes do not match the engine CRC";
    case damage::kUninstallerCopy: return "the bytes behind the package section cannot be read";
    case damage::kNewHeaderOffset: return "e_lfanew is below 64 or above 4096";
    case damage::kSectionCount: return "NumberOfSections is below 4 or above 99";
    case damage::kPackageSize: return "the package size is negative or runs past the section";
    case damage::kPayloadLength: return "the payload length differs from the payload size";
    case damage::kSettingsDecode: return "the settings block cannot be decoded or decompressed";
    case damage::kPayloadCrc: return "the payload does not match the payload CRC";
    case damage::kChunkDecode: return "a payload chunk cannot be decompressed";
    case damage::kChunkSizeZero: return "a payload chunk size is zero or negative";
    case damage::kChunkCrc: return "a payload chunk does not match its CRC";
    case damage::kChunkPastPayload: return "a payload chunk runs past the end of the payload";
    case damage::kEntryName: return "an entry has an empty name or its fields run past its frame";
    case damage::kEntryDataNegative: return "an entry data size is negative";
    case damage::kEntryDataSize: return "an entry data size is above 1 GiB or runs past its frame";
    case damage::kPayloadLeft: return "payload bytes are left after the last entry";
    case damage::kQueueLeft: return "decoded entry bytes are left after the last entry";
    case damage::kEntryDataCrc: return "an entry's data does not match its CRC";
    case damage::kEntryKind: return "an entry kind is 13 or above";
    default: break;
  }
  if (code > damage::kSignatureBase && code <= damage::kSignatureBase + 17)
    return "the executable's signature was not accepted";
  return "";
}

}  // namespace hs::package
