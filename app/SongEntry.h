#pragma once
// One song of either list: the library on the PC or the catalogue of the card.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "app/InlineText.h"

namespace sondesk {

inline constexpr std::size_t kSongEntrySize = 308;
inline constexpr std::size_t kSongTextMax = 27;   // title, performer, category in a list
inline constexpr std::size_t kSongPathField = 128;
inline constexpr std::size_t kMaxListSongs = 16384;
inline constexpr std::size_t kNumberTextMax = 6;  // "%6d" of a position below 16,384

// A list text kept in the entry itself.
using SongText = InlineText<kSongTextMax>;

struct SongEntry {
  InlineText<kNumberTextMax> numberText;  // the position in the list, "%6d"
  std::string path;  // the whole path in memory; cut to 127 only where the record is written
  SongText title;
  SongText performer;
  SongText category;
  std::uint16_t listIndex = 0;
  std::uint16_t edited = 0;
  std::uint32_t fileSize = 0;
  std::uint16_t scanNumber = 0;  // for a card song: its song number
  std::int32_t inBothLists = 0;
  std::int32_t deletionMark = 0;

  std::uint16_t songNumber() const { return scanNumber; }

  // Sets title/performer/category cut to 27 characters at the first NUL.
  static std::string CutText(std::string_view text, std::size_t max = kSongTextMax);
};

// The 308-byte record as CARD.DAT holds it: number text 16, path 128, title 28, performer 28,
// category 28, 56 unused, list index u16, edited u16, file size u32, 4 unused, scan number u16,
// 2 unused, in-both-lists i32, deletion mark i32; little-endian, texts zero-filled.
std::array<std::uint8_t, kSongEntrySize> SerializeSongEntry(const SongEntry& entry);
SongEntry ParseSongEntry(const std::uint8_t* record);

// A list of at most 16,384 songs.
class SongList {
 public:
  static constexpr std::size_t kCapacity = kMaxListSongs;

  std::size_t size() const { return entries_.size(); }
  bool empty() const { return entries_.empty(); }
  bool full() const { return entries_.size() >= kCapacity; }
  void clear() { entries_.clear(); }
  // False (and nothing added) when the list is full.
  bool push_back(SongEntry entry);

  SongEntry& operator[](std::size_t i) { return entries_[i]; }
  const SongEntry& operator[](std::size_t i) const { return entries_[i]; }
  std::vector<SongEntry>& entries() { return entries_; }
  const std::vector<SongEntry>& entries() const { return entries_; }
  auto begin() { return entries_.begin(); }
  auto end() { return entries_.end(); }
  auto begin() const { return entries_.begin(); }
  auto end() const { return entries_.end(); }

  // Number texts "%6d" and list indexes from the positions.
  void Renumber();

 private:
  std::vector<SongEntry> entries_;
};

using LibraryList = SongList;
using CardList = SongList;

// "%6d"
std::string FormatNumberText(int n);

// Writes `value` right-aligned in `width` characters ending at `end`, padded with `pad` (blanks for
// list positions, zeros for song file names); a value wider than `width` keeps its last digits.
// Lists of 16,384 songs are numbered on every load, and the general formatter would be most of it.
inline void PutDecimal(char* end, int width, unsigned value, char pad) {
  char* p = end;
  do {
    *--p = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value != 0 && p > end - width);
  while (p > end - width) *--p = pad;
}

}  // namespace sondesk
