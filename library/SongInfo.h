#pragma once
// The song information of a library song (FileInfoDlg): the texts of its MF3 header, read, checked
// against the name lists and written back.

#include <string>

#include "midi/Mf3Header.h"

namespace sondesk {

class Session;
class SongList;

// What the dialog shows.
struct SongInfo {
  std::string path;
  Mf3Header header;

  std::string fileName() const;  // the file's name, shown read-only
  Mf3Texts texts() const { return header.Texts(); }
};

// The texts the user may change.
struct SongInfoEdit {
  std::string title, performer, category, publisher, author;
  static SongInfoEdit From(const SongInfo& info);
};

// Reads the header of the song file; "Cannot open %s" and 1 when it cannot be read, else 0.
int ReadSongInfo(Session& session, const std::string& path, SongInfo& info);

enum class SongInfoResult {
  Saved,     // written; the dialog closes
  StayOpen,  // a name-list confirmation was cancelled: nothing written, the dialog stays
  Failed,    // the file could not be written (the box was shown)
};

// The OK step: the numeric-name warning for each of title, performer and category that begins
// with digits; the performer checked against Artist.dat when CheckInterpret is 1 and the category
// against genere.dat when CheckCategory is 1 (`edit` then holds the confirmed names); then the five
// texts, cut to 31 characters, written into the header. Only the header is written back: the rest
// of the file stays as it is.
SongInfoResult SaveSongInfo(Session& session, SongInfo& info, SongInfoEdit& edit);

// After a save: the list entry of `path` takes the new texts (cut to 27) and the edited mark.
void MarkSongEdited(SongList& list, const std::string& path, const Mf3Texts& texts);

// The check of a song just imported: when its title, performer or category begins with digits
// (the first one that does) and the warning switch is on, the numeric-name warning names the file.
// A file that cannot be read is left alone.
void CheckImportedSongNames(Session& session, const std::string& mf3Path);
// The same with the song's header in hand; `mf3Path` only names the song in the warning.
void CheckImportedSongNames(Session& session, const std::string& mf3Path, const Mf3Header& header);

}  // namespace sondesk
