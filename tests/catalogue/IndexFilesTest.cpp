#include <gtest/gtest.h>

#include "app/Endian.h"
#include "catalogue/CardCatalogue.h"
#include "catalogue/CatalogueBuilder.h"
#include "tests/catalogue/CatalogueFixture.h"

namespace sondesk::test {
namespace {

std::vector<std::uint8_t> Record(std::uint16_t number, const std::string& text) {
  const CatalogueRecord r = MakeTitleRecord(number, text);
  return std::vector<std::uint8_t>(r.begin(), r.end());
}

std::vector<std::uint8_t> Cat(std::initializer_list<std::vector<std::uint8_t>> parts) {
  std::vector<std::uint8_t> out;
  for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

const std::vector<std::uint8_t> kTerminator(32, 0);

std::uint16_t Letter(const std::vector<std::uint8_t>& table, char letter) {
  return GetLe16(table.data() + 2 * (letter - 'A'));
}

TEST(IndexFiles, EmptyListGivesTerminatorsAndEmptyLetterTables) {
  CatalogueWorkStore work;
  CatalogueFileSet set;
  ASSERT_TRUE(work.Build(CardList{}, set));
  for (IndexFile f :
       {IndexFile::Index0, IndexFile::Index1, IndexFile::Index2, IndexFile::Index3, IndexFile::Index4}) {
    EXPECT_EQ(set[f], kTerminator) << IndexFileName(f);
  }
  for (IndexFile f : {IndexFile::Alpha0, IndexFile::Alpha1, IndexFile::Alpha2}) {
    EXPECT_EQ(set[f], std::vector<std::uint8_t>(52, 0xFF)) << IndexFileName(f);
  }
}

TEST(IndexFiles, CollationGroupsAndLetterTables) {
  CardList list;
  list.push_back(CardSong(7, "Abc", "Zed", "Pop"));
  list.push_back(CardSong(3, "ABC", "abba", "Pop"));
  list.push_back(CardSong(9, "1999", "Zed", "Rock"));
  list.push_back(CardSong(4, "\xE0 la", "abba", "Rock"));  // above 127: after every ASCII title
  list.push_back(CardSong(5, "apple", "Zed", "Pop"));
  CatalogueWorkStore work;
  CatalogueFileSet set;
  ASSERT_TRUE(work.Build(list, set));

  EXPECT_EQ(set[IndexFile::Index0], Cat({Record(9, "1999"), Record(3, "ABC"), Record(7, "Abc"),
                                         Record(5, "apple"), Record(4, "\xE0 la"), kTerminator}));
  // Digits and accents enter no letter; "apple" comes under A after ABC took it.
  EXPECT_EQ(Letter(set[IndexFile::Alpha0], 'A'), 1);
  EXPECT_EQ(Letter(set[IndexFile::Alpha0], 'B'), 0xFFFF);

  // One group header for ABC and Abc, in that order.
  EXPECT_EQ(set[IndexFile::Index1],
            Cat({Record(0x8000, "Pop"), Record(3, "ABC"), Record(7, "Abc"), Record(5, "apple"),
                 Record(0x8000, "Rock"), Record(9, "1999"), Record(4, "\xE0 la"), kTerminator}));
  const CatalogueRecord pop = MakeDirectoryRecord("Pop", 0), rock = MakeDirectoryRecord("Rock", 4);
  EXPECT_EQ(set[IndexFile::Index3], Cat({{pop.begin(), pop.end()}, {rock.begin(), rock.end()}, kTerminator}));
  EXPECT_EQ(Letter(set[IndexFile::Alpha1], 'P'), 0);
  EXPECT_EQ(Letter(set[IndexFile::Alpha1], 'R'), 1);

  // Zed sorts before abba: Z gets entry 0, A entry 1.
  EXPECT_EQ(RecordText(set[IndexFile::Index2].data()), "Zed");
  EXPECT_EQ(Letter(set[IndexFile::Alpha2], 'Z'), 0);
  EXPECT_EQ(Letter(set[IndexFile::Alpha2], 'A'), 1);
  EXPECT_EQ(GetLe16(set[IndexFile::Index4].data() + 32 + 30), 4);  // abba's header after Zed's group of 3

  EXPECT_LT(CompareCatalogueText("Z", "a"), 0);
  EXPECT_LT(CompareCatalogueText("AB", "ABC"), 0);
  EXPECT_GT(CompareCatalogueText("\x80", "~"), 0);
}

TEST(IndexFiles, TooManySongsBuildNothing) {
  CardList list;
  for (unsigned i = 0; i <= kMaxCatalogueSongs; ++i) list.push_back(CardSong(i, "t"));
  CatalogueWorkStore work;
  CatalogueFileSet set;
  EXPECT_FALSE(work.Build(list, set));
  EXPECT_TRUE(set[IndexFile::Index0].empty());
}

class CardCatalogueTest : public CatalogueTest {};

TEST_F(CardCatalogueTest, RebuildThenLoadGivesTheListBack) {
  MakeFreshCard();
  const std::string long30 = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123";
  session->card.push_back(CardSong(31, long30, "Perf", "Cat"));
  session->card.push_back(CardSong(30, "Second", "Perf", "Other"));
  WriteFile(CardPath(0, "00031.MF3"), MakeSong(long30));
  WriteFile(CardPath(30, "00030.MF3"), MakeSong("Second"));
  ASSERT_EQ(RebuildCardCatalogue(*cat), 1);
  const auto index0 = CardBytes("INDEX0.DAT");
  ASSERT_EQ(index0.size(), 96u);
  EXPECT_EQ(index0[2 + 26], '0');  // the 27th character is kept
  EXPECT_EQ(index0[2 + 27], 0);    // the 28th never reaches the file
  // No temporary file is left beside the index files.
  std::vector<CardFolderItem> root;
  files->ListFolder(kRootFolder, root);
  for (const auto& item : root) EXPECT_EQ(item.name.find(".tmp"), std::string::npos) << item.name;

  ASSERT_EQ(LoadCardCatalogue(*cat), 1);
  ASSERT_EQ(session->card.size(), 2u);
  EXPECT_EQ(session->card[0].title, long30.substr(0, 27));
  EXPECT_EQ(session->card[0].songNumber(), 31);
  EXPECT_EQ(session->card[0].path, "00031.MF3");
  EXPECT_EQ(session->card[0].category, "Cat");
  EXPECT_EQ(session->card[1].performer, "Perf");
  EXPECT_EQ(session->card[1].numberText, "     1");
  EXPECT_EQ(cat->titleIndex.count(), 3u);
  EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(CardCatalogueTest, ShortAndOddIndexFilesLoadSafely) {
  MakeFreshCard();
  WriteFile(CardPath(kRootFolder, "INDEX0.DAT"), std::string(20, 'x'));
  ASSERT_EQ(LoadCardCatalogue(*cat), 1);
  EXPECT_TRUE(session->card.empty());

  // A song listed twice gets its category in both places; an INDEX2 without a whole record gives
  // no performers and leaves the titles.
  WriteFile(CardPath(kRootFolder, "INDEX0.DAT"), Cat({Record(5, "A"), Record(5, "A again"), kTerminator}));
  WriteFile(CardPath(kRootFolder, "INDEX1.DAT"), Cat({Record(0x8000, "Pop"), Record(5, "A"), kTerminator}));
  WriteFile(CardPath(kRootFolder, "INDEX2.DAT"), std::string(31, 'y'));
  ASSERT_EQ(LoadCardCatalogue(*cat), 1);
  ASSERT_EQ(session->card.size(), 2u);
  EXPECT_EQ(session->card[0].category, "Pop");
  EXPECT_EQ(session->card[1].category, "Pop");
  EXPECT_EQ(session->card[1].title, "A again");
  EXPECT_EQ(session->card[0].performer, "");
}

// Once the files before the one that failed were new and those after it old: the player read the
// letter jumps of one catalogue over the titles of another. The set is now replaced whole or not at all.
TEST_F(CardCatalogueTest, AnIndexSetThatCannotBeWrittenWholeIsNotWrittenAtAll) {
  MakeFreshCard();
  session->card.push_back(CardSong(1, "One", "P", "C"));
  // INDEX1.DAT cannot be replaced: it is a folder.
  std::remove(CardPath(kRootFolder, "INDEX1.DAT").c_str());
  MakeFolders(CardPath(kRootFolder, "INDEX1.DAT"));
  EXPECT_EQ(RebuildCardCatalogue(*cat), 0);
  EXPECT_EQ(CardBytes("INDEX0.DAT"), kTerminator);  // before it: still old
  EXPECT_EQ(CardBytes("INDEX2.DAT"), kTerminator);  // after it: old content
  EXPECT_EQ(CardBytes("ALPHA0.DAT"), std::vector<std::uint8_t>(52, 0xFF));
  EXPECT_TRUE(ui.ShownContaining("Cannot Create"));
  EXPECT_TRUE(ui.ShownContaining("keeps its old index files"));
  std::vector<CardFolderItem> root;
  files->ListFolder(kRootFolder, root);
  for (const auto& item : root) EXPECT_EQ(item.name.find(".tmp"), std::string::npos) << item.name;
}

}  // namespace
}  // namespace sondesk::test
