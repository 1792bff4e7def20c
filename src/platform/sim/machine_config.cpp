#include "platform/sim/machine_config.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <sstream>

#include "platform/sim/config_text.h"
#include "support/text.h"

namespace hs::platform::sim {

namespace {

std::string upper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

template <typename T>
bool parse_number(std::string_view text, T& out) {
  text = std::string_view(text).substr(0);
  int base = 10;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    text.remove_prefix(2);
    base = 16;
  }
  if (text.empty()) return false;
  auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), out, base);
  return ec == std::errc() && ptr == text.data() + text.size();
}

bool parse_bool(std::string_view text, bool& out) {
  const std::string t = lower(std::string(text));
  if (t == "1" || t == "yes" || t == "true" || t == "on") return out = true, true;
  if (t == "0" || t == "no" || t == "false" || t == "off") return out = false, true;
  return false;
}

struct NamedVersion {
  const char* name;
  OsPlatform platform;
  std::uint32_t major, minor, build;
  std::uint32_t product_type;
  const char16_t* service_pack;
  bool r2;
};

constexpr std::uint32_t kWs = product_type::kWorkstation;
constexpr std::uint32_t kSrv = product_type::kServer;

const NamedVersion kNamedVersions[] = {
    {"95", OsPlatform::kWindows9x, 4, 0, 950, kWs, u"", false},
    {"98", OsPlatform::kWindows9x, 4, 10, 2222, kWs, u"", false},
    {"me", OsPlatform::kWindows9x, 4, 90, 3000, kWs, u"", false},
    {"2000", OsPlatform::kNt, 5, 0, 2195, kWs, u"Service Pack 4", false},
    {"xp", OsPlatform::kNt, 5, 1, 2600, kWs, u"Service Pack 3", false},
    {"2003", OsPlatform::kNt, 5, 2, 3790, kSrv, u"Service Pack 2", false},
    {"vista", OsPlatform::kNt, 6, 0, 6002, kWs, u"Service Pack 2", false},
    {"2008", OsPlatform::kNt, 6, 0, 6003, kSrv, u"Service Pack 2", false},
    {"7", OsPlatform::kNt, 6, 1, 7601, kWs, u"Service Pack 1", false},
    {"2008r2", OsPlatform::kNt, 6, 1, 7601, kSrv, u"Service Pack 1", true},
    {"8", OsPlatform::kNt, 6, 2, 9200, kWs, u"", false},
    {"2012", OsPlatform::kNt, 6, 2, 9200, kSrv, u"", false},
    {"8.1", OsPlatform::kNt, 6, 3, 9600, kWs, u"", false},
    {"2012r2", OsPlatform::kNt, 6, 3, 9600, kSrv, u"", true},
    {"10", OsPlatform::kNt, 10, 0, 19045, kWs, u"", false},
    {"2016", OsPlatform::kNt, 10, 0, 14393, kSrv, u"", false},
    {"2019", OsPlatform::kNt, 10, 0, 17763, kSrv, u"", false},
    {"2022", OsPlatform::kNt, 10, 0, 20348, kSrv, u"", false},
    {"11", OsPlatform::kNt, 10, 0, 22631, kWs, u"", false},
    {"2025", OsPlatform::kNt, 10, 0, 26100, kSrv, u"", false},
};

using Sections = std::map<std::string, std::vector<std::pair<std::string, std::string>>>;

Sections read_ini(std::string_view text) {
  Sections sections;
  std::string section;
  std::istringstream in{std::string(text)};
  std::string line;
  while (std::getline(in, line)) {
    const std::string t = trim(line);
    if (t.empty() || t[0] == '#' || t[0] == ';') continue;
    if (t.front() == '[' && t.back() == ']') {
      section = lower(trim(std::string_view(t).substr(1, t.size() - 2)));
      sections[section];
      continue;
    }
    const std::size_t eq = t.find('=');
    if (eq == std::string::npos) {
      sections[section].emplace_back(t, "");
    } else {
      sections[section].emplace_back(trim(std::string_view(t).substr(0, eq)), trim(std::string_view(t).substr(eq + 1)));
    }
  }
  return sections;
}

bool parse_drive(std::string_view text, DriveConfig& drive, std::string& error) {
  std::istringstream in{std::string(text)};
  std::string type;
  in >> type;
  static const std::pair<const char*, DriveType> kTypes[] = {
      {"fixed", DriveType::kFixed},   {"removable", DriveType::kRemovable}, {"cdrom", DriveType::kCdRom},
      {"ramdisk", DriveType::kRamDisk}, {"remote", DriveType::kRemote},   {"unknown", DriveType::kUnknown}};
  bool found = false;
  for (const auto& [name, value] : kTypes) {
    if (lower(type) == name) drive.type = value, found = true;
  }
  if (!found) return error = "unknown drive type: " + type, false;
  // Then the free space and the size, each optional, and "readonly"
  // anywhere among them.
  int numbers = 0;
  for (std::string word; in >> word;) {
    if (lower(word) == "readonly") {
      drive.read_only = true;
    } else if (numbers == 0) {
      if (!parse_number(word, drive.free_bytes)) return error = "bad free space: " + word, false;
      ++numbers;
    } else if (numbers == 1) {
      if (!parse_number(word, drive.total_bytes)) return error = "bad drive size: " + word, false;
      ++numbers;
    } else {
      return error = "unexpected word in drive: " + word, false;
    }
  }
  return true;
}

const char* drive_type_name(DriveType type) {
  switch (type) {
    case DriveType::kFixed: return "fixed";
    case DriveType::kRemovable: return "removable";
    case DriveType::kCdRom: return "cdrom";
    case DriveType::kRamDisk: return "ramdisk";
    case DriveType::kRemote: return "remote";
    default: return "unknown";
  }
}

bool apply(MachineConfig& config, const std::string& section, const std::string& key, const std::string& value,
           std::string& error) {
  const std::string k = lower(key);
  if (section == "system") {
    if (k == "windows") {
      auto version = parse_windows_version(value);
      if (!version) return error = "unknown Windows version: " + value, false;
      config.windows = value;
      config.version = *version;
      return true;
    }
    if (k == "64bit") return parse_bool(value, config.is_64bit) || (error = "bad 64bit: " + value, false);
    if (k == "wine") return config.wine_version = value, true;
    if (k == "user") return config.user_name = support::utf8_to_utf16(value), true;
    if (k == "computer") return config.computer_name = support::utf8_to_utf16(value), true;
    if (k == "code_page") return parse_number(value, config.code_page) || (error = "bad code_page", false);
    if (k == "language") return parse_number(value, config.user_language) || (error = "bad language", false);
    if (k == "utc_offset_minutes") {
      return parse_number(value, config.utc_offset_minutes) || (error = "bad utc_offset_minutes", false);
    }
    if (k == "product_type") {
      return parse_number(value, config.version.product_type) || (error = "bad product_type", false);
    }
    if (k == "build") return parse_number(value, config.version.build) || (error = "bad build", false);
    return error = "unknown setting system." + key, false;
  }
  if (section == "drives") {
    if (key.size() != 1 || !std::isalpha(static_cast<unsigned char>(key[0]))) {
      return error = "bad drive letter: " + key, false;
    }
    const char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(key[0])));
    if (lower(value) == "none") return config.drives.erase(letter), true;
    DriveConfig drive;
    if (!parse_drive(value, drive, error)) return false;
    config.drives[letter] = drive;
    return true;
  }
  if (section == "removed") {
    const std::size_t dot = key.find('.');
    std::string name = dot == std::string::npos ? lower(key) : lower(key.substr(0, dot)) + "." + upper(key.substr(dot + 1));
    if (name.starts_with("csidl.")) {
      int number = 0;
      if (!parse_number(std::string_view(name).substr(6), number)) return error = "bad CSIDL: " + key, false;
      name = "csidl." + std::to_string(number);
    }
    bool on = true;
    if (!value.empty() && !parse_bool(value, on)) return error = "bad value for " + key, false;
    if (on) config.removed.insert(name); else config.removed.erase(name);
    return true;
  }
  if (section == "locked") {
    config.locked_files.push_back(support::utf8_to_utf16(key));
    return true;
  }
  if (section == "exit_codes") {
    std::uint32_t code = 0;
    std::int32_t signed_code = 0;
    if (parse_number(value, code)) {
    } else if (parse_number(value, signed_code)) {
      code = static_cast<std::uint32_t>(signed_code);
    } else {
      return error = "bad exit code for " + key, false;
    }
    config.exit_codes.emplace_back(support::utf8_to_utf16(key), code);
    return true;
  }
  return error = "unknown section: " + section, false;
}

}  // namespace

std::optional<OsVersion> parse_windows_version(std::string_view text) {
  std::string t = lower(trim(text));
  std::optional<std::uint32_t> forced_type;
  static const std::pair<const char*, std::uint32_t> kSuffixes[] = {
      {" server", product_type::kServer}, {" dc", product_type::kDomainController},
      {" workstation", product_type::kWorkstation}};
  for (const auto& [suffix, type] : kSuffixes) {
    if (t.ends_with(suffix)) {
      forced_type = type;
      t = trim(t.substr(0, t.size() - std::string_view(suffix).size()));
    }
  }
  if (t.starts_with("windows ")) t = trim(t.substr(8));
  if (t.starts_with("server ")) {
    t = trim(t.substr(7));
    if (!forced_type) forced_type = product_type::kServer;
  }
  t.erase(std::remove(t.begin(), t.end(), ' '), t.end());

  OsVersion version;
  bool found = false;
  for (const auto& named : kNamedVersions) {
    if (t == named.name) {
      version.platform = named.platform;
      version.major = named.major;
      version.minor = named.minor;
      version.build = named.build;
      version.product_type = named.product_type;
      version.service_pack = named.service_pack;
      version.server_r2 = named.r2;
      found = true;
      break;
    }
  }
  if (!found) {
    // "major.minor[.build]"
    std::uint32_t parts[3] = {0, 0, 0};
    int count = 0;
    std::size_t pos = 0;
    while (count < 3) {
      const std::size_t dot = t.find('.', pos);
      const std::string_view piece = std::string_view(t).substr(pos, dot == std::string::npos ? std::string::npos : dot - pos);
      if (!parse_number(piece, parts[count])) return std::nullopt;
      ++count;
      if (dot == std::string::npos) break;
      pos = dot + 1;
    }
    if (count < 2 || std::count(t.begin(), t.end(), '.') > 2) return std::nullopt;
    version.platform = OsPlatform::kNt;
    version.major = parts[0];
    version.minor = parts[1];
    version.build = count == 3 ? parts[2] : 0;
    version.product_type = product_type::kWorkstation;
  }
  if (forced_type) version.product_type = *forced_type;
  if (version.service_pack.starts_with(u"Service Pack ")) {
    version.service_pack_major = static_cast<std::uint32_t>(version.service_pack.back() - u'0');
  }
  return version;
}

bool read_machine_config(std::string_view text, MachineConfig& config, std::string& error) {
  for (const auto& [section, entries] : read_ini(text)) {
    for (const auto& [key, value] : entries) {
      if (!apply(config, section, key, value, error)) return false;
    }
  }
  return true;
}

bool apply_setting(MachineConfig& config, std::string_view setting, std::string& error) {
  const std::size_t dot = setting.find('.');
  if (dot == std::string_view::npos) return error = "setting without section: " + std::string(setting), false;
  const std::size_t eq = setting.find('=', dot);
  const std::string section = lower(std::string(setting.substr(0, dot)));
  const std::string key = trim(setting.substr(dot + 1, eq == std::string_view::npos ? std::string_view::npos : eq - dot - 1));
  const std::string value = eq == std::string_view::npos ? "" : trim(setting.substr(eq + 1));
  return apply(config, section, key, value, error);
}

std::string write_machine_config(const MachineConfig& config) {
  std::ostringstream out;
  out << "# A simulated Windows machine (hsetup-sim). Edit freely.\n\n[system]\n";
  out << "windows = " << config.windows << "\n";
  out << "product_type = " << config.version.product_type << "\n";
  out << "build = " << config.version.build << "\n";
  out << "64bit = " << (config.is_64bit ? "yes" : "no") << "\n";
  out << "wine = " << config.wine_version << "\n";
  out << "user = " << support::utf16_to_utf8(config.user_name) << "\n";
  out << "computer = " << support::utf16_to_utf8(config.computer_name) << "\n";
  out << "code_page = " << config.code_page << "\n";
  out << "language = " << config.user_language << "\n";
  out << "utc_offset_minutes = " << config.utc_offset_minutes << "\n";
  out << "\n# letter = type [free bytes [total bytes]] [readonly]\n[drives]\n";
  for (const auto& [letter, drive] : config.drives) {
    out << letter << " = " << drive_type_name(drive.type) << " " << drive.free_bytes << " " << drive.total_bytes
        << (drive.read_only ? " readonly" : "") << "\n";
  }
  out << "\n# csidl.<number>, known.<{GUID}>, env.<NAME>\n[removed]\n";
  for (const auto& name : config.removed) out << name << "\n";
  out << "\n[locked]\n";
  for (const auto& path : config.locked_files) out << support::utf16_to_utf8(path) << "\n";
  out << "\n# text in the command line = exit code\n[exit_codes]\n";
  for (const auto& [pattern, code] : config.exit_codes) out << support::utf16_to_utf8(pattern) << " = " << code << "\n";
  return out.str();
}

}  // namespace hs::platform::sim
