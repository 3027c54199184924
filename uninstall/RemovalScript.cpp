#include "uninstall/RemovalScript.h"

#include <dirent.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>

#include "app/Paths.h"
#include "app/ProfileFile.h"

namespace sondesk {

std::vector<std::string> BuildRemovalScript(const std::string& p, const std::string& w) {
  std::vector<std::string> lines;
  lines.push_back("s 3000");
  for (const char* f : {"SONDESK.EXE", "SUMMIDI.EXE", "UNINSTALL.EXE"}) lines.push_back("d " + p + "/" + f);
  lines.push_back("d " + w + "/SonDesk.INI");
  for (const char* f : {"GENERE.DAT", "ARTIST.DAT", "MIDI.DBF", "SONVAR.MHX"}) lines.push_back("d " + p + "/" + f);
  for (int i = 0; i <= 4; ++i) lines.push_back("d " + p + "/INDEX" + std::to_string(i) + ".DAT");
  for (const char* f : {"MBRPBR.DAT", "SETUP.DAT", "SETUPDEF.DAT"}) lines.push_back("d " + p + "/" + f);
  lines.push_back("r " + p + "/Download");
  lines.push_back("r " + p);
  lines.push_back(std::string("a ") + kRemovalDoneText);
  return lines;
}

bool WriteRemovalScript(const std::string& path, const std::vector<std::string>& lines) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!out) return false;
  for (const std::string& line : lines) out << line << '\n';
  return static_cast<bool>(out.flush());
}

std::string ResolveIgnoringCase(const std::string& path) {
  struct stat st{};
  if (::lstat(path.c_str(), &st) == 0) return path;
  const std::string folder = DirName(path);
  const std::string name = BaseName(path);
  std::string found = path;
  if (DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str())) {
    while (const dirent* e = ::readdir(dir)) {
      if (::strcasecmp(e->d_name, name.c_str()) == 0) {
        found = JoinPath(folder, e->d_name);
        break;
      }
    }
    ::closedir(dir);
  }
  return found;
}

namespace {

// `g "FILE\SECTION"   KEY`: false for the syntax error (no opening or no closing quote).
bool RemoveProfileKey(const std::string& arg, const std::string& windir) {
  const std::size_t open = arg.find('"');
  if (open == std::string::npos) return false;
  const std::size_t close = arg.find('"', open + 1);
  if (close == std::string::npos) return false;
  const std::string name = arg.substr(open + 1, close - open - 1);
  std::size_t k = close + 1;
  while (k < arg.size() && (arg[k] == ' ' || arg[k] == '\t')) ++k;
  const std::string key = arg.substr(k);
  const std::size_t split = name.rfind('\\');
  // A name without a section, or no key, addresses nothing: like a missing registry key, silent.
  if (split == std::string::npos || key.empty()) return true;
  std::string file = name.substr(0, split);
  const std::string section = name.substr(split + 1);
  if (file.empty() || section.empty()) return true;
  if (file[0] != '/') file = JoinPath(windir, file);
  file = ResolveIgnoringCase(file);
  if (IsFile(file)) WritePrivateProfileString(file, section, key, std::nullopt);
  return true;
}

}  // namespace

void RunRemovalLine(const std::string& line, const std::string& windir, SweepActions& actions, Clock& clock) {
  if (line.empty()) return;
  const std::string arg = line.size() > 2 ? line.substr(2) : std::string();
  switch (line[0]) {
    case 's': {
      const long ms = std::strtol(arg.c_str(), nullptr, 10);
      actions.Beep();
      if (ms > 0) clock.SleepMicros(static_cast<std::uint64_t>(ms) * 1000);
      actions.Beep();
      break;
    }
    case 'd': {
      // A path that names a folder is not a file to delete.
      const std::string target = ResolveIgnoringCase(arg);
      struct stat st{};
      if (::lstat(target.c_str(), &st) == 0 && !S_ISDIR(st.st_mode)) ::unlink(target.c_str());
      break;
    }
    case 'r':
      ::rmdir(ResolveIgnoringCase(arg).c_str());
      break;
    case 'a':
      actions.ShowBox(arg, "Message", false);
      break;
    case 'g':
      if (!RemoveProfileKey(arg, windir)) actions.ShowBox("Syntax error in registry deletion", "Syntax error", true);
      break;
    default:
      break;
  }
}

int RunAfterSweep(const std::string& windir, SweepActions& actions, Clock& clock) {
  actions.Beep();
  const std::string script = JoinPath(windir, kRemovalScriptName);
  std::ifstream in(script, std::ios::binary);
  if (in) {
    // Whole lines, however long: a line cut at a fixed length would leave its tail to be read as
    // a command of its own, and a tail starting "d " would delete a file nobody named.
    std::string line;
    while (std::getline(in, line)) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      RunRemovalLine(line, windir, actions, clock);
    }
    in.close();
  }
  ::unlink(script.c_str());
  return 1;
}

}  // namespace sondesk
