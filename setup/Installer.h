#pragma once
// The installer's work without its windows: the folder it proposes and the rule of "Change", the
// files it writes from what it carries, the settings it leaves for the manager's first start,
// and the shortcuts.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "messages/MessageTable.h"
#include "uninstall/Shortcuts.h"

namespace sondesk {

// Where the installer finds the files it carries, by resource name ("SONDESK.EXE", "MIDI.DBF").
using PayloadReader = std::function<std::optional<std::vector<std::uint8_t>>(const std::string& name)>;

// One file the installer writes.
struct InstallItem {
  const char* resource;  // name in the installer
  const char* target;    // file name it gets
  bool settingsFolder;   // true: into the settings folder, else into the program folder
  bool compressed;       // carried SZDD-compressed, written as its "_" name and expanded
  bool optional;         // the build may carry none (the player's firmware is not ours to ship)
};

// The files in the order they are written.
const std::vector<InstallItem>& InstallItems();

// The languages setup offers: Italian, English, French, Spanish (German is not offered).
bool SetupOffersLanguage(int language);

// $XDG_DATA_HOME/SonDesk, else ~/.local/share/SonDesk: the per-user place of installed programs.
std::string ProposedInstallPath();

// The path "Change" makes of a chosen folder: kept as chosen when it already names "SonDesk" in
// any case of letters, else with "/SonDesk" added. The letters keep their case: on this file
// system another case names another folder.
std::string WithSonDeskFolder(const std::string& chosen);

// How the installer reports what goes wrong and how far it has come.
struct InstallReport {
  std::function<void(const std::string& text, const std::string& title)> error;  // stop-icon box
  std::function<void(int done, int total)> progress;
  std::function<void(bool on)> busy;
};

struct InstallTarget {
  std::string programDir;  // P
  std::string windir;      // the settings folder
  int language = 1;
  std::string desktop;     // the user's desktop folder, the first import folder
};

// The settings the manager starts from, then every file in order. False when a carried file is
// missing or the catalogue cannot be expanded; a target that cannot be created is reported and
// the step goes on.
bool RunInstallStep(const PayloadReader& payload, const InstallTarget& target, const MessageTable& messages,
                    const InstallReport& report);

// P and P/Download; false when one cannot be made.
bool CreateInstallFolders(const std::string& programDir);

// The entries of the shortcut table: on the desktop when `desktopIcons` (those meant for it),
// always in the menu group, and the song types they open.
void CreateInstallShortcuts(const ShellFolders& folders, const std::string& programDir, bool desktopIcons,
                            const std::vector<std::uint8_t>& iconSvg);

// Message 190 filled with P and "SonDesk 2.13", as UTF-8.
std::string InstallConfirmText(const MessageTable& messages, const std::string& programDir);

}  // namespace sondesk
