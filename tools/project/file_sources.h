// The files of a project: [[files]] entries whose source is a file, a
// folder or a pattern, matched below the project folder.
#pragma once

#include <string_view>
#include <vector>

#include "packwriter/package_writer.h"
#include "project/project_section.h"

namespace hs::tools {

// Glob matching over '/'-separated relative paths: "*" and "?" stay within
// one folder, "**" spans folders.
bool glob_match(std::string_view pattern, std::string_view path);

// One [[files]] entry: every file its source names, in the order of their
// '/'-separated relative paths, each with the entry's settings and its data.
void read_files(ProjectSection& s, std::vector<WriterEntry>& out);

}  // namespace hs::tools
