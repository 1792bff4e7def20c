#include "uninstall/uninstaller_run.h"

namespace hs::uninstall {

// Reading the product's uninstall key and data file comes with the
// uninstaller; until then no product can be found.
int run_uninstaller(engine::Session& session, const std::u16string& name) {
  (void)session;
  (void)name;
  return 13;
}

}  // namespace hs::uninstall
