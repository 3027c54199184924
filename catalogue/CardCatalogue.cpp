#include "catalogue/CardCatalogue.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cstring>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

#include "app/Endian.h"
#include "catalogue/CatalogueCheck.h"

namespace sondesk {

namespace {
constexpr int kConnectionPane = 0;

void ReportUnreadable(Catalogue& cat, const std::string& name) {
  Session& s = cat.session();
  s.ShowOpenError(CataloguePath(cat, name));
  s.SetStatusPane(kConnectionPane, LinkModeStatusText(LinkMode::NoCard));
}

// Per song number, the group header a song of that number falls under in INDEX1.DAT and in
// INDEX2.DAT (the last listing wins): the header's byte offset, or -1. A number listed twice in
// INDEX0.DAT gives both songs its groups. Only the slots of INDEX0.DAT's numbers are made ready:
// the others may be written by the walk of a grouped index but are never read, so the table is
// never cleared whole.
static_assert(SongText::kMax == kCatalogueTextMax && SongText::kMax + 1 <= kCatalogueRecordSize - 2);

class GroupsByNumber {
 public:
  struct Slot {
    std::int32_t category;
    std::int32_t performer;
  };
  GroupsByNumber(const TitleIndexImage& image, std::size_t songs) : slots_(new Slot[65536]) {
    for (std::size_t i = 0; i < songs; ++i) slots_[image.SongNumberAt(i)] = {-1, -1};
  }

  void Find(const std::vector<std::uint8_t>& bytes, std::int32_t Slot::*which) {
    const std::size_t records = bytes.size() / kCatalogueRecordSize;
    std::int32_t current = -1;
    // The last record is the terminator.
    for (std::size_t r = 0; r + 1 < records; ++r) {
      const std::uint8_t* rec = bytes.data() + r * kCatalogueRecordSize;
      const std::uint16_t number = GetLe16(rec);
      if (number == kGroupHeaderMark) {
        current = static_cast<std::int32_t>(r * kCatalogueRecordSize);
        continue;
      }
      slots_[number].*which = current;
    }
  }

  const Slot& operator[](std::uint16_t number) const { return slots_[number]; }

 private:
  std::unique_ptr<Slot[]> slots_;
};

// A group's name found by GroupsByNumber; empty when a song was not listed or the index was not
// read. The texts live in the entry, not on the heap.
inline void GiveGroup(const std::vector<std::uint8_t>* bytes, std::int32_t at, SongText& text) {
  if (bytes == nullptr || at < 0) {
    text.clear();
    return;
  }
  text.AssignFromRecordField(reinterpret_cast<const char*>(bytes->data() + at + 2));
}

// "%6d" of list positions counted up one at a time: the next text is the last one with its
// digits carried, which is most often one byte written.
class PositionText {
 public:
  explicit PositionText(unsigned first) {
    PutDecimal(text_ + kNumberTextMax, kNumberTextMax, first, ' ');
  }
  const char* text() const { return text_; }
  void Next() {
    for (int i = kNumberTextMax - 1; i >= 0; --i) {
      if (text_[i] == ' ') {
        text_[i] = '1';
        return;
      }
      if (text_[i] != '9') {
        ++text_[i];
        return;
      }
      text_[i] = '0';
    }
  }

 private:
  char text_[kNumberTextMax + 1] = {};
};

// Makes the card list from INDEX0.DAT and the groups found, in one walk front to back. The old
// list lends its storage (only the paths are on the heap, and they fit a string's own room): a
// list loaded over another allocates nothing.
void FillCardList(CardList& card, std::vector<SongEntry>& reuse, const TitleIndexImage& image,
                  std::size_t songCount, const GroupsByNumber& groups,
                  const std::vector<std::uint8_t>* categories, const std::vector<std::uint8_t>* performers) {
  // New songs are made where they are filled, while their memory is at hand, rather than all made
  // empty first and written again; as copies of one empty song, which is quicker than making each.
  if (reuse.size() > songCount) reuse.resize(songCount);
  reuse.reserve(songCount);
  const SongEntry blank;
  PositionText position(0);  // positions stay below 16,384: "%6d" never needs a seventh character
  for (std::size_t r = 0; r < songCount; ++r, position.Next()) {
    SongEntry& e = r < reuse.size() ? reuse[r] : reuse.emplace_back(blank);
    const std::uint8_t* record = image.RecordAt(r);
    const std::uint16_t number = GetLe16(record);
    e.numberText.AssignFromField(position.text(), kNumberTextMax);
    e.path.resize(9);  // "%05u.MF3": numbers stay below 65,536
    PutDecimal(e.path.data() + 5, 5, number, '0');
    std::memcpy(e.path.data() + 5, ".MF3", 4);
    e.title.AssignFromRecordField(reinterpret_cast<const char*>(record + 2));
    const GroupsByNumber::Slot& slot = groups[number];
    GiveGroup(categories, slot.category, e.category);
    GiveGroup(performers, slot.performer, e.performer);
    e.listIndex = static_cast<std::uint16_t>(r);
    e.edited = 0;
    e.fileSize = 0;
    e.scanNumber = number;
    e.inBothLists = 0;
    e.deletionMark = 0;
  }
  card.entries() = std::move(reuse);
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
  // The songs of the old list lend their storage to the new one; those not reused go with it.
  std::vector<SongEntry> reuse = std::move(s.card.entries());
  s.card.clear();
  std::vector<std::uint8_t> bytes = cat.titleIndex.TakeBytes();
  if (!cat.linkMode() && !s.CardDriveUsable()) {
    cat.listOutdated = false;
    return 1;
  }

  CardAccess access(files);
  if (!CatalogueComplete(cat)) {
    // Creating the missing pieces is a write like any other: not while another program writes the
    // card, nor on a card whose chains are damaged (the user is told; what is there is still read).
    std::unique_ptr<WriteLock> lock;
    if (cat.BeginWrite(lock, /*listNeeded=*/false)) CheckCatalogue(cat);
  }
  // What follows reads the card as it is now.
  cat.listOutdated = false;

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

  if (!ReadRootFile(cat, "INDEX0.DAT", bytes)) {
    ReportUnreadable(cat, "INDEX0.DAT");
    return finish(0);
  }
  cat.titleIndex.Assign(std::move(bytes));
  const std::size_t records = cat.titleIndex.count();
  if (records == 0) {
    // An INDEX0.DAT cut to nothing looks like an empty card: the folders say whether it is one.
    WarnIfCatalogueDisagrees(cat);
    return finish(1);
  }
  // Every record but the terminator is a song, in file order.
  const std::size_t songCount = std::min(records - 1, CardList::kCapacity);
  GroupsByNumber groups(cat.titleIndex, songCount);
  std::vector<std::uint8_t>& categoryBytes = cat.categoryIndexBytes;
  std::vector<std::uint8_t>& performerBytes = cat.performerIndexBytes;
  // What could be read stays in the list when a later index cannot be.
  if (!ReadRootFile(cat, "INDEX1.DAT", categoryBytes)) {
    FillCardList(s.card, reuse, cat.titleIndex, songCount, groups, nullptr, nullptr);
    ReportUnreadable(cat, "INDEX1.DAT");
    return finish(0);
  }
  groups.Find(categoryBytes, &GroupsByNumber::Slot::category);
  if (!ReadRootFile(cat, "INDEX2.DAT", performerBytes)) {
    FillCardList(s.card, reuse, cat.titleIndex, songCount, groups, &categoryBytes, nullptr);
    ReportUnreadable(cat, "INDEX2.DAT");
    return finish(0);
  }
  groups.Find(performerBytes, &GroupsByNumber::Slot::performer);
  FillCardList(s.card, reuse, cat.titleIndex, songCount, groups, &categoryBytes, &performerBytes);
  WarnIfCatalogueDisagrees(cat);
  return finish(1);
}

int ReadTitleIndexImage(Catalogue& cat) {
  Session& s = cat.session();
  std::vector<std::uint8_t> bytes = cat.titleIndex.TakeBytes();
  if (!cat.linkMode() && !s.CardDriveUsable()) return 0;
  s.BusyCursorOn();
  Progress& progress = s.progress();
  progress.ProgressStartTimed(RootFileUnits(cat, "INDEX0.DAT"));
  progress.ProgressSetLine1("Lettura INDEX0.DAT");
  const bool ok = ReadRootFile(cat, "INDEX0.DAT", bytes);
  if (ok) {
    cat.titleIndex.Assign(std::move(bytes));
  } else {
    s.ShowOpenError(CataloguePath(cat, "INDEX0.DAT"));
  }
  progress.ProgressEnd();
  s.BusyCursorOff();
  return ok ? 1 : 0;
}

namespace {
// The index files made, handed from the rebuild to the thread that writes them. The writer looks
// for the next file for a while before it sleeps: on a loaded machine a sleeping thread is woken
// only some 50 microseconds after it is called, a tenth of the time a large file takes to write,
// and the rebuild waits on the writer.
class FilesMade {
 public:
  void Put(IndexFile f) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      const int n = count_.load(std::memory_order_relaxed);
      made_[static_cast<std::size_t>(n)] = f;
      count_.store(n + 1, std::memory_order_release);
    }
    changed_.notify_one();
  }
  void Close() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      closed_.store(true, std::memory_order_release);
    }
    changed_.notify_one();
  }
  // The next file made, or false once all were taken and no more will come.
  bool Take(IndexFile& f) {
    auto ready = [this] {
      return taken_ < count_.load(std::memory_order_acquire) || closed_.load(std::memory_order_acquire);
    };
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(2);
    while (!ready() && std::chrono::steady_clock::now() < until) std::this_thread::yield();
    if (!ready()) {
      std::unique_lock<std::mutex> lock(mutex_);
      changed_.wait(lock, ready);
    }
    if (taken_ == count_.load(std::memory_order_acquire)) return false;
    f = made_[static_cast<std::size_t>(taken_++)];
    return true;
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::array<IndexFile, kIndexFileCount> made_{};
  std::atomic<int> count_{0};
  std::atomic<bool> closed_{false};
  int taken_ = 0;  // the writer's own
};

// Builds the index files and writes them as one set. Where the card's files are written as they
// are handed over (a card reader), each large file goes to the card while the next is built: the
// writing and the building, of about equal length, then take little more than one of them. The
// set is still replaced whole, as the card takes it, in the same order.
bool BuildAndWriteIndexFiles(Catalogue& cat, CatalogueFileSet& set) {
  Session& s = cat.session();
  CardFiles& files = cat.files();
  std::unique_ptr<CardFiles::RootFileSet> out = s.card.size() >= 2048 ? files.BeginRootFileSet() : nullptr;
  if (!out) {
    // All built first, then written in one piece: the buffers are lent to the write and given
    // back, neither copied nor allocated again.
    cat.workStore().Build(s.card, set);
    s.progress().ProgressSetLine1("Update Index Titles");
    std::vector<CardFiles::NamedFile> named;
    named.reserve(kIndexFileCount);
    for (IndexFile f : kIndexFileOrder) named.emplace_back(IndexFileName(f), std::move(set[f]));
    const bool written = files.ReplaceRootFilesTogether(named);
    for (std::size_t i = 0; i < named.size(); ++i) set[kIndexFileOrder[i]] = std::move(named[i].second);
    return written;
  }
  FilesMade made;
  bool added = true;
  cat.sideWorker().RunBeside(
      [&] {
        // Every file made is taken, also after a failure, so that the builder never waits on a
        // writer that stopped.
        for (IndexFile f; made.Take(f);) added = added && out->Add(IndexFileName(f), set[f]);
      },
      [&] {
        struct CloseAtEnd {
          FilesMade& made;
          ~CloseAtEnd() { made.Close(); }
        } closeAtEnd{made};
        bool first = true;
        cat.workStore().Build(s.card, set, [&](IndexFile f) {
          if (first) s.progress().ProgressSetLine1("Update Index Titles");
          first = false;
          made.Put(f);
        });
      });
  return added && out->Commit();
}
}  // namespace

int RebuildCardCatalogue(Catalogue& cat) {
  Session& s = cat.session();
  s.progress().ProgressSetLine1("Update index");
  if (s.card.size() > kMaxCatalogueSongs) {
    s.ShowBox(Format("The card catalogue holds at most %zu songs: the index files were not written.",
                     kMaxCatalogueSongs),
              22, BoxIcon::Warning, BoxButtons::Ok);
    return 0;
  }
  // One set: a card that cannot take the new index files whole keeps the old ones whole, so the
  // player never reads letter jumps of one catalogue over the titles of another.
  if (!BuildAndWriteIndexFiles(cat, cat.workStore().output())) {
    s.ShowBox(FormatText(s.Text(12), CataloguePath(cat, "INDEX0.DAT - INDEX4.DAT, ALPHA0.DAT - ALPHA2.DAT").c_str()) +
                  "\nThe card keeps its old index files, all of them.",
              25, BoxIcon::Stop, BoxButtons::Ok);
    return 0;
  }
  return 1;
}

}  // namespace sondesk
