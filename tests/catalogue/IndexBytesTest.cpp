// The eight index files of a generated card of a few thousand songs, pinned by checksum: any
// change to how the records are sorted, grouped or encoded shows here, and the load must give the
// same list back whether the list it replaces was empty or full of other songs.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <string>

#include "catalogue/CardCatalogue.h"
#include "catalogue/CatalogueBuilder.h"
#include "tests/catalogue/CatalogueFixture.h"

namespace sondesk::test {
namespace {

std::uint64_t Fnv1a(std::uint64_t h, const void* data, std::size_t n) {
  const auto* p = static_cast<const std::uint8_t*>(data);
  for (std::size_t i = 0; i < n; ++i) h = (h ^ p[i]) * 0x100000001b3ull;
  return h;
}
constexpr std::uint64_t kFnvStart = 0xcbf29ce484222325ull;

class Lcg {
 public:
  unsigned Next(unsigned bound) {
    state_ = state_ * 6364136223846793005ull + 1442695040888963407ull;
    return static_cast<unsigned>((state_ >> 33) % bound);
  }

 private:
  std::uint64_t state_ = 20;
};

// Names that exercise the collation: both cases, digits, bytes above 127, names longer than a
// record holds, names that are prefixes of others, empty names and a NUL inside a name.
std::string RandomName(Lcg& rng, unsigned maxLength) {
  static const char kChars[] = "AaBbZz09 -'\xC0\xE8\xFF";
  std::string s;
  const unsigned n = rng.Next(maxLength + 1);
  for (unsigned i = 0; i < n; ++i) s += kChars[rng.Next(sizeof kChars - 1)];
  if (rng.Next(50) == 0) s += std::string(1, '\0') + "hidden";
  return s;
}

CardList GeneratedCard(std::size_t songs) {
  Lcg rng;
  std::vector<std::string> titles, performers, categories;
  for (int i = 0; i < 40; ++i) categories.push_back(RandomName(rng, 32));
  for (int i = 0; i < 400; ++i) performers.push_back(RandomName(rng, 32));
  CardList list;
  for (std::size_t i = 0; i < songs; ++i) {
    // Some titles repeat, some songs share a number with an earlier one.
    std::string title = !titles.empty() && rng.Next(10) == 0 ? titles[rng.Next(static_cast<unsigned>(titles.size()))]
                                                             : RandomName(rng, 34);
    titles.push_back(title);
    const unsigned number = rng.Next(20) == 0 ? rng.Next(static_cast<unsigned>(i) + 1) : static_cast<unsigned>(i);
    list.push_back(CardSong(number, title, performers[rng.Next(400)], categories[rng.Next(40)]));
  }
  return list;
}

std::uint64_t ListChecksum(const CardList& list) {
  std::uint64_t h = kFnvStart;
  for (const SongEntry& e : list) {
    for (const std::string_view s : {e.numberText.view(), std::string_view(e.path), e.title.view(),
                                     e.performer.view(), e.category.view()}) {
      h = Fnv1a(h, s.data(), s.size());
      h = Fnv1a(h, "|", 1);
    }
    for (std::uint32_t v : {std::uint32_t{e.listIndex}, std::uint32_t{e.edited}, e.fileSize,
                            std::uint32_t{e.scanNumber}, static_cast<std::uint32_t>(e.inBothLists),
                            static_cast<std::uint32_t>(e.deletionMark)}) {
      h = Fnv1a(h, &v, sizeof v);
    }
  }
  return h;
}

struct Pinned {
  IndexFile file;
  std::size_t size;
  std::uint64_t checksum;
};

TEST(IndexBytes, GeneratedCardGivesThePinnedFiles) {
  const CardList list = GeneratedCard(3000);
  CatalogueWorkStore work;
  CatalogueFileSet set;
  ASSERT_TRUE(work.Build(list, set));
  const Pinned kPinned[] = {
      {IndexFile::Index0, 96032, 0xf1e9ff11291e92eeull},  {IndexFile::Index1, 97312, 0x2e88f61fab9c2fc9ull},
      {IndexFile::Index2, 108416, 0x8fc9e55a1222c852ull}, {IndexFile::Index3, 1312, 0xec81f3788cefe8adull},
      {IndexFile::Index4, 12416, 0x23edbcbcfd7e6b21ull},  {IndexFile::Alpha0, 52, 0xd9757a8d07ca9234ull},
      {IndexFile::Alpha1, 52, 0xc76df2aff1ac26faull},     {IndexFile::Alpha2, 52, 0x736086edd0d5b4bbull},
  };
  for (const Pinned& p : kPinned) {
    const auto& bytes = set[p.file];
    EXPECT_EQ(bytes.size(), p.size) << IndexFileName(p.file);
    EXPECT_EQ(Fnv1a(kFnvStart, bytes.data(), bytes.size()), p.checksum)
        << IndexFileName(p.file) << " 0x" << std::hex << Fnv1a(kFnvStart, bytes.data(), bytes.size());
  }
  // A second build from the same store gives the same bytes: nothing of the first is left over.
  CatalogueFileSet again;
  ASSERT_TRUE(work.Build(GeneratedCard(1200), again));
  ASSERT_TRUE(work.Build(list, again));
  for (int f = 0; f < kIndexFileCount; ++f) EXPECT_EQ(again.files[f], set.files[f]) << f;
}

TEST(IndexBytes, TitlesSharingLongBeginningsSortWhole) {
  // Titles that agree in their first 8 bytes and more, and differ late, by case or by length.
  Lcg rng;
  CardList list;
  for (unsigned i = 0; i < 2000; ++i) {
    std::string title = "Common beginning ";
    for (unsigned n = rng.Next(12); n > 0; --n) title += "aAb\xE9 "[rng.Next(5)];
    list.push_back(CardSong(i, title));
  }
  std::vector<std::size_t> order(list.size());
  for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
    return CompareCatalogueText(list[a].title, list[b].title) < 0;
  });
  CatalogueWorkStore work;
  CatalogueFileSet set;
  ASSERT_TRUE(work.Build(list, set));
  const auto& index0 = set[IndexFile::Index0];
  ASSERT_EQ(index0.size(), (list.size() + 1) * kCatalogueRecordSize);
  for (std::size_t r = 0; r < order.size(); ++r) {
    ASSERT_EQ(RecordNumber(index0.data() + r * kCatalogueRecordSize), list[order[r]].songNumber()) << r;
  }
}

class IndexBytesLoadTest : public CatalogueTest {};

TEST_F(IndexBytesLoadTest, LoadGivesThePinnedListIntoAnEmptyOrAFullList) {
  MakeFreshCard();
  session->card = GeneratedCard(3000);
  ASSERT_EQ(RebuildCardCatalogue(*cat), 1);

  session->card.clear();
  ASSERT_EQ(LoadCardCatalogue(*cat), 1);
  ASSERT_EQ(session->card.size(), 3000u);
  const std::uint64_t fromEmpty = ListChecksum(session->card);
  EXPECT_EQ(fromEmpty, 0x575c38cc9a3a9fafull) << "0x" << std::hex << fromEmpty;

  // A list of other songs with every field set is replaced whole.
  session->card = GeneratedCard(5000);
  for (SongEntry& e : session->card) {
    e.edited = 1;
    e.fileSize = 1234;
    e.inBothLists = 1;
    e.deletionMark = 1;
    e.path = std::string(40, 'p');
    e.category = std::string(40, 'c');
    e.performer = std::string(40, 'f');
  }
  ASSERT_EQ(LoadCardCatalogue(*cat), 1);
  EXPECT_EQ(ListChecksum(session->card), fromEmpty);
  EXPECT_EQ(cat->titleIndex.count(), 3001u);
}

TEST_F(IndexBytesLoadTest, AnUnreadableGroupIndexKeepsWhatWasReadBeforeIt) {
  MakeFreshCard();
  session->card.push_back(CardSong(12, "Twelve", "Perf", "Pop"));
  session->card.push_back(CardSong(7, "Seven", "Other", "Rock"));
  ASSERT_EQ(RebuildCardCatalogue(*cat), 1);
  // A folder where INDEX2.DAT should be: present, but not readable as a file.
  std::filesystem::remove(CardPath(kRootFolder, "INDEX2.DAT"));
  std::filesystem::create_directory(CardPath(kRootFolder, "INDEX2.DAT"));
  EXPECT_EQ(LoadCardCatalogue(*cat), 0);
  ASSERT_EQ(session->card.size(), 2u);
  EXPECT_EQ(session->card[0].title, "Seven");
  EXPECT_EQ(session->card[0].category, "Rock");
  EXPECT_EQ(session->card[0].performer, "");
  EXPECT_EQ(session->card[1].category, "Pop");
  EXPECT_FALSE(ui.boxes.empty());

  // The same with INDEX1.DAT: the titles alone.
  std::filesystem::remove(CardPath(kRootFolder, "INDEX2.DAT"));
  ASSERT_EQ(RebuildCardCatalogue(*cat), 1);
  std::filesystem::remove(CardPath(kRootFolder, "INDEX1.DAT"));
  std::filesystem::create_directory(CardPath(kRootFolder, "INDEX1.DAT"));
  EXPECT_EQ(LoadCardCatalogue(*cat), 0);
  ASSERT_EQ(session->card.size(), 2u);
  EXPECT_EQ(session->card[1].title, "Twelve");
  EXPECT_EQ(session->card[1].path, "00012.MF3");
  EXPECT_EQ(session->card[1].category, "");
  EXPECT_EQ(session->card[1].performer, "");
}

// Index files of other makers: a song number listed twice in INDEX0.DAT, a grouped index that
// lists a number INDEX0.DAT does not hold or one song under two groups, a song no group lists.
TEST_F(IndexBytesLoadTest, GroupsGoByNumberToEverySongThatCarriesIt) {
  MakeFreshCard();
  auto file = [](std::initializer_list<std::pair<std::uint16_t, const char*>> records) {
    std::vector<std::uint8_t> bytes;
    for (const auto& [number, text] : records) {
      const CatalogueRecord r = MakeTitleRecord(number, text);
      bytes.insert(bytes.end(), r.begin(), r.end());
    }
    bytes.resize(bytes.size() + kCatalogueRecordSize, 0);  // the terminator
    return bytes;
  };
  constexpr std::uint16_t kHead = kGroupHeaderMark;
  WriteFile(CardPath(kRootFolder, "INDEX0.DAT"), file({{5, "Alpha"}, {5, "Beta"}, {9, "Gamma"}}));
  WriteFile(CardPath(kRootFolder, "INDEX1.DAT"),
            file({{kHead, "Dance"}, {9, ""}, {kHead, "Rock"}, {5, ""}, {777, ""}}));
  WriteFile(CardPath(kRootFolder, "INDEX2.DAT"), file({{kHead, "First"}, {5, ""}, {kHead, "Last"}, {5, ""}}));
  // Over a list whose texts are longer than any the card holds: nothing of them may remain.
  session->card.push_back(CardSong(1, std::string(40, 't'), std::string(40, 'p'), std::string(40, 'c')));
  ASSERT_EQ(LoadCardCatalogue(*cat), 1);
  ASSERT_EQ(session->card.size(), 3u);
  const char* expected[3][3] = {{"Alpha", "Rock", "Last"}, {"Beta", "Rock", "Last"}, {"Gamma", "Dance", ""}};
  for (std::size_t i = 0; i < 3; ++i) {
    const SongEntry& e = session->card[i];
    EXPECT_EQ(e.title, expected[i][0]) << i;
    EXPECT_EQ(e.category, expected[i][1]) << i;
    EXPECT_EQ(e.performer, expected[i][2]) << i;
    EXPECT_EQ(e.numberText, FormatNumberText(static_cast<int>(i)));
  }
  EXPECT_EQ(session->card[1].path, "00005.MF3");
  EXPECT_EQ(session->card[2].path, "00009.MF3");
}

// The load reads into the buffers of the load before and the rebuild writes over the files of the
// rebuild before: after a large card, a small one with names of other makers (bytes after a
// name's end, a name without its end) must come back as a fresh program reads and writes it.
TEST_F(IndexBytesLoadTest, ASmallCardAfterALargeOneLeavesNothingOfIt) {
  MakeFreshCard();
  session->card = GeneratedCard(3000);
  ASSERT_EQ(RebuildCardCatalogue(*cat), 1);
  ASSERT_EQ(LoadCardCatalogue(*cat), 1);

  // The rebuild's files match those of a store that never built anything. A name with a NUL of
  // its own ends there in every index.
  session->card = GeneratedCard(40);
  session->card[7].title = std::string("AB\0CD", 5);
  session->card[7].category = std::string("\0X", 2);
  ASSERT_EQ(RebuildCardCatalogue(*cat), 1);
  CatalogueWorkStore fresh;
  CatalogueFileSet expected;
  ASSERT_TRUE(fresh.Build(session->card, expected));
  for (int f = 0; f < kIndexFileCount; ++f) {
    EXPECT_EQ(CardBytes(IndexFileName(static_cast<IndexFile>(f))), expected.files[f]) << f;
  }
  const auto index0 = CardBytes("INDEX0.DAT");
  const std::string cut = "AB" + std::string(kCatalogueTextField - 2, '\0');
  EXPECT_NE(std::search(index0.begin(), index0.end(), cut.begin(), cut.end()), index0.end());
  const auto index1 = CardBytes("INDEX1.DAT");
  EXPECT_EQ(std::search(index1.begin(), index1.end(), std::begin("\0X"), std::end("\0X") - 1), index1.end());

  auto record = [](std::uint16_t number, const std::string& field) {
    std::vector<std::uint8_t> r(kCatalogueRecordSize, 0);
    r[0] = static_cast<std::uint8_t>(number);
    r[1] = static_cast<std::uint8_t>(number >> 8);
    std::copy(field.begin(), field.end(), r.begin() + 2);
    return r;
  };
  auto file = [](std::initializer_list<std::vector<std::uint8_t>> records) {
    std::vector<std::uint8_t> bytes;
    for (const auto& r : records) bytes.insert(bytes.end(), r.begin(), r.end());
    bytes.resize(bytes.size() + kCatalogueRecordSize, 0);
    return bytes;
  };
  const std::string garbage = std::string("Short\0", 6) + std::string(22, 'G');  // 28 bytes
  const std::string unended(30, 'U');  // no end within the record: cut at 27
  WriteFile(CardPath(kRootFolder, "INDEX0.DAT"), file({record(3, garbage), record(4, unended)}));
  WriteFile(CardPath(kRootFolder, "INDEX1.DAT"),
            file({record(kGroupHeaderMark, garbage), record(3, ""), record(kGroupHeaderMark, unended), record(4, "")}));
  WriteFile(CardPath(kRootFolder, "INDEX2.DAT"), file({record(kGroupHeaderMark, "P"), record(4, "")}));
  ASSERT_EQ(LoadCardCatalogue(*cat), 1);
  ASSERT_EQ(session->card.size(), 2u);
  const SongEntry& a = session->card[0];
  const SongEntry& b = session->card[1];
  EXPECT_EQ(a.title, "Short");
  EXPECT_EQ(a.category, "Short");
  EXPECT_EQ(a.performer, "");
  EXPECT_EQ(b.title, std::string(27, 'U'));
  EXPECT_EQ(b.category, std::string(27, 'U'));
  EXPECT_EQ(b.performer, "P");
  EXPECT_EQ(b.numberText, "     1");
  // What is held past a text's end is zero, as the record the next rebuild writes from it.
  for (const SongText* t : {&a.title, &a.category, &a.performer}) {
    EXPECT_EQ(std::string(t->field(), SongText::kMax + 1), std::string(t->data(), t->size()) +
                                                              std::string(SongText::kMax + 1 - t->size(), '\0'));
  }
  // A second load of the same files gives the same list.
  const std::uint64_t once = ListChecksum(session->card);
  ASSERT_EQ(LoadCardCatalogue(*cat), 1);
  EXPECT_EQ(ListChecksum(session->card), once);
  EXPECT_EQ(cat->titleIndex.count(), 3u);
}

// A large card's index files go to the card while the next is built: what lands there is what a
// build on its own gives, byte for byte, also the second time over the files of the first.
TEST_F(IndexBytesLoadTest, ALargeCardsFilesWrittenWhileBuiltAreTheBuiltFiles) {
  MakeFreshCard();
  for (const std::size_t songs : {std::size_t{3000}, std::size_t{2500}}) {
    session->card = GeneratedCard(songs);
    ASSERT_EQ(RebuildCardCatalogue(*cat), 1);
    CatalogueWorkStore fresh;
    CatalogueFileSet expected;
    ASSERT_TRUE(fresh.Build(session->card, expected));
    for (int f = 0; f < kIndexFileCount; ++f) {
      EXPECT_EQ(CardBytes(IndexFileName(static_cast<IndexFile>(f))), expected.files[f]) << songs << " " << f;
    }
  }
  EXPECT_TRUE(ui.boxes.empty());
}

// A file of the set that cannot be written while the others are being built stops the set: the
// files already handed over stay temporaries and go, and every old file stays, the first included.
TEST_F(IndexBytesLoadTest, ALargeSetFailingMidwayLeavesEveryOldFile) {
  MakeFreshCard();
  session->card = GeneratedCard(3000);
  ASSERT_EQ(RebuildCardCatalogue(*cat), 1);
  const auto oldIndex0 = CardBytes("INDEX0.DAT");
  const auto oldAlpha2 = CardBytes("ALPHA2.DAT");
  std::filesystem::remove(CardPath(kRootFolder, "INDEX2.DAT"));
  std::filesystem::create_directory(CardPath(kRootFolder, "INDEX2.DAT"));
  session->card = GeneratedCard(2500);
  EXPECT_EQ(RebuildCardCatalogue(*cat), 0);
  EXPECT_EQ(CardBytes("INDEX0.DAT"), oldIndex0);
  EXPECT_EQ(CardBytes("ALPHA2.DAT"), oldAlpha2);
  EXPECT_TRUE(ui.ShownContaining("keeps its old index files"));
  for (const auto& entry : std::filesystem::directory_iterator(cardDir)) {
    EXPECT_EQ(entry.path().filename().string().find(".tmp"), std::string::npos) << entry.path();
  }
  // With the way clear again the next rebuild writes the whole set.
  std::filesystem::remove(CardPath(kRootFolder, "INDEX2.DAT"));
  ASSERT_EQ(RebuildCardCatalogue(*cat), 1);
  EXPECT_NE(CardBytes("INDEX0.DAT"), oldIndex0);
}

}  // namespace
}  // namespace sondesk::test
