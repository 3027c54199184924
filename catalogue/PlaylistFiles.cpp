#include "catalogue/PlaylistFiles.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "app/Endian.h"
#include "app/Session.h"

namespace sondesk {

namespace {
std::string FieldText(const std::uint8_t* p, std::size_t n) {
  std::size_t len = 0;
  while (len < n && p[len] != 0) ++len;
  return std::string(reinterpret_cast<const char*>(p), len);
}

std::string Trim(const std::string& s) {
  std::size_t a = 0, b = s.size();
  while (a < b && std::isspace(static_cast<unsigned char>(s[a]))) ++a;
  while (b > a && std::isspace(static_cast<unsigned char>(s[b - 1]))) --b;
  return s.substr(a, b - a);
}

// Characters a FAT short name may hold, besides letters and digits.
bool ShortNameCharacter(unsigned char c) {
  return std::isalnum(c) || std::strchr("!#$%&'()-@^_`{}~", c) != nullptr;
}
}  // namespace

void ParsePlaylistIndex(const std::vector<std::uint8_t>& bytes, PlaylistTable& table) {
  table.Clear();
  for (std::size_t off = 0; off + kPlaylistIndexEntrySize <= bytes.size(); off += kPlaylistIndexEntrySize) {
    // More entries than the player's 16 slots are not playlists it knows.
    if (table.usedCount == kPlaylistSlots) break;
    const std::uint8_t* e = bytes.data() + off;
    if (e[24] == 0) continue;
    PlaylistSlot& slot = table.slots[table.usedCount++];
    slot.baseName = FieldText(e + 24, kPlaylistBaseNameMax);
    slot.displayName = FieldText(e, kPlaylistDisplayNameMax);
  }
}

std::vector<std::uint8_t> SerializePlaylistIndex(const PlaylistTable& table) {
  std::vector<std::uint8_t> out(kPlaylistIndexSize, 0);
  std::size_t n = 0;
  for (const PlaylistSlot& slot : table.slots) {
    if (!slot.used()) continue;
    std::uint8_t* e = out.data() + n * kPlaylistIndexEntrySize;
    const std::string display =
        slot.displayName.substr(0, std::min(slot.displayName.find('\0'), kPlaylistDisplayNameMax));
    std::memcpy(e, display.data(), display.size());
    const std::string base = Trim(slot.baseName).substr(0, kPlaylistBaseNameMax);
    std::memcpy(e + 24, base.data(), base.size());
    ++n;
  }
  return out;
}

std::vector<std::uint8_t> InitialPlaylistIndex() {
  PlaylistTable table;
  for (std::size_t i = 0; i < kPlaylistSlots; ++i) {
    table.slots[i].displayName = Format("PlayList %02zu", i + 1);
    table.slots[i].baseName = Format("PLAY%zu", i + 1);
  }
  table.usedCount = kPlaylistSlots;
  return SerializePlaylistIndex(table);
}

std::vector<std::uint16_t> ParsePlaylistEntries(const std::vector<std::uint8_t>& bytes) {
  std::vector<std::uint16_t> entries;
  if (bytes.size() < 2) return entries;
  const std::size_t count = std::min<std::size_t>(GetLe16(bytes.data()), kPlaylistMaxSongs);
  const std::size_t whole = (bytes.size() - 2) / 2;
  const std::size_t n = std::min(count, whole);
  entries.reserve(n);
  for (std::size_t i = 0; i < n; ++i) entries.push_back(GetLe16(bytes.data() + 2 + 2 * i));
  return entries;
}

std::vector<std::uint8_t> SerializePlaylist(const std::vector<std::uint16_t>& entries) {
  std::vector<std::uint8_t> out(kPlaylistFileSize, 0);
  const std::size_t n = std::min(entries.size(), kPlaylistMaxSongs);
  PutLe16(out.data(), static_cast<std::uint16_t>(n));
  for (std::size_t i = 0; i < n; ++i) PutLe16(out.data() + 2 + 2 * i, entries[i]);
  return out;
}

std::string PlaylistFileName(const std::string& baseName) {
  std::string base = Trim(baseName);
  if (base.empty() || base.size() > kPlaylistBaseNameMax) return "";
  for (char& c : base) {
    const unsigned char u = static_cast<unsigned char>(c);
    if (!ShortNameCharacter(u)) return "";
    c = static_cast<char>(std::toupper(u));
  }
  return base + ".PLL";
}

int PlaylistNumberOf(const std::string& baseName) {
  std::size_t i = 0;
  while (i < baseName.size() && !std::isdigit(static_cast<unsigned char>(baseName[i]))) ++i;
  long n = 0;
  for (; i < baseName.size() && std::isdigit(static_cast<unsigned char>(baseName[i])); ++i) {
    n = n * 10 + (baseName[i] - '0');
    if (n > 100000) break;
  }
  return static_cast<int>(n);
}

}  // namespace sondesk
