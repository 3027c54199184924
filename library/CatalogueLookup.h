#pragma once
// The song catalogue lookup of an import: the maker's dBASE table MIDI.DBF in the program folder
// names the songs it knows, and a new MF3 file of such a song gets the catalogue's title, author,
// performer, publisher and category; any other song keeps the texts its MIDI file carried.

#include <optional>
#include <string>

#include "midi/Mf3Header.h"

namespace sondesk {

class Session;

inline constexpr const char* kCatalogueName = "MIDI.DBF";
// The floppy's own catalogue, checked by the outside tool summidi before it is used.
inline constexpr const char* kFloppyCatalogueName = "SUMMIDI.DAT";

// The texts the conversion found in the MIDI file.
struct SongOwnTexts {
  std::string title;
  std::string author;
  std::string publisher;
  std::string copyright;
  // The copyright as the conversion left it, which names the publisher the catalogue trusts.
  std::string copyrightCopy;
};

// What the lookups of one import command share.
struct CatalogueRun {
  // A missing catalogue is reported once per import command, not once per song.
  bool missingReported = false;
  // The floppy step runs once per floppy import: its outcome, once known.
  std::optional<bool> floppyCatalogueReady;
  // The floppy or removable folder of a floppy import.
  std::string floppyDir;
  // The program folder's catalogue, found once per command: looking through the data folders took
  // more of the Ui thread's time than the lookup itself.
  std::optional<std::string> cataloguePath;
};

// True when the catalogue may be applied to a song with this copyright text: it names K-NOVA or
// TUNEWARE (letters in any case), or ForceDBSettings is 1. A song without copyright text never
// gets the catalogue's texts.
bool CataloguePublisherAccepted(const std::string& copyrightCopy, int forceDbSettings);

// Fills the texts of the MF3 file at `mf3Path`, just written by the import, from the catalogue
// or from `own`. `songFileName` is the source file's name (its stem makes the key).
void LookUpCatalogue(Session& session, const std::string& mf3Path, const std::string& songFileName,
                     bool fromFloppy, const SongOwnTexts& own, CatalogueRun& run);
// The same on a header in memory, for a song whose file is written once, with its final texts.
void LookUpCatalogue(Session& session, Mf3Header& header, const std::string& songFileName, bool fromFloppy,
                     const SongOwnTexts& own, CatalogueRun& run);

// The floppy step: copies the floppy's SUMMIDI.DAT into the work folder, starts summidi on it and
// gives it a second. True when the copy can then be read, and the lookup uses it.
bool PrepareFloppyCatalogue(Session& session, const std::string& floppyDir);

// The path of the floppy catalogue's copy in the work folder.
std::string FloppyCataloguePath(const Session& session);

}  // namespace sondesk
