#include "catalogue/CatalogueCheck.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cctype>
#include <cstring>

#include "catalogue/CardCatalogue.h"
#include "midi/Mf3Header.h"

namespace sondesk {

namespace {
const char* const kPresenceFiles[] = {"INDEX0.DAT", "INDEX1.DAT", "INDEX2.DAT", "INDEX3.DAT",
                                      "INDEX4.DAT", "SETUP.DAT",  "ALPHA0.DAT"};

std::vector<std::uint8_t> EmptyIndexFile() {
  return std::vector<std::uint8_t>(kCatalogueRecordSize, 0);
}
std::vector<std::uint8_t> EmptyLetterTable() {
  return std::vector<std::uint8_t>(kLetterTableSize, 0xFF);
}

// The part of a song file that recovery reads: the header and a little more, as one cluster of
// the smallest cards always gave.
constexpr std::size_t kRecoveryReadBytes = 752;

bool HasMf3Extension(const std::string& name) {
  const std::size_t dot = name.rfind('.');
  if (dot == std::string::npos || name.size() - dot != 4) return false;
  for (std::size_t i = 0; i < 3; ++i) {
    if (std::toupper(static_cast<unsigned char>(name[dot + 1 + i])) != "MF3"[i]) return false;
  }
  return true;
}

void CreateIfMissing(Catalogue& cat, const std::string& name, const std::vector<std::uint8_t>& content) {
  CardFiles& files = cat.files();
  if (files.FileExists(kRootFolder, name)) return;
  if (!files.WriteFile(kRootFolder, name, content)) cat.session().ShowCreateError(CataloguePath(cat, name));
}
}  // namespace

namespace {
// The root's own listing, one read where a look per name would be 38: true when it shows every
// catalogue file and song folder. A name it does not show is looked at on its own, so a listing
// that spells names otherwise costs time, never a wrong answer.
bool RootListingComplete(CardFiles& files) {
  std::vector<CardFolderItem> root;
  if (!files.ListFolderNames(kRootFolder, root)) return false;
  std::array<bool, std::size(kPresenceFiles)> file{};
  std::array<bool, kSongFolderCount> folder{};
  for (const CardFolderItem& item : root) {
    if (item.deleted) continue;
    if (item.isFolder) {
      const std::string& n = item.name;
      const bool digits = !n.empty() && n.size() <= 2 && std::isdigit(static_cast<unsigned char>(n[0])) &&
                          (n.size() == 1 || (n[0] != '0' && std::isdigit(static_cast<unsigned char>(n[1]))));
      const int i = digits ? std::stoi(n) : -1;
      if (i >= 0 && i < kSongFolderCount) folder[static_cast<std::size_t>(i)] = true;
      continue;
    }
    for (std::size_t k = 0; k < file.size(); ++k) {
      if (item.name == kPresenceFiles[k]) file[k] = true;
    }
  }
  return std::all_of(file.begin(), file.end(), [](bool b) { return b; }) &&
         std::all_of(folder.begin(), folder.end(), [](bool b) { return b; });
}
}  // namespace

int CatalogueComplete(Catalogue& cat) {
  CardFiles& files = cat.files();
  if (RootListingComplete(files)) return 1;
  for (const char* name : kPresenceFiles) {
    if (!files.FileExists(kRootFolder, name)) return 0;
  }
  for (int i = 0; i < kSongFolderCount; ++i) {
    if (!files.FolderExists(i)) return 0;
  }
  return 1;
}

int CheckCatalogue(Catalogue& cat) {
  Session& s = cat.session();
  CardFiles& files = cat.files();
  Progress& progress = s.progress();
  const bool link = cat.linkMode();
  s.BusyCursorOn();
  if (link) {
    progress.ProgressStartTimed(55);
    progress.ProgressSetLine1(s.Text(38));
    progress.ProgressSetLine2("");
  }
  auto step = [&] {
    if (link) progress.ProgressStepTimed(1);
  };
  for (int i = 0; i < 5; ++i) {
    CreateIfMissing(cat, Format("INDEX%d.DAT", i), EmptyIndexFile());
    step();
  }
  CreateIfMissing(cat, "SETUP.DAT", DefaultSetupFile());
  step();
  for (int i = 0; i < 3; ++i) CreateIfMissing(cat, Format("ALPHA%d.DAT", i), EmptyLetterTable());
  step();
  for (int i = 0; i < kSongFolderCount; ++i) {
    if (link) progress.ProgressSetLine1(FormatText(s.Text(39), i));
    if (!files.FolderExists(i) && !files.CreateFolder(i)) {
      s.ShowCreateError(files.DisplayName(kRootFolder, std::to_string(i)));
    }
    step();
  }
  files.Commit();
  for (int n = 1; n <= static_cast<int>(kPlaylistSlots); ++n) {
    if (link) progress.ProgressSetLine1(FormatText(s.Text(40), n));
    CreateIfMissing(cat, Format("PLAY%d.PLL", n), EmptyIndexFile());
    step();
  }
  if (link) progress.ProgressSetLine1(s.Text(41));
  CreateIfMissing(cat, "PLAYLIST.LST", InitialPlaylistIndex());
  files.Commit();
  if (link) progress.ProgressEnd();
  s.BusyCursorOff();
  return 1;
}

int CreateEmptyCatalogue(Catalogue& cat) {
  return CheckCatalogue(cat);
}

int EmptyCard(Catalogue& cat) {
  Session& s = cat.session();
  CardFiles& files = cat.files();
  if (cat.linkMode()) {
    if (files.FormatCard() != 1) {
      s.ui().ShowBox("Errore nella formattazione della Compact Flash", "Format Error", BoxIcon::Stop, BoxButtons::Ok);
      return 0;
    }
  } else {
    const std::string& drive = s.settings().flashDrive;
    // A card drive that names a folder rather than a mount point root may not exist yet.
    if (drive.size() > 4) MakeFolders(drive);
    auto deleteAll = [&](int folder, bool songsOnly) {
      std::vector<CardFolderItem> items;
      if (!files.ListFolderNames(folder, items)) return;
      for (const CardFolderItem& item : items) {
        if (item.isFolder || (songsOnly && !HasMf3Extension(item.name))) continue;
        if (!files.DeleteFile(folder, item.name)) {
          s.ShowBox(FormatText(s.Text(13), files.DisplayName(folder, item.name).c_str()), 21, BoxIcon::Stop,
                    BoxButtons::Ok);
        }
      }
    };
    deleteAll(kRootFolder, false);
    for (int i = 0; i < kSongFolderCount; ++i) {
      files.CreateFolder(i);
      deleteAll(i, true);
    }
  }
  CardAccess access(files);
  CheckCatalogue(cat);
  return 1;
}

int RecoverableSongNumber(const std::string& name, int folder) {
  if (name.size() != 9 || !HasMf3Extension(name)) return -1;
  int number = 0;
  for (std::size_t i = 0; i < 5; ++i) {
    if (!std::isdigit(static_cast<unsigned char>(name[i]))) return -1;
    number = number * 10 + (name[i] - '0');
  }
  if (number >= static_cast<int>(kSongNumberLimit) || SongFolderOf(static_cast<unsigned>(number)) != folder)
    return -1;
  return number;
}

std::string CatalogueAgreement::Describe() const {
  auto some = [](const std::vector<unsigned>& numbers) {
    std::string text;
    for (std::size_t i = 0; i < numbers.size() && i < 8; ++i) text += (i ? ", " : " (") + std::to_string(numbers[i]);
    if (numbers.size() > 8) text += ", ...";
    return text + ")";
  };
  std::string text = "The card's catalogue does not match the songs in its folders:";
  if (!unlisted.empty()) text += Format("\n%zu song files are in no index", unlisted.size()) + some(unlisted);
  if (!missing.empty()) text += Format("\n%zu songs of the index have no file", missing.size()) + some(missing);
  if (folderUnreadable) text += "\na song folder cannot be read";
  return text + "\nRecover the catalogue (card recover) to list every song the folders hold.";
}

CatalogueAgreement CompareCatalogueWithFolders(Catalogue& cat) {
  Session& s = cat.session();
  CardFiles& files = cat.files();
  CatalogueAgreement result;
  // One bit per song number: listed by the index, and present in its folder. Compared a word at
  // a time, since the check runs at every load.
  constexpr std::size_t kWords = (kSongNumberLimit + 63) / 64;
  std::array<std::uint64_t, kWords> listed{};
  for (const SongEntry& e : s.card) {
    const unsigned n = e.songNumber();
    if (n < kSongNumberLimit) listed[n / 64] |= std::uint64_t{1} << (n % 64);
  }
  std::vector<std::uint64_t> present;
  result.folderUnreadable = !files.FindSongFiles(present);
  present.resize(kWords, 0);
  auto collect = [](std::uint64_t bits, std::size_t word, std::vector<unsigned>& out) {
    for (; bits != 0; bits &= bits - 1) out.push_back(static_cast<unsigned>(word * 64 + std::countr_zero(bits)));
  };
  for (std::size_t w = 0; w < kWords; ++w) {
    collect(present[w] & ~listed[w], w, result.unlisted);
    collect(listed[w] & ~present[w], w, result.missing);
  }
  return result;
}

int WarnIfCatalogueDisagrees(Catalogue& cat) {
  const CatalogueAgreement agreement = CompareCatalogueWithFolders(cat);
  if (agreement.Agrees()) return 1;
  cat.session().ShowBox(agreement.Describe(), 22, BoxIcon::Warning, BoxButtons::Ok);
  return 0;
}

int RecoverCatalogue(Catalogue& cat) {
  Session& s = cat.session();
  CardFiles& files = cat.files();
  Progress& progress = s.progress();
  if (s.ShowBox(s.Text(43), 22, BoxIcon::Warning, BoxButtons::YesNo) != BoxAnswer::Yes) return 0;
  s.ShowBox(s.Text(44), 22, BoxIcon::Info, BoxButtons::Ok);

  // Counting pass: the song files of every folder, in directory order.
  std::vector<std::vector<std::string>> songFiles(kSongFolderCount);
  std::vector<std::string> passedOver;
  std::size_t total = 0;
  progress.ProgressStartTimed(kSongFolderCount);
  progress.ProgressSetLine2("");
  for (int i = 0; i < kSongFolderCount; ++i) {
    progress.ProgressSetLine1(FormatText(s.Text(45), i));
    std::vector<CardFolderItem> items;
    if (files.ListFolderNames(i, items)) {
      for (const CardFolderItem& item : items) {
        if (item.isFolder || item.deleted || !HasMf3Extension(item.name)) continue;
        if (RecoverableSongNumber(item.name, i) < 0) {
          passedOver.push_back(files.DisplayName(i, item.name));
          continue;
        }
        songFiles[static_cast<std::size_t>(i)].push_back(item.name);
        ++total;
      }
    }
    if (!files.StepsProgress()) progress.ProgressStepTimed(1);
    s.ui().Pump();
  }
  progress.ProgressEnd();

  // Reading pass.
  CardList recovered;
  std::size_t beyondLimit = 0;
  progress.ProgressStartTimed(static_cast<std::uint32_t>(total));
  for (int i = 0; i < kSongFolderCount; ++i) {
    progress.ProgressSetLine1(FormatText(s.Text(46), i));
    for (const std::string& name : songFiles[static_cast<std::size_t>(i)]) {
      if (recovered.size() >= kMaxCatalogueSongs) {
        ++beyondLimit;
        continue;
      }
      std::vector<std::uint8_t> start;
      files.ReadFileStart(i, name, kRecoveryReadBytes, start);
      start.resize(kRecoveryReadBytes, 0);
      const Mf3Texts texts = Mf3Header::Parse(start.data()).Texts();
      SongEntry e;
      e.title = SongEntry::CutText(texts.title);
      e.performer = SongEntry::CutText(texts.performer);
      e.category = SongEntry::CutText(texts.genre);
      e.scanNumber = static_cast<std::uint16_t>(RecoverableSongNumber(name, i));
      e.path = SongFileName(e.scanNumber);
      recovered.push_back(std::move(e));
      if (!files.StepsProgress()) progress.ProgressStepTimed(1);
    }
  }
  progress.ProgressEnd();

  s.card = std::move(recovered);
  const int result = RebuildCardCatalogue(cat);

  if (!passedOver.empty() || beyondLimit > 0) {
    std::string text;
    if (!passedOver.empty()) {
      text = Format(
          "%zu files in the song folders do not carry the number of a song of their folder and were "
          "left out of the catalogue, since the player could not find them:",
          passedOver.size());
      for (std::size_t k = 0; k < passedOver.size() && k < 10; ++k) text += "\n" + passedOver[k];
      if (passedOver.size() > 10) text += "\n...";
    }
    if (beyondLimit > 0) {
      if (!text.empty()) text += "\n\n";
      text += Format("The card holds %zu songs more than the %zu a catalogue can list; they were left out.",
                     beyondLimit, kMaxCatalogueSongs);
    }
    s.ShowBox(text, 22, BoxIcon::Warning, BoxButtons::Ok);
  }
  return result;
}

}  // namespace sondesk
