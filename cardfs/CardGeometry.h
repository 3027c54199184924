#pragma once
// The mounted card's layout, derived from its boot sector. Every LBA here is an absolute card
// address: the boot sector's HiddenSecs is added in, which is why the format writes HiddenSecs
// equal to the LBA of the boot sector.

#include <cstdint>
#include <string>

#include "cardfs/BootRecords.h"

namespace sondesk {

struct CardGeometry {
  std::uint16_t PbrLba = 0;  // where the boot sector was found
  std::uint32_t BytesPerSec = 0;
  std::uint32_t SecPerClust = 0;  // a power of two; any other stored value refuses the mount
  std::uint32_t ResSectors = 0;
  std::uint32_t FATs = 0;
  std::uint32_t RootDirEnts = 0;
  std::uint32_t FATsecs = 0;
  std::uint32_t SecPerTrack = 0;
  std::uint32_t Heads = 0;
  std::uint32_t HiddenSecs = 0;  // low 16 bits of the boot sector's field
  std::uint32_t TotalSectors = 0;
  std::uint32_t Cylinders = 0;
  std::uint32_t SizeMB = 0;
  std::uint32_t FatLba = 0;
  std::uint32_t RootLba = 0;
  std::uint32_t DataLba = 0;
  std::uint32_t ClusterCount = 0;
  std::uint32_t ClusterBytes = 0;

  // Sectors of the root directory, rounded up so that a root whose entry count is not a multiple
  // of 16 is still held whole.
  std::uint32_t RootSectors = 0;
  // The highest cluster a chain may link to: the partition's last data cluster, within what the
  // FAT can describe. Allocation keeps below ClusterCount; chains written by other systems may
  // reach the clusters above it, and are followed there.
  std::uint32_t LastCluster = 0;
  // The highest cluster handed out for new data: ClusterCount - 1, within LastCluster.
  std::uint32_t LastAllocatable = 0;

  std::uint32_t ClusterLba(std::uint32_t cluster) const { return DataLba + (cluster - 2) * SecPerClust; }
  bool IsDataCluster(std::uint32_t cluster) const { return cluster >= 2 && cluster <= LastCluster; }
};

// The layout a boot sector found at `pbrLba` describes. False, with `why` set, when it cannot be
// used: a sector size other than 512 (the system's own rule), or a layout whose regions do not
// fit (no FAT, a FAT too small for one cluster, the data area past the end of the partition).
bool DeriveCardGeometry(const BootSector& boot, std::uint16_t pbrLba, CardGeometry& out, std::string& why);

// "Flash Header", "MBR", "PBR", "PBR/MBR hidden", "PBR/MBR", "FAT", "RootDir" or "Data".
const char* SectorRegionName(const CardGeometry& g, std::uint32_t lba);

}  // namespace sondesk
