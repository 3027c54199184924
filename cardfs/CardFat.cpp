// The FAT image: loaded one sector (256 entries) at a time on first use, or in long runs by the
// walks over the whole table, written back only where it changed, to every copy.

#include <algorithm>

#include "app/Endian.h"
#include "cardfs/CardFileSystem.h"

namespace sondesk {

bool CardFileSystem::LoadFatSector(std::uint32_t k) {
  if (!mounted_ || k >= fatState_.size()) return false;
  if (fatState_[k] != 0) return true;
  if (!ReadSectors(geometry_.FatLba + k, 1, fat_.data() + static_cast<std::size_t>(k) * kSectorSize))
    return false;
  fatState_[k] = 1;
  return true;
}

bool CardFileSystem::LoadWholeFat() {
  if (!mounted_) return false;
  // A walk over every entry needs every sector: one read per run of sectors not yet held costs a
  // card reader one system call, and the link one command, instead of one per 256 entries.
  constexpr std::uint32_t kRun = 64;
  const auto count = static_cast<std::uint32_t>(fatState_.size());
  for (std::uint32_t k = 0; k < count;) {
    if (fatState_[k] != 0) {
      ++k;
      continue;
    }
    std::uint32_t n = 1;
    while (n < kRun && k + n < count && fatState_[k + n] == 0) ++n;
    if (!ReadSectors(geometry_.FatLba + k, n, fat_.data() + static_cast<std::size_t>(k) * kSectorSize))
      return false;
    std::fill_n(fatState_.begin() + k, n, 1);
    k += n;
  }
  return true;
}

std::uint16_t CardFileSystem::GetFatEntry(std::uint32_t cluster) {
  if (!mounted_ || cluster > geometry_.LastCluster) return 0;
  if (!LoadFatSector(cluster / 256)) return 0;
  return GetLe16(fat_.data() + 2 * static_cast<std::size_t>(cluster));
}

void CardFileSystem::SetFatEntry(std::uint32_t cluster, std::uint16_t value) {
  if (!mounted_ || cluster > geometry_.LastCluster) return;
  // A sector that was never read would go back to the card as zeros around this one entry.
  if (!LoadFatSector(cluster / 256)) return;
  std::uint8_t* p = fat_.data() + 2 * static_cast<std::size_t>(cluster);
  const std::uint16_t old = GetLe16(p);
  PutLe16(p, value);
  fatState_[cluster / 256] = 2;
  if (cluster >= 2 && cluster <= geometry_.LastAllocatable) {
    if (value == kFatFree && old != kFatFree) {
      if (freeCount_ >= 0) ++freeCount_;
      freeHint_ = std::min(freeHint_, cluster);
    } else if (value != kFatFree && old == kFatFree && freeCount_ > 0) {
      --freeCount_;
    }
  }
}

std::uint32_t CardFileSystem::FindFreeCluster() {
  if (!mounted_) return 0;
  // Every cluster below the hint is known to be in use, so the answer is still the lowest free
  // cluster, without walking the full part of the card again for every cluster of every file.
  for (std::uint32_t c = std::max<std::uint32_t>(freeHint_, 2); c <= geometry_.LastAllocatable; ++c) {
    if (!LoadFatSector(c / 256)) return 0;
    if (GetLe16(fat_.data() + 2 * static_cast<std::size_t>(c)) == kFatFree) {
      freeHint_ = c;
      return c;
    }
  }
  freeHint_ = geometry_.LastAllocatable + 1;
  return 0;
}

int CardFileSystem::FlushFat() {
  if (!mounted_) return Fail(CardError::NotMounted);
  const std::uint32_t sectors = geometry_.FATsecs;
  int ok = 1;
  // Runs of changed sectors go out as one transfer each, copy by copy.
  for (std::uint32_t k = 0; k < sectors;) {
    if (fatState_[k] != 2) {
      ++k;
      continue;
    }
    std::uint32_t end = k;
    while (end < sectors && fatState_[end] == 2) ++end;
    const std::uint8_t* image = fat_.data() + static_cast<std::size_t>(k) * kSectorSize;
    bool written = true;
    for (std::uint32_t copy = 0; copy < geometry_.FATs; ++copy) {
      if (!WriteSectors(geometry_.FatLba + copy * sectors + k, end - k, image)) written = false;
    }
    if (written) {
      std::fill(fatState_.begin() + k, fatState_.begin() + end, 1);
    } else {
      ok = 0;
    }
    k = end;
  }
  if (!ok) return Fail(CardError::Aborted);
  return 1;
}

}  // namespace sondesk
