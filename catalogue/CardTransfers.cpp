#include "catalogue/CardTransfers.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <unordered_set>

#include "app/AtomicFile.h"
#include "catalogue/CardCatalogue.h"
#include "library/LibraryStore.h"
#include "messages/Cp1252.h"
#include "midi/Mf3File.h"
#include "midi/Mf3Header.h"
#include "midi/PlayerCharset.h"

namespace sondesk {

namespace {
long long SizeOfFile(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return -1;
  return static_cast<long long>(st.st_size);
}

std::uint64_t RoundUp(std::uint64_t bytes, std::uint32_t unit) {
  if (unit == 0) return bytes;
  return (bytes + unit - 1) / unit * unit;
}

// Renames without ever replacing a file of the target name.
bool RenameNoReplace(const std::string& from, const std::string& to) {
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
  if (errno != EINVAL && errno != ENOSYS) return false;
  // A file system that cannot refuse by itself: a hard link does refuse an existing name.
  if (::link(from.c_str(), to.c_str()) == 0) {
    ::unlink(from.c_str());
    return true;
  }
  if (errno == EEXIST) return false;
  if (IsFile(to) || IsFolder(to)) return false;
  return std::rename(from.c_str(), to.c_str()) == 0;
}
}  // namespace

int CopySongsToCard(Catalogue& cat, const std::vector<std::size_t>& selected) {
  Session& s = cat.session();
  CardFiles& files = cat.files();
  cat.workStore();
  if (s.library.empty()) return 0;
  const std::size_t n = selected.size();

  // Limits of the catalogue, before anything is written.
  int highest = -1;
  for (const SongEntry& e : s.card) highest = std::max(highest, static_cast<int>(e.songNumber()));
  if (s.card.size() + n > kMaxCatalogueSongs) {
    s.ShowBox(Format("The card holds %zu songs and a card catalogue at most %zu: %zu songs cannot be added.\n"
                     "Nothing was copied.",
                     s.card.size(), kMaxCatalogueSongs, n),
              22, BoxIcon::Warning, BoxButtons::Ok);
    return 0;
  }
  if (highest + static_cast<long long>(n) >= static_cast<long long>(kSongNumberLimit)) {
    s.ShowBox(
        Format("The card's highest song number is %d and song numbers end at %u: %zu songs cannot be "
               "added.\nRecovering the catalogue numbers nothing anew; delete songs from the card first.\n"
               "Nothing was copied.",
               highest, kSongNumberLimit - 1, n),
        22, BoxIcon::Warning, BoxButtons::Ok);
    return 0;
  }

  // Space: every file rounded up to the card's unit, plus the reserve.
  std::uint64_t freeBytes = 0;
  std::uint32_t unit = 512;
  if (!files.FreeSpace(freeBytes, unit)) freeBytes = 0;
  s.BusyCursorOn();
  std::uint64_t sum = 0;
  std::vector<long long> sizes(n, -1);
  for (std::size_t k = 0; k < n; ++k) {
    if (selected[k] >= s.library.size()) continue;
    sizes[k] = SizeOfFile(s.library[selected[k]].path);
    if (sizes[k] > 0) sum += RoundUp(static_cast<std::uint64_t>(sizes[k]), unit);
  }
  // The new index files are written beside the old ones before these go: room for all of them,
  // at their largest, comes on top, so a nearly full card never ends with half an index set.
  const std::uint64_t songsAfter = s.card.size() + n;
  for (std::uint64_t bytes : {32 * (songsAfter + 1), 64 * songsAfter + 32, 64 * songsAfter + 32,
                              32 * (songsAfter + 1), 32 * (songsAfter + 1), std::uint64_t{52}, std::uint64_t{52},
                              std::uint64_t{52}}) {
    sum += RoundUp(bytes, unit);
  }
  if (kCardSpacePerSong * n + kCardSpaceReserve + sum > freeBytes) {
    s.BusyCursorOff();
    s.ShowBox(s.Text(42), 22, BoxIcon::Warning, BoxButtons::Ok);
    return 0;
  }

  Progress& progress = s.progress();
  const bool stepsItself = files.StepsProgress();
  std::uint32_t total = 0;
  if (stepsItself) {
    total = files.ProgressUnitsPerFile() * static_cast<std::uint32_t>(n + 8);
    for (long long size : sizes) {
      if (size > 0) total += files.ProgressUnitsForSize(static_cast<std::uint32_t>(size));
    }
    total += CatalogueUploadSize(cat, IndexFile::Index2) + CatalogueUploadSize(cat, IndexFile::Index1) +
             CatalogueUploadSize(cat, IndexFile::Index0);
  } else {
    total = static_cast<std::uint32_t>(n);
  }
  progress.ProgressStartTimed(total);

  std::vector<std::string> notCopied;
  std::vector<std::uint8_t> data;
  int number = highest;
  for (std::size_t k = 0; k < n; ++k) {
    if (selected[k] >= s.library.size()) continue;
    SongEntry& source = s.library[selected[k]];
    progress.ProgressSetLine1(Format("Copy to Flash: %s\n(%zu:%zu)", source.title.c_str(), k + 1, n));
    if (!IsFile(source.path) || !ReadWholeFile(source.path, data)) {
      s.ShowOpenError(source.path);
      notCopied.push_back(source.title.empty() ? source.path : source.title.str());
      continue;
    }
    // The player would choke on a damaged song and nothing on the card could mend it: it stays
    // in the library, named, and takes no song number.
    if (std::string why; CheckMf3Song(data, why) != Mf3Status::Ok) {
      s.ShowBox(Format("%s is not a whole MF3 song (%s) and is not copied", source.path.c_str(), why.c_str()), 21,
                BoxIcon::Stop, BoxButtons::Ok);
      notCopied.push_back(source.title.empty() ? source.path : source.title.str());
      continue;
    }
    // A number whose file is already in its folder belongs to a song the catalogue has lost (a
    // damaged INDEX0.DAT): it is never given again, so that song stays for a recovery to find.
    unsigned songNumber = static_cast<unsigned>(number + 1);
    while (songNumber < kSongNumberLimit && files.FileExists(SongFolderOf(songNumber), SongFileName(songNumber)))
      ++songNumber;
    if (songNumber >= kSongNumberLimit) {
      notCopied.push_back(source.title.empty() ? source.path : source.title.str());
      continue;
    }
    const int folder = SongFolderOf(songNumber);
    const std::string name = SongFileName(songNumber);
    bool ok = true;
    if (!cat.linkMode() && !files.CreateFolder(folder)) {
      s.ShowCreateError(files.DisplayName(kRootFolder, std::to_string(folder)));
      ok = false;
    }
    if (ok && !files.WriteFile(folder, name, data)) {
      s.ShowCreateError(files.DisplayName(folder, name));
      ok = false;
    }
    // A number whose file could not be written is not given again in this transfer: whatever
    // stood in its way would stop the next song too.
    number = static_cast<int>(songNumber);
    if (!ok) {
      if (cat.linkMode()) files.DeleteFile(folder, name);
      notCopied.push_back(source.title.empty() ? source.path : source.title.str());
      continue;
    }
    SongEntry copy = source;
    copy.scanNumber = static_cast<std::uint16_t>(songNumber);
    copy.path = name;
    copy.deletionMark = 0;
    copy.listIndex = static_cast<std::uint16_t>(s.card.size());
    copy.numberText = FormatNumberText(static_cast<int>(s.card.size()));
    source.edited = 0;
    s.card.push_back(std::move(copy));
    if (!stepsItself) progress.ProgressStepTimed(1);
    s.ui().Pump();
  }
  files.Commit();

  RebuildCardCatalogue(cat);
  progress.ProgressEnd();
  s.BusyCursorOff();

  if (!notCopied.empty()) {
    std::string text = Format(
        "%zu of %zu songs could not be copied and are not in the card's catalogue:", notCopied.size(), n);
    for (std::size_t i = 0; i < notCopied.size() && i < 20; ++i) text += "\n" + notCopied[i];
    if (notCopied.size() > 20) text += "\n...";
    s.ShowBox(text, 22, BoxIcon::Warning, BoxButtons::Ok);
  }
  return 1;
}

int DeleteSongsFromCard(Catalogue& cat, const std::vector<std::size_t>& selected, const std::string& title) {
  Session& s = cat.session();
  CardFiles& files = cat.files();
  s.BusyCursorOn();
  const std::size_t c = selected.size();
  if (c == 0) {
    s.BusyCursorOff();
    return 0;
  }
  if (s.ui().ShowBox(FormatText(s.Text(117), static_cast<int>(c)), title, BoxIcon::Warning,
                     BoxButtons::YesNo) != BoxAnswer::Yes) {
    s.BusyCursorOff();
    return 0;
  }
  Progress& progress = s.progress();
  progress.ProgressStartTimed(static_cast<std::uint32_t>(10 * c));
  for (SongEntry& e : s.card) e.deletionMark = 0;
  std::vector<SongEntry> leaving;
  for (std::size_t index : selected) {
    if (index >= s.card.size() || s.card[index].deletionMark != 0) continue;
    s.card[index].deletionMark = 1;
    leaving.push_back(s.card[index]);
  }
  // The catalogue without the songs goes first, their files after: a cut in between leaves files
  // that no index names (a recovery brings them back), never an index naming a missing song.
  auto& entries = s.card.entries();
  const std::vector<SongEntry> before = entries;
  entries.erase(
      std::remove_if(entries.begin(), entries.end(), [](const SongEntry& e) { return e.deletionMark != 0; }),
      entries.end());
  if (RebuildCardCatalogue(cat) != 1) {
    // Some index file may still name the songs: their files stay, and so do they in the list.
    entries = before;
    for (SongEntry& e : entries) e.deletionMark = 0;
    progress.ProgressEnd();
    s.BusyCursorOff();
    return 0;
  }
  for (const SongEntry& e : leaving) {
    progress.ProgressSetLine1(FormatText(s.Text(118), e.title.c_str(), e.path.c_str()));
    const int folder = SongFolderOf(e.songNumber());
    const std::string name = SongFileName(e.songNumber());
    if (!files.DeleteFile(folder, name)) {
      s.ShowBox(FormatText(s.Text(13), files.DisplayName(folder, name).c_str()), 21, BoxIcon::Stop,
                BoxButtons::Ok);
    }
    progress.ProgressStepTimed(10);
  }
  files.Commit();
  progress.ProgressEnd();
  s.BusyCursorOff();
  return 1;
}

std::string LibraryNameFromHeader(const std::string& headerName) {
  std::string name = headerName.substr(0, headerName.find('\0'));
  const std::size_t sep = name.find_last_of("/\\");
  if (sep != std::string::npos) name = name.substr(sep + 1);
  const std::size_t dot = name.rfind('.');
  if (dot != std::string::npos) name = name.substr(0, dot);
  // The player writes its accented letters as the codes 1-31 of its display; what is left in the
  // control range after they are turned back is no letter and has no place in a file name.
  FromPlayerCharset(name);
  name.erase(
      std::remove_if(name.begin(), name.end(), [](char c) { return static_cast<unsigned char>(c) < 32; }),
      name.end());
  // Header names are Windows-1252 and file names here UTF-8; songs written by earlier versions
  // of this program may already hold UTF-8 and stay as they are.
  if (!IsValidUtf8(name)) name = Cp1252ToUtf8(name);
  // Only now, with the control codes gone, are the dots that would climb a folder next to each other.
  for (std::size_t p; (p = name.find("..")) != std::string::npos;) name.erase(p, 2);
  while (!name.empty() && (name.front() == '.' || name.front() == ' ')) name.erase(name.begin());
  while (!name.empty() && name.back() == ' ') name.pop_back();
  return name;
}

std::size_t CopySongsFromCard(Catalogue& cat, const std::vector<std::size_t>& selected) {
  Session& s = cat.session();
  CardFiles& files = cat.files();
  s.BusyCursorOn();
  cat.workStore();
  if (s.card.empty()) {
    s.BusyCursorOff();
    return 0;
  }
  Progress& progress = s.progress();
  progress.ProgressStart(static_cast<std::uint32_t>(selected.size()));
  progress.ProgressSetLine1("");
  const std::string& library = s.libraryDir();
  std::size_t copied = 0;
  std::vector<std::uint8_t> data;
  for (std::size_t index : selected) {
    if (index >= s.card.size()) continue;
    const unsigned number = s.card[index].songNumber();
    const int folder = SongFolderOf(number);
    const std::string name = SongFileName(number);
    if (!files.ReadFile(folder, name, data)) {
      s.ShowOpenError(files.DisplayName(folder, name));
      progress.ProgressStep(1);
      continue;
    }
    // The copy lands under a temporary name and is then given its song's name; a library file of
    // that name, or of the song's number, is never replaced.
    const std::string numbered = JoinPath(library, name);
    const std::string temporary = TemporarySibling(numbered);
    if (!WriteFileAtomically(temporary, data)) {
      s.ShowCreateError(numbered);
      progress.ProgressStep(1);
      continue;
    }
    std::vector<std::string> targets;
    if (data.size() >= Mf3Header::kSize) {
      const std::string wanted = LibraryNameFromHeader(Mf3Header::Parse(data.data()).FileNameText());
      if (!wanted.empty()) targets.push_back(JoinPath(library, wanted + ".MF3"));
    }
    targets.push_back(numbered);
    const std::string stem = name.substr(0, 5);
    for (int k = 1; k <= 99; ++k) targets.push_back(JoinPath(library, Format("%s(%d).MF3", stem.c_str(), k)));
    bool placed = false;
    for (const std::string& target : targets) {
      if (RenameNoReplace(temporary, target)) {
        placed = true;
        break;
      }
    }
    if (placed) {
      ++copied;
    } else {
      ::unlink(temporary.c_str());
      s.ShowCreateError(numbered);
    }
    s.ui().Pump();
    progress.ProgressStep(1);
  }
  progress.ProgressEnd();
  ReadLibrary(s);
  s.BusyCursorOff();
  return copied;
}

void CompareLibraryAndCard(Catalogue& cat) {
  Session& s = cat.session();
  std::unordered_set<std::string> libraryTitles, cardTitles;
  for (SongEntry& e : s.library) {
    e.inBothLists = 0;
    libraryTitles.insert(e.title);
  }
  for (SongEntry& e : s.card) {
    e.inBothLists = 0;
    cardTitles.insert(e.title);
  }
  for (SongEntry& e : s.library) e.inBothLists = cardTitles.count(e.title) ? 1 : 0;
  for (SongEntry& e : s.card) e.inBothLists = libraryTitles.count(e.title) ? 1 : 0;
  Progress& progress = s.progress();
  progress.ProgressStart(static_cast<std::uint32_t>(s.library.size() + s.card.size()));
  progress.ProgressSetLine1(s.Text(259));
  progress.ProgressSetLine2("");
  progress.ProgressStep(static_cast<std::uint32_t>(s.library.size() + s.card.size()));
  progress.ProgressEnd();
}

}  // namespace sondesk
