#include "packwriter/pe_image.h"

#include <cstring>
#include <stdexcept>
#include <string>

#include "package/engine_protection.h"
#include "package/package_section.h"

namespace hs::tools {
namespace {

constexpr std::uint32_t kMaxSections = 99;  // the engine refuses more
constexpr std::uint32_t kSetupCharacteristics = support::kMemoryRead | support::kInitializedData;

[[noreturn]] void fail(const std::string& what) { throw std::runtime_error("engine stub: " + what); }

}  // namespace

support::PeHeaders read_stub_headers(std::span<const std::uint8_t> image) {
  if (image.size() < 64 || image[0] != 'M' || image[1] != 'Z') fail("not a PE executable (no MZ header)");
  const std::uint32_t lfanew = support::load_le32(image, support::kNewHeaderOffsetField);
  if (lfanew < 64 || lfanew > 4096) fail("e_lfanew must lie from 64 to 4096 for the engine to find its package");
  const std::optional<support::PeHeaders> headers = support::read_pe_headers(image);
  if (!headers || std::memcmp(&image[lfanew], "PE\0\0", 4) != 0) fail("not a PE executable (no PE signature)");
  const std::size_t optional = headers->optional_header();
  if (headers->optional_header_size < 64 || image.size() < optional + 64) fail("optional header cut short");
  if (!support::optional_header_magic(image, *headers)) fail("unknown optional header magic");
  if (support::load_le32(image, optional + support::kFileAlignmentField) == 0 ||
      support::load_le32(image, optional + support::kSectionAlignmentField) == 0)
    fail("alignment of 0");
  if (image.size() < headers->section_entry(headers->section_count)) fail("section table cut short");
  return *headers;
}

std::vector<std::uint8_t> attach_package(std::span<const std::uint8_t> stub, std::span<const std::uint8_t> package) {
  const support::PeHeaders headers = read_stub_headers(stub);
  // A signature would be broken by the package.
  if (support::certificate_table(stub, headers).size != 0)
    fail("it is signed; sign the installer after the package is attached");
  for (std::uint32_t i = 0; i < headers.section_count; ++i) {
    if (support::read_pe_section(stub, headers, i)->name == package::kPackageSectionName)
      fail("it already carries a .setup section");
  }
  if (headers.section_count + 1 > kMaxSections) fail("it has too many sections to add one more");
  if (headers.section_count + 1 < 4) fail("it has fewer than 3 sections (the engine needs at least 4 with .setup)");
  if (!support::has_room_for_pe_section(stub, headers)) fail("no room in the PE headers for one more section table entry");

  std::vector<std::uint8_t> out(stub.begin(), stub.end());
  const std::optional<support::PeSection> added = support::add_pe_section(out, package::kPackageSectionName, package, kSetupCharacteristics);
  if (!added) fail("the installer would exceed 4 GiB");
  write_engine_crc(out, added->pointer_to_raw_data);
  return out;
}

void write_engine_crc(std::vector<std::uint8_t>& installer, std::uint32_t pointer_to_raw_data) {
  const support::PeHeaders headers = read_stub_headers(installer);
  if (std::size_t{pointer_to_raw_data} + 25 > installer.size()) fail("package header outside the file");
  const std::uint32_t crc = package::engine_crc(std::span<const std::uint8_t>(installer).first(pointer_to_raw_data));
  support::store_u32(installer, std::size_t{pointer_to_raw_data} + 21, crc);
  support::update_pe_checksum(installer, headers);
}

}  // namespace hs::tools
