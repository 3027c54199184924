#include "catalogue/CatalogueBuilder.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "app/Endian.h"

namespace sondesk {

namespace {
const char* const kIndexFileNames[kIndexFileCount] = {"INDEX0.DAT", "INDEX1.DAT", "INDEX2.DAT", "INDEX3.DAT",
                                                      "INDEX4.DAT", "ALPHA0.DAT", "ALPHA1.DAT", "ALPHA2.DAT"};

// Names live zero-filled in fixed fields, so a plain byte comparison of the whole field is the
// catalogue's collation: the first zero of the shorter name sorts before any character.
template <std::size_t N>
int CompareField(const std::array<char, N>& a, const std::array<char, N>& b) {
  return std::memcmp(a.data(), b.data(), N);
}

// A list text is already a record's field: at most 27 characters, no NUL among them, zeros after.
template <std::size_t N>
void SetField(std::array<char, N>& field, const SongText& text) {
  static_assert(N == SongText::kMax + 1);
  std::memcpy(field.data(), text.field(), N);
}

// Records are written straight from the zero-filled fields: a field holds at most 27 characters,
// so its 28 bytes are the name and the zeros after it, as MakeTitleRecord and MakeDirectoryRecord
// lay them out.
static_assert(kCatalogueTextMax + 1 == kCatalogueTextField && 2 + kCatalogueTextField + 2 == kCatalogueRecordSize);

std::uint8_t* PutTitleRecord(std::uint8_t* out, std::uint16_t number, const std::array<char, kCatalogueTextField>& name) {
  PutLe16(out, number);
  std::memcpy(out + 2, name.data(), kCatalogueTextField);
  out[30] = 0;
  out[31] = 0;
  return out + kCatalogueRecordSize;
}

std::uint8_t* PutDirectoryRecord(std::uint8_t* out, const std::array<char, kCatalogueTextField>& name,
                                 std::uint16_t position) {
  PutLe16(out, kDirectoryEntryMark);
  std::memcpy(out + 2, name.data(), kCatalogueTextField);
  PutLe16(out + 30, position);
  return out + kCatalogueRecordSize;
}

struct LetterTable {
  std::array<std::uint16_t, kLetterCount> values;
  LetterTable() { values.fill(kNoLetterEntry); }
  void Offer(const char* name, std::size_t value) {
    const int letter = LetterIndexOf(std::string_view(name, 1));
    if (letter >= 0 && values[static_cast<std::size_t>(letter)] == kNoLetterEntry) {
      values[static_cast<std::size_t>(letter)] = static_cast<std::uint16_t>(value);
    }
  }
  void WriteTo(std::vector<std::uint8_t>& out) const {
    out.assign(kLetterTableSize, 0);
    for (std::size_t i = 0; i < kLetterCount; ++i) PutLe16(out.data() + 2 * i, values[i]);
  }
};
}  // namespace

const char* IndexFileName(IndexFile file) {
  return kIndexFileNames[static_cast<int>(file)];
}

CatalogueWorkStore::CatalogueWorkStore() {
  entries_.reserve(kMaxCatalogueSongs);
  sorted_.reserve(kMaxCatalogueSongs);
  titleOrder_.reserve(kMaxCatalogueSongs);
  titleKeys_.reserve(kMaxCatalogueSongs);
  groups_.reserve(kMaxCatalogueSongs);
}

namespace {
std::uint64_t FieldHash(const std::array<char, kCatalogueTextField>& field) {
  std::uint64_t a, b, c;
  std::uint32_t d;
  std::memcpy(&a, field.data(), 8);
  std::memcpy(&b, field.data() + 8, 8);
  std::memcpy(&c, field.data() + 16, 8);
  std::memcpy(&d, field.data() + 24, 4);
  std::uint64_t h = a * 0x9E3779B97F4A7C15ull ^ b * 0xC2B2AE3D27D4EB4Full ^ c * 0x165667B19E3779F9ull ^
                    d * 0xD6E8FEB86659FD93ull;
  h ^= h >> 29;
  h *= 0xBF58476D1CE4E5B9ull;
  return h ^ (h >> 32);
}

std::uint64_t BigEndianPrefix(const char* p) {
  std::uint64_t k;
  std::memcpy(&k, p, 8);
  if constexpr (std::endian::native == std::endian::little) k = __builtin_bswap64(k);
  return k;
}
}  // namespace

void CatalogueWorkStore::FillEntries(const CardList& list) {
  // The title sort's keys are taken in the same walk, while each title is at hand.
  entries_.resize(list.size());
  sorted_.resize(list.size());
  titleKeys_.resize(list.size());
  for (std::size_t i = 0; i < list.size(); ++i) {
    Entry& e = entries_[i];
    e.number = list[i].songNumber();
    SetField(e.title, list[i].title);
    SetField(e.category, list[i].category);
    SetField(e.performer, list[i].performer);
    titleKeys_[i] = {BigEndianPrefix(e.title.data()), static_cast<std::uint32_t>(i)};
  }
}

// Gives every entry the rank of its group among the distinct groups of the pass: the names are
// compared once per group rather than once per comparison of the songs' sort.
void CatalogueWorkStore::RankGroups(bool byPerformer) {
  auto group = [&](const Entry& e) -> const std::array<char, kCatalogueTextField>& {
    return byPerformer ? e.performer : e.category;
  };
  // The names are hashed whole from their zero-filled fields: equal fields are equal names.
  constexpr std::size_t kSlots = 32768;  // more than twice the largest number of groups
  constexpr std::uint32_t kEmpty = 0xFFFFFFFF;
  static_assert(kSlots >= 2 * kMaxCatalogueSongs);
  groupSlots_.assign(kSlots, kEmpty);
  groups_.clear();
  for (std::size_t i = 0; i < entries_.size(); ++i) {
    const auto& name = group(entries_[i]);
    std::size_t slot = FieldHash(name) & (kSlots - 1);
    for (;;) {
      const std::uint32_t g = groupSlots_[slot];
      if (g == kEmpty) {
        groupSlots_[slot] = static_cast<std::uint32_t>(groups_.size());
        entries_[i].groupRank = static_cast<std::uint32_t>(groups_.size());
        groups_.push_back(static_cast<std::uint16_t>(i));
        break;
      }
      if (CompareField(group(entries_[groups_[g]]), name) == 0) {
        entries_[i].groupRank = g;
        break;
      }
      slot = (slot + 1) & (kSlots - 1);
    }
  }
  std::sort(groups_.begin(), groups_.end(), [&](std::uint16_t x, std::uint16_t y) {
    return CompareField(group(entries_[x]), group(entries_[y])) < 0;
  });
  // From first-seen numbers to places in group order.
  std::vector<std::uint32_t>& rankOf = rankScratch_;
  rankOf.assign(groups_.size(), 0);
  for (std::size_t r = 0; r < groups_.size(); ++r)
    rankOf[entries_[groups_[r]].groupRank] = static_cast<std::uint32_t>(r);
  for (Entry& e : entries_) e.groupRank = rankOf[e.groupRank];
}

void CatalogueWorkStore::WriteGrouped(bool byPerformer, std::vector<std::uint8_t>& index,
                                      std::vector<std::uint8_t>& directory,
                                      std::vector<std::uint8_t>& letters) {
  RankGroups(byPerformer);
  // By group, and within a group in title order: a counting sort over the title order, since the
  // groups' places are known. The entries stay where they are.
  std::vector<std::uint32_t>& start = rankScratch_;
  start.assign(groups_.size() + 1, 0);
  for (const Entry& e : entries_) ++start[e.groupRank + 1];
  for (std::size_t r = 1; r < start.size(); ++r) start[r] += start[r - 1];
  for (std::uint16_t i : titleOrder_) sorted_[start[entries_[i].groupRank]++] = i;
  // Every song, one header per group, and the terminator; the buffers are sized once and
  // written through.
  index.resize((entries_.size() + groups_.size() + 1) * kCatalogueRecordSize);
  directory.resize((groups_.size() + 1) * kCatalogueRecordSize);
  std::uint8_t* at = index.data();
  std::uint8_t* dir = directory.data();
  LetterTable table;
  std::size_t position = 0;  // records written to the index so far
  std::size_t group = 0;     // directory entries written so far
  for (std::size_t i = 0; i < sorted_.size(); ++i) {
    const Entry& e = entries_[sorted_[i]];
    if (i == 0 || e.groupRank != entries_[sorted_[i - 1]].groupRank) {
      const auto& field = byPerformer ? e.performer : e.category;
      at = PutTitleRecord(at, kGroupHeaderMark, field);
      dir = PutDirectoryRecord(dir, field, static_cast<std::uint16_t>(position));
      table.Offer(field.data(), group);
      ++position;
      ++group;
    }
    at = PutTitleRecord(at, e.number, e.title);
    ++position;
  }
  std::memset(at, 0, kCatalogueRecordSize);
  std::memset(dir, 0, kCatalogueRecordSize);
  table.WriteTo(letters);
}

bool CatalogueWorkStore::Build(const CardList& list, CatalogueFileSet& out,
                               const std::function<void(IndexFile)>& ready) {
  auto tell = [&](IndexFile f) {
    if (ready) ready(f);
  };
  if (list.size() > kMaxCatalogueSongs) return false;
  FillEntries(list);

  // Title pass: equal titles keep the order of the card list.
  // A stable radix sort on the first 8 bytes keeps equal prefixes in list order; only titles
  // sharing them are then compared whole.
  // The counts of all eight bytes are taken in one walk over the keys.
  titleScratch_.resize(titleKeys_.size());
  std::array<std::array<std::uint32_t, 257>, 8> counts{};
  for (const TitleKey& k : titleKeys_) {
    for (int b = 0; b < 8; ++b) ++counts[static_cast<std::size_t>(b)][((k.prefix >> (8 * b)) & 0xFF) + 1];
  }
  for (int b = 0; b < 8; ++b) {
    const int shift = 8 * b;
    std::array<std::uint32_t, 257>& count = counts[static_cast<std::size_t>(b)];
    if (count[((titleKeys_.empty() ? 0 : titleKeys_[0].prefix >> shift) & 0xFF) + 1] == titleKeys_.size()) continue;
    for (std::size_t d = 1; d < count.size(); ++d) count[d] += count[d - 1];
    for (const TitleKey& k : titleKeys_) titleScratch_[count[(k.prefix >> shift) & 0xFF]++] = k;
    titleKeys_.swap(titleScratch_);
  }
  for (auto run = titleKeys_.begin(); run != titleKeys_.end();) {
    auto end = run + 1;
    while (end != titleKeys_.end() && end->prefix == run->prefix) ++end;
    if (end - run > 1) {
      std::stable_sort(run, end, [this](const TitleKey& a, const TitleKey& b) {
        return std::memcmp(entries_[a.entry].title.data() + 8, entries_[b.entry].title.data() + 8,
                           kCatalogueTextField - 8) < 0;
      });
    }
    run = end;
  }
  for (std::size_t i = 0; i < titleKeys_.size(); ++i) sorted_[i] = static_cast<std::uint16_t>(titleKeys_[i].entry);
  auto& index0 = out[IndexFile::Index0];
  index0.resize((entries_.size() + 1) * kCatalogueRecordSize);
  std::uint8_t* at = index0.data();
  LetterTable titles;
  titleOrder_ = sorted_;
  for (std::size_t i = 0; i < sorted_.size(); ++i) {
    const Entry& e = entries_[sorted_[i]];
    at = PutTitleRecord(at, e.number, e.title);
    titles.Offer(e.title.data(), i);
  }
  std::memset(at, 0, kCatalogueRecordSize);
  titles.WriteTo(out[IndexFile::Alpha0]);
  tell(IndexFile::Index0);
  tell(IndexFile::Alpha0);
  WriteGrouped(false, out[IndexFile::Index1], out[IndexFile::Index3], out[IndexFile::Alpha1]);
  tell(IndexFile::Index1);
  tell(IndexFile::Index3);
  tell(IndexFile::Alpha1);
  WriteGrouped(true, out[IndexFile::Index2], out[IndexFile::Index4], out[IndexFile::Alpha2]);
  tell(IndexFile::Index2);
  tell(IndexFile::Index4);
  tell(IndexFile::Alpha2);
  return true;
}

}  // namespace sondesk
