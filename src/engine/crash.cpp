#include "engine/crash.h"

#include <cstdio>

#include "engine/fatal.h"
#include "support/text.h"

namespace hs::engine {

namespace {

constexpr std::uint32_t kAccessViolation = 0xC0000005;

std::string hex(std::uint64_t value, int digits) {
  char text[24];
  std::snprintf(text, sizeof text, "0x%0*llX", digits, static_cast<unsigned long long>(value));
  return text;
}

// A short description of the common exception codes.
const char* describe(std::uint32_t code) {
  switch (code) {
    case kAccessViolation: return "access violation";
    case 0xC000001D: return "illegal instruction";
    case 0xC0000094: return "integer division by zero";
    case 0xC00000FD: return "stack overflow";
    case 0xC0000409: return "stack buffer overrun";
    case 0x80000003: return "breakpoint";
    default: return "unhandled exception";
  }
}

}  // namespace

std::string crash_report_text(const platform::CrashInfo& crash, const std::u16string& product) {
  const int width = crash.address > 0xFFFFFFFFu ? 16 : 8;
  std::string text = std::string("Exception: ") + describe(crash.code) + "\r\n";
  if (!product.empty()) text += "Product: " + support::utf16_to_cp1252(product) + "\r\n";
  text += "Exception code: " + hex(crash.code, 8) + "\r\n";
  text += "Address: " + hex(crash.address, width) + "\r\n";
  if (!crash.module.empty()) text += "Module: " + support::utf16_to_cp1252(crash.module) + "\r\n";
  if (crash.code == kAccessViolation) {
    text += std::string("Read/write: ") + (crash.write ? "write" : "read") + "\r\n";
    text += "Memory address: " + hex(crash.memory_address, width) + "\r\n";
  }
  return text;
}

void handle_crash(Session& session, const platform::CrashInfo& crash) {
  const std::u16string report =
      support::cp1252_to_utf16(crash_report_text(crash, session.derived.product_name));
  session.failure_summary += u"\r\n\r\nINSTALLER CRASHED!\r\n" + report;
  fatal_error(session, std::u16string_view(report));
}

}  // namespace hs::engine
