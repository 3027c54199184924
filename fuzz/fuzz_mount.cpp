// Mounts arbitrary bytes as a card and walks everything on it: the root, every directory of the
// root, every file (read whole), the listings, the space counts, the hardware report, and one
// write and delete. Whatever the bytes, no crash, no hang, no access outside a buffer.
//
// Seeds: fuzz/seeds/mount/ (the first sectors of cards we formatted and filled, cards of other
// systems, broken chains).

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "cardfs/CardFileSystem.h"
#include "cardfs/CardReport.h"
#include "cardfs/MemorySectorDevice.h"
#include "fuzz/FuzzSession.h"

namespace {

struct Harness : sondesk::fuzz::FuzzSession {
  // No MBRPBR.DAT in the program folder: a format, were it asked for, stops at once.
  Harness() : FuzzSession("fuzz_mount"), devNull(std::fopen("/dev/null", "wb")) {}
  std::FILE* devNull = nullptr;
};

void Walk(sondesk::CardFileSystem& fs, const std::string& dir) {
  std::vector<sondesk::DirEntryRef> entries;
  if (!fs.ListDirectory(dir, entries)) return;
  std::vector<std::uint8_t> data;
  int files = 0;
  for (const auto& r : entries) {
    const sondesk::DirEntry& e = r.entry;
    if (e.IsLongNamePart() || e.IsVolumeLabel() || e.IsDotEntry()) continue;
    if (e.IsDirectory()) {
      if (dir.empty()) Walk(fs, e.Name11());
      continue;
    }
    if (++files > 64) break;  // enough to reach every kind of chain
    fs.ReadCardFileStart(dir, e.Name11(), 1 << 20, data);
  }
  if (!dir.empty()) {
    sondesk::DirEntry e;
    int n = 0;
    for (int more = fs.OpenDirectoryListing(dir, e); more && n < 100000; more = fs.NextDirectoryEntry(e)) ++n;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static Harness h;
  // Cards up to 16 MB; a mount reads only the first sectors of any card.
  if (size > (16u << 20)) return 0;
  std::vector<std::uint8_t> bytes(data, data + size);
  bytes.resize((size + 511) / 512 * 512, 0);
  sondesk::MemorySectorDevice card(std::move(bytes));
  sondesk::CardFileSystem fs(*h.session, card);
  if (!fs.ConnectCard()) return 0;
  Walk(fs, "");
  fs.CountChainEnds();
  fs.FreeClusters();
  fs.SectorsOfRootFile("INDEX0  DAT");
  if (h.devNull) sondesk::WriteHardwareReport(h.devNull, fs);
  const std::vector<std::uint8_t> song(700, 0x5A);
  card.ResetLinkState();
  fs.CreateDirectory("7          ");
  if (fs.WriteCardFileData("7", "00007   MF3", song)) fs.DeleteCardFile("7", "00007   MF3");
  fs.ReplaceCardFileData("", "SETUP   DAT", song);
  return 0;
}
