#include <gtest/gtest.h>

#include "cardfs/CardFileSystem.h"
#include "cardfs/MemorySectorDevice.h"
#include "catalogue/CardCatalogue.h"
#include "catalogue/CardCommands.h"
#include "catalogue/CatalogueCheck.h"
#include "catalogue/FatCardFiles.h"
#include "catalogue/PlaylistFiles.h"
#include "tests/catalogue/CatalogueFixture.h"

namespace sondesk::test {
namespace {

const char* const kIndexNames[] = {"INDEX0.DAT", "INDEX1.DAT", "INDEX2.DAT", "INDEX3.DAT",
                                   "INDEX4.DAT", "ALPHA0.DAT", "ALPHA1.DAT", "ALPHA2.DAT"};

// The same session over a card in memory, formatted as a fresh card is, reached through the
// program's own FAT16.
class FatCardFilesTest : public CatalogueTest {
 protected:
  FatCardFilesTest() : device(std::vector<std::uint8_t>(16u << 20, 0)) {
    session->SetProgramDir(SONDESK_PROGRAM_DIR);
    Mount();
  }
  void Mount() {
    fs = std::make_unique<CardFileSystem>(*session, device);
    fs->formatReportPath = tmp / "FormatFresh.html";
    InstallCatalogueCreator(*fs);
    ASSERT_EQ(fs->ConnectCard(), 1) << fs->lastErrorText();
    fat = std::make_unique<FatCardFiles>(*fs);
    link = std::make_unique<Catalogue>(*session, *fat);
  }
  std::vector<std::uint8_t> Read(CardFiles& f, const std::string& name) {
    std::vector<std::uint8_t> out;
    f.ReadFile(kRootFolder, name, out);
    return out;
  }

  MemorySectorDevice device;
  std::unique_ptr<CardFileSystem> fs;
  std::unique_ptr<FatCardFiles> fat;
  std::unique_ptr<Catalogue> link;
};

TEST_F(FatCardFilesTest, AFormattedCardCarriesTheEmptyCatalogue) {
  EXPECT_EQ(CatalogueComplete(*link), 1);
  EXPECT_EQ(Read(*fat, "PLAYLIST.LST"), InitialPlaylistIndex());
  EXPECT_EQ(Read(*fat, "PLAY16.PLL"), std::vector<std::uint8_t>(32, 0));
  EXPECT_EQ(Read(*fat, "ALPHA1.DAT"), std::vector<std::uint8_t>(52, 0xFF));
  EXPECT_EQ(Read(*fat, "SETUP.DAT").size(), 35u);
  EXPECT_EQ(LoadCardCatalogue(*link), 1);
  EXPECT_TRUE(session->card.empty());
}

TEST_F(FatCardFilesTest, TransfersGiveTheSameFilesAsAReaderCard) {
  MakeFreshCard();
  for (int i = 0; i < 40; ++i) {
    AddLibrarySong(Format("S%02d.MF3", i), Format("%c title %d", "zAb"[i % 3], i), Format("P%d", i % 4),
                   Format("G%d", i % 5));
  }
  std::vector<std::size_t> all(40);
  for (std::size_t i = 0; i < all.size(); ++i) all[i] = i;
  const SongList library = session->library;
  ASSERT_EQ(CardToCommand(*cat, all), 1);
  session->card.clear();
  ASSERT_EQ(LoadCardCatalogue(*link), 1);
  ASSERT_EQ(CardToCommand(*link, all), 1);
  for (const char* name : kIndexNames) EXPECT_EQ(Read(*fat, name), CardBytes(name)) << name;
  std::vector<std::uint8_t> song;
  ASSERT_TRUE(fat->ReadFile(SongFolderOf(33), "00033.MF3", song));
  EXPECT_EQ(song, ReadBytes(library[33].path));

  // Recovery finds the same songs again and writes the same titles.
  const auto index0 = Read(*fat, "INDEX0.DAT");
  ASSERT_EQ(RecoverCommand(*link), 1);
  EXPECT_EQ(session->card.size(), 40u);
  EXPECT_EQ(Read(*fat, "INDEX0.DAT"), index0);

  // The recovered list runs in folder order: folder 0 holds songs 0 and 31.
  EXPECT_EQ(session->card[1].songNumber(), 31);
  ASSERT_EQ(CardDeleteCommand(*link, {0, 1}), 1);
  EXPECT_FALSE(fat->FileExists(0, "00000.MF3"));
  EXPECT_FALSE(fat->FileExists(0, "00031.MF3"));
  EXPECT_TRUE(fat->FileExists(1, "00001.MF3"));
  EXPECT_EQ(Read(*fat, "INDEX0.DAT").size(), 39u * 32);
}

TEST_F(FatCardFilesTest, ACutRebuildLeavesEveryIndexFileOldOrNewWhole) {
  for (int i = 0; i < 300; ++i)
    session->card.push_back(CardSong(static_cast<unsigned>(i), Format("Title %03d", 299 - i), "P", "C"));
  std::vector<std::vector<std::uint8_t>> before, after;
  for (const char* name : kIndexNames) before.push_back(Read(*fat, name));
  const std::vector<std::uint8_t> pristine = device.bytes();
  ASSERT_EQ(RebuildCardCatalogue(*link), 1);
  for (const char* name : kIndexNames) after.push_back(Read(*fat, name));
  const std::uint64_t writes = device.sectorsWritten;
  ASSERT_GT(writes, 20u);

  for (std::uint64_t cut = 1; cut < writes; cut += 7) {
    device.bytes() = pristine;
    device.ResetLinkState();
    device.sectorsWritten = 0;
    Mount();
    device.failAfterWrites = cut;
    RebuildCardCatalogue(*link);
    device.failAfterWrites.reset();
    device.ResetLinkState();
    Mount();
    for (std::size_t f = 0; f < 8; ++f) {
      const auto now = Read(*fat, kIndexNames[f]);
      EXPECT_TRUE(now == before[f] || now == after[f])
          << kIndexNames[f] << " after " << cut << " sector writes";
    }
  }
}

}  // namespace
}  // namespace sondesk::test
