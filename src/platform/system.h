// The whole platform boundary: one object per service.
//
// The engine receives a `System&` at its entry and reaches Windows only
// through it. `win32::make_system()` gives the real one; `sim::SimMachine`
// gives a simulated Windows on a host folder.
#pragma once

#include "platform/files.h"
#include "platform/processes.h"
#include "platform/registry.h"
#include "platform/shell.h"
#include "platform/system_info.h"
#include "platform/ui.h"

namespace hs::platform {

struct System {
  Files& files;
  Registry& registry;
  Shell& shell;
  Processes& processes;
  UserInterface& ui;
  SystemInfo& info;
  Clock& clock;
};

}  // namespace hs::platform
