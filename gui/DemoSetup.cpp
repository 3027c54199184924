#include "gui/DemoSetup.h"

#include "app/ProfileFile.h"
#include "app/Session.h"
#include "gui/DemoSongs.h"
#include "library/LibraryStore.h"
#include "library/SongImport.h"
#include "library/SongNames.h"
#include "messages/Cp1252.h"
#include "midi/Mf3Header.h"

namespace sondesk {

DemoPaths DemoPathsFor(const Paths& user) {
  DemoPaths d;
  d.windir = JoinPath(user.dataDir, "demo");
  d.library = JoinPath(d.windir, "Library");
  d.cardImage = JoinPath(d.windir, "DemoFlash.img");
  d.songs = JoinPath(d.windir, "Songs");
  return d;
}

bool PrepareDemoSettings(const DemoPaths& demo, const std::string& programDir, int language) {
  Paths p;
  p.windir = demo.windir;
  const std::string ini = p.IniPath();
  if (IsFile(ini)) return false;
  MakeFolders(demo.windir);
  MakeFolders(demo.library);
  Settings s(ini);
  s.WriteInt("Version", "language", language);
  s.WriteString("Settings", "Installpath", programDir);
  s.WriteString("Settings", "CWD", demo.library);
  s.WriteString("Settings", "EXPD", demo.library);
  s.WriteString("Settings", "PortBackend", "virtual");
  s.WriteString("Settings", "VirtualCard", demo.cardImage);
  // The demo's web addresses are placeholders; nobody should be sent to them at start-up.
  s.WriteInt("Settings", "AskInternet", 0);
  return true;
}

std::size_t ImportDemoSongs(Session& session, const DemoPaths& demo) {
  const std::vector<std::string> files = WriteDemoSongs(demo.songs);
  if (files.empty()) return session.library.size();
  // The user did not ask for these: no closing report.
  ImportSongsWithoutReport(session, files);
  // The songs' performer and category, which a catalogue lookup would give a bought song.
  for (const DemoSongInfo& info : DemoSongList()) {
    const long entry = FindLibraryEntry(session, SongNameOf(info.fileName));
    if (entry < 0) continue;
    const std::string path = session.library[static_cast<std::size_t>(entry)].path;
    Mf3Header header;
    if (ReadMf3Header(session, path, header) != 0) continue;
    Mf3Texts texts = header.Texts();
    texts.performer = Utf8ToCp1252(info.performer);
    texts.genre = Utf8ToCp1252(info.category);
    UpdateMf3HeaderTexts(session, path, texts);
  }
  ReadLibrary(session);
  return session.library.size();
}

}  // namespace sondesk
