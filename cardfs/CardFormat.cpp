// The format: a fresh partition table, FAT16 boot sector, FATs and root directory from the card's
// own identification block and the template MBRPBR.DAT. Always FAT16, whatever the card's size.

#include "cardfs/CardFormat.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>

#include "app/Endian.h"
#include "app/Paths.h"
#include "app/ShippedData.h"
#include "cardfs/CardFileSystem.h"
#include "cardfs/CardReport.h"

namespace sondesk {

bool ComputeFormatLayout(const CardIdentity& id, FormatLayout& out) {
  FormatLayout l;
  l.cylinders = id.DefaultCylinders();
  l.heads = id.DefaultHeads();
  l.sectorsPerTrack = id.DefaultSectorsPerTrack();
  l.cardSectors = id.SectorCount();
  const std::int64_t p = ((static_cast<std::int64_t>(l.cylinders) - 1) * l.heads - 1) * l.sectorsPerTrack;
  std::uint32_t k = 1;
  while (l.cardSectors / k > 65000) k *= 2;
  l.secPerClust = k;
  if (p <= 0 || p > 0xFFFFFFFFll) return false;
  l.partitionSectors = static_cast<std::uint32_t>(p);
  const std::int32_t x = static_cast<std::int32_t>(l.partitionSectors - 129);
  const auto t = static_cast<std::int32_t>(static_cast<double>(k) * x * 256.0 / (256.0 * k + 2));
  const std::int32_t f = (x - t) / 2 + 1;
  l.fatSectors = static_cast<std::uint32_t>(std::max(f, 0));
  out = l;
  // Beyond the table's arithmetic: a layout that is not a FAT16 file system (no room for a FAT,
  // fewer clusters than FAT16 has, more sectors per cluster than the field holds, a partition
  // past the card's end) is refused rather than written.
  if (k > 128 || f <= 0 || f > 0xFFFF) return false;
  if (l.cardSectors != 0 &&
      static_cast<std::uint64_t>(l.sectorsPerTrack) + l.partitionSectors > l.cardSectors) {
    return false;
  }
  const std::uint64_t overhead = 1 + 2ull * l.fatSectors + 8;
  if (l.partitionSectors <= overhead) return false;
  const std::uint64_t clusters = (l.partitionSectors - overhead) / k;
  if (clusters < 4085 || clusters > 65524 || clusters + 2 > 256ull * l.fatSectors) return false;
  // The mount counts clusters from the partition's size less the data area's address on the card,
  // track of hidden sectors included; a track as long as the partition leaves it no cluster at all,
  // and a card formatted so would be refused by the very next mount.
  const std::uint64_t dataLba = l.sectorsPerTrack + overhead;
  if (l.partitionSectors <= dataLba || (l.partitionSectors - dataLba) / k < 3) return false;
  return true;
}

void FillFormatRecords(const FormatLayout& l, SectorImage& mbr, SectorImage& pbr) {
  PartitionEntry e;
  e.bootIndicator = 0x00;
  e.startHead = 1;
  e.startSector = 1;
  e.startCylinder = 0;
  e.type = 0x01;
  e.endHead = static_cast<std::uint8_t>((l.heads - 1) & 0xFF);
  e.endSector = static_cast<std::uint8_t>((((l.cylinders - 2) >> 2) & 0xC0) + l.sectorsPerTrack);
  e.endCylinder = static_cast<std::uint8_t>((l.cylinders - 2) & 0xFF);
  e.firstLba = l.sectorsPerTrack;
  e.sectors = l.partitionSectors;
  e.Serialize(mbr, 0);

  BootSector b = BootSector::Parse(pbr);  // media, reserved byte and type stay as the template has them
  b.oemName = "SonVarQM";
  b.bytesPerSec = 512;
  b.secPerClust = static_cast<std::uint8_t>(l.secPerClust);
  b.resSectors = 1;
  b.fats = 2;
  b.rootDirEnts = 128;
  b.sectors = l.partitionSectors < 65536 ? static_cast<std::uint16_t>(l.partitionSectors) : 0;
  b.hugeSectors = l.partitionSectors < 65536 ? 0 : l.partitionSectors;
  b.fatSecs = static_cast<std::uint16_t>(l.fatSectors);
  b.secPerTrack = l.sectorsPerTrack;
  b.heads = l.heads;
  b.hiddenSecs = l.sectorsPerTrack;
  b.driveNumber = 0x82;
  // 0x29 says that the volume ID, label and type fields are present. Checkers of other systems
  // (fsck.fat) read the boot sector's label only under that mark, and with any other value report
  // the root directory's label "SON-VAR-MF3" as a mismatch on every card we format.
  b.bootSignature = 0x29;
  b.volumeId = 0;
  b.volumeLabel = "SON-VAR-MF3";
  b.Serialize(pbr);
  pbr[510] = 0x55;
  pbr[511] = 0xAA;
}

int CardFileSystem::FormatCard() {
  error_ = CardError::None;
  CardIdentity id;
  if (!ReadSectors(kIdentityLba, 1, id.bytes.data())) return Fail(CardError::Aborted);
  if (!LoadBootTemplate()) return 0;
  id.SwapTextFields();
  identity_ = id;
  FormatLayout layout;
  if (!ComputeFormatLayout(identity_, layout)) {
    TraceLine(Format("Card geometry %u/%u/%u (%u sectors) gives no FAT16 partition", layout.cylinders,
                     layout.heads, layout.sectorsPerTrack, layout.cardSectors));
    return Fail(CardError::FormatRefused);
  }
  FillFormatRecords(layout, mbr_, pbr_);
  const SectorImage bootSector = pbr_;
  const std::uint32_t spt = layout.sectorsPerTrack;
  geometry_.PbrLba = static_cast<std::uint16_t>(spt);

  // The report goes to the user's program folder: an installed one may be read-only.
  const std::string reportPath =
      formatReportPath.empty() ? ProgramFileForWriting(session_, "FormatFresh.html") : formatReportPath;
  if (!WriteFormatReport(*this, reportPath)) TraceLine("Cannot Create " + reportPath);

  // The order of the writes is what keeps a cut (a pulled cable, a cancel) from leaving a card that
  // mounts with an old directory over new FATs, or new FATs under nothing: until the very last
  // write no sector the mount looks at says FAT16, so a card cut anywhere is offered the format
  // again instead of being listed and written.
  //   1. the MBR, which also ends a boot sector at LBA 0 (a card without partition table);
  //   2. a boot sector the mount would find elsewhere (the old partition's) is made unusable;
  //   3. the new boot sector, still without its FAT16 mark;
  //   4. FATs, root directory and the empty catalogue;
  //   5. the new boot sector whole.
  SectorImage old{};
  const bool oldReadable = ReadSectors(0, 1, old.data()) == 1;
  if (!oldReadable) return Fail(CardError::Aborted);
  const PartitionEntry oldPartition = PartitionEntry::Parse(old, 0);
  if (!WriteSectors(0, 1, mbr_.data())) return Fail(CardError::Aborted);
  const std::uint32_t oldPbr = oldPartition.firstLba;
  if (!IsUsableBootSector(old) && oldPbr != spt && oldPbr != 0 && oldPbr <= 255) {
    if (!ReadSectors(oldPbr, 1, old.data())) return Fail(CardError::Aborted);
    if (IsUsableBootSector(old)) {
      std::fill(old.begin() + BootSector::kFileSysType, old.begin() + BootSector::kFieldsEnd, 0);
      if (!WriteSectors(oldPbr, 1, old.data())) return Fail(CardError::Aborted);
    }
  }
  SectorImage unmarked = bootSector;
  std::fill(unmarked.begin() + BootSector::kFileSysType, unmarked.begin() + BootSector::kFieldsEnd, 0);
  if (!WriteSectors(spt, 1, unmarked.data())) return Fail(CardError::Aborted);

  CardGeometry g;
  std::string why;
  if (!DeriveCardGeometry(BootSector::Parse(bootSector), static_cast<std::uint16_t>(spt), g, why)) {
    TraceLine(why);
    return Fail(CardError::FormatRefused);
  }
  ResetMountState();
  AdoptGeometry(g);
  pbr_ = bootSector;
  session_.progress().ProgressEnd();
  device_->RequestAccess();
  const bool written = WriteEmptyFileSystem() && WriteSectors(spt, 1, bootSector.data()) == 1;
  device_->ReleaseAccess();
  RemoveCatalogueTemplates();
  if (!written) {
    mounted_ = false;
    return Fail(CardError::Aborted);
  }
  // The card as the next run will see it: mounted from its own sectors.
  formatting_ = true;
  const int mounted = MountCard();
  formatting_ = false;
  session_.progress().ProgressEnd();
  if (!mounted || !EnsureRoot()) return Fail(CardError::Aborted);
  return 1;
}

void CardFileSystem::RemoveCatalogueTemplates() {
  // The catalogue step leaves its two templates behind as the sources of the files it sent.
  for (const char* name : {"EMPTY.DAT", "MINUS1FILE.DAT"})
    ::unlink(JoinPath(session_.workDir(), name).c_str());
}

bool CardFileSystem::WriteEmptyFileSystem() {
  Progress& progress = session_.progress();
  const CardGeometry& g = geometry_;
  progress.ProgressStartTimed(g.RootSectors + g.FATs * g.FATsecs + 38 * g.SecPerClust + 53);
  std::fill(root_.begin(), root_.end(), 0);
  std::fill(fat_.begin(), fat_.end(), 0);
  PutLe16(fat_.data(), 0xFFF8);
  PutLe16(fat_.data() + 2, 0xFFFF);
  std::fill(fatState_.begin(), fatState_.end(), 0);
  freeHint_ = 2;
  freeCount_ = -1;
  listingOpen_ = false;
  bool ok = true;
  for (std::uint32_t copy = 0; copy < g.FATs && ok; ++copy) {
    progress.ProgressSetLine1(Format("Erasing Fat %u", copy + 1));
    ok = WriteSectors(g.FatLba + copy * g.FATsecs, g.FATsecs, fat_.data()) == 1;
  }
  DirEntry label;
  label.SetName11("SON-VAR-MF3");
  label.attributes = kAttrVolumeLabel;
  StampDirEntry(label);
  if (RootEntryCount() > 0) PutRootEntry(0, label);
  rootLoaded_ = true;
  if (ok) {
    progress.ProgressSetLine1("Erasing Root Directory");
    ok = WriteSectors(g.RootLba, g.RootSectors, root_.data()) == 1;
  }
  if (ok) {
    progress.ProgressSetLine1("Updating fat");
    ok = FlushFat() == 1;
  }
  progress.ProgressEnd();
  if (ok && catalogueCreator_) catalogueCreator_(*this);
  return ok && !device_->Aborted();
}

void CardFileSystem::InitCardFileSystem() {
  if (!mounted_) return;
  device_->RequestAccess();
  WriteEmptyFileSystem();
  device_->ReleaseAccess();
  RemoveCatalogueTemplates();
}

}  // namespace sondesk
