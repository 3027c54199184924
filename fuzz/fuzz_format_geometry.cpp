// A card's identification block and a boot template (MBRPBR.DAT) as the format reads them: the
// layout computed from the block, the records filled into the template, and the geometry the mount
// derives from the boot sector so made. Whatever the bytes: no crash, and a layout the format accepts
// always mounts with the geometry it was computed for.
//
// Input: 512 bytes of identification block, then up to 1024 bytes of template (zero-filled).
// Seeds: fuzz/seeds/format_geometry/.

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "cardfs/BootRecords.h"
#include "cardfs/CardFormat.h"
#include "cardfs/CardGeometry.h"
#include "cardfs/CardIdentity.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  sondesk::CardIdentity id;
  std::memcpy(id.bytes.data(), data, std::min<std::size_t>(size, 512));
  id.SwapTextFields();
  sondesk::SectorImage mbr{}, pbr{};
  if (size > 512) std::memcpy(mbr.data(), data + 512, std::min<std::size_t>(size - 512, 512));
  if (size > 1024) std::memcpy(pbr.data(), data + 1024, std::min<std::size_t>(size - 1024, 512));

  // The template's own boot sector, mounted as it stands.
  sondesk::CardGeometry g;
  std::string why;
  if (sondesk::DeriveCardGeometry(sondesk::BootSector::Parse(pbr), 0, g, why)) {
    sondesk::SectorRegionName(g, g.DataLba);
    if (g.ClusterCount < 3 || g.LastAllocatable > g.LastCluster) std::abort();
  }

  sondesk::FormatLayout layout;
  if (!sondesk::ComputeFormatLayout(id, layout)) return 0;
  sondesk::FillFormatRecords(layout, mbr, pbr);
  if (!sondesk::DeriveCardGeometry(sondesk::BootSector::Parse(pbr), static_cast<std::uint16_t>(layout.sectorsPerTrack),
                                   g, why)) {
    std::abort();  // the format accepted a layout its own mount refuses
  }
  if (g.SecPerClust != layout.secPerClust || g.FATsecs != layout.fatSectors || g.FatLba != layout.sectorsPerTrack + 1)
    std::abort();
  return 0;
}
