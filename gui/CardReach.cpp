#include "gui/CardReach.h"

#include "cardfs/CardConnection.h"
#include "cardfs/LinkSectorDevice.h"
#include "catalogue/FatCardFiles.h"
#include "emulator/CardImage.h"
#include "link/Link.h"
#include "link/PortFactory.h"

namespace sondesk {

CardReach::CardReach(Session& session) : session_(session) {}

CardReach::~CardReach() {
  // The catalogue refers to the files, the files to the file system: gone in that order.
  catalogue_.reset();
  files_.reset();
  connection_.reset();
}

ReaderCardFiles& CardReach::ReaderFiles() {
  const std::string& drive = session_.settings().flashDrive;
  if (!reader_ || reader_->drive() != drive) {
    auto fresh = std::make_unique<ReaderCardFiles>(drive);
    // The catalogue moves to the new files before the old ones go.
    if (catalogue_ && !files_) catalogue_->SetFiles(*fresh);
    reader_ = std::move(fresh);
  }
  return *reader_;
}

Catalogue& CardReach::catalogue() {
  if (!catalogue_) {
    CardFiles& files = files_ ? static_cast<CardFiles&>(*files_) : static_cast<CardFiles&>(ReaderFiles());
    catalogue_ = std::make_unique<Catalogue>(session_, files);
  }
  return *catalogue_;
}

bool CardReach::Reachable() {
  return (session_.linkMode == LinkMode::Player && files_) || session_.CardDriveUsable();
}

Catalogue* CardReach::CatalogueNow() {
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

bool CardReach::PrepareVirtualCard(bool& fresh) {
  fresh = false;
  const Settings& s = session_.settings();
  if (s.portBackend != "virtual" || s.virtualCard.empty() || IsFile(s.virtualCard)) return true;
  MakeFolders(DirName(s.virtualCard));
  std::string why;
  if (!CreateBlankCardImage(s.virtualCard, kDefaultVirtualCardMegabytes, why)) {
    session_.ShowStopBox(session_.Text(35) + why);
    return false;
  }
  fresh = true;
  return true;
}

bool CardReach::ConnectPlayer() {
  ClosePort();
  bool fresh = false;
  if (!PrepareVirtualCard(fresh)) return false;
  std::string error;
  std::unique_ptr<CardConnection> c = CardConnection::Open(session_, "", "", error);
  if (!c) {
    session_.ShowStopBox(error);
    return false;
  }
  CardFileSystem& fs = c->fs();
  InstallCatalogueCreator(fs);
  // A card just made is formatted at once, as the player's own first start does, rather than
  // asking the user about a card nobody has seen yet.
  if (fresh && fs.FormatCard() != 1) {
    session_.ShowStopBox(fs.lastErrorText());
    return false;
  }
  if (fs.ConnectCard() != 1) return false;
  connection_ = std::move(c);
  files_ = std::make_unique<FatCardFiles>(connection_->fs());
  catalogue().SetFiles(*files_);
  return true;
}

Link* CardReach::link() {
  if (!connection_ || !connection_->throughPlayer()) return nullptr;
  return &static_cast<LinkSectorDevice&>(connection_->device()).link();
}

CardFileSystem* CardReach::fileSystem() {
  return connection_ ? &connection_->fs() : nullptr;
}

bool CardReach::DeviceLost() const {
  if (!connection_) return false;
  return connection_->device().LinkState() == kLinkAborted;
}

void CardReach::ClosePort() {
  if (catalogue_ && files_) catalogue_->SetFiles(ReaderFiles());
  files_.reset();
  connection_.reset();
}

void CardReach::ShowPlayerFreeSpace() {
  if (!connection_ || !connection_->fs().mounted()) {
    session_.SetStatusPane(3, session_.Text(114));
    return;
  }
  connection_->fs().ShowCardFreeSpace();
}

}  // namespace sondesk
