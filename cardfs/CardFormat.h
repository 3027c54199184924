#pragma once
// The numbers of a fresh format, from the card's identification block: the partition of
// P = ((cylinders - 1) * heads - 1) * sectorsPerTrack sectors starting at LBA sectorsPerTrack,
// K sectors per cluster (1, doubled while the card's sectors / K exceed 65000) and a FAT of
// F = (X - T) / 2 + 1 sectors, X = P - 129, T = K * X * 256.0 / (256 * K + 2) truncated.

#include <cstdint>

#include "cardfs/BootRecords.h"
#include "cardfs/CardIdentity.h"

namespace sondesk {

struct FormatLayout {
  std::uint32_t cylinders = 0, heads = 0, sectorsPerTrack = 0, cardSectors = 0;
  std::uint32_t partitionSectors = 0;  // P
  std::uint32_t secPerClust = 0;       // K
  std::uint32_t fatSectors = 0;        // F
};

// False when the card's geometry gives no FAT16 file system (the fields are filled as far as
// they could be computed, for the message).
bool ComputeFormatLayout(const CardIdentity& identity, FormatLayout& out);

// Partition entry 1 of `mbr` and every boot sector field of `pbr` that the format sets; the rest
// of both (boot code, jump, media, file system type, signatures) stays as the template has it.
void FillFormatRecords(const FormatLayout& layout, SectorImage& mbr, SectorImage& pbr);

}  // namespace sondesk
