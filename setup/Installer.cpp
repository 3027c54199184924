#include "setup/Installer.h"

#include <string.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

#include "app/AtomicFile.h"
#include "app/Paths.h"
#include "app/ProfileFile.h"
#include "messages/Cp1252.h"
#include "setup/Szdd.h"
#include "uninstall/RemovalScript.h"

namespace sondesk {
namespace {

bool IsProgram(const std::string& name) {
  return name.size() > 4 && ::strcasecmp(name.c_str() + name.size() - 4, ".exe") == 0;
}

// Replaces `path` through a sibling and a rename, so a program of an earlier installation that is
// still running keeps its own copy instead of failing the write.
bool WriteTarget(const std::string& path, const std::vector<std::uint8_t>& bytes, bool program) {
  if (!WriteFileAtomically(path, bytes)) return false;
  return ::chmod(path.c_str(), program ? 0755 : 0644) == 0;
}

std::string FillPercentS(std::string text, const std::vector<std::string>& values) {
  std::size_t from = 0;
  for (const std::string& v : values) {
    const std::size_t at = text.find("%s", from);
    if (at == std::string::npos) break;
    text.replace(at, 2, v);
    from = at + v.size();
  }
  return text;
}

}  // namespace

const std::vector<InstallItem>& InstallItems() {
  static const std::vector<InstallItem> items = {
      {"SONDESK.EXE", "SonDesk.EXE", false, false, false},
      {"SUMMIDI.EXE", "SUMMIDI.EXE", false, false, false},
      // Named as its shortcut names it, so the entry's command finds it.
      {"DIAGVIEW.EXE", "DiagView.EXE", false, false, false},
      {"MIDI.DBF", "MIDI.DBF", false, true, false},
      {"MBRPBR.DAT", "MBRPBR.DAT", false, false, false},
      {"SONVAR.MHX", "SONVAR.MHX", false, false, true},
      // The name lists under the names the manager opens them by.
      {"ARTIST.DAT", "Artist.dat", false, false, false},
      {"GENERE.DAT", "genere.dat", false, false, false},
      {"UNINSTALL.EXE", "UNINSTALL.EXE", false, false, false},
      {"SETUPDEF.DAT", "SETUPDEF.DAT", false, false, false},
      {"SETUP.DAT", "SETUPDEF.DAT", false, false, false},
      {"AFTERSWEEP.EXE", "AfterSweep.exe", true, false, false},
  };
  return items;
}

bool SetupOffersLanguage(int language) {
  return language == 0 || language == 1 || language == 2 || language == 4;
}

std::string ProposedInstallPath() {
  const char* data = std::getenv("XDG_DATA_HOME");
  if (data && *data) return JoinPath(data, "SonDesk");
  const char* home = std::getenv("HOME");
  return JoinPath(JoinPath(home && *home ? home : "/", ".local/share"), "SonDesk");
}

std::string WithSonDeskFolder(const std::string& chosen) {
  if (::strcasestr(chosen.c_str(), "sondesk") != nullptr) return chosen;
  std::string base = chosen;
  while (base.size() > 1 && base.back() == '/') base.pop_back();
  if (base == "/") return "/SonDesk";
  return base + "/SonDesk";
}

bool CreateInstallFolders(const std::string& programDir) {
  return MakeFolders(programDir) && MakeFolders(JoinPath(programDir, "Download"));
}

bool RunInstallStep(const PayloadReader& payload, const InstallTarget& t, const MessageTable& messages,
                    const InstallReport& report) {
  const std::string ini = ResolveIgnoringCase(JoinPath(t.windir, "Sondesk.INI"));
  MakeFolders(t.windir);
  WritePrivateProfileString(ini, "Version", "number", std::string(messages.Get(195)));
  WritePrivateProfileString(ini, "Version", "language", std::to_string(t.language));
  WritePrivateProfileString(ini, "Options", "FirstTime", std::string("1"));
  WritePrivateProfileString(ini, "Settings", "Installpath", t.programDir);
  WritePrivateProfileString(ini, "Settings", "CWD", JoinPath(t.programDir, "Download"));
  WritePrivateProfileString(ini, "PATH", "ImportPath", t.desktop);

  if (report.busy) report.busy(true);
  const auto& items = InstallItems();
  const int total = static_cast<int>(items.size());
  bool ok = true;
  int done = 0;
  for (const InstallItem& item : items) {
    const std::string folder = item.settingsFolder ? t.windir : t.programDir;
    const std::optional<std::vector<std::uint8_t>> bytes = payload(item.resource);
    if (!bytes) {
      if (!item.optional) {
        report.error("Can't find resource attach '" + std::string(item.resource) + "':'PlainExtract'\n",
                     "Error: Filecopy");
        ok = false;
        break;
      }
    } else if (!item.compressed) {
      const std::string path = JoinPath(folder, item.target);
      if (!WriteTarget(path, *bytes, IsProgram(item.target))) report.error("Can't create '" + path + "'\n", "Error: Filecopy");
    } else {
      const std::string packed = JoinPath(folder, SzddName(item.target));
      const std::string path = JoinPath(folder, item.target);
      if (!WriteTarget(packed, *bytes, false)) report.error("Can't create '" + packed + "'\n", "Error: Filecopy");
      const SzddResult r = ExpandSzdd(packed, path);
      ::unlink(packed.c_str());
      if (r == SzddResult::ReadError) {
        report.error("Can't open " + packed + " for reading", "Error LZ Read");
        ok = false;
        break;
      }
      if (r == SzddResult::WriteError) {
        report.error("Can't open " + path + " for writing", "Error LZ Write");
        ok = false;
        break;
      }
      ::chmod(path.c_str(), 0644);
    }
    if (report.progress) report.progress(++done, total);
  }
  if (report.busy) report.busy(false);
  return ok;
}

void CreateInstallShortcuts(const ShellFolders& folders, const std::string& programDir, bool desktopIcons,
                            const std::vector<std::uint8_t>& iconSvg) {
  // Every failure here is silent, as it always was: a missing shortcut does not spoil an install.
  for (const ShortcutEntry& entry : ShortcutTable()) {
    if (desktopIcons && entry.alsoDesktop) CreateShortcut(folders.desktop, entry, programDir);
  }
  for (const ShortcutEntry& entry : ShortcutTable()) CreateShortcut(folders.ProgramGroup(), entry, programDir);
  if (!iconSvg.empty()) {
    const std::string icons = JoinPath(DirName(folders.applications), "icons/hicolor/scalable/apps");
    if (MakeFolders(icons)) WriteTarget(JoinPath(icons, "sondesk.svg"), iconSvg, false);
  }
  RegisterSongTypes(folders);
}

std::string InstallConfirmText(const MessageTable& messages, const std::string& programDir) {
  return FillPercentS(Cp1252ToUtf8(messages.Get(190)), {programDir, "SonDesk 2.13"});
}

}  // namespace sondesk
