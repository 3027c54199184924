#pragma once
// The player's playlists on the card.
//
// PLAYn.PLL: a u16 count (0 to 250), then 250 u16 entries, each the record position in INDEX0.DAT
// of one song; entries from the count on are zero. A rewritten playlist is 502 bytes, but shorter
// files are valid too (a new one is the count alone, a fresh card's are 32 zero bytes).
//
// PLAYLIST.LST: 16 entries of 32 bytes: display name in 24 bytes (23 characters at most), then the
// file's base name ("PLAY3") in 8. Used entries come first; an entry whose base name begins with
// a zero byte is empty.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace sondesk {

inline constexpr std::size_t kPlaylistSlots = 16;
inline constexpr std::size_t kPlaylistMaxSongs = 250;
inline constexpr std::size_t kPlaylistFileSize = 2 + 2 * kPlaylistMaxSongs;
inline constexpr std::size_t kPlaylistIndexEntrySize = 32;
inline constexpr std::size_t kPlaylistIndexSize = kPlaylistSlots * kPlaylistIndexEntrySize;
inline constexpr std::size_t kPlaylistDisplayNameMax = 23;
inline constexpr std::size_t kPlaylistBaseNameMax = 8;
static_assert(kPlaylistFileSize == 502);
static_assert(kPlaylistIndexSize == 512);

struct PlaylistSlot {
  std::string baseName;     // "PLAY3"; empty for an unused slot
  std::string displayName;  // at most 23 characters
  int songCount = -1;       // the count read from its file, -1 while not read
  bool used() const { return !baseName.empty(); }
};

// The list of playlists as PLAYLIST.LST gives it.
struct PlaylistTable {
  std::array<PlaylistSlot, kPlaylistSlots> slots;
  std::size_t usedCount = 0;
  int current = -1;  // the slot being opened, renamed or deleted

  void Clear() { *this = PlaylistTable{}; }
};

// PLAYLIST.LST read into the table: used entries in file order, empty ones passed over.
void ParsePlaylistIndex(const std::vector<std::uint8_t>& bytes, PlaylistTable& table);
// The table as PLAYLIST.LST: used slots first, in slot order, then zero entries up to 16.
std::vector<std::uint8_t> SerializePlaylistIndex(const PlaylistTable& table);
// A fresh card's PLAYLIST.LST: "PlayList 01" / PLAY1 to "PlayList 16" / PLAY16.
std::vector<std::uint8_t> InitialPlaylistIndex();

// The entries of a PLAYn.PLL: as many as the count gives and the file holds whole, 250 at most.
std::vector<std::uint16_t> ParsePlaylistEntries(const std::vector<std::uint8_t>& bytes);
// A playlist as the 502 bytes that every rewrite gives; entries beyond 250 are not written.
std::vector<std::uint8_t> SerializePlaylist(const std::vector<std::uint16_t>& entries);

// The card file of a base name, "PLAY3.PLL", or "" when the base name cannot name a file of the
// card's root (a damaged PLAYLIST.LST may hold anything, and no such name may reach a path).
std::string PlaylistFileName(const std::string& baseName);

// The number in a base name that New counts as taken: its first run of digits, or 0.
int PlaylistNumberOf(const std::string& baseName);

}  // namespace sondesk
