// The one kind of mistake the project-file reader reports.
#pragma once

#include <stdexcept>

namespace hs::tools {

// A mistake in a project file; what() is "FILE:LINE:COLUMN: message".
class ProjectError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace hs::tools
