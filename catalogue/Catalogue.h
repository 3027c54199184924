#pragma once
// What the program keeps of the card's catalogue between operations: the title index image and
// its previous copy (from which the playlists are carried over), the list of playlists, the player
// options record and the rebuild's work store. The card list itself lives in the Session.

#include <memory>

#include "app/Session.h"
#include "catalogue/CardFiles.h"
#include "catalogue/CatalogueBuilder.h"
#include "catalogue/PlayerOptions.h"
#include "catalogue/PlaylistFiles.h"
#include "catalogue/TitleIndexImage.h"

namespace sondesk {

class Catalogue {
 public:
  Catalogue(Session& session, CardFiles& files) : session_(&session), files_(&files) {}

  Session& session() const { return *session_; }
  CardFiles& files() const { return *files_; }
  // Another way to the card (a reconnect); what is held stays.
  void SetFiles(CardFiles& files) { files_ = &files; }
  bool linkMode() const { return files_->mode() == LinkMode::Player; }

  // INDEX0.DAT as last read, and the copy kept before the card list changed.
  TitleIndexImage titleIndex;
  TitleIndexImage previousTitleIndex;
  void KeepPreviousTitleIndex() { previousTitleIndex = titleIndex; }

  PlaylistTable playlists;
  PlayerOptions options;  // zero until SETUP.DAT is first read

  // Made on first use and kept.
  CatalogueWorkStore& workStore();

 private:
  Session* session_;
  CardFiles* files_;
  std::unique_ptr<CatalogueWorkStore> work_;
};

}  // namespace sondesk
