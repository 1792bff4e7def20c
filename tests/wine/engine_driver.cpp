// A small Windows program that runs parts of the engine on a real Windows
// (or Wine), for tests/wine/engine_checks.sh. Built for i686 and x86_64.
//
//   engine_driver.exe payload INSTALLER
//       reads every entry of the installer's package through the engine's
//       payload reader, as the file phase does, and prints what it read;
//       exit code 0 when every entry was read and checked, the damage code
//       when the package is damaged, 3 when memory ran out
//   engine_driver.exe wine
//       checks the Wine detection against a function that gives no version
//       and against Wine's own wine_get_version; exit code 0 when both are
//       right
#include <windows.h>

#include <cstdio>
#include <new>
#include <string>
#include <vector>

#include "package/blowfish.h"
#include "package/package_header.h"
#include "package/package_section.h"
#include "package/payload_reader.h"
#include "package/settings_block.h"
#include "platform/win32/win32_services.h"

namespace {

namespace package = hs::package;

bool read_file(const wchar_t* path, std::vector<std::uint8_t>& bytes) {
  HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  LARGE_INTEGER size{};
  bool ok = GetFileSizeEx(file, &size) && size.QuadPart < 0x7FFFFFFF;
  if (ok) {
    bytes.resize(static_cast<std::size_t>(size.QuadPart));
    DWORD got = 0;
    ok = ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr) && got == bytes.size();
  }
  CloseHandle(file);
  return ok;
}

int read_payload(const wchar_t* path) {
  std::printf("driver: %d-bit process\n", static_cast<int>(sizeof(void*) * 8));
  std::vector<std::uint8_t> file;
  if (!read_file(path, file)) {
    std::printf("driver: cannot read the installer\n");
    return 1;
  }
  const package::SectionSearch found = package::find_package_section(file);
  if (!found || !*found) {
    std::printf("driver: no package section (damage %d)\n", found.error());
    return found.error() ? found.error() : 1;
  }
  const package::PackageSection& where = **found;
  if (std::uint64_t{where.pointer_to_raw_data} + where.size_of_raw_data > file.size()) return 1;
  const std::span<const std::uint8_t> section(file.data() + where.pointer_to_raw_data, where.size_of_raw_data);
  const package::HeaderRead read = package::read_package_header(section);
  if (!read) return read.error().damage ? read.error().damage : 1;
  const package::PackageHeader& header = *read;
  package::Blowfish cipher;
  (void)package::key_cipher(header, cipher);  // a key that fails leaves the settings unreadable: damage 25
  auto settings = package::load_settings_block(section, header, cipher);
  if (!settings) return settings.error();
  const bool compressed = !settings->empty() && ((*settings)[0] & 0x20) != 0;  // ProductFlags bit 5
  const std::size_t end = std::min<std::size_t>(header.package_size, section.size());
  const std::size_t begin = std::min(header.payload_offset, end);
  const auto payload = section.subspan(begin, end - begin);
  if (const package::DamageCode code = package::check_payload(payload, header)) return code;

  package::PayloadOptions options;
  options.cipher = header.enciphered() ? &cipher : nullptr;
  options.compressed = compressed;
  package::PayloadReader reader(payload, header.entry_sizes, options);
  std::size_t largest = 0;
  try {
    for (std::uint32_t i = 0; i < header.entry_count; ++i) {
      auto entry = reader.next_entry();
      if (!entry) {
        std::printf("driver: entry %u: damage code %d\n", i, entry.error());
        return entry.error();
      }
      largest = std::max(largest, entry->data.size());
    }
  } catch (const std::bad_alloc&) {
    std::printf("driver: out of memory\n");
    return 3;
  }
  if (const package::DamageCode code = reader.finish()) return code;
  std::printf("driver: read %u entries, the largest %zu bytes, every CRC matched\n", header.entry_count, largest);
  return 0;
}

const char* CDECL no_version() { return nullptr; }

int check_wine_detection() {
  int failures = 0;
  if (hs::platform::win32::wine_version_from(no_version)) {
    std::printf("driver: a wine_get_version that gives NULL counted as Wine\n");
    ++failures;
  }
  if (hs::platform::win32::wine_version_from(nullptr)) {
    std::printf("driver: a missing wine_get_version counted as Wine\n");
    ++failures;
  }
  const auto real = hs::platform::win32::Win32SystemInfo().wine_version();
  if (!real || real->empty()) {
    std::printf("driver: Wine's own wine_get_version was not recognised\n");
    ++failures;
  } else {
    std::printf("driver: Wine %s recognised\n", real->c_str());
  }
  return failures;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const std::wstring command = argc > 1 ? argv[1] : L"";
  if (command == L"payload" && argc == 3) return read_payload(argv[2]);
  if (command == L"wine" && argc == 2) return check_wine_detection();
  std::fputs("usage: engine_driver payload INSTALLER | wine\n", stderr);
  return 87;
}
