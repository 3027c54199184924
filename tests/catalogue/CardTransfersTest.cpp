#include <gtest/gtest.h>

#include "app/Paths.h"
#include "catalogue/CardCatalogue.h"
#include "catalogue/CardCommands.h"
#include "catalogue/CardTransfers.h"
#include "catalogue/CatalogueCheck.h"
#include "midi/Lzhuf.h"
#include "midi/Mf3Header.h"
#include "tests/catalogue/CatalogueFixture.h"

namespace sondesk::test {
namespace {

// A reader card that reports the free space a test wants.
class TightCardFiles : public ReaderCardFiles {
 public:
  using ReaderCardFiles::ReaderCardFiles;
  std::uint64_t freeBytes = 0;
  bool FreeSpace(std::uint64_t& f, std::uint32_t& unit) override {
    f = freeBytes;
    unit = 512;
    return true;
  }
};

class CardTransfersTest : public CatalogueTest {
 protected:
  void UseTightCard(std::uint64_t freeBytes) {
    tight = std::make_unique<TightCardFiles>(cardDir);
    tight->freeBytes = freeBytes;
    cat->SetFiles(*tight);
  }
  std::unique_ptr<TightCardFiles> tight;
};

TEST_F(CardTransfersTest, NewSongsTakeTheNextNumbersAndTheirFolders) {
  MakeFreshCard();
  session->card.push_back(CardSong(57, "Old"));
  WriteFile(CardPath(27, "00057.MF3"), MakeSong("Old"));
  const std::size_t a = AddLibrarySong("A.MF3", "Alpha", "P1", "G1");
  const std::size_t b = AddLibrarySong("B.MF3", "Beta", "P2", "G2");
  const std::size_t c = AddLibrarySong("C.MF3", "Gamma", "P3", "G3");
  session->library[a].edited = 1;
  ASSERT_EQ(CopySongsToCard(*cat, {a, b, c}), 1);
  ASSERT_EQ(session->card.size(), 4u);
  EXPECT_EQ(session->card[1].songNumber(), 58);
  EXPECT_EQ(session->card[3].path, "00060.MF3");
  EXPECT_EQ(ReadBytes(CardPath(27, "00058.MF3")), ReadBytes(session->library[a].path));
  EXPECT_EQ(ReadBytes(CardPath(28, "00059.MF3")), ReadBytes(session->library[b].path));
  EXPECT_EQ(ReadBytes(CardPath(29, "00060.MF3")), ReadBytes(session->library[c].path));
  EXPECT_EQ(session->library[a].edited, 0);
  EXPECT_EQ(CardBytes("INDEX0.DAT").size(), 5u * 32);
  EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(CardTransfersTest, FirstSongOfAnEmptyCardIsNumberZero) {
  MakeFreshCard();
  const std::size_t a = AddLibrarySong("A.MF3", "Alpha");
  ASSERT_EQ(CopySongsToCard(*cat, {a}), 1);
  EXPECT_EQ(session->card[0].songNumber(), 0);
  EXPECT_TRUE(IsFile(CardPath(0, "00000.MF3")));
}

TEST_F(CardTransfersTest, RefusedWithoutTheReserveOrBeyondTheLimits) {
  MakeFreshCard();
  const std::size_t a = AddLibrarySong("A.MF3", "Alpha");
  const auto index0 = CardBytes("INDEX0.DAT");

  UseTightCard(0);
  EXPECT_EQ(CopySongsToCard(*cat, {a}), 0);
  EXPECT_TRUE(ui.Shown("Space on Compact Flash insufficient"));
  UseTightCard(150000 + 128 + 1024);  // the file rounds up to 1024 bytes: just enough
  session->card.push_back(CardSong(32767, "Last number"));
  ui.boxes.clear();
  EXPECT_EQ(CopySongsToCard(*cat, {a}), 0);
  EXPECT_TRUE(ui.ShownContaining("song numbers end at 32767"));

  session->card.clear();
  for (unsigned i = 0; i < kMaxCatalogueSongs; ++i) session->card.push_back(CardSong(i, "s"));
  ui.boxes.clear();
  EXPECT_EQ(CopySongsToCard(*cat, {a}), 0);
  EXPECT_TRUE(ui.ShownContaining("at most 16000"));
  // Nothing was written.
  EXPECT_EQ(CardBytes("INDEX0.DAT"), index0);
  EXPECT_FALSE(IsFile(CardPath(0, "00000.MF3")));
  EXPECT_EQ(session->card.size(), kMaxCatalogueSongs);
}

TEST_F(CardTransfersTest, ASongThatCouldNotBeWrittenStaysOffTheCard) {
  MakeFreshCard();
  const std::size_t a = AddLibrarySong("A.MF3", "Alpha");
  const std::size_t gone = AddLibrarySong("Gone.MF3", "Gone");
  std::remove(session->library[gone].path.c_str());
  const std::size_t b = AddLibrarySong("B.MF3", "Beta");
  const std::size_t c = AddLibrarySong("C.MF3", "Gamma");
  // Song 1's place on the card is taken by a folder, so its file cannot be created.
  MakeFolders(CardPath(1, "00001.MF3"));
  ASSERT_EQ(CopySongsToCard(*cat, {a, gone, b, c}), 1);
  EXPECT_TRUE(ui.Shown("Cannot open " + session->library[gone].path));
  EXPECT_TRUE(ui.Shown("Cannot Create " + CardPath(1, "00001.MF3")));
  EXPECT_TRUE(ui.ShownContaining("2 of 4 songs could not be copied"));
  EXPECT_TRUE(ui.ShownContaining("\nGone\nBeta"));
  // Only the songs on the card are in the list and the catalogue.
  ASSERT_EQ(session->card.size(), 2u);
  EXPECT_EQ(session->card[0].title, "Alpha");
  EXPECT_EQ(session->card[1].title, "Gamma");
  EXPECT_EQ(session->card[1].songNumber(), 2);
  EXPECT_EQ(CardBytes("INDEX0.DAT").size(), 3u * 32);
}

TEST_F(CardTransfersTest, DeletingEveryOrNoSong) {
  MakeFreshCard();
  const std::size_t a = AddLibrarySong("A.MF3", "Alpha");
  const std::size_t b = AddLibrarySong("B.MF3", "Beta");
  ASSERT_EQ(CopySongsToCard(*cat, {a, b}), 1);
  const auto index0 = CardBytes("INDEX0.DAT");

  ui.boxAnswers.push_back(BoxAnswer::No);
  EXPECT_EQ(DeleteSongsFromCard(*cat, {0, 1}, "Delete Songs from Compact Flash"), 0);
  EXPECT_EQ(CardBytes("INDEX0.DAT"), index0);
  EXPECT_TRUE(IsFile(CardPath(0, "00000.MF3")));
  EXPECT_EQ(ui.boxes.back().title, "Delete Songs from Compact Flash");

  // Song 1's file is already gone: the user is told, and it leaves the list all the same.
  std::remove(CardPath(1, "00001.MF3").c_str());
  EXPECT_EQ(DeleteSongsFromCard(*cat, {0, 1}, "Delete Songs from Compact Flash"), 1);
  EXPECT_TRUE(ui.Shown("Cannot Delete " + CardPath(1, "00001.MF3")));
  EXPECT_TRUE(session->card.empty());
  EXPECT_FALSE(IsFile(CardPath(0, "00000.MF3")));
  EXPECT_EQ(CardBytes("INDEX0.DAT"), std::vector<std::uint8_t>(32, 0));
  EXPECT_EQ(CardBytes("ALPHA0.DAT"), std::vector<std::uint8_t>(52, 0xFF));
}

// The songs' files used to go first: a catalogue that then could not be written still named songs
// whose files were gone. Now the files stay until the catalogue without them is on the card.
TEST_F(CardTransfersTest, DeletionLeavesTheFilesWhenTheCatalogueCannotBeWritten) {
  MakeFreshCard();
  const std::size_t a = AddLibrarySong("A.MF3", "Alpha");
  const std::size_t b = AddLibrarySong("B.MF3", "Beta");
  ASSERT_EQ(CopySongsToCard(*cat, {a, b}), 1);
  // A folder where INDEX0.DAT should be replaced: the rebuild cannot write it.
  const std::string index0Path = CardPath(kRootFolder, "INDEX0.DAT");
  std::remove(index0Path.c_str());
  ASSERT_TRUE(MakeFolders(index0Path));
  EXPECT_EQ(DeleteSongsFromCard(*cat, {0}, "Delete Songs from Compact Flash"), 0);
  EXPECT_TRUE(IsFile(CardPath(0, "00000.MF3")));
  EXPECT_TRUE(IsFile(CardPath(1, "00001.MF3")));
  ASSERT_EQ(session->card.size(), 2u);
  EXPECT_EQ(session->card[0].deletionMark, 0u);
}

TEST_F(CardTransfersTest, CopiedBackUnderItsHeaderNameAndNeverOutsideTheLibrary) {
  MakeFreshCard();
  session->card.push_back(CardSong(3, "Plain"));
  session->card.push_back(CardSong(4, "Evil"));
  session->card.push_back(CardSong(5, "Taken"));
  session->card.push_back(CardSong(6, "Taken too"));
  WriteFile(CardPath(3, "00003.MF3"), MakeSong("Plain", "-", "-", "My Song.MID"));
  WriteFile(CardPath(4, "00004.MF3"), MakeSong("Evil", "-", "-", "../../outside.MID"));
  WriteFile(CardPath(5, "00005.MF3"), MakeSong("Taken", "-", "-", "Existing.MID"));
  WriteFile(CardPath(6, "00006.MF3"), MakeSong("Taken too", "-", "-", "Existing.MID"));
  WriteFile(JoinPath(libraryDir, "Existing.MF3"), std::string("keep me"));
  WriteFile(JoinPath(libraryDir, "00006.MF3"), std::string("keep me too"));

  EXPECT_EQ(CopySongsFromCard(*cat, {0, 1, 2, 3}), 4u);
  EXPECT_EQ(ReadBytes(JoinPath(libraryDir, "My Song.MF3")), ReadBytes(CardPath(3, "00003.MF3")));
  EXPECT_TRUE(IsFile(JoinPath(libraryDir, "outside.MF3")));
  EXPECT_FALSE(IsFile(tmp / "outside.MF3"));
  EXPECT_EQ(ReadFile(JoinPath(libraryDir, "Existing.MF3")), "keep me");
  EXPECT_EQ(ReadBytes(JoinPath(libraryDir, "00005.MF3")), ReadBytes(CardPath(5, "00005.MF3")));
  EXPECT_EQ(ReadFile(JoinPath(libraryDir, "00006.MF3")), "keep me too");
  EXPECT_EQ(ReadBytes(JoinPath(libraryDir, "00006(1).MF3")), ReadBytes(CardPath(6, "00006.MF3")));
  // The library was read again from its folder.
  EXPECT_EQ(session->library.size(), 6u);

  EXPECT_EQ(LibraryNameFromHeader("..\\a\\..b.c.MID"), "b.c");
  EXPECT_EQ(LibraryNameFromHeader(".."), "");
  // A control code between two dots is dropped; the dots it kept apart must not climb a folder.
  EXPECT_EQ(LibraryNameFromHeader("&.\x1b..*"), "&");
  // Accented letters: the player's codes and Windows-1252 come back as UTF-8 file names; codes
  // that stand for no letter are no part of a name; names already in UTF-8 stay as they are.
  EXPECT_EQ(LibraryNameFromHeader("PERCH\xC9 COS\x09.MID"), "PERCHÉ COSÌ");
  EXPECT_EQ(LibraryNameFromHeader("perci\x0D \x1A\x1B\x0A.MID"), "perciò ñ");
  EXPECT_EQ(LibraryNameFromHeader("CAFFÈ.MID"), "CAFFÈ");
}

TEST_F(CardTransfersTest, ComparisonMarksEverySongOfAShownTitle) {
  AddLibrarySong("A.MF3", "Same");
  AddLibrarySong("B.MF3", "Same");
  AddLibrarySong("C.MF3", "Other");
  session->card.push_back(CardSong(1, "Same"));
  session->card.push_back(CardSong(2, "same"));
  CompareLibraryAndCard(*cat);
  EXPECT_EQ(session->library[0].inBothLists, 1);
  EXPECT_EQ(session->library[1].inBothLists, 1);
  EXPECT_EQ(session->library[2].inBothLists, 0);
  EXPECT_EQ(session->card[0].inBothLists, 1);
  EXPECT_EQ(session->card[1].inBothLists, 0);
}

// A 0-byte file, a wrong mark, a size word of 0xFFFFFFFF or one larger than the stream gives, and a
// cut stream were all copied to the card with exit 0; each is now refused by name and takes no number.
TEST_F(CardTransfersTest, DamagedSongsNeverReachTheCard) {
  MakeFreshCard();
  const std::size_t good = AddLibrarySong("GOOD.MF3", "Good");
  const std::vector<std::uint8_t> whole = ReadBytes(session->library[good].path);
  auto damaged = [&](const std::string& name, std::vector<std::uint8_t> bytes) {
    const std::size_t i = AddLibrarySong(name, name);
    WriteFile(session->library[i].path, bytes);
    return i;
  };
  std::vector<std::uint8_t> wrongMark = whole;
  wrongMark[1] = 'X';
  std::vector<std::uint8_t> hugeSize = whole;
  hugeSize[512] = hugeSize[513] = hugeSize[514] = hugeSize[515] = 0xFF;
  // The stream alone, with nothing after it whose bits could pass for the promised byte.
  std::vector<std::uint8_t> oneMore(whole.begin(), whole.begin() + 512);
  const std::vector<std::uint8_t> payload(300, 0x41);
  const std::vector<std::uint8_t> stream = LzhufCompress(payload);
  oneMore.insert(oneMore.end(), stream.begin(), stream.end());
  oneMore[512] = static_cast<std::uint8_t>(oneMore[512] + 1);
  std::vector<std::uint8_t> cut(whole.begin(), whole.begin() + 520);
  const std::vector<std::size_t> bad = {damaged("EMPTY.MF3", {}), damaged("MARK.MF3", wrongMark),
                                        damaged("HUGE.MF3", hugeSize), damaged("ONEMORE.MF3", oneMore),
                                        damaged("CUT.MF3", cut)};
  std::vector<std::size_t> all = bad;
  all.push_back(good);
  CopySongsToCard(*cat, all);
  ASSERT_EQ(session->card.size(), 1u);
  EXPECT_EQ(session->card[0].title, "Good");
  EXPECT_EQ(session->card[0].songNumber(), 0);
  EXPECT_EQ(ReadBytes(CardPath(0, "00000.MF3")), whole);
  for (std::size_t i : bad) {
    EXPECT_TRUE(ui.ShownContaining(session->library[i].path + " is not a whole MF3 song")) << session->library[i].path;
  }
  EXPECT_TRUE(ui.ShownContaining("5 of 6 songs could not be copied"));
  EXPECT_EQ(CardBytes("INDEX0.DAT").size(), 2u * 32);
}

// An INDEX0.DAT cut to nothing made the card look empty: the next copy numbered from 0 and wrote over
// the songs still in the folders. Now the load says the catalogue disagrees with the folders, and no
// number whose file exists is given again.
TEST_F(CardTransfersTest, ADamagedTitleIndexCostsNoSong) {
  MakeFreshCard();
  const std::size_t a = AddLibrarySong("A.MF3", "Alpha");
  const std::size_t b = AddLibrarySong("B.MF3", "Beta");
  ASSERT_EQ(CopySongsToCard(*cat, {a, b}), 1);
  const auto song0 = ReadBytes(CardPath(0, "00000.MF3"));
  const auto song1 = ReadBytes(CardPath(1, "00001.MF3"));
  WriteFile(CardPath(kRootFolder, "INDEX0.DAT"), std::vector<std::uint8_t>{});
  ui.boxes.clear();
  ASSERT_EQ(LoadCardCatalogue(*cat), 1);
  EXPECT_TRUE(session->card.empty());
  EXPECT_TRUE(ui.ShownContaining("2 song files are in no index (0, 1)"));
  EXPECT_TRUE(ui.ShownContaining("card recover"));

  const std::size_t c = AddLibrarySong("C.MF3", "Gamma");
  ASSERT_EQ(CopySongsToCard(*cat, {c}), 1);
  ASSERT_EQ(session->card.size(), 1u);
  EXPECT_EQ(session->card[0].songNumber(), 2);
  EXPECT_EQ(ReadBytes(CardPath(0, "00000.MF3")), song0);
  EXPECT_EQ(ReadBytes(CardPath(1, "00001.MF3")), song1);

  // And the index that names a song without its file is reported too.
  std::remove(CardPath(2, "00002.MF3").c_str());
  ui.boxes.clear();
  ASSERT_EQ(LoadCardCatalogue(*cat), 1);
  EXPECT_TRUE(ui.ShownContaining("1 songs of the index have no file (2)"));
}

// Room for the song and the reserve but not for the new index files beside the old: once one more
// song was written and half the index set failed. Now nothing is written.
TEST_F(CardTransfersTest, ANearlyFullCardTakesNoSongItCannotCatalogue) {
  MakeFreshCard();
  const std::size_t a = AddLibrarySong("A.MF3", "Alpha");
  const auto index0 = CardBytes("INDEX0.DAT");
  const std::uint64_t song = 1024;  // the file rounds up to two 512-byte units
  UseTightCard(kCardSpaceReserve + kCardSpacePerSong + song + 8 * 512 - 1);
  EXPECT_EQ(CopySongsToCard(*cat, {a}), 0);
  EXPECT_TRUE(ui.Shown("Space on Compact Flash insufficient"));
  EXPECT_TRUE(session->card.empty());
  EXPECT_FALSE(IsFile(CardPath(0, "00000.MF3")));
  EXPECT_EQ(CardBytes("INDEX0.DAT"), index0);
  UseTightCard(kCardSpaceReserve + kCardSpacePerSong + song + 8 * 512);
  EXPECT_EQ(CopySongsToCard(*cat, {a}), 1);
}

}  // namespace
}  // namespace sondesk::test
