#include "uninstall/Uninstaller.h"

#include <signal.h>
#include <spawn.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <thread>

#include "app/Paths.h"
#include "app/ProfileFile.h"
#include "uninstall/RemovalScript.h"
#include "uninstall/Shortcuts.h"

extern char** environ;

namespace sondesk {

std::string InstalledPath(const std::string& windir) {
  const std::string ini = ResolveIgnoringCase(JoinPath(windir, "Sondesk.INI"));
  return GetPrivateProfileString(ini, "Settings", "Installpath", kNoInstallPath);
}

std::string UninstallQuestion(const std::string& installPath) {
  return "Program path of your installation is:'" + installPath + "'\nDelete everything now?\n";
}

int RunUninstall(const std::string& windir, const UninstallHooks& hooks) {
  const std::string installPath = InstalledPath(windir);
  if (!hooks.confirm(UninstallQuestion(installPath))) return 0;
  RemoveShortcuts(ShellFolders::FromEnvironment());
  // A script that cannot be written leaves the sweep nothing to do; it is started all the same.
  WriteRemovalScript(JoinPath(windir, kRemovalScriptName), BuildRemovalScript(installPath, windir));
  if (hooks.startSweep) hooks.startSweep();
  return 1;
}

std::string FindAfterSweep(const std::string& windir) {
  const std::string placed = ResolveIgnoringCase(JoinPath(windir, "AfterSweep.exe"));
  if (::access(placed.c_str(), X_OK) == 0) return placed;
  char self[4096];
  const ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
  if (n <= 0) return "";
  self[n] = '\0';
  const std::string dir = DirName(self);
  for (const std::string& c : {JoinPath(dir, "aftersweep"), JoinPath(dir, "../libexec/sondesk/aftersweep"),
                               JoinPath(dir, "../uninstall/aftersweep")}) {
    if (::access(c.c_str(), X_OK) == 0) return c;
  }
  return "";
}

bool StartAfterSweep(const std::string& program, const std::string& windir, bool unattended) {
  if (program.empty()) return false;
  std::string arg0 = program, after = "--after", pid = std::to_string(::getpid()), quiet = "--unattended";
  char* argv[] = {arg0.data(), after.data(), pid.data(), unattended ? quiet.data() : nullptr, nullptr};
  posix_spawn_file_actions_t actions;
  posix_spawnattr_t attr;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addchdir_np(&actions, windir.c_str());
  posix_spawnattr_init(&attr);
  // Its own session: the sweep outlives the uninstaller and whatever started it.
  posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSID);
  pid_t child = 0;
  const int rc = ::posix_spawn(&child, program.c_str(), &actions, &attr, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attr);
  return rc == 0;
}

namespace {
bool ProcessAlive(long pid) {
  if (::kill(static_cast<pid_t>(pid), 0) != 0) return false;
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string text;
  std::getline(stat, text);
  const std::size_t paren = text.rfind(')');
  // Ended but not yet collected by its parent: its files are closed, which is all that counts.
  return !(paren != std::string::npos && paren + 2 < text.size() && text[paren + 2] == 'Z');
}
}  // namespace

void WaitForProcessEnd(long pid, long timeoutMs) {
  if (pid <= 0) return;
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (ProcessAlive(pid) && std::chrono::steady_clock::now() < end) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
}

}  // namespace sondesk
