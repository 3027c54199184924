#pragma once
// The system's shortcuts as freedesktop entries: one .desktop file per program in the menu group
// "SonDesk" (under the user's applications folder), the manager and DiagView also on the desktop
// when the user wants them there, and the song types the manager opens (.mid, .kar, .mf3) in
// place of the old "Send To" entries.

#include <string>
#include <vector>

namespace sondesk {

// One shortcut of the system, shared by the installer (which makes it) and the uninstaller
// (which removes it).
struct ShortcutEntry {
  const char* target;       // the program's file in the program folder
  const char* description;  // the entry's comment
  const char* workFile;     // the file the entry starts and takes its icon from
  const char* linkName;     // the entry's file name, without ".desktop"
  bool alsoDesktop;         // also on the desktop (and opens songs of the manager's types)
};

// SonDesk, DiagView and the uninstaller, in that order.
const std::vector<ShortcutEntry>& ShortcutTable();

// The name of the menu group folder.
inline constexpr const char* kProgramGroup = "SonDesk";
// The MIME type the installer registers for .mf3 songs; .mid and .kar are audio/midi already.
inline constexpr const char* kMf3MimeType = "audio/x-sondesk-mf3";

// Where entries go for the current user.
struct ShellFolders {
  std::string desktop;       // xdg-user-dir DESKTOP
  std::string applications;  // $XDG_DATA_HOME/applications
  std::string mimePackages;  // $XDG_DATA_HOME/mime/packages

  std::string ProgramGroup() const;  // applications/SonDesk
  // From the environment: `xdg-user-dir DESKTOP` (its own fallback is the home folder), else
  // $HOME/Desktop; $XDG_DATA_HOME, else ~/.local/share.
  static ShellFolders FromEnvironment();
};

// "<linkName>.desktop" in `folder`.
std::string ShortcutPath(const std::string& folder, const ShortcutEntry& entry);

// The text of the entry for `entry` of a system installed in `programDir`.
std::string DesktopEntryText(const ShortcutEntry& entry, const std::string& programDir);

// Writes the entry (mode 0755: desktops only start trusted, executable entries). False when it
// cannot be written; the caller stays silent about it, as about every shortcut failure.
bool CreateShortcut(const std::string& folder, const ShortcutEntry& entry, const std::string& programDir);

// The shared-mime-info package that gives .mf3 files their type, written into `mimePackages`,
// then the user's MIME and desktop databases refreshed when their tools are installed.
bool RegisterSongTypes(const ShellFolders& folders);

// The uninstaller's sweep: for each entry, the desktop copy (when it has one), the group's copy,
// then the group folder when it is empty.
void RemoveShortcuts(const ShellFolders& folders);

// "Exec" value of an entry, unquoted and without field codes: what the desktop would start.
std::vector<std::string> DesktopEntryCommand(const std::string& entryText);

}  // namespace sondesk
