#pragma once
// summidi: the check of a song catalogue in dBASE III form (the floppy's SUMMIDI.DAT, or MIDI.DBF)
// before the manager names imported songs from it. It checks the header against what the file
// holds (record count, header and record lengths, the end mark), the descriptor list, and the
// song codes the records name; it repairs what it can without guessing, after keeping a backup.

#include <string>
#include <vector>

namespace sondesk {

struct SummidiOptions {
  bool repair = true;     // false: only report
  std::string songsDir;   // when set, every named song must be there (.mid or .kar, any case)
};

struct SummidiReport {
  std::vector<std::string> findings;  // one line each, in file order
  int repaired = 0;                   // findings repaired
  int remaining = 0;                  // findings left as they are
  bool unreadable = false;            // not a dBASE table at all: nothing was changed
  std::string backupPath;             // set when the file was rewritten
  std::size_t records = 0;
};

// Checks `path` and, when allowed, repairs it in place with the old bytes in `path`.bak.
SummidiReport CheckSongCatalogue(const std::string& path, const SummidiOptions& options);

}  // namespace sondesk
