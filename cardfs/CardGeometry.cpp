#include "cardfs/CardGeometry.h"

#include <algorithm>

#include "app/Session.h"
#include "cardfs/CardIdentity.h"

namespace sondesk {

bool DeriveCardGeometry(const BootSector& boot, std::uint16_t pbrLba, CardGeometry& out, std::string& why) {
  CardGeometry g;
  g.PbrLba = pbrLba;
  g.BytesPerSec = boot.bytesPerSec;
  if (g.BytesPerSec != 512) {
    why = Format("Tipo di Formato %d per settori non valida\n", static_cast<int>(g.BytesPerSec));
    return false;
  }
  // A cluster size that is 0 or not a power of two was once read as 2, and the card was then
  // listed and written with a layout its own system never had: better refused than guessed.
  const unsigned k = boot.secPerClust;
  if (k == 0 || (k & (k - 1)) != 0) {
    why = Format("the boot sector gives %u sectors per cluster, not a power of two from 1 to 128", k);
    return false;
  }
  g.SecPerClust = k;
  g.ResSectors = boot.resSectors;
  g.FATs = boot.fats;
  g.RootDirEnts = boot.rootDirEnts;
  g.FATsecs = boot.fatSecs;
  g.SecPerTrack = boot.secPerTrack;
  g.Heads = boot.heads;
  g.HiddenSecs = boot.hiddenSecs & 0xFFFF;
  if (g.FATs == 0 || g.FATsecs == 0) {
    // Without a FAT there is nowhere to keep allocations, and a FAT of zero sectors would make
    // the first "FAT" write land on the root directory.
    why = "the boot sector describes no FAT";
    return false;
  }
  if (g.ResSectors == 0) {
    // The first FAT would lie over the boot sector itself.
    why = "the boot sector reserves no sector for itself";
    return false;
  }
  if (g.RootDirEnts == 0) {
    why = "the boot sector describes no root directory";
    return false;
  }
  g.TotalSectors = boot.sectors != 0 ? boot.sectors : boot.hugeSectors;
  g.Cylinders = (g.SecPerTrack != 0 && g.Heads != 0) ? g.TotalSectors / g.SecPerTrack / g.Heads : 0;
  g.SizeMB = static_cast<std::uint32_t>((g.TotalSectors + 2048u) * 512u) >> 20;
  g.FatLba = g.HiddenSecs + g.ResSectors;
  g.RootLba = g.FatLba + g.FATs * g.FATsecs;
  g.RootSectors = (g.RootDirEnts + 15) / 16;
  g.DataLba = g.RootLba + g.RootSectors;
  g.ClusterCount = g.TotalSectors > g.DataLba ? (g.TotalSectors - g.DataLba) / g.SecPerClust : 0;
  g.ClusterBytes = g.SecPerClust * kSectorSize;

  const std::uint32_t dataStart = g.DataLba - g.HiddenSecs;  // within the partition
  const std::uint32_t dataClusters =
      g.TotalSectors > dataStart ? (g.TotalSectors - dataStart) / g.SecPerClust : 0;
  if (dataClusters == 0 || g.ClusterCount < 3) {
    why = Format("the partition of %u sectors ends before its data area", g.TotalSectors);
    return false;
  }
  const std::uint32_t fatEntries = g.FATsecs * 256;
  // 0xFFF7 marks a bad cluster and the values above it end chains, so 0xFFF6 is the last cluster
  // a 16-bit link can name.
  g.LastCluster = std::min({dataClusters + 1, fatEntries - 1, 0xFFF6u});
  g.LastAllocatable = std::min(g.ClusterCount >= 3 ? g.ClusterCount - 1 : 1, g.LastCluster);
  out = g;
  return true;
}

const char* SectorRegionName(const CardGeometry& g, std::uint32_t lba) {
  if (lba == kIdentityLba) return "Flash Header";
  if (lba == 0) return "MBR";
  if (lba == g.PbrLba) return "PBR";
  if (lba < g.PbrLba) return "PBR/MBR hidden";
  if (lba < g.FatLba) return "PBR/MBR";
  if (lba < g.RootLba) return "FAT";
  if (lba < g.DataLba) return "RootDir";
  return "Data";
}

}  // namespace sondesk
