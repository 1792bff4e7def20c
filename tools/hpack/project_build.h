// hpack build PROJECT.toml: an installer from a project file.
#pragma once

#include <string>

namespace hs::tools {

struct ProjectBuildOptions {
  std::string project;    // the .toml project file
  std::string stub;       // engine executable to attach the package to
  std::string output;     // installer (or bare package) to write
  unsigned threads = 0;   // compression threads; 0 = all cores
  bool package_only = false;
  std::string sign_command;  // --sign-command: replaces the project's [build] sign_command
};

// True when `argument` names a project file (ends in ".toml").
bool is_project_file(const std::string& argument);

// Reads the project, writes the installer, prints one summary line.
// Mistakes in the project end hpack with their file, line and column.
void build_from_project(const ProjectBuildOptions& options);

}  // namespace hs::tools
