// Attributes and times of the machine's files that the host file system
// cannot keep, persisted in root/meta.txt.
#pragma once

#include <filesystem>
#include <map>
#include <string>

#include "platform/files.h"

namespace hs::platform::sim {

// What is kept of one path. A time of 0 falls back to the host file's
// modification time.
struct FileMeta {
  std::uint32_t attributes = 0;  // without the directory bit; 0 = default
  FileTimes times;
};

class MetaStore {
 public:
  // Loads the store from `file` when it exists.
  void open(std::filesystem::path file);

  // The record of a path key (upper-case Windows path), or nullptr.
  const FileMeta* find(const std::u16string& key) const;
  FileMeta& edit(const std::u16string& key);
  // Removes the record of `key` and of every path below it.
  void remove_tree(const std::u16string& key);
  // Moves the records of `from` and everything below it to `to`.
  void move_tree(const std::u16string& from, const std::u16string& to);
  void save() const;

 private:
  std::filesystem::path file_;
  std::map<std::u16string, FileMeta> entries_;
};

}  // namespace hs::platform::sim
