#pragma once
// Songs between the library and the card: copying library songs to the card, deleting songs from
// it, copying card songs back into the library folder, and marking the songs that stand on both
// sides. `selected` names list entries in the order the list shows them.

#include <string>
#include <vector>

#include "catalogue/Catalogue.h"

namespace sondesk {

// The space the card must keep beside the songs: 150,000 bytes and 128 bytes per song.
inline constexpr std::uint64_t kCardSpaceReserve = 150000;
inline constexpr std::uint64_t kCardSpacePerSong = 128;

// Copies the selected library songs to the card, each under the next free song number, then
// rebuilds the catalogue. A song whose file cannot be read or written does not enter the card
// list (the player would list a song it cannot play) and the user is told which. Refused before
// anything is written when the card lacks the space, or when the card would pass 16,000 songs or
// a song number would reach 32768. 1 when the songs were copied and the catalogue rebuilt, 0
// when nothing was done.
int CopySongsToCard(Catalogue& catalogue, const std::vector<std::size_t>& selected);

// After the user confirmed, deletes the selected songs' files from the card, removes them from the
// card list (also a song whose file could not be deleted) and rebuilds the catalogue. 1 when songs
// were deleted, 0 when nothing was selected or the user declined.
int DeleteSongsFromCard(Catalogue& catalogue, const std::vector<std::size_t>& selected,
                        const std::string& title);

// Copies the selected card songs into the library folder, each named after the file name in its
// header (or after its song number when that name is taken), then reads the library again.
// Returns the number of songs copied.
std::size_t CopySongsFromCard(Catalogue& catalogue, const std::vector<std::size_t>& selected);

// Marks every song of either list whose title stands in the other list.
void CompareLibraryAndCard(Catalogue& catalogue);

// The library name for a song copied from the card: the header's file name without folders,
// without ".." and cut before its last dot, its accented letters turned back from the player's
// codes, in UTF-8. "" when nothing usable is left.
std::string LibraryNameFromHeader(const std::string& headerFileName);

}  // namespace sondesk
