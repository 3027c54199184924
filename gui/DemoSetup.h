#pragma once
// `sondesk --demo`: a settings folder, a library and a card of its own, so a first look at the
// program never touches the user's songs. The first start writes the settings, puts the demo songs
// into the library and gives the virtual player a fresh card.

#include <string>

#include "app/FirstStart.h"
#include "app/Paths.h"

namespace sondesk {

class Session;

struct DemoPaths {
  std::string windir;     // the demo's Sondesk.INI
  std::string library;    // its library folder
  std::string cardImage;  // the virtual player's card
  std::string songs;      // the generated .KAR files
};

DemoPaths DemoPathsFor(const Paths& user);

// Writes the demo's settings when it has none yet. True when this is the demo's first start.
bool PrepareDemoSettings(const DemoPaths& demo, const std::string& programDir, int language);

// Generates the demo songs and imports them into the library, then gives each its performer and
// category. The number of songs in the library afterwards.
std::size_t ImportDemoSongs(Session& session, const DemoPaths& demo);

}  // namespace sondesk
