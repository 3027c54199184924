#pragma once
// Bringing songs into the library: MIDI and karaoke files are converted into MF3 songs, MF3 songs
// are copied; a name already taken is settled with the duplicate question; the new song's texts
// come from the song catalogue or from the MIDI file.
//
// One import command (one file dialog, one floppy import, one drop) runs with one ImportRun: the
// "all" answers of the duplicate question and the report of a missing catalogue hold for that
// command only.

#include <cstddef>
#include <string>
#include <vector>

#include "library/CatalogueLookup.h"

namespace sondesk {

class FileBatch;
class Session;

enum class ImportSource { FileDialog, Floppy, Drop };

struct ImportRun {
  explicit ImportRun(ImportSource from = ImportSource::FileDialog) : source(from) {}

  ImportSource source;
  // The duplicate question: an "all" answer holds for the rest of the command; the choice between
  // replacing and renaming stays until the next answer.
  bool allFlag = false;
  bool replaceChoice = false;
  CatalogueRun catalogue;
  // Where the command's work files go (its own folder in the work folder); empty: the work folder.
  std::string workFolder;
  // Songs written but not yet in place; a name they will take counts as taken.
  const FileBatch* pending = nullptr;
  // Conversions at once: 0 one per core; 1 one song at a time on the Ui thread, each written and
  // synced before the next is begun.
  unsigned workers = 0;
};

// Gives the destination of a song whose name is taken: unchanged when no file is there or the user
// chose to replace it; else NAME(n).MF3 with the first n from 1 to 99 that is free (when all 99 are
// taken, the destination stays and is overwritten).
void CheckDuplicate(Session& session, ImportRun& run, std::string& destination);

// Imports one file into the library. `tempName` names the payload work file in the work folder.
// The source is opened as its path is given; only the song's name, which becomes the library
// file's name, is upper case. 0 when the song is in the library, 1 when it could not be imported
// (the reason was shown). `destination` (optional) receives the library file's path.
int ImportSongFile(Session& session, ImportRun& run, const std::string& source, const std::string& tempName,
                   bool fromFloppy, std::string* destination = nullptr);

struct ImportResult {
  bool started = false;    // false when the command stopped before importing (cancel, nothing found)
  std::size_t chosen = 0;  // files the command went through
  std::size_t imported = 0;
};

// Import from PC with the files the open dialog gave; the report names the songs that came in.
ImportResult ImportFromPc(Session& session, const std::vector<std::string>& files, unsigned workers = 0);
// Import from PC with the open dialog, which opens in ImportPath; the folder of the chosen files
// becomes ImportPath.
ImportResult ImportFromPcDialog(Session& session);
// Import from Floppy: every .mid, .kar and .mf3 file of `folder` (the floppy or a removable
// folder), after the user confirmed how many there are.
ImportResult ImportFromFloppy(Session& session, const std::string& folder, unsigned workers = 0);
// Files dropped on the main window.
ImportResult ImportDroppedFiles(Session& session, const std::vector<std::string>& files, unsigned workers = 0);
// Songs the user did not pick one by one (the demo's own): imported as a drop brings them, under the
// progress window, and the library read again, but with no closing report.
ImportResult ImportSongsWithoutReport(Session& session, const std::vector<std::string>& files);

// The song files of a floppy import in `folder`: the .mid files, then the .kar files, then the
// .mf3 files (extensions in any case), each group in name order; folders are skipped.
std::vector<std::string> FloppySongFiles(const std::string& folder);

}  // namespace sondesk
