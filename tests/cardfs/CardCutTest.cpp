// Pulling the cable in the middle of file writes: the card keeps no file whose clusters are free,
// no cross-linked chains, and every file whose write completed reads back whole.

#include <gtest/gtest.h>

#include <map>
#include <random>

#include "cardfs/LinkSectorDevice.h"
#include "emulator/VirtualPlayer.h"
#include "link/Link.h"
#include "link/VirtualPort.h"
#include "tests/cardfs/CardFsFixture.h"

namespace sondesk::test {
namespace {

using Files = std::map<std::string, std::vector<std::uint8_t>>;

// What fsck.fat may say about a card that lost a write: lost clusters, nothing worse.
void ExpectOnlyLostClusters(const std::string& image) {
  std::string report;
  const int rc = FsckPartition(image, &report);
  for (const char* bad : {"cross-linked", "Cross-linked", "free cluster", "Free cluster", "beyond", "truncat",
                          "Truncat", "Bad", "bad", "Duplicate", "FATs differ", "Unable"}) {
    EXPECT_EQ(report.find(bad), std::string::npos) << "fsck.fat says " << bad << ":\n" << report;
  }
  EXPECT_TRUE(rc == 0 || report.find("unused clusters") != std::string::npos) << report;
}

void ExpectFilesWhole(CardFileSystem& fs, const Files& files) {
  for (const auto& [key, data] : files) {
    const std::string folder = key.substr(0, key.find('/'));
    std::vector<std::uint8_t> out;
    ASSERT_EQ(fs.ReadCardFileData(folder, Name11(key.substr(key.find('/') + 1).c_str()), out), 1) << key;
    EXPECT_EQ(out, data) << key;
  }
}

TEST_F(CardFsTest, CutsDuringOneHundredWritesLeaveLostClustersAtMost) {
  if (!HaveTool("fsck.fat")) GTEST_SKIP() << "dosfstools missing";
  auto card = FormattedCard(8);
  {
    auto fs = FileSystem(*card);
    ASSERT_EQ(fs->ConnectCard(), 1);
    for (int f = 0; f < 31; f += 6) ASSERT_EQ(fs->CreateDirectory(SongFolderName11(f)), 1);
  }
  std::mt19937 rng(2024);
  Files written;
  int cuts = 0;
  for (int i = 0; i < 100; ++i) {
    card->ResetLinkState();
    card->failAfterWrites.reset();
    auto fs = FileSystem(*card);
    ASSERT_EQ(fs->ConnectCard(), 1);
    const int song = static_cast<int>(rng() % 60);
    const std::string folder = std::to_string(song % 31 / 6 * 6);
    const std::string name = Format("%05d.MF3", song);
    const auto data = Pattern(rng() % 40000, static_cast<std::uint32_t>(i));
    const bool cut = rng() % 2 == 0;
    if (cut) card->failAfterWrites = rng() % (data.size() / 2048 + 8);
    const bool replace = rng() % 4 == 0;
    const int ok = replace ? fs->ReplaceCardFileData(folder, Name11(name.c_str()), data)
                           : fs->WriteCardFileData(folder, Name11(name.c_str()), data);
    if (ok) {
      written[folder + "/" + name] = data;
    } else {
      ASSERT_TRUE(cut);
      ++cuts;
      // Only the careful replacement promises to keep the old version of a file cut off.
      if (!replace) written.erase(folder + "/" + name);
    }
  }
  EXPECT_GT(cuts, 20);
  card->ResetLinkState();
  card->failAfterWrites.reset();
  auto fs = FileSystem(*card);
  ASSERT_EQ(fs->ConnectCard(), 1);
  ExpectFilesWhole(*fs, written);
  ExpectOnlyLostClusters(SaveImage(*card, "cut.img"));
}

TEST_F(CardFsTest, UnpluggingTheVirtualPlayerMidWriteLeavesASoundCard) {
  if (!HaveTool("fsck.fat")) GTEST_SKIP() << "dosfstools missing";
  auto formatted = FormattedCard(8);
  const std::string image = SaveImage(*formatted, "virtual.img");
  std::mt19937 rng(99);
  Files written;
  int cuts = 0;
  for (int i = 0; i < 12; ++i) {
    FaultPlan faults;
    const bool cut = i % 3 != 0;
    // A write of a few sectors costs about 1,600 codes each; the connect and lookups come first.
    if (cut) faults.unplug = FaultRule::Once(40000 + rng() % 60000);
    std::string error;
    auto player = VirtualPlayer::Open(image, faults, error);
    ASSERT_TRUE(player) << error;
    Link link(*session, std::make_unique<VirtualPort>(std::move(player)));
    link.InitLink();
    LinkSectorDevice device(link, &session->progress());
    auto fs = FileSystem(device);
    if (!fs->ConnectCard()) {
      ASSERT_TRUE(cut);
      ++cuts;
      continue;
    }
    const std::string name = Format("%05d.MF3", i);
    const auto data = Pattern(2000 + rng() % 9000, static_cast<std::uint32_t>(i));
    if (fs->WriteCardFileData("", Name11(name.c_str()), data)) {
      written["/" + name] = data;
    } else {
      ASSERT_TRUE(cut);
      ++cuts;
    }
  }
  EXPECT_GT(cuts, 2);
  // The user answered Cancel to the link's question every time the cable was gone.
  EXPECT_TRUE(ui.Shown(session->Text(98)));
  MemorySectorDevice reread(ReadBytes(image));
  auto fs = FileSystem(reread);
  ASSERT_EQ(fs->ConnectCard(), 1);
  ExpectFilesWhole(*fs, written);
  ExpectOnlyLostClusters(image);
}

}  // namespace
}  // namespace sondesk::test
