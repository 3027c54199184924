#pragma once
// The library on the PC: one folder of MF3 files, one per song, listed in the session's
// LibraryList.

#include <cstddef>
#include <string>
#include <vector>

namespace sondesk {

class Session;

// Above this many songs the reading shows the progress window.
inline constexpr std::size_t kLibraryProgressThreshold = 50;

struct LibraryReadResult {
  std::size_t songFiles = 0;  // MF3 files found in the folder
  std::size_t listed = 0;     // entries of the list (at most 16,384)
};

// Empties the library list and fills it from the library folder: every file whose name ends with
// ".MF3" (in any case), in name order, with title, performer and category from its header cut to
// 27 characters, its size, its scan number and its list index. A file that cannot be opened keeps
// an entry with empty texts after the "Cannot open %s" box. A folder with more songs than the list
// holds lists the first 16,384 and says so.
LibraryReadResult ReadLibrary(Session& session);

// Deletes the songs of the given library entries after the user confirmed message 117. A file
// that cannot be removed gets "Cannot Delete %s" and the others are still deleted. True when the
// user confirmed (the caller then reads the library again); false when nothing was selected or the
// user said No.
bool DeleteLibrarySongs(Session& session, const std::vector<std::size_t>& entries);

// The entry of the library list whose file is `path` (a full path, or a file name in the library
// folder); -1 when none is.
long FindLibraryEntry(const Session& session, const std::string& path);

}  // namespace sondesk
