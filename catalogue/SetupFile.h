#pragma once
// SETUP.DAT on the card, read into and written from the catalogue's player options record.

#include "catalogue/Catalogue.h"

namespace sondesk {

// Fills the options record from SETUP.DAT: up to 140 bytes; the bytes beyond a shorter file keep
// what they held. 1 when the file was read, 0 otherwise (nobody is told).
int ReadPlayerOptions(Catalogue& catalogue);

// Writes the whole 140-byte record to SETUP.DAT, replacing the old file only once the new one is
// complete, under the card's write lock. 1 written; 0 after "Cannot Write %s" or "Cannot transfer
// %s", or when another program holds the card (told, nothing written).
int WritePlayerOptions(Catalogue& catalogue);

}  // namespace sondesk
