#pragma once
// How the main window reaches the card: the card reader's drive, or the player on the parallel
// cable (the virtual player on a card image when no real one is there), and the catalogue the
// program keeps for it between operations.

#include <memory>
#include <string>

#include "app/Session.h"
#include "catalogue/Catalogue.h"
#include "catalogue/ReaderCardFiles.h"

namespace sondesk {

class CardConnection;
class CardFileSystem;
class FatCardFiles;
class Link;

class CardReach {
 public:
  explicit CardReach(Session& session);
  ~CardReach();
  CardReach(const CardReach&) = delete;
  CardReach& operator=(const CardReach&) = delete;

  Session& session() { return session_; }

  // The card is reachable when the card drive is usable or the player is connected.
  bool Reachable();
  // The catalogue over the way the card is reached now: the player when connected, else the card
  // drive; nullptr when neither.
  Catalogue* CatalogueNow();
  // The catalogue whatever the card's state (its images and playlists survive a lost card).
  Catalogue& catalogue();

  // --- The player -------------------------------------------------------------------------
  // Opens the port of the settings and mounts the card. The virtual player's card image is made,
  // formatted and given an empty catalogue the first time. True when the card answered; false when
  // the port cannot be opened (told) or the user chose to work off-line.
  bool ConnectPlayer();
  bool playerConnected() const { return files_ != nullptr; }
  // True when the player stopped answering and the user chose to work off-line.
  bool DeviceLost() const;
  void ClosePort();
  Link* link();
  // The card's file system while the player is connected.
  CardFileSystem* fileSystem();
  // Fills status pane 3 with the card's free space as the player reports it.
  void ShowPlayerFreeSpace();

 private:
  ReaderCardFiles& ReaderFiles();
  // A virtual card image named in the settings that does not exist yet: made blank now.
  bool PrepareVirtualCard(bool& fresh);

  Session& session_;
  std::unique_ptr<ReaderCardFiles> reader_;
  std::unique_ptr<CardConnection> connection_;
  std::unique_ptr<FatCardFiles> files_;
  std::unique_ptr<Catalogue> catalogue_;
};

}  // namespace sondesk
