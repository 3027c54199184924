#pragma once
// The main window's menus in the five languages. Menus are not in the message table: each language
// has its own menu with the same structure and the same command numbers, chosen by the language
// number of the settings. Texts are UTF-8 with '&' before the access letter.

#include <array>
#include <vector>

#include "messages/MessageTable.h"

namespace sondesk {

using MenuText = std::array<const char*, kLanguageCount>;  // indexed by language number

struct MenuItemText {
  int command;  // 0 for a separator
  MenuText text;
  // QKeySequence text, "" for none; where the desktop has a standard key for the command (Open,
  // Print, Find, Quit...) that one is used instead. Never Ctrl+Up/Down: the lists move their cursor
  // with them.
  const char* shortcut;
};

struct MenuText5 {
  MenuText title;
  std::vector<MenuItemText> items;
};

// File, Modify, Tools, Properties and "?", in that order.
const std::vector<MenuText5>& MainMenus();

// The menu text of a command in a language (UTF-8), or nullptr when no menu holds it.
const char* MenuTextOf(int command, int language);

}  // namespace sondesk
