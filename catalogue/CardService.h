#pragma once
// The one way both front ends reach the card: it opens the card through a card reader (its files
// under a folder) or through the player (its sectors over the link, or a card image read directly),
// mounts and connects it, formats it with the empty catalogue, checks the catalogue and releases
// the card. The desktop program keeps one for its whole run and moves between the two ways; a
// command of the command line makes one for its single operation.

#include <memory>
#include <string>

#include "app/Session.h"
#include "app/WriteLock.h"
#include "catalogue/Catalogue.h"
#include "catalogue/ReaderCardFiles.h"

namespace sondesk {

class CardConnection;
class CardFileSystem;
class FatCardFiles;
class Link;

class CardService {
 public:
  explicit CardService(Session& session);
  ~CardService();
  CardService(const CardService&) = delete;
  CardService& operator=(const CardService&) = delete;

  Session& session() { return session_; }

  // --- Reader mode ------------------------------------------------------------------------
  // The card in a reader: `drive` names its folder for this run only (the settings file keeps its
  // own), "" the settings' card drive. Any connection to the player is released. False with `error`
  // when no drive is named or it cannot be used.
  bool UseReader(const std::string& drive, std::string& error);

  // --- Link mode --------------------------------------------------------------------------
  // Opens the way to the card's sectors: `image` read directly when not empty, else the player on
  // `port` ("" for the settings' choice). A virtual player's card named in the settings that does
  // not exist yet is made blank and formatted at once, as the player's own first start does. Nothing
  // is mounted. False with `error`.
  bool OpenPlayer(const std::string& image, const std::string& port, std::string& error);
  // Mounts the opened card (a card without a FAT16 is offered the format) and reads its root.
  // False with `error` when it does not mount or the user chose to work off-line.
  bool MountPlayer(std::string& error);
  // OpenPlayer, then MountPlayer.
  bool ConnectPlayer(const std::string& image, const std::string& port, std::string& error);
  bool playerOpen() const { return connection_ != nullptr; }
  bool playerConnected() const { return files_ != nullptr; }
  // True when the player stopped answering and the user chose to work off-line.
  bool DeviceLost() const;
  Link* link();
  CardFileSystem* fileSystem();

  // Releases the player (or the card image); the catalogue falls back to the card reader.
  void Release();

  // --- Both -------------------------------------------------------------------------------
  // The card is reachable when the player is connected or the card drive is usable.
  bool Reachable();
  // The catalogue over the way the card is reached now; nullptr when neither is.
  Catalogue* CatalogueNow();
  // The catalogue whatever the card's state (its images and playlists survive a lost card).
  Catalogue& catalogue();

  // Reads the card list and title index. 1 when read.
  int Load();

  // Asks whether to format (naming the card drive in reader mode), then empties the card: a fresh
  // FAT16 with the empty catalogue through the player, every root file and song file deleted through
  // a reader, and the catalogue check either way. The card list is emptied. 1 when the card was
  // emptied, 0 when the user said No or it is not reachable. In link mode the card need not mount
  // first: a card that never had a file system is formatted all the same.
  int Format();

  // The presence test, then, when something is missing, the check that creates it, with the player
  // claimed. 1 when the catalogue was complete, 0 when missing pieces were created, -1 when the card
  // is not reachable.
  int Check();

  // Before a write through the player (songs, deletions, recovery): a card whose chains run into
  // free or foreign clusters is read-only, since a write would hand out clusters other files still
  // use. 1 when it may be written (or is reached through a reader), 0 with `problem` naming the
  // damage, -1 when the card cannot be read.
  int CheckWritable(std::string& problem);

  // What names the card for its write lock: the image or device, the player's port device (the
  // virtual player's image), or the reader's folder. "" when nothing names it.
  static std::string LockTarget(Session& session, const std::string& image, const std::string& port,
                                const std::string& readerDrive);

  // Before a write to the card (songs, deletions, recovery, a format): holds the card's write lock
  // in `lock` for as long as the caller keeps it, so a second program or command cannot interleave
  // its FAT and catalogue writes. Through the player, what this program holds of the card is read
  // again: a card another program changed since its list was read is refused (the catalogue's
  // `listOutdated`, until the list is loaded again) unless the write does not rest on the list
  // (`listNeeded` false, or a format). Then, unless `format`, the chains are checked as
  // CheckWritable does. False with `error` for the user when another writer holds the card or it
  // must not be written.
  bool BeginWrite(std::unique_ptr<WriteLock>& lock, std::string& error, bool format = false,
                  bool listNeeded = true);

  // Fills status pane 3 with the card's free space: as the player reports it, or the drive's.
  void ShowFreeSpace();

 private:
  ReaderCardFiles& ReaderFiles();
  bool PrepareVirtualCard(bool& fresh, std::string& error);

  Session& session_;
  std::unique_ptr<ReaderCardFiles> reader_;
  std::unique_ptr<CardConnection> connection_;
  std::unique_ptr<FatCardFiles> files_;
  std::unique_ptr<FatCardFiles> unmountedFiles_;  // a format's way to a card that did not mount
  std::unique_ptr<Catalogue> catalogue_;
  std::string playerLockTarget_;  // what LockTarget names for the open player or image
};

}  // namespace sondesk
