#pragma once
// The card commands of the main window (and of the command line) in the order they have always
// run: claiming the player, the operation, then the title index and the playlists brought in step
// with the new catalogue.

#include <vector>

#include "catalogue/Catalogue.h"

namespace sondesk {

// "to card": the previous title index is kept, the songs copied, the title index read again and
// the playlists carried over. The result of CopySongsToCard.
int CardToCommand(Catalogue& catalogue, const std::vector<std::size_t>& librarySongs);

// "delete" on the card list: as "to card", around DeleteSongsFromCard. Its result.
int CardDeleteCommand(Catalogue& catalogue, const std::vector<std::size_t>& cardSongs);

// Format: after the user confirmed, the card is emptied and the card list with it. 1 when emptied.
int FormatCommand(Catalogue& catalogue);

// Index regeneration: RecoverCatalogue with the player claimed. Its result.
int RecoverCommand(Catalogue& catalogue);

}  // namespace sondesk
