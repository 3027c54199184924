// The boot template MBRPBR.DAT as the format reads it from the program folder: a file of any
// length and bytes, then the format of a blank card with it. Whatever the file holds, the format
// ends cleanly; one that says done leaves a card that mounts afresh with the layout it computed,
// and one that stops leaves a card that does not mount (it is offered the format again rather than
// listed and written with a geometry nobody computed).
//
// Input: the file's bytes. Seeds: fuzz/seeds/boot_template/ (the shipped template, and copies of
// it cut short, without its marks, or with an MBR that reads as a boot sector).

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "cardfs/CardFileSystem.h"
#include "cardfs/MemorySectorDevice.h"
#include "fuzz/FuzzSession.h"

namespace {

// A small card the format gives a FAT16; blank again before every input.
constexpr std::size_t kCardBytes = 8u << 20;

struct Harness : sondesk::fuzz::FuzzSession {
  Harness() : FuzzSession("fuzz_boot_template"), card(std::vector<std::uint8_t>(kCardBytes, 0)) {}
  sondesk::MemorySectorDevice card;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static Harness h;
  static const std::string templatePath = h.folder + "/MBRPBR.DAT";
  if (size > 4096) return 0;
  std::FILE* f = std::fopen(templatePath.c_str(), "wb");
  if (f == nullptr) return 0;
  std::fwrite(data, 1, size, f);
  std::fclose(f);
  std::memset(h.card.bytes().data(), 0, h.card.bytes().size());  // std::fill here is instrumented, byte by byte
  h.card.ResetLinkState();
  h.card.sectorsWritten = 0;

  sondesk::CardFileSystem fs(*h.session, h.card);
  fs.formatReportPath = h.folder + "/FormatFresh.html";
  const int formatted = fs.FormatCard();
  // A template shorter than its two sectors is refused before the card is touched.
  if (size < 1024 && (formatted != 0 || h.card.sectorsWritten != 0)) std::abort();

  sondesk::CardFileSystem again(*h.session, h.card);
  const int mounted = again.MountCard();  // a card that does not mount is offered the format: No
  if (formatted != 1) {
    if (mounted) std::abort();  // a stopped format left a card that mounts
    return 0;
  }
  if (!mounted) std::abort();
  const sondesk::CardGeometry& made = fs.geometry();
  const sondesk::CardGeometry& seen = again.geometry();
  if (seen.PbrLba != made.PbrLba || seen.SecPerClust != made.SecPerClust || seen.FatLba != made.FatLba ||
      seen.FATsecs != made.FATsecs || seen.RootLba != made.RootLba || seen.DataLba != made.DataLba ||
      seen.LastCluster != made.LastCluster) {
    std::abort();  // the card mounts, but not with the layout the format wrote
  }
  std::vector<sondesk::DirEntryRef> root;
  if (!again.ListDirectory("", root)) std::abort();
  return 0;
}
