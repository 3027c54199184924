#pragma once
// What the program keeps of the card's catalogue between operations: the title index image and
// its previous copy (from which the playlists are carried over), the list of playlists, the player
// options record and the rebuild's work store. The card list itself lives in the Session.

#include <functional>
#include <memory>
#include <string>

#include "app/Session.h"
#include "app/SideWorker.h"
#include "app/WriteLock.h"
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

  // INDEX1.DAT and INDEX2.DAT as the last load read them: kept so that the next load reads into
  // memory already there.
  std::vector<std::uint8_t> categoryIndexBytes, performerIndexBytes;

  PlaylistTable playlists;
  // Set when another program changed the card after the card list was read: the list no longer
  // names what is on the card, and a write made from it (a rebuilt index, a song number, a
  // selection) would be wrong. Cleared by the next load of the card list.
  bool listOutdated = false;
  PlayerOptions options;  // zero until SETUP.DAT is first read

  // Made on first use and kept.
  CatalogueWorkStore& workStore();
  // The second thread a rebuild writes its index files on; made on first use and kept.
  SideWorker& sideWorker();

  // What a change of the card's files must pass first: the owner of the way to the card (the card
  // service) holds the card's write lock in `lock` for as long as the caller keeps it and checks
  // that the card may be written; false with `error` for the user. Unset, nothing is asked.
  // `listNeeded` false: the write does not rest on the card list (the load that reads it anew).
  using WriteGuard =
      std::function<bool(std::unique_ptr<WriteLock>& lock, std::string& error, bool listNeeded)>;
  void SetWriteGuard(WriteGuard guard) { writeGuard_ = std::move(guard); }
  // The guard before a playlist or player-options change: a card another program is writing is
  // refused by name (the user is told) and nothing of it is written. A command that already holds
  // the card shares its own lock and never waits for itself.
  bool BeginWrite(std::unique_ptr<WriteLock>& lock, bool listNeeded = true);

 private:
  Session* session_;
  CardFiles* files_;
  std::unique_ptr<CatalogueWorkStore> work_;
  std::unique_ptr<SideWorker> side_;
  WriteGuard writeGuard_;
};

}  // namespace sondesk
