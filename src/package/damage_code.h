// Damage codes: the numbers that name each format rule of the package.
//
// Every rule of the container and the reader that a damaged or hostile
// installer can break has its own number; the damage report shows it to the
// user and the process ends with exit code 2. The pure layer of the reader
// returns these numbers as values (`Checked<T>`); only the thin layer over
// the session turns them into the report.
#pragma once

#include <string_view>

#include "support/expected.h"

namespace hs::package {

// A damage code; 0 means "no damage".
using DamageCode = int;

namespace damage {
inline constexpr DamageCode kNone = 0;
inline constexpr DamageCode kNoPointerToRawData = 9;   // section entry has PointerToRawData 0
inline constexpr DamageCode kSeekFailed = 10;          // the file does not reach PointerToRawData
inline constexpr DamageCode kBadMagic = 20;            // header magic is not 0xA4F23DE5
inline constexpr DamageCode kSettingsSize = 22;        // settings size 0, >= 0x3200000, or past the section
inline constexpr DamageCode kSettingsCrc = 25;         // decoded settings do not match the settings CRC
inline constexpr DamageCode kEntryCount = 27;          // entry count negative, or its size table past the section
inline constexpr DamageCode kEntrySizeTable = 28;      // an entry size in the header is negative or above 1 GiB
inline constexpr DamageCode kPayloadSize = 29;         // payload size negative
inline constexpr DamageCode kSettingsEndMarker = 32;   // settings block does not end with 0xD3E82B97
inline constexpr DamageCode kEngineReadFailed = 35;    // the file up to the package could not be read
inline constexpr DamageCode kEngineCrc = 40;           // engine bytes do not match the engine CRC
inline constexpr DamageCode kUninstallerCopy = 42;     // bytes after the package could not be read
inline constexpr DamageCode kNewHeaderOffset = 43;     // e_lfanew below 64 or above 4096
inline constexpr DamageCode kSectionCount = 44;        // NumberOfSections below 4 or above 99
inline constexpr DamageCode kPackageSize = 45;         // package size negative or past the section
inline constexpr DamageCode kPayloadLength = 46;       // payload length differs from the payload size
inline constexpr DamageCode kSettingsDecode = 47;      // settings block cannot be decompressed
inline constexpr DamageCode kPayloadCrc = 55;          // payload does not match the payload CRC
inline constexpr DamageCode kChunkDecode = 60;         // a chunk cannot be decompressed
inline constexpr DamageCode kChunkSizeZero = 61;       // a chunk size is 0 or negative
inline constexpr DamageCode kChunkCrc = 62;            // a chunk does not match its CRC
inline constexpr DamageCode kChunkPastPayload = 63;    // a chunk runs past the end of the payload
inline constexpr DamageCode kEntryName = 70;           // entry name empty, or the entry's fields run past its frame
inline constexpr DamageCode kEntryDataNegative = 71;   // entry data size negative
inline constexpr DamageCode kEntryDataSize = 72;       // entry data size above 1 GiB or past its frame
inline constexpr DamageCode kPayloadLeft = 80;         // payload bytes left after the last entry
inline constexpr DamageCode kQueueLeft = 83;           // decoded bytes left after the last entry
inline constexpr DamageCode kEntryDataCrc = 100;       // entry data does not match its CRC
inline constexpr DamageCode kEntryKind = 110;          // entry kind 13 or above
inline constexpr DamageCode kSignatureBase = 1000;     // 1000 + outcome number of the signature check
}  // namespace damage

// What a damage code means, in one line, for tools and logs ("" if unknown).
std::string_view damage_meaning(DamageCode code);

// A value, or the damage code that prevented it (`error()`, kNone for a
// value). `Checked<void>` is success or a damage code.
template <typename T>
using Checked = support::Expected<T, DamageCode>;

}  // namespace hs::package
