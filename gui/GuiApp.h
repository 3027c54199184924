#pragma once
// The program's start: options, the single-instance lock, the settings folder, the session, the
// main window, and CARD.DAT when it ends.

#include <string>
#include <vector>

namespace sondesk {

struct StartOptions {
  bool demo = false;
  std::string windir;
  int language = -1;
  bool splash = true;
  std::string screenshotDir;   // the screenshot tour: pictures of the window and its dialogs
  std::string writeDemoSongs;  // only write the demo's .KAR files there and end
  std::vector<std::string> songs;  // files handed over by the desktop: imported once the start is done
};

// Parses the command line; false with `error` for a bad one.
bool ParseStartOptions(int argc, char** argv, StartOptions& options, std::string& error, bool& help);

int RunSondesk(int argc, char** argv);

}  // namespace sondesk
