#include "cardfs/BootRecords.h"

#include <cstring>

#include "app/Endian.h"

namespace sondesk {

namespace {

std::string GetText(const SectorImage& s, std::size_t offset, std::size_t length) {
  return std::string(reinterpret_cast<const char*>(s.data() + offset), length);
}

void PutText(SectorImage& s, std::size_t offset, std::size_t length, const std::string& text) {
  for (std::size_t i = 0; i < length; ++i)
    s[offset + i] = static_cast<std::uint8_t>(i < text.size() ? text[i] : ' ');
}

bool TypeIs(const SectorImage& s, const char* six) {
  return std::memcmp(s.data() + 54, six, 6) == 0;
}

}  // namespace

PartitionEntry PartitionEntry::Parse(const SectorImage& mbr, int index) {
  const std::uint8_t* p = mbr.data() + kTableOffset + kSize * static_cast<std::size_t>(index & 3);
  PartitionEntry e;
  e.bootIndicator = p[0];
  e.startHead = p[1];
  e.startSector = p[2];
  e.startCylinder = p[3];
  e.type = p[4];
  e.endHead = p[5];
  e.endSector = p[6];
  e.endCylinder = p[7];
  e.firstLba = GetLe32(p + 8);
  e.sectors = GetLe32(p + 12);
  return e;
}

void PartitionEntry::Serialize(SectorImage& mbr, int index) const {
  std::uint8_t* p = mbr.data() + kTableOffset + kSize * static_cast<std::size_t>(index & 3);
  p[0] = bootIndicator;
  p[1] = startHead;
  p[2] = startSector;
  p[3] = startCylinder;
  p[4] = type;
  p[5] = endHead;
  p[6] = endSector;
  p[7] = endCylinder;
  PutLe32(p + 8, firstLba);
  PutLe32(p + 12, sectors);
}

BootSector BootSector::Parse(const SectorImage& s) {
  BootSector b;
  b.oemName = GetText(s, kOemName, 8);
  b.bytesPerSec = GetLe16(s.data() + kBytesPerSec);
  b.secPerClust = s[kSecPerClust];
  b.resSectors = GetLe16(s.data() + kResSectors);
  b.fats = s[kFats];
  b.rootDirEnts = GetLe16(s.data() + kRootDirEnts);
  b.sectors = GetLe16(s.data() + kSectors);
  b.media = s[kMedia];
  b.fatSecs = GetLe16(s.data() + kFatSecs);
  b.secPerTrack = GetLe16(s.data() + kSecPerTrack);
  b.heads = GetLe16(s.data() + kHeads);
  b.hiddenSecs = GetLe32(s.data() + kHiddenSecs);
  b.hugeSectors = GetLe32(s.data() + kHugeSectors);
  b.driveNumber = s[kDriveNumber];
  b.reserved = s[kReserved];
  b.bootSignature = s[kBootSignature];
  b.volumeId = GetLe32(s.data() + kVolumeId);
  b.volumeLabel = GetText(s, kVolumeLabel, 11);
  b.fileSysType = GetText(s, kFileSysType, 8);
  return b;
}

void BootSector::Serialize(SectorImage& s) const {
  PutText(s, kOemName, 8, oemName);
  PutLe16(s.data() + kBytesPerSec, bytesPerSec);
  s[kSecPerClust] = secPerClust;
  PutLe16(s.data() + kResSectors, resSectors);
  s[kFats] = fats;
  PutLe16(s.data() + kRootDirEnts, rootDirEnts);
  PutLe16(s.data() + kSectors, sectors);
  s[kMedia] = media;
  PutLe16(s.data() + kFatSecs, fatSecs);
  PutLe16(s.data() + kSecPerTrack, secPerTrack);
  PutLe16(s.data() + kHeads, heads);
  PutLe32(s.data() + kHiddenSecs, hiddenSecs);
  PutLe32(s.data() + kHugeSectors, hugeSectors);
  s[kDriveNumber] = driveNumber;
  s[kReserved] = reserved;
  s[kBootSignature] = bootSignature;
  PutLe32(s.data() + kVolumeId, volumeId);
  PutText(s, kVolumeLabel, 11, volumeLabel);
  PutText(s, kFileSysType, 8, fileSysType);
}

bool IsUsableBootSector(const SectorImage& sector) {
  return TypeIs(sector, "FAT16 ") || TypeIs(sector, "EXTEN ");
}
bool IsFat12BootSector(const SectorImage& sector) {
  return TypeIs(sector, "FAT12 ");
}

}  // namespace sondesk
