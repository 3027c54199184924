#include <gtest/gtest.h>

#include <filesystem>

#include "app/Endian.h"
#include "catalogue/CardCatalogue.h"
#include "catalogue/CardCommands.h"
#include "catalogue/Playlists.h"
#include "tests/catalogue/CatalogueFixture.h"

namespace sondesk::test {
namespace {

class PlaylistsTest : public CatalogueTest {
 protected:
  // A card of `n` songs titled "Song 00" ... whose title index is read.
  void CardOfSongs(int n) {
    MakeFreshCard();
    for (int i = 0; i < n; ++i)
      session->card.push_back(CardSong(static_cast<unsigned>(i), Format("Song %02d", i)));
    ASSERT_EQ(RebuildCardCatalogue(*cat), 1);
    ASSERT_EQ(ReadTitleIndexImage(*cat), 1);
  }
  std::vector<std::uint16_t> Entries(int n) {
    return ParsePlaylistEntries(CardBytes(Format("PLAY%d.PLL", n)));
  }
};

TEST_F(PlaylistsTest, NewIsRefusedOnAFullSetAndReusesTheFreedNumber) {
  MakeFreshCard();
  ASSERT_EQ(ReadPlaylistIndex(*cat), 1);
  ASSERT_EQ(cat->playlists.usedCount, 16u);
  EXPECT_EQ(cat->playlists.slots[0].displayName, "PlayList 01");
  EXPECT_EQ(cat->playlists.slots[15].baseName, "PLAY16");
  EXPECT_EQ(cat->playlists.slots[15].songCount, 0);
  EXPECT_EQ(NewPlaylist(*cat), -1);
  EXPECT_TRUE(ui.Shown("It's not possible to create more than 16 Playlists."));

  ASSERT_EQ(DeletePlaylist(*cat, 2), 1);
  EXPECT_EQ(ui.boxes.back().text, "Do you want to delete the Playlist: PlayList 03?");
  EXPECT_FALSE(IsFile(CardPath(kRootFolder, "PLAY3.PLL")));
  EXPECT_EQ(cat->playlists.slots[2].baseName, "PLAY4");
  EXPECT_EQ(NewPlaylist(*cat), 15);
  EXPECT_EQ(cat->playlists.slots[15].baseName, "PLAY3");
  EXPECT_EQ(cat->playlists.slots[15].displayName, "New Playlist");
  EXPECT_EQ(CardBytes("PLAY3.PLL"), std::vector<std::uint8_t>(2, 0));

  ASSERT_EQ(RenamePlaylist(*cat, 15, "A name of thirty characters!!!"), 1);
  ReadPlaylistIndex(*cat);
  EXPECT_EQ(cat->playlists.slots[15].displayName, "A name of thirty charac");
}

TEST_F(PlaylistsTest, DeletingASlotMovesTheLaterOnesUp) {
  MakeFreshCard();
  PlaylistTable table;
  for (int i = 0; i < 5; ++i)
    table.slots[static_cast<std::size_t>(i)] = {Format("PLAY%d", i + 1), Format("List %d", i + 1)};
  WriteFile(CardPath(kRootFolder, "PLAYLIST.LST"), SerializePlaylistIndex(table));
  ReadPlaylistIndex(*cat);
  ASSERT_EQ(DeletePlaylist(*cat, 1), 1);
  const auto lst = CardBytes("PLAYLIST.LST");
  ASSERT_EQ(lst.size(), 512u);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&lst[0])), "List 1");
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&lst[32])), "List 3");
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&lst[3 * 32 + 24])), "PLAY5");
  EXPECT_EQ(std::vector<std::uint8_t>(lst.begin() + 4 * 32, lst.end()),
            std::vector<std::uint8_t>(12 * 32, 0));

  // A damaged index whose base name would lead out of the card names no file.
  PlaylistTable bad;
  bad.slots[0] = {"../x", "Bad"};
  WriteFile(CardPath(kRootFolder, "PLAYLIST.LST"), SerializePlaylistIndex(bad));
  ReadPlaylistIndex(*cat);
  PlaylistEdit edit;
  EXPECT_EQ(LoadPlaylist(*cat, "../x", edit), 0);
  EXPECT_EQ(PlaylistFileName("play12 "), "PLAY12.PLL");
  EXPECT_EQ(PlaylistFileName("../x"), "");
}

TEST_F(PlaylistsTest, EmptyPlaylistsOfEveryLength) {
  for (std::size_t size : {2u, 32u, 502u})
    EXPECT_TRUE(ParsePlaylistEntries(std::vector<std::uint8_t>(size, 0)).empty());
  // A count beyond the file or beyond 250 reads only whole entries, 250 at most.
  std::vector<std::uint8_t> odd(7, 0);
  PutLe16(odd.data(), 9);
  EXPECT_EQ(ParsePlaylistEntries(odd).size(), 2u);
  std::vector<std::uint8_t> big(1000, 0);
  PutLe16(big.data(), 60000);
  EXPECT_EQ(ParsePlaylistEntries(big).size(), 250u);
}

TEST_F(PlaylistsTest, EditingAddsMovesAndRemoves) {
  CardOfSongs(12);
  PlaylistEdit edit;
  ASSERT_EQ(LoadPlaylist(*cat, "PLAY1", edit), 1);
  std::vector<std::size_t> many(249, 0);
  ASSERT_EQ(AddSongsToPlaylist(*cat, edit, many, 0), 1);
  EXPECT_EQ(AddSongsToPlaylist(*cat, edit, {1, 2}, 0), 0);
  EXPECT_TRUE(ui.Shown("The Playlist cannot contain more than 250 songs"));
  EXPECT_EQ(AddSongsToPlaylist(*cat, edit, {1}, 249), 1);
  EXPECT_EQ(Entries(1).size(), 250u);
  EXPECT_EQ(CardBytes("PLAY1.PLL").size(), 502u);

  edit.songs.clear();
  ASSERT_EQ(AddSongsToPlaylist(*cat, edit, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9}, 0), 1);
  ASSERT_EQ(MovePlaylistSongs(*cat, edit, {0, 2, 4}, 9), 1);
  EXPECT_EQ(Entries(1), (std::vector<std::uint16_t>{1, 3, 5, 6, 7, 8, 9, 0, 2, 4}));

  ui.boxAnswers.push_back(BoxAnswer::No);
  EXPECT_EQ(DeletePlaylistSongs(*cat, edit, {0}), 0);
  EXPECT_EQ(DeletePlaylistSongs(*cat, edit, {0, 9}), 1);
  EXPECT_EQ(ui.boxes.back().text, "You selected 2 songs from the Playlist\nDo you wish to delete them?");
  EXPECT_EQ(Entries(1), (std::vector<std::uint16_t>{3, 5, 6, 7, 8, 9, 0, 2}));
}

TEST_F(PlaylistsTest, CarriedOverToTheNewPositionsOfTheirSongs) {
  CardOfSongs(12);
  // Entries 10 and 11: the songs titled "Song 10" and "Song 11".
  WriteFile(CardPath(kRootFolder, "PLAY2.PLL"), SerializePlaylist({10, 11}));
  AddLibrarySong("a.MF3", "Song 05a");
  AddLibrarySong("b.MF3", "Song 05b");
  AddLibrarySong("c.MF3", "Song 10a");
  AddLibrarySong("d.MF3", "Song 10b");
  ASSERT_EQ(CardToCommand(*cat, {0, 1, 2, 3}), 1);
  EXPECT_EQ(Entries(2), (std::vector<std::uint16_t>{12, 15}));
  EXPECT_EQ(CardBytes("PLAY2.PLL").size(), 502u);
  EXPECT_TRUE(Entries(3).empty());

  // The song at 12 ("Song 10") leaves the card and every playlist.
  ASSERT_EQ(CardDeleteCommand(*cat, {10}), 1);
  EXPECT_EQ(Entries(2), (std::vector<std::uint16_t>{14}));
}

// A card that takes files one at a time but refuses a set of them, as a card too full for all
// the temporaries at once would.
class OneAtATimeCardFiles : public ReaderCardFiles {
 public:
  using ReaderCardFiles::ReaderCardFiles;
  std::vector<std::vector<std::string>> refusedSets;
  bool ReplaceRootFilesTogether(const std::vector<NamedFile>& set) override {
    refusedSets.emplace_back();
    for (const auto& file : set) refusedSets.back().push_back(file.first);
    return false;
  }
};

TEST_F(PlaylistsTest, CarriedOverAsOneSetOrElseOneByOne) {
  CardOfSongs(6);
  cat->KeepPreviousTitleIndex();
  WriteFile(CardPath(kRootFolder, "PLAY1.PLL"), SerializePlaylist({0, 5, 2}));
  WriteFile(CardPath(kRootFolder, "PLAY16.PLL"), SerializePlaylist({4}));
  // Song 0 leaves and "Song 00" comes back as the last title: the positions move by one.
  session->card.entries().erase(session->card.begin());
  session->card.push_back(CardSong(0, "Song 99"));
  ASSERT_EQ(RebuildCardCatalogue(*cat), 1);
  ASSERT_EQ(ReadTitleIndexImage(*cat), 1);
  ASSERT_EQ(CarryOverPlaylists(*cat), 1);
  EXPECT_EQ(Entries(1), (std::vector<std::uint16_t>{5, 4, 1}));
  EXPECT_EQ(Entries(16), (std::vector<std::uint16_t>{3}));
  EXPECT_TRUE(Entries(2).empty());
  for (const auto& item : std::filesystem::directory_iterator(cardDir))
    EXPECT_EQ(item.path().filename().string().find(".tmp"), std::string::npos) << item.path();

  // The same card refusing the set: every playlist is still carried, one by one, untold. Those
  // the move leaves as they were are not in the set; one longer than a playlist is.
  WriteFile(CardPath(kRootFolder, "PLAY7.PLL"), std::vector<std::uint8_t>(600, 0));
  cat->KeepPreviousTitleIndex();
  session->card.entries().erase(session->card.begin());  // "Song 01" leaves
  ASSERT_EQ(RebuildCardCatalogue(*cat), 1);
  ASSERT_EQ(ReadTitleIndexImage(*cat), 1);
  OneAtATimeCardFiles oneByOne(cardDir);
  cat->SetFiles(oneByOne);
  const std::size_t boxes = ui.boxes.size();
  ASSERT_EQ(CarryOverPlaylists(*cat), 1);
  cat->SetFiles(*files);
  EXPECT_EQ(oneByOne.refusedSets,
            (std::vector<std::vector<std::string>>{{"PLAY1.PLL", "PLAY7.PLL", "PLAY16.PLL"}}));
  EXPECT_EQ(CardBytes("PLAY7.PLL"), std::vector<std::uint8_t>(502, 0));
  EXPECT_EQ(ui.boxes.size(), boxes);
  EXPECT_EQ(Entries(1), (std::vector<std::uint16_t>{4, 3, 0}));
  EXPECT_EQ(Entries(16), (std::vector<std::uint16_t>{2}));
}

}  // namespace
}  // namespace sondesk::test
