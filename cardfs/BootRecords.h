#pragma once
// The two sectors that describe a card: the master boot record with its partition table and the
// FAT16 boot sector of the partition. Both are kept as 512-byte images; these records read and
// write their fields at fixed little-endian offsets.

#include <array>
#include <cstdint>
#include <string>

namespace sondesk {

using SectorImage = std::array<std::uint8_t, 512>;

// One 16-byte entry of the partition table at byte 446 of the MBR.
struct PartitionEntry {
  static constexpr std::size_t kSize = 16;
  static constexpr std::size_t kTableOffset = 446;

  std::uint8_t bootIndicator = 0;
  std::uint8_t startHead = 0;
  std::uint8_t startSector = 0;  // bits 6-7: cylinder bits 8-9
  std::uint8_t startCylinder = 0;
  std::uint8_t type = 0;
  std::uint8_t endHead = 0;
  std::uint8_t endSector = 0;
  std::uint8_t endCylinder = 0;
  std::uint32_t firstLba = 0;
  std::uint32_t sectors = 0;

  static PartitionEntry Parse(const SectorImage& mbr, int index);
  void Serialize(SectorImage& mbr, int index) const;
};

// The fields of a FAT16 boot sector, under the names the card code uses for them.
struct BootSector {
  static constexpr std::size_t kOemName = 3, kBytesPerSec = 11, kSecPerClust = 13, kResSectors = 14,
                               kFats = 16, kRootDirEnts = 17, kSectors = 19, kMedia = 21, kFatSecs = 22,
                               kSecPerTrack = 24, kHeads = 26, kHiddenSecs = 28, kHugeSectors = 32,
                               kDriveNumber = 36, kReserved = 37, kBootSignature = 38, kVolumeId = 39,
                               kVolumeLabel = 43, kFileSysType = 54, kFieldsEnd = 62;
  static_assert(kFieldsEnd == kFileSysType + 8, "boot sector fields end at byte 62");

  std::string oemName;  // 8 bytes
  std::uint16_t bytesPerSec = 0;
  std::uint8_t secPerClust = 0;
  std::uint16_t resSectors = 0;
  std::uint8_t fats = 0;
  std::uint16_t rootDirEnts = 0;
  std::uint16_t sectors = 0;
  std::uint8_t media = 0;
  std::uint16_t fatSecs = 0;
  std::uint16_t secPerTrack = 0;
  std::uint16_t heads = 0;
  std::uint32_t hiddenSecs = 0;
  std::uint32_t hugeSectors = 0;
  std::uint8_t driveNumber = 0;
  std::uint8_t reserved = 0;
  std::uint8_t bootSignature = 0;
  std::uint32_t volumeId = 0;
  std::string volumeLabel;  // 11 bytes
  std::string fileSysType;  // 8 bytes

  static BootSector Parse(const SectorImage& sector);
  // Writes every field above into `sector`; the jump, the boot program and the signature stay.
  void Serialize(SectorImage& sector) const;
};

// A usable boot sector names "FAT16 " or "EXTEN " in its six bytes at offset 54; "FAT12 " marks
// a card the program does not use.
bool IsUsableBootSector(const SectorImage& sector);
bool IsFat12BootSector(const SectorImage& sector);

}  // namespace sondesk
