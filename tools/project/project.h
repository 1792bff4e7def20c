// The TOML project file: everything an installer holds, by readable names.
//
// `load_project` reads a project file into the settings of the package and
// its file entries, ready for the package writer. Mistakes are reported as
// `ProjectError` with the file, line and column and what was expected;
// unknown keys are mistakes. docs/project-file.md lists every key.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "package/settings.h"
#include "packwriter/package_writer.h"
#include "project/project_dates.h"
#include "project/project_error.h"

namespace hs::tools {

struct Project {
  package::Settings settings;      // product_flags2 included
  std::vector<WriterEntry> files;  // in package order, data loaded
  PackageOptions package;          // compression, cipher key, ProductFlags2
  // `[build] sign_command`: the command that signs the finished installer,
  // with "{in}" for the unsigned file and "{out}" for the signed one; ""
  // when the installer is not signed.
  std::string sign_command;
};

// Reads and checks the project file `path`; sources are taken relative to
// its folder.
Project load_project(const std::filesystem::path& path, const ProjectEnvironment& env);

// Same for project text already in memory; `display_name` names it in
// errors, `base` is the folder that sources are relative to.
Project parse_project(std::string_view text, std::string_view display_name,
                      const std::filesystem::path& base, const ProjectEnvironment& env);

}  // namespace hs::tools
