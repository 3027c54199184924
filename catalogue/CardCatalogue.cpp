#include "catalogue/CardCatalogue.h"

#include "catalogue/CatalogueCheck.h"

namespace sondesk {

namespace {
constexpr int kConnectionPane = 0;

void ReportUnreadable(Catalogue& cat, const std::string& name) {
  Session& s = cat.session();
  s.ShowOpenError(CataloguePath(cat, name));
  s.SetStatusPane(kConnectionPane, LinkModeStatusText(LinkMode::NoCard));
}

// Gives `text` to the field chosen by `field` of every card song of each song number listed in a
// grouped index: songs listed twice in INDEX0.DAT get it in both places.
class SongsByNumber {
 public:
  explicit SongsByNumber(const CardList& list) : head_(65536, -1), next_(list.size(), -1) {
    for (std::size_t i = list.size(); i-- > 0;) {
      const std::uint16_t n = list[i].songNumber();
      next_[i] = head_[n];
      head_[n] = static_cast<std::int32_t>(i);
    }
  }
  template <typename F>
  void ForEach(std::uint16_t number, F&& f) const {
    for (std::int32_t i = head_[number]; i >= 0; i = next_[static_cast<std::size_t>(i)])
      f(static_cast<std::size_t>(i));
  }

 private:
  std::vector<std::int32_t> head_;
  std::vector<std::int32_t> next_;
};

void ApplyGroups(const std::vector<std::uint8_t>& bytes, const SongsByNumber& songs, CardList& list,
                 std::string SongEntry::*field) {
  const std::size_t records = bytes.size() / kCatalogueRecordSize;
  std::string current;
  // The last record is the terminator.
  for (std::size_t r = 0; r + 1 < records; ++r) {
    const std::uint8_t* rec = bytes.data() + r * kCatalogueRecordSize;
    const std::uint16_t number = RecordNumber(rec);
    if (number == kGroupHeaderMark) {
      current = RecordText(rec);
      continue;
    }
    songs.ForEach(number, [&](std::size_t i) { list[i].*field = current; });
  }
}

bool ReadRootFile(Catalogue& cat, const std::string& name, std::vector<std::uint8_t>& out) {
  return cat.files().ReadFile(kRootFolder, name, out);
}

// The progress items of reading or sending a root file over the link.
std::uint32_t RootFileUnits(Catalogue& cat, const std::string& name) {
  CardFiles& f = cat.files();
  const long long size = f.FileSize(kRootFolder, name);
  return size > 0 ? f.ProgressUnitsForSize(static_cast<std::uint32_t>(size)) : 0;
}
}  // namespace

std::string CataloguePath(const Catalogue& cat, const std::string& name) {
  return cat.files().DisplayName(kRootFolder, name);
}

std::uint32_t CatalogueUploadSize(Catalogue& cat, IndexFile file) {
  const std::uint32_t songs = static_cast<std::uint32_t>(cat.session().card.size());
  switch (file) {
    case IndexFile::Index0:
      return cat.files().ProgressUnitsForSize(32 * songs);
    case IndexFile::Index1:
    case IndexFile::Index2:
      return cat.files().ProgressUnitsForSize(64 * songs);
    default:
      return 0;
  }
}

int LoadCardCatalogue(Catalogue& cat) {
  Session& s = cat.session();
  CardFiles& files = cat.files();
  s.card.clear();
  cat.titleIndex.Clear();
  if (!cat.linkMode() && !s.CardDriveUsable()) return 1;

  CardAccess access(files);
  if (!CatalogueComplete(cat)) CheckCatalogue(cat);

  s.BusyCursorOn();
  Progress& progress = s.progress();
  const bool link = cat.linkMode();
  if (link) {
    std::uint32_t total = 0;
    for (const char* name : {"INDEX4.DAT", "INDEX3.DAT", "INDEX2.DAT", "INDEX1.DAT", "INDEX0.DAT"}) {
      total += RootFileUnits(cat, name);
    }
    progress.ProgressStartTimed(total);
  }
  auto finish = [&](int result) {
    if (link) progress.ProgressEnd();
    s.BusyCursorOff();
    return result;
  };

  std::vector<std::uint8_t> bytes;
  if (!ReadRootFile(cat, "INDEX0.DAT", bytes)) {
    ReportUnreadable(cat, "INDEX0.DAT");
    return finish(0);
  }
  cat.titleIndex.Assign(bytes);
  const std::size_t records = cat.titleIndex.count();
  if (records == 0) {
    // An INDEX0.DAT cut to nothing looks like an empty card: the folders say whether it is one.
    WarnIfCatalogueDisagrees(cat);
    return finish(1);
  }
  // Every record but the terminator is a song, in file order.
  for (std::size_t r = 0; r + 1 < records && !s.card.full(); ++r) {
    const std::uint8_t* rec = cat.titleIndex[r].data();
    SongEntry e;
    e.scanNumber = RecordNumber(rec);
    e.title = RecordText(rec);
    e.path = SongFileName(e.scanNumber);
    e.listIndex = static_cast<std::uint16_t>(r);
    e.numberText = FormatNumberText(static_cast<int>(r));
    s.card.push_back(std::move(e));
  }

  const SongsByNumber songs(s.card);
  if (!ReadRootFile(cat, "INDEX1.DAT", bytes)) {
    ReportUnreadable(cat, "INDEX1.DAT");
    return finish(0);
  }
  ApplyGroups(bytes, songs, s.card, &SongEntry::category);
  if (!ReadRootFile(cat, "INDEX2.DAT", bytes)) {
    ReportUnreadable(cat, "INDEX2.DAT");
    return finish(0);
  }
  ApplyGroups(bytes, songs, s.card, &SongEntry::performer);
  WarnIfCatalogueDisagrees(cat);
  return finish(1);
}

int ReadTitleIndexImage(Catalogue& cat) {
  Session& s = cat.session();
  cat.titleIndex.Clear();
  if (!cat.linkMode() && !s.CardDriveUsable()) return 0;
  s.BusyCursorOn();
  Progress& progress = s.progress();
  progress.ProgressStartTimed(RootFileUnits(cat, "INDEX0.DAT"));
  progress.ProgressSetLine1("Lettura INDEX0.DAT");
  std::vector<std::uint8_t> bytes;
  const bool ok = ReadRootFile(cat, "INDEX0.DAT", bytes);
  if (ok) {
    cat.titleIndex.Assign(bytes);
  } else {
    s.ShowOpenError(CataloguePath(cat, "INDEX0.DAT"));
  }
  progress.ProgressEnd();
  s.BusyCursorOff();
  return ok ? 1 : 0;
}

int RebuildCardCatalogue(Catalogue& cat) {
  Session& s = cat.session();
  CardFiles& files = cat.files();
  s.progress().ProgressSetLine1("Update index");

  CatalogueFileSet set;
  if (!cat.workStore().Build(s.card, set)) {
    s.ShowBox(Format("The card catalogue holds at most %zu songs: the index files were not written.",
                     kMaxCatalogueSongs),
              22, BoxIcon::Warning, BoxButtons::Ok);
    return 0;
  }

  // One set: a card that cannot take the new index files whole keeps the old ones whole, so the
  // player never reads letter jumps of one catalogue over the titles of another.
  std::vector<CardFiles::NamedFile> named;
  for (IndexFile f : {IndexFile::Index0, IndexFile::Index1, IndexFile::Index2, IndexFile::Alpha0, IndexFile::Alpha1,
                      IndexFile::Alpha2, IndexFile::Index3, IndexFile::Index4}) {
    named.emplace_back(IndexFileName(f), set[f]);
  }
  s.progress().ProgressSetLine1("Update Index Titles");
  if (!files.ReplaceRootFilesTogether(named)) {
    s.ShowBox(FormatText(s.Text(12), CataloguePath(cat, "INDEX0.DAT - INDEX4.DAT, ALPHA0.DAT - ALPHA2.DAT").c_str()) +
                  "\nThe card keeps its old index files, all of them.",
              25, BoxIcon::Stop, BoxButtons::Ok);
    return 0;
  }
  return 1;
}

}  // namespace sondesk
