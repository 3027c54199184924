// Files and directories on the card: chains, growth, replacement, and the limits of a full card.

#include <gtest/gtest.h>

#include <random>

#include "app/Endian.h"
#include "tests/cardfs/CardFsFixture.h"

namespace sondesk::test {
namespace {

class CardFilesTest : public CardFsTest {
 protected:
  void SetUp() override {
    card = FormattedCard(16);  // one sector per cluster: 16 entries fill a directory cluster
    Remount();
  }
  void Remount() {
    fs = FileSystem(*card);
    ASSERT_EQ(fs->ConnectCard(), 1);
  }
  // Sets a FAT entry on the card itself (both copies), as another system would have written it.
  void PokeFat(std::uint32_t cluster, std::uint16_t value) {
    const CardGeometry& g = fs->geometry();
    for (std::uint32_t copy = 0; copy < g.FATs; ++copy) {
      PutLe16(&card->bytes()[(g.FatLba + copy * g.FATsecs) * 512 + 2 * cluster], value);
    }
  }
  std::vector<std::uint32_t> Chain(std::uint32_t first) {
    std::vector<std::uint32_t> out;
    for (std::uint32_t c = first; c >= 2 && c < 0xFFF8 && out.size() < 100000; c = fs->GetFatEntry(c)) {
      out.push_back(c);
    }
    return out;
  }
  DirEntryRef Find(const std::string& dir, const char* name) {
    DirEntryRef ref;
    EXPECT_EQ(fs->FindEntry(dir, Name11(name), ref), 1) << name;
    return ref;
  }

  std::unique_ptr<MemorySectorDevice> card;
  std::unique_ptr<CardFileSystem> fs;
};

TEST_F(CardFilesTest, FilesTakeWholeClustersAndReadBackByteForByte) {
  const std::uint32_t cb = fs->geometry().ClusterBytes;
  EXPECT_EQ(fs->SectorsForSize(1), fs->geometry().SecPerClust);
  EXPECT_EQ(fs->SectorsForSize(0), 0u);
  EXPECT_EQ(fs->SectorsForSize(cb + 1), 2 * fs->geometry().SecPerClust);

  const auto exact = Pattern(3 * cb, 1);
  ASSERT_EQ(fs->WriteCardFileData("", Name11("EXACT.DAT"), exact), 1);
  const DirEntryRef e = Find("", "EXACT.DAT");
  EXPECT_EQ(e.entry.size, 3 * cb);
  EXPECT_EQ(Chain(e.entry.firstCluster).size(), 3u);  // no zero-length tail cluster

  const auto odd = Pattern(cb + 17, 2);
  ASSERT_EQ(fs->WriteCardFileData("", Name11("ODD.DAT"), odd), 1);
  const DirEntryRef o = Find("", "ODD.DAT");
  const auto chain = Chain(o.entry.firstCluster);
  ASSERT_EQ(chain.size(), 2u);
  // Clusters go in ascending order of availability, and the tail of the last one is zeros.
  EXPECT_EQ(chain[0], e.entry.firstCluster + 3);
  std::vector<std::uint8_t> last(cb);
  ASSERT_EQ(fs->ReadCluster(chain[1], last.data()), 1);
  EXPECT_TRUE(std::all_of(last.begin() + 17, last.end(), [](std::uint8_t b) { return b == 0; }));

  // An empty file owns no cluster at all.
  ASSERT_EQ(fs->WriteCardFileData("", Name11("EMPTY.DAT"), {}), 1);
  EXPECT_EQ(Find("", "EMPTY.DAT").entry.firstCluster, 0);
  EXPECT_EQ(fs->FindFreeCluster(), chain[1] + 1);

  Remount();
  std::vector<std::uint8_t> out;
  ASSERT_EQ(fs->ReadCardFileData("", Name11("EXACT.DAT"), out), 1);
  EXPECT_EQ(out, exact);
  ASSERT_EQ(fs->ReadCardFileData("", Name11("ODD.DAT"), out), 1);
  EXPECT_EQ(out, odd);
  ASSERT_EQ(fs->ReadCardFileData("", Name11("EMPTY.DAT"), out), 1);
  EXPECT_TRUE(out.empty());
  EXPECT_EQ(fs->DeleteCardFile("", Name11("EMPTY.DAT")), 1);
  EXPECT_EQ(fs->ReadCardFileData("", Name11("EMPTY.DAT"), out), 0);
  EXPECT_EQ(fs->lastError(), CardError::NotFound);
  // Entries are file entries with the local time.
  EXPECT_EQ(e.entry.attributes, 0x00);
  EXPECT_EQ(e.entry.date, (2024 - 1980) * 512 + 3 * 32 + 5);
  EXPECT_EQ(e.entry.createDate, e.entry.date);
  EXPECT_EQ(e.entry.accessDate, e.entry.date);
  EXPECT_EQ(e.entry.createTime, e.entry.time);
}

TEST_F(CardFilesTest, ReplacingAFileFreesTheOldChainFirst) {
  const std::uint32_t cb = fs->geometry().ClusterBytes;
  ASSERT_EQ(fs->WriteCardFileData("", Name11("SETUP.DAT"), Pattern(3 * cb, 1)), 1);
  const std::uint32_t first = Find("", "SETUP.DAT").entry.firstCluster;
  const auto second = Pattern(2 * cb, 2);
  ASSERT_EQ(fs->WriteCardFileData("", Name11("SETUP.DAT"), second), 1);
  EXPECT_EQ(Find("", "SETUP.DAT").entry.firstCluster, first);  // the new file reuses the old clusters
  EXPECT_EQ(fs->GetFatEntry(first + 2), kFatFree);
  std::vector<DirEntryRef> root;
  ASSERT_EQ(fs->ListDirectory("", root), 1);
  EXPECT_EQ(root.size(), 2u);  // label and one SETUP.DAT

  // The careful replacement keeps the old file until the new one is whole.
  const auto third = Pattern(cb, 3);
  ASSERT_EQ(fs->ReplaceCardFileData("", Name11("SETUP.DAT"), third), 1);
  EXPECT_EQ(Find("", "SETUP.DAT").entry.firstCluster, first + 2);
  EXPECT_EQ(fs->GetFatEntry(first), kFatFree);
  std::vector<std::uint8_t> out;
  ASSERT_EQ(fs->ReadCardFileData("", Name11("SETUP.DAT"), out), 1);
  EXPECT_EQ(out, third);

  // A PC file that cannot be read costs nothing on the card.
  EXPECT_EQ(fs->WriteCardFile("", Name11("SETUP.DAT"), dir / "missing.dat"), 0);
  EXPECT_TRUE(ui.Shown("Cannot open " + (dir / "missing.dat")));
  ASSERT_EQ(fs->ReadCardFileData("", Name11("SETUP.DAT"), out), 1);
  EXPECT_EQ(out, third);
}

TEST_F(CardFilesTest, FullDirectoryGrowsByOneZeroedCluster) {
  ASSERT_EQ(fs->CreateDirectory(SongFolderName11(3)), 1);
  EXPECT_EQ(fs->CreateDirectory(SongFolderName11(3)), 1);  // exists: nothing more
  const std::uint32_t dirCluster = Find("", "3").entry.firstCluster;
  ASSERT_EQ(fs->geometry().SecPerClust, 1u);
  // "." and ".." and 14 songs fill the first cluster.
  for (int i = 0; i < 14; ++i)
    ASSERT_EQ(fs->WriteCardFileData("3", SongFileName11(3 + 31 * i), Pattern(10, i)), 1);
  EXPECT_EQ(fs->GetFatEntry(dirCluster), kFatEndOfChain);
  // Leave garbage in the cluster the directory will take, to see it cleared.
  const std::uint32_t next = fs->FindFreeCluster();
  std::vector<std::uint8_t> junk(512, 0x41);
  ASSERT_EQ(fs->WriteCluster(next, junk.data()), 1);
  ASSERT_EQ(fs->WriteCardFileData("3", SongFileName11(3 + 31 * 14), Pattern(10, 99)), 1);
  const DirEntryRef r = Find("3", "00437.MF3");
  EXPECT_EQ(r.cluster, next);
  EXPECT_EQ(r.index, 0);
  EXPECT_EQ(fs->GetFatEntry(dirCluster), next);
  EXPECT_EQ(fs->GetFatEntry(next), kFatEndOfChain);
  std::vector<DirEntryRef> listing;
  ASSERT_EQ(fs->ListDirectory("3", listing), 1);
  EXPECT_EQ(listing.size(), 17u);  // . .. and 15 songs; the rest of the new cluster reads as empty

  // The one-at-a-time listing walks the same entries and follows the chain.
  DirEntry e;
  int n = 0;
  for (int more = fs->OpenDirectoryListing("3", e); more; more = fs->NextDirectoryEntry(e)) ++n;
  EXPECT_EQ(n, 17);
  EXPECT_EQ(fs->OpenDirectoryListing("", e), 0);  // the root is listed with ListDirectory
}

TEST_F(CardFilesTest, ChainsEndedByAnyEndMarkAreHealthy) {
  const std::uint32_t cb = fs->geometry().ClusterBytes;
  ASSERT_EQ(fs->CreateDirectory(SongFolderName11(1)), 1);
  const auto data = Pattern(3 * cb, 5);
  ASSERT_EQ(fs->WriteCardFileData("1", SongFileName11(1), data), 1);
  const auto chain = Chain(Find("1", "00001.MF3").entry.firstCluster);
  PokeFat(chain.back(), 0xFFF8);  // as other systems end chains
  PokeFat(Find("", "1").entry.firstCluster, 0xFFFB);
  Remount();
  std::vector<std::uint8_t> out;
  ASSERT_EQ(fs->ReadCardFileData("1", SongFileName11(1), out), 1);
  EXPECT_EQ(out, data);
  DirEntryRef ref;
  EXPECT_EQ(fs->FindEntry("1", SongFileName11(32), ref), 0);  // absent, and the card is not called corrupt
  EXPECT_EQ(fs->lastError(), CardError::NotFound);
  EXPECT_EQ(fs->CountChainEnds(), 2u);
  EXPECT_EQ(fs->DeleteCardFile("1", SongFileName11(1)), 1);
  for (std::uint32_t c : chain) EXPECT_EQ(fs->GetFatEntry(c), kFatFree);
  EXPECT_EQ(fs->GetFatEntry(0), 0xFFF8);  // the walk never reaches the reserved entries
  EXPECT_EQ(fs->GetFatEntry(1), 0xFFFF);
  EXPECT_TRUE(ui.boxes.empty());
  // What we write still ends with 0xFFFF.
  ASSERT_EQ(fs->WriteCardFileData("1", SongFileName11(1), data), 1);
  EXPECT_EQ(fs->GetFatEntry(Chain(Find("1", "00001.MF3").entry.firstCluster).back()), 0xFFFF);
}

TEST_F(CardFilesTest, BrokenChainsAreReportedAndNeverFollowed) {
  const std::uint32_t cb = fs->geometry().ClusterBytes;
  ASSERT_EQ(fs->CreateDirectory(SongFolderName11(2)), 1);
  ASSERT_EQ(fs->WriteCardFileData("", Name11("INDEX0.DAT"), Pattern(3 * cb, 1)), 1);
  const auto chain = Chain(Find("", "INDEX0.DAT").entry.firstCluster);
  const std::string kBox =
      "Internal Flash File Structure Error!\nCluster chain corrupted!\nReformat flash considered!!!";

  // A chain that ends before the file does: no PC file, one box.
  PokeFat(chain[1], 0xFFFF);
  Remount();
  EXPECT_EQ(fs->ReadCardFile("", Name11("INDEX0.DAT"), dir / "index0.dat"), 0);
  EXPECT_FALSE(IsFile(dir / "index0.dat"));
  EXPECT_EQ(ui.CountShown(kBox), 1);

  // A chain in a circle, and one into cluster 0, end with the box instead of looping.
  PokeFat(chain[1], static_cast<std::uint16_t>(chain[0]));
  Remount();
  std::vector<std::uint8_t> out;
  EXPECT_EQ(fs->ReadCardFileData("", Name11("INDEX0.DAT"), out), 0);
  EXPECT_EQ(fs->lastError(), CardError::Corrupt);
  const std::uint32_t dirCluster = Find("", "2").entry.firstCluster;
  PokeFat(dirCluster, 0);
  Remount();
  DirEntryRef ref;
  EXPECT_EQ(fs->FindEntry("2", SongFileName11(2), ref), 0);
  EXPECT_EQ(ui.CountShown(kBox), 3);
  // Deleting a file with a looping chain frees what it owns and stops.
  EXPECT_EQ(fs->DeleteCardFile("", Name11("INDEX0.DAT")), 1);
  EXPECT_EQ(fs->GetFatEntry(chain[0]), kFatFree);
  EXPECT_EQ(fs->GetFatEntry(1), 0xFFFF);
}

TEST_F(CardFilesTest, FullCardAndFullRootStopWithAMessage) {
  const std::uint32_t cb = fs->geometry().ClusterBytes;
  const std::string kNoSpace = session->Text(42);
  // Too big for the card: refused before anything changes, the old file kept.
  ASSERT_EQ(fs->WriteCardFileData("", Name11("BIG.DAT"), Pattern(cb, 1)), 1);
  const std::uint32_t free = fs->FreeClusters();
  EXPECT_EQ(fs->WriteCardFileData("", Name11("BIG.DAT"), std::vector<std::uint8_t>((free + 2) * cb)), 0);
  EXPECT_EQ(fs->lastError(), CardError::NoSpace);
  EXPECT_TRUE(ui.Shown(kNoSpace));
  EXPECT_EQ(Find("", "BIG.DAT").entry.size, cb);
  EXPECT_EQ(fs->FreeClusters(), free);

  // Fill the card to one free cluster, with a directory whose only cluster is full.
  ASSERT_EQ(fs->CreateDirectory(SongFolderName11(4)), 1);
  for (int i = 0; i < 14; ++i) ASSERT_EQ(fs->WriteCardFileData("4", SongFileName11(4 + 31 * i), {}), 1);
  ASSERT_EQ(
      fs->WriteCardFileData("", Name11("FILL.DAT"), std::vector<std::uint8_t>((fs->FreeClusters() - 1) * cb)),
      1);
  ASSERT_EQ(fs->FreeClusters(), 1u);
  // The directory takes the last cluster to grow; the song then finds none and leaves no entry.
  EXPECT_EQ(fs->WriteCardFileData("4", SongFileName11(500), Pattern(10, 2)), 0);
  EXPECT_EQ(fs->lastError(), CardError::NoSpace);
  DirEntryRef ref;
  EXPECT_EQ(fs->FindEntry("4", SongFileName11(500), ref), 0);
  EXPECT_EQ(fs->FindFreeCluster(), 0u);
  EXPECT_EQ(fs->CreateDirectory(SongFolderName11(5)), 0);
  EXPECT_EQ(fs->GetFatEntry(0), 0xFFF8);
  EXPECT_EQ(fs->GetFatEntry(1), 0xFFFF);
  // On the card the directory never grew: the failed write committed nothing.
  Remount();
  EXPECT_EQ(fs->FindEntry("4", SongFileName11(500), ref), 0);
  EXPECT_EQ(fs->FreeClusters(), 1u);

  // A full root: every one of its 128 slots in use, nothing written past them.
  auto fresh = FormattedCard(16);
  auto rootFs = FileSystem(*fresh);
  ASSERT_EQ(rootFs->ConnectCard(), 1);
  for (int i = 1; i < 128; ++i) {
    ASSERT_EQ(
        rootFs->WriteCardFileData("", Name11(("F" + std::to_string(i) + ".DAT").c_str()), Pattern(1, i)), 1);
  }
  const auto dataBefore =
      std::vector<std::uint8_t>(fresh->bytes().begin() + rootFs->geometry().DataLba * 512,
                                fresh->bytes().begin() + (rootFs->geometry().DataLba + 1) * 512);
  EXPECT_EQ(rootFs->FirstFreeRootSlot(), 0xFFFFFFFFu);
  EXPECT_EQ(rootFs->WriteCardFileData("", Name11("ONEMORE.DAT"), Pattern(100, 1)), 0);
  EXPECT_EQ(rootFs->lastError(), CardError::RootFull);
  EXPECT_EQ(rootFs->CreateDirectory(SongFolderName11(6)), 0);
  EXPECT_EQ(std::vector<std::uint8_t>(fresh->bytes().begin() + rootFs->geometry().DataLba * 512,
                                      fresh->bytes().begin() + (rootFs->geometry().DataLba + 1) * 512),
            dataBefore);
}

TEST_F(CardFilesTest, FindFreeClusterAlwaysGivesTheLowestFreeCluster) {
  std::mt19937 rng(7);
  std::vector<std::uint32_t> taken;
  for (int step = 0; step < 3000; ++step) {
    if (taken.empty() || rng() % 3 != 0) {
      const std::uint32_t c = fs->FindFreeCluster();
      ASSERT_NE(c, 0u);
      fs->SetFatEntry(c, kFatEndOfChain);
      taken.push_back(c);
    } else {
      const std::size_t i = rng() % taken.size();
      fs->SetFatEntry(taken[i], kFatFree);
      taken.erase(taken.begin() + static_cast<std::ptrdiff_t>(i));
    }
    std::uint32_t lowest = 2;
    while (fs->GetFatEntry(lowest) != kFatFree) ++lowest;
    ASSERT_EQ(fs->FindFreeCluster(), lowest) << "step " << step;
  }
  EXPECT_EQ(fs->FreeClusters(), fs->geometry().LastAllocatable - 1 - taken.size());
  EXPECT_EQ(fs->CountFreeClusters(), fs->FreeClusters());
}

// The counts over a table held in memory take many entries a step: every kind of entry, at every
// place up to the last cluster, must count as an entry read one by one does.
TEST_F(CardFilesTest, FreeAndEndCountsAgreeWithAnEntryByEntryCount) {
  const std::uint32_t last = fs->geometry().LastAllocatable;
  std::mt19937 rng(7);
  const std::uint16_t kinds[] = {kFatFree, 0x0001, 0x7FFF, 0xFFF7, 0xFFF8, 0xFFFE, kFatEndOfChain, 0x8000};
  for (std::uint32_t c = 2; c <= last; ++c) fs->SetFatEntry(c, kinds[rng() % 8]);
  // The ends of the table, where a step of many entries leaves some over.
  for (std::uint32_t c = last - 9; c <= last; ++c) fs->SetFatEntry(c, c % 2 ? kFatFree : 0xFFF8);
  std::uint32_t free = 0, ends = 0;
  for (std::uint32_t c = 2; c <= last; ++c) {
    free += fs->GetFatEntry(c) == kFatFree;
    ends += IsEndOfChain(fs->GetFatEntry(c));
  }
  EXPECT_EQ(fs->CountFreeClusters(), free);
  EXPECT_EQ(fs->CountChainEnds(), ends);
  EXPECT_EQ(fs->FreeClusters(), free);
}

// A card that notes every read it is asked for.
class ReadLogCard : public MemorySectorDevice {
 public:
  using MemorySectorDevice::MemorySectorDevice;
  int ReadSectors(std::uint32_t lba, std::uint32_t count, std::uint8_t* buffer) override {
    reads.emplace_back(lba, count);
    return MemorySectorDevice::ReadSectors(lba, count, buffer);
  }
  std::vector<std::pair<std::uint32_t, std::uint32_t>> reads;
};

TEST_F(CardFilesTest, TheWholeFatIsReadInRunsWithoutLosingChangesHeldInMemory) {
  ReadLogCard logged(card->bytes());
  auto fs2 = FileSystem(logged);
  ASSERT_EQ(fs2->MountCard(), 1);
  const CardGeometry& g = fs2->geometry();
  ASSERT_GT(g.FATsecs, 64u);  // more than one run
  // One entry changed in memory, not yet on the card: a run read over its sector must not undo it.
  const std::uint32_t changed = 3 * 256 + 7;
  ASSERT_EQ(fs2->GetFatEntry(changed), kFatFree);
  fs2->SetFatEntry(changed, 0xFFFF);
  logged.reads.clear();

  std::uint32_t freeOnCard = 0;
  for (std::uint32_t c = 2; c <= g.LastAllocatable; ++c) {
    if (GetLe16(&card->bytes()[g.FatLba * 512 + 2 * c]) == kFatFree) ++freeOnCard;
  }
  EXPECT_EQ(fs2->FreeClusters(), freeOnCard - 1);
  EXPECT_EQ(fs2->GetFatEntry(changed), 0xFFFF);
  std::uint32_t fatSectorsRead = 0;
  for (const auto& [lba, count] : logged.reads) {
    EXPECT_TRUE(lba >= g.FatLba && lba + count <= g.FatLba + g.FATsecs) << lba;
    EXPECT_FALSE(lba <= g.FatLba + 3 && g.FatLba + 3 < lba + count) << "the changed sector was read again";
    fatSectorsRead += count;
  }
  EXPECT_EQ(fatSectorsRead, g.FATsecs - 1);
  EXPECT_LE(logged.reads.size(), 2 + g.FATsecs / 64);
  // Held now: the walks that follow read nothing more.
  logged.reads.clear();
  EXPECT_EQ(fs2->CountFreeClusters(), freeOnCard - 1);
  EXPECT_TRUE(logged.reads.empty());
}

// A chain into a free cluster (a cut format or write of another system) or into another file's chain
// made the card's next writes hand those clusters out again; such a card is now found before writing.
TEST_F(CardFilesTest, ChainsIntoFreeOrForeignClustersAreFound) {
  const std::uint32_t cb = fs->geometry().ClusterBytes;
  ASSERT_EQ(fs->CreateDirectory(Name11("5")), 1);
  ASSERT_EQ(fs->WriteCardFileData("5", Name11("00005.MF3"), Pattern(3 * cb, 1)), 1);
  ASSERT_EQ(fs->WriteCardFileData("", Name11("INDEX0.DAT"), Pattern(2 * cb, 2)), 1);
  std::string problem;
  ASSERT_EQ(fs->CheckChains(problem), 1) << problem;
  const auto song = Chain(Find("5", "00005.MF3").entry.firstCluster);
  const auto index = Chain(Find("", "INDEX0.DAT").entry.firstCluster);
  ASSERT_EQ(song.size(), 3u);

  PokeFat(song[1], kFatFree);
  auto damaged = FileSystem(*card);
  ASSERT_EQ(damaged->ConnectCard(), 1);
  EXPECT_EQ(damaged->CheckChains(problem), 0);
  EXPECT_EQ(damaged->lastError(), CardError::Corrupt);
  EXPECT_NE(problem.find("which the FAT calls free"), std::string::npos) << problem;

  PokeFat(song[1], static_cast<std::uint16_t>(song[2]));
  PokeFat(index[1], static_cast<std::uint16_t>(song[2]));  // the index runs on into the song
  auto crossed = FileSystem(*card);
  ASSERT_EQ(crossed->ConnectCard(), 1);
  EXPECT_EQ(crossed->CheckChains(problem), 0);
  EXPECT_NE(problem.find("shares cluster"), std::string::npos) << problem;
}

}  // namespace
}  // namespace sondesk::test
