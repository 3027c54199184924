#pragma once
// The mark of songs on both lists, which the list icons show and CARD.DAT keeps: a library song and
// a card song are the same song when their titles are equal, byte for byte, whatever their files.

#include "app/SongEntry.h"

namespace sondesk {

// Clears every entry's both-lists mark and sets it on every song whose title (exact, case-sensitive)
// stands on the other list too. Hash sets of titles, so 16,384 songs on each side cost two passes,
// not 16,384 x 16,384 comparisons.
void CompareLibraryAndCard(SongList& library, SongList& card);

}  // namespace sondesk
