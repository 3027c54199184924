#include "library/TextExport.h"

#include "app/AtomicFile.h"
#include "app/Session.h"
#include "messages/Cp1252.h"

namespace sondesk {

namespace {
// The file is a text file of the Windows family: every line feed is written as CR LF.
void AppendText(std::string& out, std::string_view text) {
  for (const char c : text) {
    if (c == '\n') out.push_back('\r');
    out.push_back(c);
  }
}
}  // namespace

std::string SongListExportText(const Session& session, const SongList& list) {
  std::string out;
  AppendText(out, session.Text(2));
  for (const SongEntry& e : list) {
    // Paths are the file system's UTF-8; the file holds Windows-1252 like the texts beside them.
    const std::string line = std::to_string(e.listIndex) + ";" + Utf8ToCp1252(e.path) + ";" + e.title + ";" +
                             e.performer + ";" + e.category + "\n";
    AppendText(out, line);
  }
  return out;
}

int ExportSongList(Session& session, const std::string& path, ExportList which) {
  const std::string target =
      (!path.empty() && path.front() == '/') ? path : JoinPath(session.libraryDir(), path);
  const SongList& list = which == ExportList::Library ? session.library : session.card;
  if (!WriteFileAtomically(target, SongListExportText(session, list))) {
    session.ShowCreateError(target);
    return 1;
  }
  session.ShowBox(session.Text(19), 23, BoxIcon::Info, BoxButtons::Ok);
  return 0;
}

}  // namespace sondesk
