#pragma once
// The folders the program works in. The code never changes the process's current folder: where
// the program once worked in "the current folder" it names one of these.

#include <string>

namespace sondesk {

struct Paths {
  std::string windir;      // folder of Sondesk.INI (the original's Windows folder)
  std::string workDir;     // writable per-user folder for work files (TEMP.MID, Tune1000.MID, ...)
  std::string dataDir;     // per-user data (the virtual player's card image)
  // Defaulted, so that a folder list written without them still names the three above.
  std::string programDir{};  // the per-user program folder: data files the program writes or appends to
  std::string libraryDir{};  // the library folder a first start chooses


  std::string IniPath() const { return windir + "/Sondesk.INI"; }

  // $SONDESK_WINDIR, else $XDG_CONFIG_HOME/sondesk, else ~/.config/sondesk; work folder in
  // $XDG_CACHE_HOME/sondesk; data in $XDG_DATA_HOME/sondesk. `windirOverride` wins when not empty.
  static Paths FromEnvironment(const std::string& windirOverride = "");

  // Creates windir, workDir and dataDir when missing; false when one cannot be made.
  bool EnsureFolders() const;
};

// Folder and file helpers used across the core.
std::string JoinPath(const std::string& folder, const std::string& name);
bool MakeFolders(const std::string& folder);
bool IsFolder(const std::string& path);
bool IsFile(const std::string& path);
std::string BaseName(const std::string& path);   // last component
std::string DirName(const std::string& path);    // all but the last component

}  // namespace sondesk
