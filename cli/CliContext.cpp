#include "cli/CliContext.h"

#include <CLI/CLI.hpp>
#include <iostream>

#include "app/Drives.h"
#include "app/FirstStart.h"
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
    // A first start gets what the installer would have written, so the next command finds the same
    // program folder, library and language.
    SetUpFirstStart(paths);
    session_ = std::make_unique<Session>(ui, paths, SystemClock(), options.lang);
    UseUserFoldersWhereUnset(*session_);
    if (!options.programDir.empty()) session_->SetProgramDir(options.programDir);
    if (!options.library.empty()) session_->SetLibraryDir(options.library);
  }
  return *session_;
}

std::unique_ptr<CardService> CliContext::OpenCard(bool mount) {
  Session& s = session();
  const CliOptions& o = options;
  auto card = std::make_unique<CardService>(s);
  std::string error;
  if (!o.port.empty() || !o.image.empty()) {
    if (!o.card.empty()) {
      Usage("give either --card or --port / --image, not both");
      return nullptr;
    }
    if (!card->OpenPlayer(o.image, o.port, error) || (mount && !card->MountPlayer(error))) {
      Fail(error);
      return nullptr;
    }
    s.linkMode = LinkMode::Player;
    return card;
  }
  // The settings' card drive follows the desktop program's rule: a fixed disk is no card drive. A
  // folder given with --card is the user's explicit choice for this run.
  if (o.card.empty()) SetAsideFixedCardDrive(s.settings());
  const std::string drive = !o.card.empty() ? o.card : s.settings().flashDrive;
  if (drive.empty() || drive == kNoDrive) {
    Usage("no card: give --card DIR (a card reader), --port PORT (the player) or --image IMAGE");
    return nullptr;
  }
  if (!card->UseReader(drive, error)) {
    Fail(error);
    return nullptr;
  }
  return card;
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
  // Taken before the card is opened, so that nothing is read before the lock.
  std::string reader;
  if (options.port.empty() && options.image.empty()) {
    reader = !options.card.empty() ? options.card : session().settings().flashDrive;
    if (reader.empty()) return true;  // no card at all: the open says so
  }
  const std::string path = CardService::LockTarget(session(), options.image, options.port, reader);
  if (path.empty() || (!IsFile(path) && !IsFolder(path) && path.rfind("/dev/", 0) != 0)) return true;
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
