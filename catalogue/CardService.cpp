#include "catalogue/CardService.h"

#include "cardfs/CardConnection.h"
#include "cardfs/LinkSectorDevice.h"
#include "catalogue/CardCatalogue.h"
#include "catalogue/CardCommands.h"
#include "catalogue/CatalogueCheck.h"
#include "catalogue/FatCardFiles.h"
#include "emulator/CardImage.h"
#include "link/Link.h"
#include "link/PortFactory.h"
#include "app/Paths.h"

namespace sondesk {

namespace {
// Holds the write lock of the card `target` names (see LockTarget).
bool LockCard(const std::string& target, std::unique_ptr<WriteLock>& lock, std::string& error) {
  // A card not made yet (the virtual player's first image) has nobody else writing it.
  if (target.empty() || !(IsFile(target) || IsFolder(target) || target.rfind("/dev/", 0) == 0)) return true;
  lock = WriteLock::Acquire(target, "the card", error);
  return lock != nullptr;
}
}  // namespace

CardService::CardService(Session& session) : session_(session) {}

CardService::~CardService() {
  // The catalogue refers to the files, the files to the file system: gone in that order.
  catalogue_.reset();
  files_.reset();
  unmountedFiles_.reset();
  connection_.reset();
}

ReaderCardFiles& CardService::ReaderFiles() {
  const std::string& drive = session_.settings().flashDrive;
  if (!reader_ || reader_->drive() != drive) {
    auto fresh = std::make_unique<ReaderCardFiles>(drive);
    // The catalogue moves to the new files before the old ones go.
    if (catalogue_ && !files_) catalogue_->SetFiles(*fresh);
    reader_ = std::move(fresh);
  }
  return *reader_;
}

Catalogue& CardService::catalogue() {
  if (!catalogue_) {
    CardFiles& files = files_ ? static_cast<CardFiles&>(*files_) : static_cast<CardFiles&>(ReaderFiles());
    catalogue_ = std::make_unique<Catalogue>(session_, files);
    // Playlist and player-option changes come from dialogs that know only the catalogue: they
    // pass the same lock and check as the service's other writes.
    catalogue_->SetWriteGuard([this](std::unique_ptr<WriteLock>& lock, std::string& error, bool listNeeded) {
      return BeginWrite(lock, error, /*format=*/false, listNeeded);
    });
  }
  return *catalogue_;
}

bool CardService::UseReader(const std::string& drive, std::string& error) {
  Release();
  const std::string chosen = drive.empty() ? session_.settings().flashDrive : drive;
  if (chosen.empty() || chosen == kNoDrive) {
    error = "no card drive";
    return false;
  }
  // For this run only: the settings file keeps its drive.
  session_.settings().flashDrive = chosen;
  session_.driveReady = true;
  if (!session_.CardDriveUsable()) {
    error = "the card folder cannot be used: " + chosen;
    return false;
  }
  session_.linkMode = LinkMode::CardReader;
  catalogue().SetFiles(ReaderFiles());
  return true;
}

bool CardService::PrepareVirtualCard(bool& fresh, std::string& error) {
  fresh = false;
  const Settings& s = session_.settings();
  if (s.portBackend != "virtual" || s.virtualCard.empty() || IsFile(s.virtualCard)) return true;
  MakeFolders(DirName(s.virtualCard));
  std::string why;
  if (!CreateBlankCardImage(s.virtualCard, kDefaultVirtualCardMegabytes, why)) {
    error = session_.Text(35) + why;
    return false;
  }
  fresh = true;
  return true;
}

bool CardService::OpenPlayer(const std::string& image, const std::string& port, std::string& error) {
  Release();
  bool fresh = false;
  if (image.empty() && port.empty() && !PrepareVirtualCard(fresh, error)) return false;
  std::unique_ptr<CardConnection> c = CardConnection::Open(session_, image, port, error);
  if (!c) return false;
  CardFileSystem& fs = c->fs();
  // Every format of this card, whoever starts it, ends with the empty catalogue; the one a mount
  // offers takes the card's lock as every other write does.
  InstallCatalogueCreator(fs);
  const std::string target = LockTarget(session_, image, port, "");
  fs.formatGuard = [target](std::unique_ptr<WriteLock>& lock, std::string& error) {
    return LockCard(target, lock, error);
  };
  // A card just made is formatted at once rather than asking the user about a card nobody has
  // seen yet.
  if (fresh && fs.FormatCard() != 1) {
    error = fs.lastErrorText();
    return false;
  }
  connection_ = std::move(c);
  playerLockTarget_ = target;
  return true;
}

bool CardService::MountPlayer(std::string& error) {
  if (!connection_) {
    error = "the card is not open";
    return false;
  }
  CardFileSystem& fs = connection_->fs();
  if (fs.ConnectCard() != 1) {
    error = "cannot mount the card: " + fs.lastErrorText();
    return false;
  }
  unmountedFiles_.reset();
  files_ = std::make_unique<FatCardFiles>(fs);
  catalogue().SetFiles(*files_);
  return true;
}

bool CardService::ConnectPlayer(const std::string& image, const std::string& port, std::string& error) {
  if (!OpenPlayer(image, port, error)) return false;
  if (!MountPlayer(error)) {
    connection_.reset();
    return false;
  }
  return true;
}

Link* CardService::link() {
  if (!connection_ || !connection_->throughPlayer()) return nullptr;
  return &static_cast<LinkSectorDevice&>(connection_->device()).link();
}

CardFileSystem* CardService::fileSystem() {
  return connection_ ? &connection_->fs() : nullptr;
}

bool CardService::DeviceLost() const {
  if (!connection_) return false;
  return connection_->device().LinkState() == kLinkAborted;
}

void CardService::Release() {
  if (catalogue_ && (files_ || unmountedFiles_)) catalogue_->SetFiles(ReaderFiles());
  files_.reset();
  unmountedFiles_.reset();
  connection_.reset();
  playerLockTarget_.clear();
}

bool CardService::Reachable() {
  return (session_.linkMode == LinkMode::Player && files_) || session_.CardDriveUsable();
}

Catalogue* CardService::CatalogueNow() {
  Catalogue& c = catalogue();
  if (session_.linkMode == LinkMode::Player && files_) {
    c.SetFiles(*files_);
    return &c;
  }
  if (session_.CardDriveUsable()) {
    c.SetFiles(ReaderFiles());
    return &c;
  }
  return nullptr;
}

int CardService::Load() {
  Catalogue* c = CatalogueNow();
  return c != nullptr ? LoadCardCatalogue(*c) : 0;
}

int CardService::Format() {
  Catalogue* c = CatalogueNow();
  if (c == nullptr && connection_ && session_.linkMode == LinkMode::Player) {
    // A card that did not mount (never formatted, or its boot sector lost) is formatted through
    // its sectors all the same.
    if (!unmountedFiles_) unmountedFiles_ = std::make_unique<FatCardFiles>(connection_->fs());
    c = &catalogue();
    c->SetFiles(*unmountedFiles_);
  }
  if (c == nullptr) return 0;
  const int result = FormatCommand(*c);
  if (result == 1 && unmountedFiles_ && connection_ && connection_->fs().mounted()) {
    // The format mounted the fresh card: from now on it is connected like any other.
    files_ = std::move(unmountedFiles_);
    c->SetFiles(*files_);
  }
  return result;
}

int CardService::Check() {
  Catalogue* c = CatalogueNow();
  if (c == nullptr) return -1;
  CardAccess access(c->files());
  if (CatalogueComplete(*c)) return 1;
  CheckCatalogue(*c);
  return 0;
}

std::string CardService::LockTarget(Session& session, const std::string& image, const std::string& port,
                                    const std::string& readerDrive) {
  if (!image.empty()) return image;
  if (readerDrive.empty()) return PortLockPath(session, port);
  return readerDrive == kNoDrive ? std::string() : readerDrive;
}

bool CardService::BeginWrite(std::unique_ptr<WriteLock>& lock, std::string& error, bool format, bool listNeeded) {
  error.clear();
  // The card as it is reached now: through the player while one is open, else the card drive
  // (the desktop program finds a reader's card through the settings, never through UseReader).
  const std::string& drive = session_.settings().flashDrive;
  const std::string target = session_.linkMode == LinkMode::Player && connection_ ? playerLockTarget_
                             : drive.empty()                                        ? std::string()
                                                  : LockTarget(session_, "", "", drive);
  if (!LockCard(target, lock, error)) return false;
  // Another program may have written the card since this one read it: what is held of it (the FAT,
  // the root, the card list) must not be written back over that program's work.
  if (session_.linkMode == LinkMode::Player && connection_ && files_) {
    const int again = connection_->fs().ReadAgain();
    if (again == 0) {
      lock.reset();
      error = "cannot read the card: " + connection_->fs().lastErrorText();
      return false;
    }
    if (again == 2 && catalogue_) catalogue_->listOutdated = true;
  } else if (catalogue_ && reader_ && &catalogue_->files() == reader_.get() && reader_->IndexChangedByOthers()) {
    // In a card reader the card's own files say it: another program rebuilt the catalogue.
    catalogue_->listOutdated = true;
  }
  if (catalogue_ && catalogue_->listOutdated && listNeeded && !format) {
    lock.reset();
    error = "the card was changed by another program after its list was read: nothing is written. "
            "Try again with the card's list as it is now";
    return false;
  }
  if (format) return true;
  std::string problem;
  const int writable = CheckWritable(problem);
  if (writable == 1) return true;
  lock.reset();
  CardFileSystem* fs = fileSystem();
  error = writable < 0 ? "cannot read the card: " + (fs != nullptr ? fs->lastErrorText() : std::string())
                       : "the card's file system is damaged (" + problem +
                             "): nothing is written to it. Copy its songs back to the library, then format "
                             "the card";
  return false;
}

int CardService::CheckWritable(std::string& problem) {
  problem.clear();
  if (session_.linkMode != LinkMode::Player || !files_ || !connection_) return 1;
  const int checked = connection_->fs().CheckChains(problem);
  if (checked == 1) return 1;
  return problem.empty() ? -1 : 0;
}

void CardService::ShowFreeSpace() {
  if (session_.linkMode == LinkMode::Player) {
    if (!connection_ || !connection_->fs().mounted()) {
      session_.SetStatusPane(3, session_.Text(114));
      return;
    }
    connection_->fs().ShowCardFreeSpace();
    return;
  }
  const long long free = session_.CardDriveUsable() ? session_.CardDriveFreeBytes() : -1;
  if (free < 0) {
    session_.SetStatusPane(3, session_.Text(114));
    return;
  }
  session_.SetStatusPane(3, FormatText(session_.Text(115), static_cast<double>(free / 1024) * (1.0 / 1024)));
}

}  // namespace sondesk
