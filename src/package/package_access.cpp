#include "package/package_access.h"

#include <algorithm>
#include <new>
#include <optional>
#include <string>

#include "engine/fatal.h"
#include "package/damage.h"
#include "package/engine_protection.h"
#include "package/settings_block.h"
#include "support/format.h"
#include "support/message_box.h"
#include "support/text.h"

namespace hs::package {
namespace {

std::u16string decimal(std::uint64_t value) { return support::ascii_to_utf16(std::to_string(value)); }

// The version message; the product name is still the engine's own.
[[noreturn]] void wrong_version(engine::Session& session, const std::string& version) {
  const std::u16string name = session.engine_title;
  const std::u16string text = support::format_text(
      u"The installer version (45.0) does not match the version of %s (%s).  Close all applications and "
      u"reinstall %s.",
      {name, support::from_bar_form(version), name});
  engine::fatal_error(session, std::u16string_view(text));
}

}  // namespace

std::unique_ptr<LoadedPackage> open_package(engine::Session& session) {
  auto package = std::make_unique<LoadedPackage>();
  const std::u16string path = session.sys.processes.module_path();
  if (const platform::SysError error = package->own_file.open(session.sys.files, path)) {
    const std::u16string text = support::format_text(
        u"Error code 1: The installer could not open itself.\r\nFilename: %s\r\nError #%d: %s",
        {path, decimal(error), session.sys.info.error_text(error)});
    engine::fatal_error(session, std::u16string_view(text));
  }
  OwnFile& file = package->own_file;

  const auto prefix_size = static_cast<std::int64_t>(std::min<std::uint64_t>(file.size(), kPeHeaderReadSize));
  OwnFile::Read prefix = file.read_prefix(prefix_size, &session.sys.info);
  if (!prefix) report_damage(session, damage::kNewHeaderOffset, prefix.error().system_error);

  const SectionSearch search = find_package_section(*prefix);
  if (!search) report_damage(session, search.error());
  if (!*search) engine::fatal_error(session, std::u16string_view(kNoPackageText));
  package->section = **search;

  // The header and settings are read where the loader mapped the section.
  // Without a mapped image of our own (the simulated machine) the section's
  // raw bytes are read from the file, as far as the file goes.
  const std::uint64_t start = package->section.pointer_to_raw_data;
  if (start > file.size()) report_damage(session, damage::kSeekFailed);
  if (auto mapped = session.sys.processes.mapped_section(package->section.virtual_address,
                                                         package->section.size_of_raw_data)) {
    package->image = *mapped;
  } else {
    const std::uint64_t length = std::min<std::uint64_t>(package->section.size_of_raw_data, file.size() - start);
    OwnFile::Read image = file.read_at(start, static_cast<std::int64_t>(length), &session.sys.info);
    if (!image) report_damage(session, damage::kSeekFailed, image.error().system_error);
    package->image_from_file = std::move(*image);
    package->image = package->image_from_file;
  }

  HeaderRead header = read_package_header(package->image);
  if (!header && header.error().wrong_version) wrong_version(session, header.error().version);
  if (!header) report_damage(session, header.error().damage);
  package->header = std::move(*header);

  if (!key_cipher(package->header, package->cipher)) report_damage(session, damage::kSettingsDecode);
  auto settings = load_settings_block(package->image, package->header, package->cipher);
  if (!settings) report_damage(session, settings.error());
  package->settings = std::move(*settings);
  return package;
}

void check_settings_crc(engine::Session& session, const LoadedPackage& package) {
  if (const DamageCode code = check_settings_crc(package.settings, package.header)) report_damage(session, code);
}

void protect_engine(engine::Session& session, LoadedPackage& package, int method) {
  OwnFile::Read prefix = package.own_file.read_prefix(package.section.pointer_to_raw_data, &session.sys.info);
  if (!prefix) report_damage(session, damage::kEngineReadFailed, prefix.error().system_error);
  if (method == kProtectionCrc) {
    if (const DamageCode code = check_engine_crc(*prefix, package.section, package.header))
      report_damage(session, code);
  } else if (method == kProtectionSignature) {
    const auto check = session.sys.info.verify_signature(package.own_file.path());
    if (const DamageCode code = signature_damage(check.outcome, check.last_error))
      report_damage(session, code, check.last_error);
  }
}

PayloadAccess::PayloadAccess(engine::Session& session, LoadedPackage& package, bool from_file, bool compressed,
                             PayloadProgress progress)
    : session_(session), package_(package), progress_(std::move(progress)) {
  const PackageHeader& h = package.header;
  std::span<const std::uint8_t> payload;
  if (from_file) {
    const std::uint64_t position = std::uint64_t{package.section.pointer_to_raw_data} + h.payload_offset;
    OwnFile::Read read = package.own_file.read_at(position, h.payload_size, &session.sys.info);
    if (!read) {
      // A file that ends before the payload does is a damaged package; any
      // other failing read is an error of the system.
      if (read.error().system_error == 0) report_damage(session, damage::kPayloadLength);
      const std::u16string text = support::format_text(u"Error code 2: failed to read archive data\r\nsize=%d pos=%d",
                                                          {decimal(h.payload_size), decimal(position)});
      engine::fatal_error(session, std::u16string_view(text));
    }
    from_file_ = std::move(*read);
    payload = from_file_;
  } else {
    const std::size_t end = std::min<std::size_t>(h.package_size, package.image.size());
    const std::size_t begin = std::min(h.payload_offset, end);
    payload = package.image.subspan(begin, end - begin);
  }

  if (progress_.status) progress_.status(62);
  if (progress_.position) progress_.position(21);
  if (const DamageCode code = check_payload(payload, h)) report_damage(session, code);
  if (progress_.status) progress_.status(54);
  if (progress_.position) progress_.position(26);

  PayloadOptions options;
  options.cipher = h.enciphered() ? &package.cipher : nullptr;
  options.compressed = compressed;
  options.silent = session.modes.silent;
  reader_.emplace(payload, h.entry_sizes, options);
}

PayloadEntry PayloadAccess::next_entry() {
  if (progress_.position)
    progress_.position(entry_progress_position(reader_->entries_read(), package_.header.entry_count));
  std::optional<Checked<PayloadEntry>> entry;
  try {
    entry.emplace(reader_->next_entry());
  } catch (const std::bad_alloc&) {
    // The package is sound; the machine cannot hold the next chunk.
    engine::fatal_error(session_, std::string_view(kOutOfMemoryMessage));
  }
  if (!*entry) report_damage(session_, entry->error());
  session_.sys.ui.pump_messages();
  return std::move(**entry);
}

void PayloadAccess::finish() {
  if (const DamageCode code = reader_->finish()) report_damage(session_, code);
}

}  // namespace hs::package
