#include "platform/sim/meta_store.h"

#include <fstream>
#include <sstream>
#include <vector>

#include "support/text.h"

namespace hs::platform::sim {

namespace {

bool is_below(const std::u16string& key, const std::u16string& folder) {
  return key == folder || (key.size() > folder.size() && key.starts_with(folder) &&
                           (folder.back() == u'\\' || key[folder.size()] == u'\\'));
}

}  // namespace

void MetaStore::open(std::filesystem::path file) {
  file_ = std::move(file);
  entries_.clear();
  std::ifstream in(file_);
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    FileMeta meta;
    std::string path;
    if (!(fields >> std::hex >> meta.attributes >> std::dec >> meta.times.creation >> meta.times.last_access >>
          meta.times.last_write)) {
      continue;
    }
    fields.get();
    std::getline(fields, path);
    if (!path.empty()) entries_[support::utf8_to_utf16(path)] = meta;
  }
}

const FileMeta* MetaStore::find(const std::u16string& key) const {
  auto it = entries_.find(key);
  return it == entries_.end() ? nullptr : &it->second;
}

FileMeta& MetaStore::edit(const std::u16string& key) { return entries_[key]; }

void MetaStore::remove_tree(const std::u16string& key) {
  for (auto it = entries_.begin(); it != entries_.end();) {
    it = is_below(it->first, key) ? entries_.erase(it) : std::next(it);
  }
}

void MetaStore::move_tree(const std::u16string& from, const std::u16string& to) {
  std::vector<std::pair<std::u16string, FileMeta>> moved;
  for (auto it = entries_.begin(); it != entries_.end();) {
    if (is_below(it->first, from)) {
      moved.emplace_back(to + it->first.substr(from.size()), it->second);
      it = entries_.erase(it);
    } else {
      ++it;
    }
  }
  for (auto& [key, meta] : moved) entries_[key] = meta;
}

void MetaStore::save() const {
  if (file_.empty()) return;
  std::ofstream out(file_, std::ios::trunc);
  for (const auto& [key, meta] : entries_) {
    out << std::hex << meta.attributes << std::dec << ' ' << meta.times.creation << ' ' << meta.times.last_access << ' '
        << meta.times.last_write << ' ' << support::utf16_to_utf8(key) << '\n';
  }
}

}  // namespace hs::platform::sim
