// Build tool: writes the player's default options file, as a fresh card gets it.
#include <cstdio>

#include "app/AtomicFile.h"
#include "catalogue/PlayerOptions.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: setupdef OUTPUT\n");
    return 2;
  }
  return sondesk::WriteFileAtomically(argv[1], sondesk::DefaultSetupFile()) ? 0 : 1;
}
