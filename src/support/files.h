// File helpers over the platform boundary: is a path a folder, and a whole
// file read into memory.
#pragma once

#include <cstdint>
#include <string>

#include "platform/files.h"

namespace hs::support {

// True when `path` exists and is a folder.
bool is_folder(platform::Files& files, const std::u16string& path);

// The whole file's bytes; fails with the file layer's error (opening or
// reading), and with kNotEnoughMemory for a file larger than `max_size`.
platform::Result<std::string> read_whole_file(platform::Files& files, const std::u16string& path,
                                              std::uint64_t max_size = UINT64_MAX);

}  // namespace hs::support
