#pragma once
// The text export of a song list ("Save Database"): a header line in the user's language, then one
// line per song, fields separated by semicolons, lines ended by CR LF, texts in Windows-1252, for
// spreadsheets and word processors.

#include <string>

#include "app/SongEntry.h"

namespace sondesk {

class Session;

inline constexpr const char* kExportDefaultName = "DATABASE.TXT";

enum class ExportList { Library, Card };

// The whole file: message 2 as the header, then "%d;%s;%s;%s;%s" of list index, path, title,
// performer and category. No field is quoted: a semicolon in a title makes an extra field, as
// the program's users have always known it.
std::string SongListExportText(const Session& session, const SongList& list);

// Writes the chosen list to `path` (a relative path is taken in the library folder) and shows
// message 19; shows "Cannot Create %s" when the file cannot be written. 0 on success, 1 on failure.
int ExportSongList(Session& session, const std::string& path, ExportList which);

}  // namespace sondesk
