// The floppy step of an import, past what fuzz_summidi reaches (summidi's check of the file alone):
// SUMMIDI.DAT found on the floppy under any case of its name, copied into the work folder, checked
// and repaired as summidi does it (or left as it came, as when summidi is missing or slow), then
// opened as the song catalogue, looked up under the key made from the song's file name on the
// floppy, and its record's texts put into the song's header. Whatever the bytes and the name: no
// crash, the copy is the floppy's file byte for byte, and every header text ends inside its field
// and is the record's own text where a record was found.
//
// Input: a flags byte, the song's file name on the floppy (up to a NUL, at most 64 bytes), then
// SUMMIDI.DAT. Seeds: fuzz/seeds/floppy_catalogue/.

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "app/AtomicFile.h"
#include "app/Paths.h"
#include "fuzz/FuzzSession.h"
#include "library/CatalogueLookup.h"
#include "library/DbaseTable.h"
#include "library/SongNames.h"
#include "midi/Mf3Header.h"
#include "tools/Summidi.h"

namespace {

struct Harness : sondesk::fuzz::FuzzSession {
  Harness() : FuzzSession("fuzz_floppy_catalogue"), floppy(folder + "/floppy") {
    sondesk::MakeFolders(floppy);
    // Every publisher accepted: the lookup runs for every song, not only for the maker's.
    session->settings().forceDbSettings = 1;
  }
  std::string floppy;
};

void CheckField(const sondesk::Mf3Header::Text& field) {
  if (field.back() != '\0') std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static Harness h;
  if (size < 1 || size > 256 * 1024) return 0;
  const std::uint8_t flags = data[0];
  const char* text = reinterpret_cast<const char*>(data + 1);
  const std::size_t rest = size - 1;
  const std::size_t nameEnd = std::min<std::size_t>(::strnlen(text, rest), 64);
  const std::string songName(text, nameEnd);
  const std::size_t start = std::min(rest, nameEnd + 1);
  const std::string catalogue(text + start, rest - start);

  // A floppy mounted on Linux may show the file in capitals or not.
  const std::string onFloppy = h.floppy + ((flags & 1) ? "/summidi.dat" : "/SUMMIDI.DAT");
  ::unlink((h.floppy + "/summidi.dat").c_str());
  ::unlink((h.floppy + "/SUMMIDI.DAT").c_str());
  if (!(flags & 4)) {
    std::FILE* f = std::fopen(onFloppy.c_str(), "wb");
    if (f == nullptr) return 0;
    std::fwrite(catalogue.data(), 1, catalogue.size(), f);
    std::fclose(f);
  }

  sondesk::Session& s = *h.session;
  const std::string copy = sondesk::FloppyCataloguePath(s);
  ::unlink(copy.c_str());
  const bool ready = sondesk::PrepareFloppyCatalogue(s, h.floppy);
  if (ready) {
    std::string copied;
    if (!sondesk::ReadWholeFile(copy, copied) || copied != catalogue) std::abort();
    if (flags & 2) {
      const sondesk::SummidiReport report = sondesk::CheckSongCatalogue(copy, {});
      if (!report.backupPath.empty()) ::unlink(report.backupPath.c_str());
    }
  } else if (!(flags & 4)) {
    std::abort();  // the file was there and could be copied
  }

  sondesk::Mf3Header header = sondesk::Mf3Header::Fresh();
  sondesk::SongOwnTexts own;
  own.title = songName;
  own.copyrightCopy = "K-NOVA";
  own.copyright = "(c) K-NOVA";
  sondesk::CatalogueRun run;
  run.floppyDir = h.floppy;
  run.floppyCatalogueReady = ready;
  run.missingReported = true;  // the program folder has no MIDI.DBF: told once, not per input
  sondesk::LookUpCatalogue(s, header, songName, true, own, run);
  for (const auto* field : {&header.title, &header.author, &header.performer, &header.publisher, &header.genre,
                            &header.copyright}) {
    CheckField(*field);
  }

  // Where the catalogue knows the song, the header carries its record's title, cut to the field.
  if (ready) {
    if (auto table = sondesk::DbaseTable::Open(copy)) {
      std::string title;
      if (table->Find(sondesk::CatalogueKeyOf(songName), "CODICE") &&
          table->GetField("TITOLO", title, sondesk::Mf3Header::kTextField - 1) &&
          sondesk::Mf3Header::FieldText(header.title) != title.substr(0, title.find('\0'))) {
        std::abort();
      }
    }
  }
  std::array<std::uint8_t, sondesk::Mf3Header::kSize> bytes = header.Serialize();
  (void)bytes;
  return 0;
}
