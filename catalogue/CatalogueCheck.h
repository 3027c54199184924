#pragma once

#include <string>
#include <vector>
// Keeping the card usable by the player when its catalogue is incomplete or lost: the presence
// test, the check that creates what is missing, emptying the card, and the recovery of the card
// list from the song files found in the 31 song folders.

#include "catalogue/Catalogue.h"

namespace sondesk {

// 1 when INDEX0.DAT to INDEX4.DAT, SETUP.DAT, ALPHA0.DAT and the 31 song folders all exist.
int CatalogueComplete(Catalogue& catalogue);

// Creates every missing catalogue file (empty indexes and letter tables, the default SETUP.DAT),
// the missing song folders, the 16 playlists and PLAYLIST.LST; what exists is never rewritten.
// Returns 1.
int CheckCatalogue(Catalogue& catalogue);

// The empty catalogue of a freshly formatted card: what the format's last step writes.
int CreateEmptyCatalogue(Catalogue& catalogue);

// Formats the card (through the player) or deletes every root file and every song file (through a
// reader), then runs the check. The card list is not touched; the caller empties it.
// 1 when the card was emptied; 0 when its format failed (the stop box has told why, and the card's
// songs may still be there, so nothing that lists them may be cleared).
int EmptyCard(Catalogue& catalogue);

// After asking, rebuilds the card list from the headers of the song files in folders 0 to 30 and
// rewrites the index files. 1 when the catalogue was rebuilt, 0 when the user declined or the
// rebuild failed.
int RecoverCatalogue(Catalogue& catalogue);

// The song number a file of song folder `folder` stands for: its name must be five digits and
// ".MF3", the number below 32768 and in that folder; else -1. Recovery lists nothing else, because
// the player finds a song only by the folder and name its number gives.
int RecoverableSongNumber(const std::string& fileName, int folder);

// How the card list (as loaded from INDEX0.DAT) and the song folders disagree: song files that no
// catalogue entry names, and catalogue entries whose file is missing. A damaged INDEX0.DAT shows here
// as many unlisted files, and a recovery is what mends it.
struct CatalogueAgreement {
  std::vector<unsigned> unlisted;  // song numbers of files not in the list
  std::vector<unsigned> missing;   // song numbers in the list without a file
  bool folderUnreadable = false;
  bool Agrees() const { return unlisted.empty() && missing.empty() && !folderUnreadable; }
  // One line for the user, with the numbers of the first few songs concerned.
  std::string Describe() const;
};
CatalogueAgreement CompareCatalogueWithFolders(Catalogue& catalogue);

// Tells the user (a caution box that offers the recovery) when the card list and the song folders
// disagree. 1 when they agree.
int WarnIfCatalogueDisagrees(Catalogue& catalogue);

}  // namespace sondesk
