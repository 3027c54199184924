#pragma once
// The records of the player's index files. Every record is 32 bytes, little-endian:
//   title record     song number u16, title (27 characters at most, zero-filled to byte 31)
//   group header     0x8000, group name (category or performer), as a title record
//   directory entry  0xFFFF, group name in 28 bytes, position of the group's header u16
// The letter tables (ALPHA files) are 26 u16 values for A to Z, 0xFFFF where no name begins.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "app/Endian.h"

namespace sondesk {

inline constexpr std::size_t kCatalogueRecordSize = 32;
inline constexpr std::size_t kCatalogueTextMax = 27;  // characters of a name in any index file
inline constexpr std::size_t kCatalogueTextField = 28;
inline constexpr std::uint16_t kGroupHeaderMark = 0x8000;
inline constexpr std::uint16_t kDirectoryEntryMark = 0xFFFF;
inline constexpr std::uint16_t kNoLetterEntry = 0xFFFF;
inline constexpr std::size_t kLetterCount = 26;
inline constexpr std::size_t kLetterTableSize = 2 * kLetterCount;
static_assert(kLetterTableSize == 52);

// The largest number of songs a card catalogue holds (the rebuild's work store), and the first
// song number that cannot be used: 0x8000 marks a group header.
inline constexpr std::size_t kMaxCatalogueSongs = 16000;
inline constexpr unsigned kSongNumberLimit = 0x8000;

using CatalogueRecord = std::array<std::uint8_t, kCatalogueRecordSize>;

// A title record or group header: `number`, then `text` cut to 27 characters.
CatalogueRecord MakeTitleRecord(std::uint16_t number, std::string_view text);
// A directory entry of INDEX3.DAT / INDEX4.DAT.
CatalogueRecord MakeDirectoryRecord(std::string_view name, std::uint16_t position);

// Inline: the load and the playlists' carry-over ask it for every record.
inline std::uint16_t RecordNumber(const std::uint8_t* record) { return GetLe16(record); }
// Bytes 2 to 28 up to the first zero: byte 29 is never part of a name.
std::string RecordText(const std::uint8_t* record);

// The index files' collation: bytes compared as unsigned values up to the terminating zero, so
// upper case sorts before lower case, characters above 127 after all ASCII, and a text before any
// longer text that begins with it.
int CompareCatalogueText(std::string_view a, std::string_view b);

// The letter of the tables under which a name is listed: 0 to 25 for A to Z in either case, -1
// for a name that begins with anything else.
int LetterIndexOf(std::string_view name);

}  // namespace sondesk
