// Authenticode verification of a file with WinVerifyTrust, bound at run time.
#pragma once

#include <string>

#include "platform/system_info.h"

namespace hs::platform::win32 {

// Verifies the signature of `path` (WINTRUST_ACTION_GENERIC_VERIFY_V2, no user
// interface, revocation checked for the whole chain) and gives the outcome
// number of the engine protection with the last system error after the
// call. Outcome 5 when wintrust.dll or WinVerifyTrust is missing.
SystemInfo::SignatureCheck verify_signature_of(const std::u16string& path);

}  // namespace hs::platform::win32
