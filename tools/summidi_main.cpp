// summidi: checks a song catalogue in dBASE III form and repairs what it safely can.
#include <cstdio>
#include <string>

#include "tools/Summidi.h"

namespace {
const char kUsage[] =
    "Usage: summidi [--check] [--songs DIR] FILE\n"
    "Checks the song catalogue FILE (dBASE III, such as a floppy's SUMMIDI.DAT or MIDI.DBF): its\n"
    "header against the records it holds (count, header and record lengths, end mark), its field\n"
    "descriptors, and the song codes its records name. What can be repaired without guessing (the\n"
    "header's counts and lengths, a cut-off last record, a missing end mark, codes in lower case) is\n"
    "repaired in place, the old file kept as FILE.bak.\n"
    "\n"
    "  --check      report only; the file is not changed\n"
    "  --songs DIR  also check that every named song is in DIR (.mid or .kar, any case)\n"
    "  --help       this text\n"
    "  --version    the version\n"
    "\n"
    "Exit status: 0 nothing wrong, 1 everything found was repaired, 2 problems remain,\n"
    "3 not a readable table (nothing changed), 64 wrong usage.\n";
}

int main(int argc, char** argv) {
  sondesk::SummidiOptions options;
  std::string file;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--help" || a == "-h") {
      std::fputs(kUsage, stdout);
      return 0;
    } else if (a == "--version") {
      std::printf("summidi (SonDesk) %s\n", SONDESK_VERSION);
      return 0;
    } else if (a == "--check") {
      options.repair = false;
    } else if (a == "--songs" && i + 1 < argc) {
      options.songsDir = argv[++i];
    } else if (file.empty() && (a.empty() || a[0] != '-')) {
      file = a;
    } else {
      std::fprintf(stderr, "summidi: unexpected %s\n%s", a.c_str(), kUsage);
      return 64;
    }
  }
  if (file.empty()) {
    std::fputs(kUsage, stderr);
    return 64;
  }
  const sondesk::SummidiReport r = sondesk::CheckSongCatalogue(file, options);
  for (const std::string& line : r.findings) std::printf("%s\n", line.c_str());
  if (r.unreadable) return 3;
  std::printf("%s: %zu records, %d repaired, %d left\n", file.c_str(), r.records, r.repaired, r.remaining);
  if (!r.backupPath.empty()) std::printf("old file kept as %s\n", r.backupPath.c_str());
  if (r.remaining > 0) return 2;
  return r.repaired > 0 ? 1 : 0;
}
