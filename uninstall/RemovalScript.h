#pragma once
// The removal script "_uninst_.dat": what the uninstaller leaves for the late sweep to delete once
// the uninstaller itself has ended and none of its files is in use.
//
// One command a line: the command letter, a blank, the argument to the end of the line.
//   s N        beep, wait N milliseconds, beep
//   d PATH     delete a file (failures ignored)
//   r PATH     remove a folder when it is empty (failures ignored)
//   a TEXT     show TEXT in a box captioned "Message"
//   g "FILE\SECTION" KEY   remove KEY from SECTION of the profile file FILE (relative names are
//              taken in the settings folder); the settings have no registry to clean here
// Any other letter is ignored.

#include <string>
#include <vector>

#include "app/Clock.h"

namespace sondesk {

inline constexpr const char* kRemovalScriptName = "_uninst_.dat";
inline constexpr const char* kRemovalDoneText = "The program has been completly removed from your System";

// The script's lines, in order, for a system installed in `installPath` whose settings live in
// `windir` (paths joined with "/").
std::vector<std::string> BuildRemovalScript(const std::string& installPath, const std::string& windir);

// Writes the lines, each ended by a line feed, replacing an old script. False when it cannot be made.
bool WriteRemovalScript(const std::string& path, const std::vector<std::string>& lines);

// What the sweep does to the world besides files.
class SweepActions {
 public:
  virtual ~SweepActions() = default;
  virtual void Beep() = 0;
  // `title` is "Message" for an "a" line, "Syntax error" (stop icon) for a broken "g" line.
  virtual void ShowBox(const std::string& text, const std::string& title, bool stopIcon) = 0;
};

// Carries out one line in `windir` (where relative profile files of "g" lines are found).
void RunRemovalLine(const std::string& line, const std::string& windir, SweepActions& actions, Clock& clock);

// The whole late sweep: a beep, then every line of `windir`/_uninst_.dat when it exists, then the
// script is deleted. Returns the exit code the sweep ends with, which is always 1.
int RunAfterSweep(const std::string& windir, SweepActions& actions, Clock& clock);

// `path` itself when it exists, else the entry of its folder whose name matches its last component
// without regard to case (the names the script uses were written for a file system that never
// told cases apart), else `path`.
std::string ResolveIgnoringCase(const std::string& path);

}  // namespace sondesk
