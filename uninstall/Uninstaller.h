#pragma once
// The uninstaller's one action, shared by its window and its unattended mode: ask, remove the
// shortcuts, leave the removal script and start the late sweep.

#include <functional>
#include <string>

namespace sondesk {

inline constexpr const char* kNoInstallPath = "??";

// "Installpath" of the settings file in `windir`, or "??" when it is not there.
std::string InstalledPath(const std::string& windir);

// "Program path of your installation is:'P'\nDelete everything now?\n"
std::string UninstallQuestion(const std::string& installPath);

struct UninstallHooks {
  // The question; true for OK.
  std::function<bool(const std::string& question)> confirm;
  // Starts the sweep once the script is written; the script may be missing when it could not be made.
  std::function<void()> startSweep;
};

// 0 when the user cancelled (nothing is touched), 1 when the removal was set going.
int RunUninstall(const std::string& windir, const UninstallHooks& hooks);

// The late sweep's program: "AfterSweep.exe" in the settings folder as the installer left it, else
// the one installed beside this program (the package's). "" when there is none.
std::string FindAfterSweep(const std::string& windir);

// Starts `program` in its own session, in `windir`, told to wait for this process to end.
bool StartAfterSweep(const std::string& program, const std::string& windir, bool unattended);

// Waits until process `pid` has ended (a zombie counts as ended), at most `timeoutMs`.
void WaitForProcessEnd(long pid, long timeoutMs);

}  // namespace sondesk
