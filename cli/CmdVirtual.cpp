#include <CLI/CLI.hpp>

#include "cli/CliContext.h"

namespace sondesk {

// Commands of this group are registered when their operations exist.
void RegisterVirtualCommands(CLI::App& app, CliContext& ctx) {
  (void)app;
  (void)ctx;
}

}  // namespace sondesk
