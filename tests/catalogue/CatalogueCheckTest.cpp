#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "app/Paths.h"
#include "catalogue/CardCatalogue.h"
#include "catalogue/CatalogueCheck.h"
#include "catalogue/PlaylistFiles.h"
#include "tests/catalogue/CatalogueFixture.h"

namespace sondesk::test {
namespace {

// A reader card whose folders list their files in the order a test gives, as a FAT directory
// would.
class OrderedCardFiles : public ReaderCardFiles {
 public:
  using ReaderCardFiles::ReaderCardFiles;
  std::vector<std::string> order;
  bool ListFolder(int folder, std::vector<CardFolderItem>& out) override {
    return ReaderCardFiles::ListFolder(folder, out) && Ordered(out);
  }
  bool ListFolderNames(int folder, std::vector<CardFolderItem>& out) override {
    return ReaderCardFiles::ListFolderNames(folder, out) && Ordered(out);
  }

 private:
  bool Ordered(std::vector<CardFolderItem>& out) const {
    auto rank = [&](const CardFolderItem& i) {
      return std::find(order.begin(), order.end(), i.name) - order.begin();
    };
    std::stable_sort(out.begin(), out.end(), [&](const auto& a, const auto& b) { return rank(a) < rank(b); });
    return true;
  }
};

class CatalogueCheckTest : public CatalogueTest {};

TEST_F(CatalogueCheckTest, ACardWithOnlyTitlesIsCompletedAroundThem) {
  const std::string titles = std::string(32, 'T') + std::string(32, 0);
  WriteFile(CardPath(kRootFolder, "INDEX0.DAT"), titles);
  EXPECT_EQ(CatalogueComplete(*cat), 0);
  EXPECT_EQ(CheckCatalogue(*cat), 1);
  EXPECT_EQ(CatalogueComplete(*cat), 1);
  EXPECT_EQ(ReadFile(CardPath(kRootFolder, "INDEX0.DAT")), titles);
  for (int i = 1; i <= 4; ++i)
    EXPECT_EQ(CardBytes(Format("INDEX%d.DAT", i)), std::vector<std::uint8_t>(32, 0));
  EXPECT_EQ(CardBytes("SETUP.DAT"),
            (std::vector<std::uint8_t>{0, 3, 0, 1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                       0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
  for (int i = 0; i <= 2; ++i)
    EXPECT_EQ(CardBytes(Format("ALPHA%d.DAT", i)), std::vector<std::uint8_t>(52, 0xFF));
  for (int i = 0; i < 31; ++i) EXPECT_TRUE(IsFolder(files->FolderPath(i)));
  for (int n = 1; n <= 16; ++n)
    EXPECT_EQ(CardBytes(Format("PLAY%d.PLL", n)), std::vector<std::uint8_t>(32, 0));
  EXPECT_EQ(CardBytes("PLAYLIST.LST"), InitialPlaylistIndex());
  EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(CatalogueCheckTest, OnlyTheEssentialPiecesAreTested) {
  MakeFreshCard();
  std::remove(CardPath(kRootFolder, "ALPHA2.DAT").c_str());
  std::remove(CardPath(kRootFolder, "PLAY4.PLL").c_str());
  EXPECT_EQ(LoadCardCatalogue(*cat), 1);
  EXPECT_FALSE(IsFile(CardPath(kRootFolder, "ALPHA2.DAT")));
  EXPECT_FALSE(IsFile(CardPath(kRootFolder, "PLAY4.PLL")));
  ::rmdir(files->FolderPath(30).c_str());
  EXPECT_EQ(CatalogueComplete(*cat), 0);
}

TEST_F(CatalogueCheckTest, RecoveryListsTheSongsInFolderAndDirectoryOrder) {
  MakeFreshCard();
  OrderedCardFiles ordered(cardDir);
  ordered.order = {"00036.MF3", "00005.MF3"};
  cat->SetFiles(ordered);
  WriteFile(CardPath(0, "00031.MF3"), MakeSong("Thirty-one", "P31", "G31"));
  WriteFile(CardPath(5, "00036.MF3"), MakeSong("Thirty-six", "P36", "G36"));
  WriteFile(CardPath(5, "00005.MF3"), MakeSong("Five", "P5", "G5"));
  MakeFolders(CardPath(5, "00067.MF3"));                          // a folder, not a song
  WriteFile(CardPath(5, "NOTES.TXT"), std::string("x"));          // not a song file
  WriteFile(CardPath(7, "00012.MF3"), MakeSong("Wrong folder"));  // the player looks in folder 12

  ui.boxAnswers.push_back(BoxAnswer::No);
  EXPECT_EQ(RecoverCatalogue(*cat), 0);
  EXPECT_EQ(CardBytes("INDEX0.DAT"), std::vector<std::uint8_t>(32, 0));

  ASSERT_EQ(RecoverCatalogue(*cat), 1);
  ASSERT_EQ(session->card.size(), 3u);
  EXPECT_EQ(session->card[0].songNumber(), 31);
  EXPECT_EQ(session->card[1].songNumber(), 36);
  EXPECT_EQ(session->card[2].songNumber(), 5);
  EXPECT_EQ(session->card[1].title, "Thirty-six");
  EXPECT_EQ(session->card[1].performer, "P36");
  EXPECT_EQ(session->card[1].category, "G36");
  EXPECT_EQ(session->card[2].path, "00005.MF3");
  EXPECT_EQ(CardBytes("INDEX0.DAT").size(), 4u * 32);
  EXPECT_TRUE(ui.Shown("This task may corrupt the playlists' content.\nPlease verify it later."));
  EXPECT_TRUE(ui.ShownContaining(CardPath(7, "00012.MF3")));

  EXPECT_EQ(RecoverableSongNumber("00031.MF3", 0), 31);
  EXPECT_EQ(RecoverableSongNumber("40000.MF3", 40000 % 31), -1);
  EXPECT_EQ(RecoverableSongNumber("0031.MF3", 0), -1);
}

TEST_F(CatalogueCheckTest, EmptyingAReaderCardLeavesAFreshCatalogue) {
  MakeFreshCard();
  WriteFile(CardPath(kRootFolder, "INDEX0.DAT"), std::string(96, 'x'));
  WriteFile(CardPath(kRootFolder, "README.TXT"), std::string("x"));
  WriteFile(CardPath(3, "00003.MF3"), MakeSong("Three"));
  WriteFile(CardPath(3, "KEEP.TXT"), std::string("x"));
  MakeFolders(CardPath(kRootFolder, "EXTRA"));
  EmptyCard(*cat);
  EXPECT_FALSE(IsFile(CardPath(kRootFolder, "README.TXT")));
  EXPECT_FALSE(IsFile(CardPath(3, "00003.MF3")));
  EXPECT_TRUE(IsFile(CardPath(3, "KEEP.TXT")));
  EXPECT_TRUE(IsFolder(CardPath(kRootFolder, "EXTRA")));
  EXPECT_EQ(CardBytes("INDEX0.DAT"), std::vector<std::uint8_t>(32, 0));
  EXPECT_EQ(CatalogueComplete(*cat), 1);
}

// The root's listing answers for the pieces only when it shows each under its own name and kind.
TEST_F(CatalogueCheckTest, LookalikesInTheRootLeaveTheCatalogueIncomplete) {
  MakeFreshCard();
  ASSERT_EQ(CatalogueComplete(*cat), 1);
  ::rmdir(files->FolderPath(5).c_str());
  MakeFolders(CardPath(kRootFolder, "05"));    // not the folder the player reads
  WriteFile(CardPath(kRootFolder, "5.DAT"), std::string("x"));
  EXPECT_EQ(CatalogueComplete(*cat), 0);
  MakeFolders(files->FolderPath(5));
  EXPECT_EQ(CatalogueComplete(*cat), 1);

  std::filesystem::remove(CardPath(kRootFolder, "SETUP.DAT"));
  MakeFolders(CardPath(kRootFolder, "SETUP.DAT"));  // a folder of the file's name
  EXPECT_EQ(CatalogueComplete(*cat), 0);
  std::filesystem::remove(CardPath(kRootFolder, "SETUP.DAT"));
  WriteFile(CardPath(kRootFolder, "setup.dat"), std::string("x"));  // another spelling
  EXPECT_EQ(CatalogueComplete(*cat), 0);
}

// The index against the folders, at the edges of the check's words of bits: the first and last
// numbers, and those beside a multiple of 64.
TEST_F(CatalogueCheckTest, TheFoldersAgainstTheIndexAtEveryEdge) {
  MakeFreshCard();
  const unsigned listedOnly[] = {0, 63, 64, kSongNumberLimit - 1};
  const unsigned presentOnly[] = {1, 127, 128, kSongNumberLimit - 2};
  const unsigned both[] = {62, 65, 4000};
  for (unsigned n : listedOnly) session->card.push_back(CardSong(n, "L"));
  for (unsigned n : both) session->card.push_back(CardSong(n, "B"));
  for (unsigned n : presentOnly) WriteFile(CardPath(SongFolderOf(n), SongFileName(n)), MakeSong("P"));
  for (unsigned n : both) WriteFile(CardPath(SongFolderOf(n), SongFileName(n)), MakeSong("B"));
  const CatalogueAgreement agreement = CompareCatalogueWithFolders(*cat);
  EXPECT_EQ(agreement.missing, std::vector<unsigned>(std::begin(listedOnly), std::end(listedOnly)));
  std::vector<unsigned> unlisted(std::begin(presentOnly), std::end(presentOnly));
  std::sort(unlisted.begin(), unlisted.end());
  EXPECT_EQ(agreement.unlisted, unlisted);
  EXPECT_FALSE(agreement.folderUnreadable);
  EXPECT_FALSE(agreement.Agrees());
}

}  // namespace
}  // namespace sondesk::test
