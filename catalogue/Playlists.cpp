#include "catalogue/Playlists.h"

#include <algorithm>
#include <unordered_map>

#include "catalogue/CardCatalogue.h"

namespace sondesk {

namespace {
bool WritePlaylistFile(Catalogue& cat, const std::string& fileName, const std::vector<std::uint8_t>& bytes) {
  if (fileName.empty() || !cat.files().ReplaceFile(kRootFolder, fileName, bytes)) {
    cat.session().ShowCreateError(CataloguePath(cat, fileName.empty() ? "PLAY.PLL" : fileName));
    return false;
  }
  return true;
}

// The songs of the current title index as playlists address them: one record per card song.
std::size_t SongRecords(const Catalogue& cat) {
  const std::size_t n = cat.titleIndex.count();
  return n == 0 ? 0 : n - 1;
}
}  // namespace

int CarryOverPlaylists(Catalogue& cat) {
  Session& s = cat.session();
  CardFiles& files = cat.files();
  s.BusyCursorOn();
  Progress& progress = s.progress();
  progress.ProgressStart(static_cast<std::uint32_t>(kPlaylistSlots));
  CardAccess access(files);
  const TitlePositionLookup current(cat.titleIndex, s.card.size());
  const TitleIndexImage& previous = cat.previousTitleIndex;
  std::vector<std::uint8_t> bytes;
  std::vector<CardFiles::NamedFile> carried;
  carried.reserve(kPlaylistSlots);
  for (int n = 1; n <= static_cast<int>(kPlaylistSlots); ++n) {
    progress.ProgressStep(1);
    progress.ProgressSetLine2(FormatText(s.Text(53), n));
    std::string name = Format("PLAY%d.PLL", n);
    // A byte more than a playlist holds tells a file of the right length from a longer one.
    if (!files.ReadFileStart(kRootFolder, name, kPlaylistFileSize + 1, bytes)) continue;
    std::vector<std::uint16_t> kept;
    kept.reserve(kPlaylistMaxSongs);
    for (std::uint16_t position : ParsePlaylistEntries(bytes)) {
      // The terminator record is no song.
      if (std::size_t{position} + 1 >= previous.count()) continue;
      const int q = current.Find(previous.SongNumberAt(position));
      if (q >= 0) kept.push_back(static_cast<std::uint16_t>(q));
    }
    std::vector<std::uint8_t> carriedBytes = SerializePlaylist(kept);
    // A playlist the move leaves as it was (an empty one, most often) is not written again: the
    // card is spared the write and the wear.
    if (carriedBytes != bytes) carried.emplace_back(std::move(name), std::move(carriedBytes));
    s.ui().Pump();
  }
  // The playlists are written as one set: each waits on the card's sync once with the others, and
  // after a cut they all still name positions of the same title index. A set the card refuses is
  // written one by one, so that each playlist that can be kept is and each that cannot is named.
  if (!carried.empty() && !files.ReplaceRootFilesTogether(carried)) {
    for (const auto& [name, data] : carried) WritePlaylistFile(cat, name, data);
  }
  s.BusyCursorOff();
  progress.ProgressEnd();
  return 1;
}

int ReadPlaylistIndex(Catalogue& cat) {
  Session& s = cat.session();
  CardFiles& files = cat.files();
  PlaylistTable& table = cat.playlists;
  table.usedCount = 0;
  s.BusyCursorOn();
  CardAccess access(files);
  std::vector<std::uint8_t> bytes;
  if (!files.ReadFile(kRootFolder, "PLAYLIST.LST", bytes)) {
    table.Clear();
    s.BusyCursorOff();
    return 0;
  }
  const int current = table.current;
  ParsePlaylistIndex(bytes, table);
  table.current = current;
  if (table.usedCount > 0) {
    Progress& progress = s.progress();
    progress.ProgressStart(static_cast<std::uint32_t>(table.usedCount));
    for (std::size_t i = 0; i < table.usedCount; ++i) {
      progress.ProgressStep(1);
      s.ui().Pump();
      progress.ProgressSetLine2(FormatText(s.Text(55), static_cast<int>(i + 1)));
      PlaylistSlot& slot = table.slots[i];
      const std::string name = PlaylistFileName(slot.baseName);
      if (name.empty() || !files.ReadFileStart(kRootFolder, name, 2, bytes)) {
        s.ShowOpenError(CataloguePath(cat, name.empty() ? slot.baseName : name));
        break;
      }
      slot.songCount = bytes.size() < 2 ? 0 : std::min<int>(bytes[0] | (bytes[1] << 8), kPlaylistMaxSongs);
    }
    progress.ProgressEnd();
  }
  s.BusyCursorOff();
  return 1;
}

int WritePlaylistIndex(Catalogue& cat) {
  Session& s = cat.session();
  s.BusyCursorOn();
  CardAccess access(cat.files());
  const bool ok = WritePlaylistFile(cat, "PLAYLIST.LST", SerializePlaylistIndex(cat.playlists));
  s.BusyCursorOff();
  return ok ? 1 : 0;
}

int LoadPlaylist(Catalogue& cat, const std::string& baseName, PlaylistEdit& edit) {
  Session& s = cat.session();
  s.BusyCursorOn();
  CardAccess access(cat.files());
  edit.baseName = baseName;
  edit.songs.clear();
  const std::string name = PlaylistFileName(baseName);
  std::vector<std::uint8_t> bytes;
  if (name.empty() || !cat.files().ReadFileStart(kRootFolder, name, kPlaylistFileSize, bytes)) {
    s.ShowOpenError(CataloguePath(cat, name.empty() ? baseName : name));
    s.BusyCursorOff();
    return 0;
  }
  std::unordered_map<std::uint16_t, std::size_t> firstCardSong;
  for (std::size_t i = s.card.size(); i-- > 0;) firstCardSong[s.card[i].songNumber()] = i;
  for (std::uint16_t position : ParsePlaylistEntries(bytes)) {
    if (position >= SongRecords(cat)) continue;
    const auto it = firstCardSong.find(cat.titleIndex.SongNumberAt(position));
    if (it != firstCardSong.end()) edit.songs.push_back(s.card[it->second]);
  }
  s.BusyCursorOff();
  return 1;
}

int SavePlaylist(Catalogue& cat, const PlaylistEdit& edit) {
  Session& s = cat.session();
  s.BusyCursorOn();
  CardAccess access(cat.files());
  const TitlePositionLookup lookup(cat.titleIndex, s.card.size());
  std::vector<std::uint16_t> entries;
  for (const SongEntry& song : edit.songs) {
    // A song the title index does not hold has no position to write; it is left out.
    const int q = lookup.Find(song.songNumber());
    if (q >= 0) entries.push_back(static_cast<std::uint16_t>(q));
  }
  const bool ok = WritePlaylistFile(cat, PlaylistFileName(edit.baseName), SerializePlaylist(entries));
  s.BusyCursorOff();
  return ok ? 1 : 0;
}

int NewPlaylist(Catalogue& cat) {
  Session& s = cat.session();
  PlaylistTable& table = cat.playlists;
  std::array<bool, kPlaylistSlots + 1> taken{};
  std::size_t lastUsed = 0;
  for (std::size_t i = 0; i < kPlaylistSlots; ++i) {
    if (!table.slots[i].used()) continue;
    lastUsed = i + 1;
    const int k = PlaylistNumberOf(table.slots[i].baseName);
    if (k >= 1 && k <= static_cast<int>(kPlaylistSlots)) taken[static_cast<std::size_t>(k)] = true;
  }
  int k = 1;
  while (k <= static_cast<int>(kPlaylistSlots) && taken[static_cast<std::size_t>(k)]) ++k;
  // Sixteen used slots leave no room whatever their names.
  if (k > static_cast<int>(kPlaylistSlots) || lastUsed >= kPlaylistSlots) {
    s.ShowBox(s.Text(51), 22, BoxIcon::Warning, BoxButtons::Ok);
    return -1;
  }
  std::unique_ptr<WriteLock> lock;
  if (!cat.BeginWrite(lock)) return -1;
  s.BusyCursorOn();
  CardAccess access(cat.files());
  PlaylistSlot& slot = table.slots[lastUsed];
  slot.baseName = Format("PLAY%d", k);
  slot.displayName = s.Text(226).substr(0, kPlaylistDisplayNameMax);
  slot.songCount = 0;
  WritePlaylistFile(cat, PlaylistFileName(slot.baseName), std::vector<std::uint8_t>(2, 0));
  const std::string base = slot.baseName;
  WritePlaylistIndex(cat);
  ReadPlaylistIndex(cat);
  int found = -1;
  for (std::size_t i = 0; i < kPlaylistSlots; ++i) {
    if (table.slots[i].baseName == base) found = static_cast<int>(i);
  }
  table.current = found;
  s.BusyCursorOff();
  return found;
}

int DeletePlaylist(Catalogue& cat, int slotIndex) {
  Session& s = cat.session();
  PlaylistTable& table = cat.playlists;
  if (slotIndex < 0 || slotIndex >= static_cast<int>(kPlaylistSlots)) return 0;
  PlaylistSlot& slot = table.slots[static_cast<std::size_t>(slotIndex)];
  if (!slot.used()) return 0;
  table.current = slotIndex;
  if (s.ShowBox(FormatText(s.Text(52), slot.displayName.c_str()), 22, BoxIcon::Question,
                BoxButtons::OkCancel) != BoxAnswer::Ok) {
    return 0;
  }
  std::unique_ptr<WriteLock> lock;
  if (!cat.BeginWrite(lock)) return 0;
  CardAccess access(cat.files());
  s.BusyCursorOn();
  const std::string name = PlaylistFileName(slot.baseName);
  if (!name.empty() && !cat.files().DeleteFile(kRootFolder, name) && cat.linkMode()) {
    s.ShowBox(FormatText(s.Text(13), name.c_str()), 21, BoxIcon::Stop, BoxButtons::Ok);
  }
  slot = PlaylistSlot{};
  WritePlaylistIndex(cat);
  ReadPlaylistIndex(cat);
  s.BusyCursorOff();
  return 1;
}

int RenamePlaylist(Catalogue& cat, int slotIndex, const std::string& text) {
  if (text.empty() || slotIndex < 0 || slotIndex >= static_cast<int>(kPlaylistSlots)) return 0;
  PlaylistSlot& slot = cat.playlists.slots[static_cast<std::size_t>(slotIndex)];
  if (!slot.used()) return 0;
  cat.playlists.current = slotIndex;
  std::unique_ptr<WriteLock> lock;
  if (!cat.BeginWrite(lock)) return 0;
  slot.displayName = text.substr(0, std::min(text.find('\0'), kPlaylistDisplayNameMax));
  return WritePlaylistIndex(cat);
}

int AddSongsToPlaylist(Catalogue& cat, PlaylistEdit& edit, const std::vector<std::size_t>& cardSongs,
                       std::size_t position) {
  Session& s = cat.session();
  if (edit.songs.size() + cardSongs.size() > kPlaylistMaxSongs) {
    s.ShowBox(FormatText(s.Text(49), static_cast<int>(kPlaylistMaxSongs)), 22, BoxIcon::Warning,
              BoxButtons::Ok);
    return 0;
  }
  std::unique_ptr<WriteLock> lock;
  if (!cat.BeginWrite(lock)) return 0;
  std::vector<SongEntry> added;
  for (std::size_t i : cardSongs) {
    if (i < s.card.size()) added.push_back(s.card[i]);
  }
  position = std::min(position, edit.songs.size());
  edit.songs.insert(edit.songs.begin() + static_cast<std::ptrdiff_t>(position), added.begin(), added.end());
  SavePlaylist(cat, edit);
  return 1;
}

int MovePlaylistSongs(Catalogue& cat, PlaylistEdit& edit, const std::vector<std::size_t>& rows,
                      std::size_t target) {
  const std::size_t c = edit.songs.size();
  std::vector<bool> isSelected(c, false);
  for (std::size_t r : rows) {
    if (r < c) isSelected[r] = true;
  }
  std::vector<SongEntry> chosen, others;
  for (std::size_t i = 0; i < c; ++i) (isSelected[i] ? chosen : others).push_back(edit.songs[i]);
  const std::size_t sCount = chosen.size();
  if (sCount == 0) return 0;
  std::unique_ptr<WriteLock> lock;
  if (!cat.BeginWrite(lock)) return 0;
  if (target + sCount > c) target = c - sCount;
  std::vector<SongEntry> result;
  result.reserve(c);
  result.insert(result.end(), others.begin(), others.begin() + static_cast<std::ptrdiff_t>(target));
  result.insert(result.end(), chosen.begin(), chosen.end());
  result.insert(result.end(), others.begin() + static_cast<std::ptrdiff_t>(target), others.end());
  edit.songs = std::move(result);
  SavePlaylist(cat, edit);
  return 1;
}

int DeletePlaylistSongs(Catalogue& cat, PlaylistEdit& edit, const std::vector<std::size_t>& rows) {
  Session& s = cat.session();
  std::vector<bool> isSelected(edit.songs.size(), false);
  std::size_t count = 0;
  for (std::size_t r : rows) {
    if (r < edit.songs.size() && !isSelected[r]) {
      isSelected[r] = true;
      ++count;
    }
  }
  if (count == 0) return 0;
  if (s.ShowBox(FormatText(s.Text(50), static_cast<int>(count)), 22, BoxIcon::Question, BoxButtons::YesNo) !=
      BoxAnswer::Yes) {
    return 0;
  }
  std::unique_ptr<WriteLock> lock;
  if (!cat.BeginWrite(lock)) return 0;
  std::vector<SongEntry> kept;
  for (std::size_t i = 0; i < edit.songs.size(); ++i) {
    if (!isSelected[i]) kept.push_back(std::move(edit.songs[i]));
  }
  edit.songs = std::move(kept);
  SavePlaylist(cat, edit);
  return 1;
}

}  // namespace sondesk
