#include "platform/win32/win32_system.h"

#include "platform/win32/win32_services.h"

namespace hs::platform::win32 {

namespace {

class WindowsMachine final : public Machine {
 public:
  System& system() override { return system_; }

 private:
  Win32Files files_;
  Win32Registry registry_;
  Win32Shell shell_;
  Win32Processes processes_;
  Win32UserInterface ui_;
  Win32SystemInfo info_;
  Win32Clock clock_;
  System system_{files_, registry_, shell_, processes_, ui_, info_, clock_};
};

}  // namespace

std::unique_ptr<Machine> make_system() { return std::make_unique<WindowsMachine>(); }

}  // namespace hs::platform::win32
