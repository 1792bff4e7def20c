// hpack build PROJECT.toml: the project file's settings and files, through
// the package writer, attached to the engine stub.
#include <fstream>
#include <iostream>
#include <stdexcept>

#include "commands.h"
#include "installer_image.h"
#include "package/product_flags.h"
#include "package/settings.h"
#include "packwriter/package_writer.h"
#include "packwriter/pe_image.h"
#include "project/project.h"
#include "project_build.h"
#include "signing.h"

namespace hs::tools {

bool is_project_file(const std::string& argument) {
  return argument.size() > 5 && argument.compare(argument.size() - 5, 5, ".toml") == 0;
}

void build_from_project(const ProjectBuildOptions& o) {
  Project project;
  try {
    project = load_project(o.project, environment_from_process());
  } catch (const ProjectError& error) {
    std::cerr << error.what() << "\n";
    throw CommandExit{kExitError};
  }
  const std::string stream = package::write_settings(project.settings);
  const std::vector<std::uint8_t> settings(stream.begin(), stream.end());
  PackageOptions options = project.package;
  options.threads = o.threads;
  const std::vector<std::uint8_t> package = build_package(settings, project.files, options);
  const std::string sign_command = o.sign_command.empty() ? project.sign_command : o.sign_command;
  std::vector<std::uint8_t> out;
  if (o.package_only) {
    if (!o.sign_command.empty())
      throw std::runtime_error("--sign-command signs an installer, not a bare package (--package-only)");
    out = package;
  } else {
    if (o.stub.empty()) throw std::runtime_error("--stub is required (or --package-only)");
    out = attach_package(read_host_file(o.stub), package);
  }
  if (!o.package_only && !sign_command.empty()) {
    sign_installer(sign_command, out, o.output,
                   (project.settings.product_flags2 & (1u << package::pf2::kUninstallerWithoutPackage)) != 0);
  } else {
    std::ofstream file(o.output, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(out.data()), static_cast<std::streamsize>(out.size()));
    if (!file) throw std::runtime_error("cannot write \"" + o.output + "\"");
  }
  std::cout << o.output << ": " << project.files.size() << " entries, settings " << settings.size()
            << " bytes, package " << package.size() << " bytes\n";
}

}  // namespace hs::tools
