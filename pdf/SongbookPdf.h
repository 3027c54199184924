#pragma once
// The songbook written as a PDF by Qt's PDF writer. Plain C++ in its interface, so the command line
// and the benchmarks call it without any Qt of their own. The writer lives in a module of its own
// (sondesk-pdf.so, in lib/sondesk beside the programs' bin folder) that is opened on the first
// songbook: QtGui and the libraries behind it then cost nothing to the many runs that write none.

#include <string>

#include "library/Songbook.h"

namespace sondesk {

struct SongbookDocument {
  SongbookTexts texts;
  std::string listName;    // what the songs are: "Son Flash", "Hard Disk" (Windows-1252)
  std::string date;        // as printed at the top right of each page
  std::string pageFormat;  // "Page %d of %d"
  std::string headings[3]; // "Title", "Performer", "Category"
};

// Writes `book` to `path`. False, with the reason in `why`, when the book has no page, the file
// cannot be written or the writer's module cannot be opened; nothing is left at `path` then.
bool WriteSongbookPdf(const Songbook& book, const SongbookDocument& doc, const std::string& path, std::string& why);

class Session;

// The songbook of the session's card list (or of its library), in the session's language and with
// today's date, written to `path`. False with the reason in `why`.
bool ExportSongbook(const Session& session, const std::string& path, bool ofCard, std::string& why);

// Where the modules of the programs are: lib/sondesk beside the folder of the running program, or
// one folder further up (programs in nested folders of the build tree).
std::string ProgramModuleDir();

}  // namespace sondesk
