#pragma once
// The card list and the index files: loading the list from the card, the title index image, and
// writing all eight index files again from the list.

#include <string>

#include "catalogue/Catalogue.h"

namespace sondesk {

// Clears the card list and loads it from INDEX0.DAT (titles, in file order), INDEX1.DAT
// (categories) and INDEX2.DAT (performers). A card whose catalogue is incomplete gets the missing
// pieces first, under the card's write lock (refused, they are not created). Through a reader whose drive is not usable the list stays empty. 1 when the list
// was loaded (it may be empty), 0 when an index file could not be read (the user has been told,
// and pane 0 says "No Drive").
int LoadCardCatalogue(Catalogue& catalogue);

// Fills the title index image from INDEX0.DAT. 1 read, 0 not (told when the file cannot be read).
int ReadTitleIndexImage(Catalogue& catalogue);

// Writes the eight index files from the card list. Each file replaces its old self only once it
// is complete, so an interruption leaves the old file or the new one, never a cut one. 1 when all
// eight were written.
int RebuildCardCatalogue(Catalogue& catalogue);

// How a catalogue file of the root is named to the user: its path under the card drive, or its
// name on the card.
std::string CataloguePath(const Catalogue& catalogue, const std::string& name);

// Progress items that sending INDEX0.DAT, INDEX1.DAT or INDEX2.DAT adds for the current card
// list (0 for the other files and through a reader).
std::uint32_t CatalogueUploadSize(Catalogue& catalogue, IndexFile file);

}  // namespace sondesk
