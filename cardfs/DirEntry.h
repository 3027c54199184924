#pragma once
// A 32-byte FAT directory entry, the located entry of a lookup (`DirEntryRef`) and the 11-byte
// directory names ("INDEX0  DAT", "00031   MF3", "5          ") the card code addresses files by.

#include <array>
#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>

namespace sondesk {

inline constexpr std::size_t kDirEntrySize = 32;
inline constexpr std::size_t kName11Length = 11;

inline constexpr std::uint8_t kDeletedMark = 0xE5;
inline constexpr std::uint8_t kAttrFile = 0x00;
inline constexpr std::uint8_t kAttrDirectory = 0x10;
inline constexpr std::uint8_t kAttrVolumeLabel = 0x28;  // archive and volume label, as the format writes it
inline constexpr std::uint8_t kAttrLongName = 0x0F;

struct DirEntry {
  std::array<std::uint8_t, kName11Length> name{};
  std::uint8_t attributes = 0;
  std::uint8_t reserved = 0;       // byte 12
  std::uint8_t seconds = 0;        // byte 13: the seconds of the local time
  std::uint16_t createTime = 0;    // 14
  std::uint16_t createDate = 0;    // 16
  std::uint16_t accessDate = 0;    // 18
  std::uint16_t highCluster = 0;   // 20, always 0 on FAT16
  std::uint16_t time = 0;          // 22
  std::uint16_t date = 0;          // 24
  std::uint16_t firstCluster = 0;  // 26
  std::uint32_t size = 0;          // 28

  static constexpr std::size_t kSerializedSize = kName11Length + 1 + 1 + 1 + 2 * 7 + 4;
  static_assert(kSerializedSize == kDirEntrySize, "a directory entry is 32 bytes");

  static DirEntry Parse(const std::uint8_t* p);
  void Serialize(std::uint8_t* p) const;

  std::string Name11() const { return std::string(name.begin(), name.end()); }
  void SetName11(std::string_view name11);
  bool IsEnd() const { return name[0] == 0x00; }
  bool IsDeleted() const { return name[0] == kDeletedMark; }
  bool IsFreeSlot() const { return IsEnd() || IsDeleted(); }
  bool IsDirectory() const { return (attributes & kAttrDirectory) != 0 && attributes != kAttrLongName; }
  bool IsLongNamePart() const { return (attributes & 0x3F) == kAttrLongName; }
  bool IsVolumeLabel() const { return (attributes & 0x08) != 0 && !IsLongNamePart(); }
  bool IsDotEntry() const { return name[0] == '.'; }
};

// The working record of every lookup: the entry, the cluster of the directory block that holds
// it (0 for the root directory) and its index within that cluster or within the root.
struct DirEntryRef {
  DirEntry entry;
  std::uint16_t cluster = 0;
  std::uint16_t index = 0;
};

// Sets the time fields of `entry` from the local time `now`: time = hour * 2048 + minute * 32 +
// second / 2, date = (year - 1980) * 512 + month * 32 + day; byte 13 keeps the plain seconds.
void StampDirEntry(DirEntry& entry, const std::tm& now);

// "INDEX0.DAT" -> "INDEX0  DAT", "00031.MF3" -> "00031   MF3", "5" -> "5          ". Letters are
// raised to upper case. nullopt for names that do not fit 8.3 or hold characters a short name
// cannot (blanks inside, control characters, * ? / \ : < > | " + , ; = [ ]).
std::optional<std::string> MakeName11(std::string_view name);

// A directory argument as the card code takes it: "" for the root, else the part before the first
// backslash, blank-padded to 11 bytes. nullopt for a component longer than 11.
std::optional<std::string> DirectoryName11(std::string_view dir);

// "%-11d": the 11-byte name of song folder `n`.
std::string SongFolderName11(int n);
// "%05d   MF3": the 11-byte name of song `number`.
std::string SongFileName11(int number);

// "INDEX0  DAT" -> "INDEX0.DAT", "5          " -> "5"; bytes are kept as they are.
std::string Name11ToDisplay(std::string_view name11);

}  // namespace sondesk
