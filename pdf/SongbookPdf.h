#pragma once
// The songbook written as a PDF by Qt's PDF writer. Plain C++ in its interface, so the command line
// and the benchmarks call it without any Qt of their own.

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

// Writes `book` to `path`. False, with the reason in `why`, when the book has no page or the file
// cannot be written; nothing is left at `path` then.
bool WriteSongbookPdf(const Songbook& book, const SongbookDocument& doc, const std::string& path, std::string& why);

class Session;

// The songbook of the session's card list (or of its library), in the session's language and with
// today's date, written to `path`. False with the reason in `why`.
bool ExportSongbook(const Session& session, const std::string& path, bool ofCard, std::string& why);

// Gives a process without a window system what the PDF writer needs (fonts): a headless Qt
// application, made once. A program that has its own Qt application already keeps it.
void EnsurePdfWriterReady();

}  // namespace sondesk
