#include "cli/CliContext.h"

#include <iostream>

namespace sondesk {

Session& CliContext::session() {
  if (!session_) {
    Paths paths = Paths::FromEnvironment(options.windir);
    paths.EnsureFolders();
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

}  // namespace sondesk
