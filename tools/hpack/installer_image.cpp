#include "installer_image.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include "package/engine_protection.h"
#include "package/payload_reader.h"
#include "package/settings_block.h"

namespace hs::tools {
namespace {

Problem damaged(package::DamageCode code) { return Problem{code, describe_damage(code)}; }

}  // namespace

std::string describe_damage(package::DamageCode code) {
  return "damage code " + std::to_string(code) + ": " + std::string(package::damage_meaning(code));
}

std::vector<std::uint8_t> read_host_file(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read \"" + path.string() + "\"");
  return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::span<const std::uint8_t> InstallerImage::image() const {
  const std::size_t start = section_.pointer_to_raw_data;
  const std::size_t length = std::min<std::size_t>(section_.size_of_raw_data, file_.size() - start);
  return std::span<const std::uint8_t>(file_).subspan(start, length);
}

std::optional<Problem> InstallerImage::open() {
  const auto prefix =
      std::span<const std::uint8_t>(file_).first(std::min(file_.size(), package::kPeHeaderReadSize));
  const package::SectionSearch search = package::find_package_section(prefix);
  if (!search) return damaged(search.error());
  if (!*search) return Problem{0, "no .setup section: the file carries no package"};
  section_ = **search;
  if (section_.pointer_to_raw_data > file_.size()) return damaged(package::damage::kSeekFailed);

  package::HeaderRead read = package::read_package_header(image());
  if (!read && read.error().wrong_version)
    return Problem{0, "the package was built for engine version \"" + read.error().version + "\", not \"45.0\""};
  if (!read) return damaged(read.error().damage);
  header_ = std::move(*read);
  if (!package::key_cipher(header_, cipher_)) return damaged(package::damage::kSettingsDecode);
  auto settings = package::load_settings_block(image(), header_, cipher_);
  if (!settings) return damaged(settings.error());
  settings_ = std::move(*settings);
  return std::nullopt;
}

std::optional<Problem> InstallerImage::check_settings() const {
  if (auto code = package::check_settings_crc(settings_, header_)) return damaged(code);
  if (auto code = package::check_settings_end_marker(settings_)) return damaged(code);
  return std::nullopt;
}

std::optional<Problem> InstallerImage::check_engine_crc() const {
  const auto prefix = std::span<const std::uint8_t>(file_).first(section_.pointer_to_raw_data);
  if (auto code = package::check_engine_crc(prefix, section_, header_)) return damaged(code);
  return std::nullopt;
}

bool InstallerImage::settings_say_compressed() const { return !settings_.empty() && (settings_[0] & 0x20) != 0; }

std::optional<Problem> InstallerImage::walk_entries(
    const std::function<void(std::uint32_t, const package::PayloadEntry&)>& visit, bool compressed) const {
  const auto section = image();
  const std::size_t end = std::min<std::size_t>(header_.package_size, section.size());
  const std::size_t begin = std::min(header_.payload_offset, end);
  const auto payload = section.subspan(begin, end - begin);
  if (auto code = package::check_payload(payload, header_)) return damaged(code);

  package::PayloadOptions options;
  options.cipher = header_.enciphered() ? &cipher_ : nullptr;
  options.compressed = compressed;
  package::PayloadReader reader(payload, header_.entry_sizes, options);
  for (std::uint32_t i = 0; i < header_.entry_count; ++i) {
    auto entry = reader.next_entry();
    if (!entry) return Problem{entry.error(), "entry " + std::to_string(i) + ": " + describe_damage(entry.error())};
    if (visit) visit(i, *entry);
  }
  if (auto code = reader.finish()) return damaged(code);
  return std::nullopt;
}

}  // namespace hs::tools
