#include "cli/CliContext.h"

#include <CLI/CLI.hpp>
#include <iostream>

#include "app/ProfileFile.h"

namespace sondesk {

Session& CliContext::session() {
  if (!session_) {
    Paths paths = Paths::FromEnvironment(options.windir);
    paths.EnsureFolders();
    // A settings file that is a device, a pipe or far too large is never read (it would hang or
    // flood memory); say so once, then run on the defaults.
    if (const std::string problem = ProfileFileProblem(paths.IniPath()); !problem.empty())
      std::cerr << "sondesk-cli: " << problem << "; the settings' defaults are used and no setting is saved\n";
    session_ = std::make_unique<Session>(ui, paths, SystemClock(), options.lang);
    if (!options.programDir.empty()) session_->SetProgramDir(options.programDir);
    if (!options.library.empty()) session_->SetLibraryDir(options.library);
  }
  return *session_;
}

void CliContext::Fail(const std::string& message) {
  std::cerr << "sondesk-cli: " << message << "\n";
  exitCode = 1;
}

void CliContext::Usage(const std::string& message) {
  std::cerr << "sondesk-cli: " << message << "\n";
  exitCode = 2;
}

CLI::App* GetOrAddSubcommand(CLI::App& parent, const std::string& name, const std::string& description) {
  for (CLI::App* sub : parent.get_subcommands([](CLI::App*) { return true; })) {
    if (sub->get_name() == name) return sub;
  }
  CLI::App* sub = parent.add_subcommand(name, description);
  sub->require_subcommand(1);
  return sub;
}

}  // namespace sondesk
