// Free space: the counts over the FAT and the report shown after every connect.

#include <cstring>

#include "app/Endian.h"
#include "cardfs/CardFileSystem.h"

namespace sondesk {

namespace {

struct FatTally {
  std::uint32_t free = 0;
  std::uint32_t ends = 0;
};

// Free entries and chain ends among the entries of clusters first..last of a table held whole.
// Every connect counts the whole table, and a card of 2 GB has 64K entries: eight entries a step
// in one vector register, each lane counting at most 64K / 8 hits, which its 16 bits hold.
FatTally TallyHeldFat(const std::uint8_t* fat, std::uint32_t first, std::uint32_t last) {
  std::uint32_t free = 0;
  std::uint32_t ends = 0;
  std::uint32_t c = first;
#if defined(__GNUC__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
  using Lanes = std::uint16_t __attribute__((vector_size(16)));
  static_assert(sizeof(Lanes) == 8 * sizeof(std::uint16_t));
  Lanes freeLanes{};
  Lanes endLanes{};
  const Lanes zero{};
  const Lanes endMark = zero + kFatFirstEndMark;
  for (; c + 8 <= last + 1 && c + 8 <= first + 0xFFFF * 8; c += 8) {
    Lanes e;
    std::memcpy(&e, fat + 2 * static_cast<std::size_t>(c), sizeof e);
    freeLanes -= reinterpret_cast<Lanes>(e == zero);  // a hit is all ones: minus one
    endLanes -= reinterpret_cast<Lanes>(e >= endMark);
  }
  for (int k = 0; k < 8; ++k) {
    free += freeLanes[k];
    ends += endLanes[k];
  }
#endif
  for (; c <= last; ++c) {
    const std::uint16_t e = GetLe16(fat + 2 * static_cast<std::size_t>(c));
    free += e == kFatFree;
    ends += IsEndOfChain(e);
  }
  return {free, ends};
}

}  // namespace

std::uint32_t CardFileSystem::CountFreeClusters() {
  Progress& progress = session_.progress();
  progress.ProgressSetLine1("Test flash");
  if (!mounted_ || geometry_.ClusterCount < 3) return 0;
  // With the whole table held the entries are read straight from it; otherwise each one is
  // fetched (and the walk stops at the read that fails).
  const bool held = LoadWholeFat();
  std::uint32_t free = 0;
  std::uint32_t files = 0;
  if (held) {
    const FatTally t = TallyHeldFat(fat_.data(), 2, geometry_.LastAllocatable);
    free = t.free;
    files = t.ends;
    progress.ProgressSetLine1(Format("Test flash: %d files\n%d KB liberi", static_cast<int>(files),
                                     static_cast<int>(free / 2 * geometry_.SecPerClust)));
  }
  for (std::uint32_t c = 2; !held && c <= geometry_.LastAllocatable; ++c) {
    const std::uint16_t e = GetFatEntry(c);
    if (device_->Aborted()) break;
    if (IsEndOfChain(e)) ++files;
    // Only a count that fetches its entries one by one has anything to show on the way.
    if (c % 256 == 0) {
      progress.ProgressSetLine1(Format("Test flash: %d files\n%d KB liberi", static_cast<int>(files),
                                       static_cast<int>(free / 2 * geometry_.SecPerClust)));
    }
    if (e == kFatFree) ++free;
  }
  if (!device_->Aborted()) freeCount_ = free;
  return free;
}

std::uint32_t CardFileSystem::CountChainEnds() {
  if (!mounted_) return 0;
  if (LoadWholeFat()) return TallyHeldFat(fat_.data(), 2, geometry_.LastAllocatable).ends;
  std::uint32_t ends = 0;
  for (std::uint32_t c = 2; c <= geometry_.LastAllocatable; ++c) {
    if (IsEndOfChain(GetFatEntry(c))) ++ends;
    if (device_->Aborted()) break;
  }
  return ends;
}

std::uint32_t CardFileSystem::FreeClusters() {
  if (!mounted_) return 0;
  if (freeCount_ >= 0) return static_cast<std::uint32_t>(freeCount_);
  if (LoadWholeFat()) {
    freeCount_ = TallyHeldFat(fat_.data(), 2, geometry_.LastAllocatable).free;
    return static_cast<std::uint32_t>(freeCount_);
  }
  std::uint32_t free = 0;
  for (std::uint32_t c = 2; c <= geometry_.LastAllocatable; ++c) {
    if (GetFatEntry(c) == kFatFree) ++free;
    if (device_->Aborted()) return free;
  }
  freeCount_ = free;
  return free;
}

void CardFileSystem::ShowCardFreeSpace() {
  const std::uint32_t free = CountFreeClusters();
  const long kbytes = static_cast<long>(free) * static_cast<long>(geometry_.SecPerClust) / 2;
  if (TraceEnabled()) {
    TraceLine(Format("Clusters available: %ld", static_cast<long>(free)));
    TraceLine(Format("  KBytes available: %ld", kbytes));
    TraceLine(Format("Files and Dirs: %ld", static_cast<long>(CountChainEnds())));
    TraceLine(Format("Flash Size: %ldMB", static_cast<long>(geometry_.SizeMB)));
  }
  session_.SetStatusPane(3,
                         Format("Size=%ldMB Disponibile:%ldKB", static_cast<long>(geometry_.SizeMB), kbytes));
}

std::uint32_t CardFileSystem::SectorsForSize(std::uint32_t bytes) const {
  if (bytes == 0 || geometry_.ClusterBytes == 0) return 0;
  return (((bytes - 1) | (geometry_.ClusterBytes - 1)) + 1) >> 9;
}

std::uint32_t CardFileSystem::SectorsOfRootFile(const std::string& name11) {
  DirEntryRef ref;
  if (!FindInRoot(name11, ref)) return 0;
  return SectorsForSize(ref.entry.size);
}

}  // namespace sondesk
