// Build tool: writes the SZDD-compressed form of a file ("MIDI.DBF" -> "MIDI.DB_").
#include <cstdio>
#include <string>

#include "app/AtomicFile.h"
#include "setup/Szdd.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: szdd-pack INPUT OUTPUT\n");
    return 2;
  }
  std::vector<std::uint8_t> data;
  if (!sondesk::ReadWholeFile(argv[1], data)) {
    std::fprintf(stderr, "szdd-pack: cannot read %s\n", argv[1]);
    return 1;
  }
  const std::string input = argv[1];
  const char missing = input.empty() ? '_' : input.back();
  if (!sondesk::WriteFileAtomically(argv[2], sondesk::SzddCompress(data, missing))) {
    std::fprintf(stderr, "szdd-pack: cannot write %s\n", argv[2]);
    return 1;
  }
  return 0;
}
