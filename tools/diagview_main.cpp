// diagview: a card's structures as text, and its HTML reports.
#include <unistd.h>

#include <cstdio>
#include <string>

#include "app/Paths.h"
#include "app/ProfileFile.h"
#include "tools/DiagView.h"

namespace {
const char kUsage[] =
    "Usage: diagview [--report DIR] [--pause] [IMAGE]\n"
    "Prints what a SONVAR card holds: the identification block, the partition table, the boot\n"
    "sector, a summary of the FAT and of the player's catalogue (songs of INDEX0.DAT, song files,\n"
    "playlists). IMAGE is a card image or a raw card device (/dev/sdX); without it, the virtual\n"
    "player's card of the settings (VirtualCard of Sondesk.INI) is read.\n"
    "\n"
    "  --report DIR  also write FormatFresh.html and ExtendedInfo.html into DIR\n"
    "  --pause       wait for Enter before ending (for a terminal started from the menu)\n"
    "  --help        this text\n"
    "  --version     the version\n"
    "\n"
    "Exit status: 0 read, 1 no usable card, 2 reports not written, 64 wrong usage.\n";
}

int main(int argc, char** argv) {
  sondesk::DiagViewOptions options;
  bool pause = false;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--help" || a == "-h") {
      std::fputs(kUsage, stdout);
      return 0;
    } else if (a == "--version") {
      std::printf("diagview (SonDesk) %s\n", SONDESK_VERSION);
      return 0;
    } else if (a == "--report" && i + 1 < argc) {
      options.reportDir = argv[++i];
    } else if (a == "--pause") {
      pause = true;
    } else if (options.image.empty() && (a.empty() || a[0] != '-')) {
      options.image = a;
    } else {
      std::fprintf(stderr, "diagview: unexpected %s\n%s", a.c_str(), kUsage);
      return 64;
    }
  }
  if (options.image.empty()) {
    const sondesk::Paths paths = sondesk::Paths::FromEnvironment();
    options.image = sondesk::GetPrivateProfileString(paths.IniPath(), "Settings", "VirtualCard", "", 4096);
  }
  int rc = 64;
  if (options.image.empty()) {
    std::fputs(kUsage, stderr);
  } else {
    rc = sondesk::RunDiagView(options, stdout);
  }
  if (pause && ::isatty(0)) {
    std::printf("\nPress Enter to close.");
    std::fflush(stdout);
    std::getchar();
  }
  return rc;
}
