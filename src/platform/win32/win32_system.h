// The real Windows behind the platform boundary.
#pragma once

#include <memory>

#include "platform/system.h"

namespace hs::platform::win32 {

// Owns one object per service; `system` refers to them and lives as long
// as the machine.
class Machine {
 public:
  virtual ~Machine() = default;
  virtual System& system() = 0;
};

// The services of this process on the Windows it runs on.
std::unique_ptr<Machine> make_system();

}  // namespace hs::platform::win32
