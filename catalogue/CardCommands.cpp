#include "catalogue/CardCommands.h"

#include "catalogue/CardCatalogue.h"
#include "catalogue/CardTransfers.h"
#include "catalogue/CatalogueCheck.h"
#include "catalogue/Playlists.h"

namespace sondesk {

namespace {

// The playlists hold positions in the title index: they can be carried over only from a title
// index that was read before the change to one read after it. Without either, every position
// would map to nothing and the playlists would be emptied; they are left as they are instead.
void CarryOverPlaylistsIfKnown(Catalogue& cat) {
  const bool knewBefore = cat.previousTitleIndex.count() > 0;
  if (ReadTitleIndexImage(cat) == 1 && knewBefore) CarryOverPlaylists(cat);
}

}  // namespace

int CardToCommand(Catalogue& cat, const std::vector<std::size_t>& librarySongs) {
  Session& s = cat.session();
  cat.KeepPreviousTitleIndex();
  s.BusyCursorOn();
  CardAccess access(cat.files());
  const int result = CopySongsToCard(cat, librarySongs);
  if (result == 1) CarryOverPlaylistsIfKnown(cat);
  s.BusyCursorOff();
  return result;
}

int CardDeleteCommand(Catalogue& cat, const std::vector<std::size_t>& cardSongs) {
  cat.KeepPreviousTitleIndex();
  CardAccess access(cat.files());
  const int result = DeleteSongsFromCard(cat, cardSongs, cat.session().Text(132));
  if (result == 1) CarryOverPlaylistsIfKnown(cat);
  return result;
}

int FormatCommand(Catalogue& cat) {
  Session& s = cat.session();
  const std::string question =
      cat.linkMode() ? s.Text(123) : FormatText(s.Text(122), s.settings().flashDrive.c_str());
  if (s.ShowBox(question, 22, BoxIcon::Question, BoxButtons::YesNo) != BoxAnswer::Yes) return 0;
  s.BusyCursorOn();
  if (EmptyCard(cat) != 1) {
    // The old songs may all still be there: a list emptied now would number the next transfer
    // from 0, over their files.
    s.BusyCursorOff();
    return 0;
  }
  s.card.clear();
  cat.titleIndex.Clear();
  s.BusyCursorOff();
  return 1;
}

int RecoverCommand(Catalogue& cat) {
  CardAccess access(cat.files());
  return RecoverCatalogue(cat);
}

}  // namespace sondesk
