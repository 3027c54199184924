// Finding the boot sector and deriving the geometry, on our own cards and on those of others.

#include <gtest/gtest.h>

#include "app/Endian.h"
#include "tests/cardfs/CardFsFixture.h"

namespace sondesk::test {
namespace {

BootSector PlainBoot() {
  BootSector b;
  b.bytesPerSec = 512;
  b.secPerClust = 4;
  b.resSectors = 1;
  b.fats = 2;
  b.rootDirEnts = 512;
  b.sectors = 40000;
  b.fatSecs = 40;
  b.secPerTrack = 32;
  b.heads = 4;
  b.hiddenSecs = 0x10020;  // only the low 16 bits count
  return b;
}

TEST(CardGeometry, DerivedFromTheBootSector) {
  CardGeometry g;
  std::string why;
  BootSector b = PlainBoot();
  ASSERT_TRUE(DeriveCardGeometry(b, 32, g, why));
  EXPECT_EQ(g.HiddenSecs, 0x20u);
  EXPECT_EQ(g.FatLba, 0x21u);
  EXPECT_EQ(g.RootLba, 0x21u + 80);
  EXPECT_EQ(g.DataLba, g.RootLba + 32);
  EXPECT_EQ(g.TotalSectors, 40000u);
  EXPECT_EQ(g.ClusterCount, (40000 - g.DataLba) / 4);
  EXPECT_EQ(g.ClusterBytes, 2048u);
  EXPECT_EQ(g.Cylinders, 40000u / 32 / 4);
  EXPECT_EQ(g.SizeMB, (40000u + 2048) / 2048);

  // Sectors 0 means HugeSectors; no CHS, no cylinders.
  b.secPerClust = 2;
  b.sectors = 0;
  b.hugeSectors = 300000;
  b.secPerTrack = 0;
  ASSERT_TRUE(DeriveCardGeometry(b, 0, g, why));
  EXPECT_EQ(g.SecPerClust, 2u);
  EXPECT_EQ(g.TotalSectors, 300000u);
  EXPECT_EQ(g.Cylinders, 0u);
  // The last cluster a chain may reach stays within what the FAT can hold.
  EXPECT_EQ(g.LastCluster, 40u * 256 - 1);

  b.bytesPerSec = 1024;
  EXPECT_FALSE(DeriveCardGeometry(b, 0, g, why));
  EXPECT_NE(why.find("Tipo di Formato 1024"), std::string::npos);
  b = PlainBoot();
  b.fatSecs = 0;  // the "FAT" would be the root directory
  EXPECT_FALSE(DeriveCardGeometry(b, 0, g, why));
}

// A layout that does not add up was once mended by guessing (0 sectors per cluster read as 2) and the
// card was then written with a geometry nobody else reads the same way.
TEST(CardGeometry, LayoutsThatDoNotAddUpAreRefusedWithTheirReason) {
  struct Case {
    const char* what;
    void (*spoil)(BootSector&);
    const char* reason;
  };
  const Case cases[] = {
      {"0 sectors per cluster", [](BootSector& b) { b.secPerClust = 0; }, "0 sectors per cluster"},
      {"3 sectors per cluster", [](BootSector& b) { b.secPerClust = 3; }, "3 sectors per cluster"},
      {"no reserved sector", [](BootSector& b) { b.resSectors = 0; }, "reserves no sector"},
      {"no root", [](BootSector& b) { b.rootDirEnts = 0; }, "no root directory"},
      {"data past the end", [](BootSector& b) { b.sectors = 100; }, "ends before its data area"},
      {"no FAT copy", [](BootSector& b) { b.fats = 0; }, "no FAT"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    BootSector b = PlainBoot();
    c.spoil(b);
    CardGeometry g;
    std::string why;
    EXPECT_FALSE(DeriveCardGeometry(b, 32, g, why));
    EXPECT_NE(why.find(c.reason), std::string::npos) << why;
  }
  for (unsigned k : {1u, 2u, 8u, 64u, 128u}) {
    BootSector b = PlainBoot();
    b.secPerClust = static_cast<std::uint8_t>(k);
    CardGeometry g;
    std::string why;
    EXPECT_TRUE(DeriveCardGeometry(b, 32, g, why)) << k << ": " << why;
  }
}

TEST(CardGeometry, SectorRegionNames) {
  CardGeometry g;
  std::string why;
  ASSERT_TRUE(DeriveCardGeometry(PlainBoot(), 32, g, why));
  EXPECT_STREQ(SectorRegionName(g, 0xFFFFFF), "Flash Header");
  EXPECT_STREQ(SectorRegionName(g, 0), "MBR");
  EXPECT_STREQ(SectorRegionName(g, 32), "PBR");
  EXPECT_STREQ(SectorRegionName(g, 5), "PBR/MBR hidden");
  EXPECT_STREQ(SectorRegionName(g, g.FatLba), "FAT");
  EXPECT_STREQ(SectorRegionName(g, g.RootLba), "RootDir");
  EXPECT_STREQ(SectorRegionName(g, g.DataLba), "Data");
  g.PbrLba = 10;
  g.FatLba = 12;
  EXPECT_STREQ(SectorRegionName(g, 11), "PBR/MBR");
}

TEST_F(CardFsTest, ImageWithoutPartitionTableMountsAtLbaZero) {
  if (!HaveTool("mkfs.fat")) GTEST_SKIP() << "dosfstools missing";
  const std::string image = dir / "plain.img";
  ASSERT_EQ(Shell("PATH=$PATH:/usr/sbin:/sbin mkfs.fat -F 16 -C '" + image + "' 16384"), 0);
  MemorySectorDevice card(ReadBytes(image));
  auto fs = FileSystem(card);
  ASSERT_EQ(fs->ConnectCard(), 1) << fs->lastErrorText();
  const BootSector b = BootSector::Parse(fs->pbrImage());
  EXPECT_EQ(fs->geometry().PbrLba, 0);
  EXPECT_EQ(fs->geometry().HiddenSecs, b.hiddenSecs & 0xFFFF);
  EXPECT_EQ(fs->geometry().RootDirEnts, b.rootDirEnts);
  EXPECT_TRUE(ui.boxes.empty());
  // Our files on their file system are theirs to check.
  ASSERT_EQ(fs->CreateDirectory(SongFolderName11(30)), 1);
  ASSERT_EQ(fs->WriteCardFileData("30", SongFileName11(30), Pattern(50000, 30)), 1);
  const std::string written = SaveImage(card, "written.img");
  std::string report;
  EXPECT_EQ(Shell("PATH=$PATH:/usr/sbin:/sbin fsck.fat -n '" + written + "'", &report), 0) << report;
}

TEST_F(CardFsTest, Fat12CardIsOfferedForFormatAndLeftAloneOnCancel) {
  if (!HaveTool("mkfs.fat")) GTEST_SKIP() << "dosfstools missing";
  const std::string image = dir / "fat12.img";
  ASSERT_EQ(Shell("PATH=$PATH:/usr/sbin:/sbin mkfs.fat -F 12 -C '" + image + "' 8192"), 0);
  const auto before = ReadBytes(image);
  MemorySectorDevice card(before);
  auto fs = FileSystem(card);
  ui.boxAnswers.push_back(BoxAnswer::Cancel);
  EXPECT_EQ(fs->ConnectCard(), 0);
  ASSERT_EQ(ui.boxes.size(), 1u);
  EXPECT_EQ(ui.boxes[0].text, "Fat 12 trovata\nFormattare la Flash prima dell'uso!\n\nFormattare Flash ora?");
  EXPECT_EQ(ui.boxes[0].title, "");
  EXPECT_EQ(ui.boxes[0].buttons, BoxButtons::OkCancel);
  EXPECT_EQ(ui.boxes[0].icon, BoxIcon::Question);
  EXPECT_EQ(card.sectorsWritten, 0u);
  EXPECT_EQ(card.bytes(), before);
  EXPECT_FALSE(ui.progressIsOpen);
}

TEST_F(CardFsTest, BlankCardIsFormattedWhenTheUserAgrees) {
  MemorySectorDevice card(std::vector<std::uint8_t>(16u << 20, 0));
  auto fs = FileSystem(card);
  // The default answer of the scripted question is OK.
  ASSERT_EQ(fs->ConnectCard(), 1) << fs->lastErrorText();
  ASSERT_GE(ui.boxes.size(), 1u);
  EXPECT_EQ(ui.boxes[0].text,
            "Flash non formattata\nFormattare la Flash prima dell'uso!\n\nFormattare Flash ora?");
  EXPECT_EQ(fs->geometry().PbrLba, card.identity().DefaultSectorsPerTrack());
  std::vector<DirEntryRef> root;
  ASSERT_EQ(fs->ListDirectory("", root), 1);
  EXPECT_EQ(root.size(), 1u);

  // Cancel leaves a blank card blank.
  MemorySectorDevice blank(std::vector<std::uint8_t>(16u << 20, 0));
  auto other = FileSystem(blank);
  ui.boxAnswers.push_back(BoxAnswer::Cancel);
  EXPECT_EQ(other->MountCard(), 0);
  EXPECT_EQ(blank.sectorsWritten, 0u);
}

TEST_F(CardFsTest, CorruptBootSectorsFailWithoutHarm) {
  auto card = FormattedCard(8);
  const std::uint32_t pbr = card->identity().DefaultSectorsPerTrack() * 512;
  auto& bytes = card->bytes();
  PutLe16(&bytes[pbr + 11], 2048);  // sector size
  auto fs = FileSystem(*card);
  EXPECT_EQ(fs->MountCard(), 0);
  EXPECT_TRUE(ui.boxes.empty());  // a wrong sector size fails the mount without a box

  // A layout that points past the end of the card is refused at the mount, before any access.
  PutLe16(&bytes[pbr + 11], 512);
  PutLe16(&bytes[pbr + 22], 0xFFFF);  // FATsecs
  PutLe16(&bytes[pbr + 17], 0xFFF0);  // RootDirEnts
  auto broken = FileSystem(*card);
  EXPECT_EQ(broken->ConnectCard(), 0);
  EXPECT_EQ(broken->lastError(), CardError::BadGeometry);
  std::vector<std::uint8_t> out;
  EXPECT_EQ(broken->ReadCardFileData("", Name11("INDEX0.DAT"), out), 0);
}

TEST_F(CardFsTest, ZeroSectorsPerClusterIsRefusedAndTheCardLeftAlone) {
  auto card = FormattedCard(8);
  const std::uint32_t pbr = card->identity().DefaultSectorsPerTrack() * 512;
  card->bytes()[pbr + 13] = 0;
  const std::vector<std::uint8_t> before = card->bytes();
  card->sectorsWritten = 0;
  auto fs = FileSystem(*card);
  EXPECT_EQ(fs->ConnectCard(), 0);
  EXPECT_EQ(fs->lastError(), CardError::BadGeometry);
  const std::string text = fs->lastErrorText();
  EXPECT_NE(text.find("0 sectors per cluster"), std::string::npos) << text;
  EXPECT_NE(text.find("format the card"), std::string::npos) << text;
  EXPECT_FALSE(fs->mounted());
  EXPECT_EQ(card->sectorsWritten, 0u);
  EXPECT_TRUE(card->bytes() == before);
}

}  // namespace
}  // namespace sondesk::test
