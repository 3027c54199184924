#include "uninstall/Shortcuts.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "app/Paths.h"

extern char** environ;

namespace sondesk {
namespace {

std::string Env(const char* name) {
  const char* v = std::getenv(name);
  return v ? v : "";
}

std::string HomeFolder() {
  const std::string home = Env("HOME");
  return home.empty() ? "/" : home;
}

// The first line a command prints, or "" when it cannot run or fails.
std::string FirstLineOf(const std::string& command) {
  std::FILE* p = ::popen(command.c_str(), "r");
  if (!p) return "";
  char line[4096];
  std::string out;
  if (std::fgets(line, sizeof line, p)) out = line;
  const int status = ::pclose(p);
  if (status != 0) return "";
  while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
  return out;
}

// Runs a helper of the desktop (update-mime-database, update-desktop-database) on a folder when
// it is installed, quietly, without a shell between: the folder may hold any character.
void RunDesktopTool(const char* tool, const std::string& folder) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  std::string arg0 = tool, arg1 = folder;
  char* argv[] = {arg0.data(), arg1.data(), nullptr};
  pid_t pid = 0;
  if (::posix_spawnp(&pid, tool, &actions, nullptr, argv, environ) == 0) {
    int status = 0;
    ::waitpid(pid, &status, 0);
  }
  posix_spawn_file_actions_destroy(&actions);
}

// A string value as desktop entries escape it.
std::string EntryString(const std::string& text) {
  std::string value;
  for (char c : text) {
    if (c == '\\') value += '\\';
    value += c;
  }
  return value;
}

// A desktop entry's argument quoted as the Exec key wants it, then escaped as a string value.
std::string ExecArgument(const std::string& arg) {
  const bool quote = arg.find_first_of(" \t\n\"'\\><~|&;$*?#()`") != std::string::npos;
  std::string exec;
  if (quote) exec += '"';
  for (char c : arg) {
    if (c == '%') {
      exec += "%%";
      continue;
    }
    if (quote && (c == '"' || c == '`' || c == '$' || c == '\\')) exec += '\\';
    exec += c;
  }
  if (quote) exec += '"';
  std::string value;
  for (char c : exec) {
    if (c == '\\') value += '\\';
    value += c;
  }
  return value;
}

bool WriteText(const std::string& path, const std::string& text, mode_t mode) {
  {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) return false;
    out << text;
    if (!out.flush()) return false;
  }
  return ::chmod(path.c_str(), mode) == 0;
}

constexpr const char* kMimePackageName = "sondesk-mf3.xml";

}  // namespace

const std::vector<ShortcutEntry>& ShortcutTable() {
  static const std::vector<ShortcutEntry> table = {
      {"SonDesk.EXE", "SonDesk", "SonDesk.EXE", "SonDesk", true},
      {"DiagView.EXE", "DiagView", "DiagView.EXE", "DiagView", true},
      {"UNINSTALL.EXE", "Rimuovi SonDesk", "UNINSTALL.EXE", "Uninstall SonDesk", false},
  };
  return table;
}

std::string ShellFolders::ProgramGroup() const {
  return JoinPath(applications, kProgramGroup);
}

ShellFolders ShellFolders::FromEnvironment() {
  ShellFolders f;
  f.desktop = FirstLineOf("xdg-user-dir DESKTOP 2>/dev/null");
  if (f.desktop.empty()) f.desktop = JoinPath(HomeFolder(), "Desktop");
  std::string data = Env("XDG_DATA_HOME");
  if (data.empty()) data = JoinPath(HomeFolder(), ".local/share");
  f.applications = JoinPath(data, "applications");
  f.mimePackages = JoinPath(data, "mime/packages");
  return f;
}

std::string ShortcutPath(const std::string& folder, const ShortcutEntry& entry) {
  return JoinPath(folder, std::string(entry.linkName) + ".desktop");
}

std::string DesktopEntryText(const ShortcutEntry& entry, const std::string& programDir) {
  const std::string program = JoinPath(programDir, entry.workFile);
  const std::string target(entry.target);
  const bool manager = target == "SonDesk.EXE";
  const bool diagView = target == "DiagView.EXE";
  std::string t = "[Desktop Entry]\nType=Application\nVersion=1.0\n";
  t += "Name=" + std::string(entry.linkName) + "\n";
  // Every entry the installer makes is described as the product itself.
  t += "Comment=SonDesk\n";
  // Songs handed over by the desktop are imported by the manager as if dropped on its window.
  t += "Exec=" + ExecArgument(program);
  if (manager) t += " %F";
  if (diagView) t += " --pause %f";
  t += "\n";
  t += "Path=" + EntryString(programDir) + "\n";
  t += "Icon=sondesk\n";
  t += diagView ? "Terminal=true\n" : "Terminal=false\n";
  t += "Categories=AudioVideo;Audio;Midi;\n";
  if (manager) t += "MimeType=audio/midi;audio/x-midi;" + std::string(kMf3MimeType) + ";\n";
  if (manager) t += "StartupWMClass=sondesk\n";
  return t;
}

bool CreateShortcut(const std::string& folder, const ShortcutEntry& entry, const std::string& programDir) {
  if (!MakeFolders(folder)) return false;
  return WriteText(ShortcutPath(folder, entry), DesktopEntryText(entry, programDir), 0755);
}

bool RegisterSongTypes(const ShellFolders& folders) {
  if (!MakeFolders(folders.mimePackages)) return false;
  const std::string xml = std::string(
                              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                              "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n"
                              "  <mime-type type=\"") +
                          kMf3MimeType +
                          "\">\n"
                          "    <comment>SONVAR karaoke song</comment>\n"
                          "    <magic priority=\"50\"><match type=\"string\" offset=\"0\" value=\"_MF3\"/></magic>\n"
                          "    <glob pattern=\"*.mf3\"/>\n"
                          "  </mime-type>\n"
                          "</mime-info>\n";
  if (!WriteText(JoinPath(folders.mimePackages, kMimePackageName), xml, 0644)) return false;
  const std::string mimeRoot = DirName(folders.mimePackages);
  RunDesktopTool("update-mime-database", mimeRoot);
  RunDesktopTool("update-desktop-database", folders.applications);
  return true;
}

void RemoveShortcuts(const ShellFolders& folders) {
  for (const ShortcutEntry& entry : ShortcutTable()) {
    if (entry.alsoDesktop) ::unlink(ShortcutPath(folders.desktop, entry).c_str());
    ::unlink(ShortcutPath(folders.ProgramGroup(), entry).c_str());
    ::rmdir(folders.ProgramGroup().c_str());
  }
  // The icon and the song type go with the shortcuts that use them.
  ::unlink(JoinPath(DirName(folders.applications), "icons/hicolor/scalable/apps/sondesk.svg").c_str());
  RunDesktopTool("update-desktop-database", folders.applications);
  if (::unlink(JoinPath(folders.mimePackages, kMimePackageName).c_str()) == 0) {
    RunDesktopTool("update-mime-database", DirName(folders.mimePackages));
  }
}

std::vector<std::string> DesktopEntryCommand(const std::string& entryText) {
  std::istringstream in(entryText);
  std::string line, value;
  while (std::getline(in, line)) {
    if (line.rfind("Exec=", 0) == 0) {
      value = line.substr(5);
      break;
    }
  }
  // Undo the string escapes first, then split by the Exec key's own quoting.
  std::string exec;
  for (std::size_t i = 0; i < value.size(); ++i) {
    if (value[i] == '\\' && i + 1 < value.size()) {
      const char n = value[++i];
      exec += n == 's' ? ' ' : n == 'n' ? '\n' : n == 't' ? '\t' : n;
    } else {
      exec += value[i];
    }
  }
  std::vector<std::string> args;
  std::string cur;
  bool inQuote = false, have = false, fieldCode = false;
  for (std::size_t i = 0; i < exec.size(); ++i) {
    const char c = exec[i];
    if (inQuote) {
      if (c == '\\' && i + 1 < exec.size()) {
        cur += exec[++i];
      } else if (c == '"') {
        inQuote = false;
      } else {
        cur += c;
      }
    } else if (c == '"') {
      inQuote = have = true;
    } else if (c == ' ' || c == '\t') {
      if (have && !fieldCode) args.push_back(cur);
      cur.clear();
      have = fieldCode = false;
    } else if (c == '%' && i + 1 < exec.size()) {
      const char n = exec[++i];
      if (n == '%') {
        cur += '%';
        have = true;
      } else {
        fieldCode = !have;  // a lone field code expands to nothing when no file is given
      }
    } else {
      cur += c;
      have = true;
    }
  }
  if (have && !fieldCode) args.push_back(cur);
  return args;
}

}  // namespace sondesk
