// hpack: builds and inspects Halvorend Setup installers.
#include <exception>
#include <iostream>

#include "commands.h"

int main(int argc, char** argv) {
  CLI::App app{"hpack: builds Halvorend Setup installers and inspects their packages"};
  app.require_subcommand(1);
  hs::tools::add_build_command(app);
  hs::tools::add_list_command(app);
  hs::tools::add_verify_command(app);
  hs::tools::add_extract_command(app);
  hs::tools::add_info_command(app);
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    return app.exit(e) == 0 ? hs::tools::kExitOk : hs::tools::kExitError;
  } catch (const hs::tools::CommandExit& e) {
    return e.code;
  } catch (const std::exception& e) {
    std::cerr << "hpack: " << e.what() << "\n";
    return hs::tools::kExitError;
  }
  return hs::tools::kExitOk;
}
