#include "cli/CliContext.h"

#include <CLI/CLI.hpp>
#include <iostream>

#include "app/Paths.h"
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

bool CliContext::LockLibrary() {
  const std::string dir = session().libraryDir();
  MakeFolders(dir);
  return Hold(dir, "the library folder");
}

bool CliContext::Hold(const std::string& path, const std::string& what) {
  std::string error;
  auto lock = WriteLock::Acquire(path, what, error);
  if (!lock) {
    Fail(error);
    return false;
  }
  locks_.push_back(std::move(lock));
  return true;
}

bool CliContext::LockCard() {
  // What names the card: the image or device, the player's port, or the reader's folder.
  std::string path = options.image;
  if (path.empty() && !options.port.empty()) {
    const std::string& port = options.port;
    const std::size_t colon = port.find(':');
    path = colon == std::string::npos ? std::string() : port.substr(colon + 1, port.find('?') - colon - 1);
  }
  if (path.empty() && options.port.empty() && options.image.empty()) {
    path = !options.card.empty() ? options.card : session().settings().flashDrive;
    if (path == kNoDrive) path.clear();
  }
  if (path.empty()) return true;  // lpt1/lpt2 or no card at all: nothing to lock by name
  return Hold(path, "the card");
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
