// The format: its numbers, the records it writes, the layout a fresh card mounts with, and what
// other systems' tools make of the result.

#include <gtest/gtest.h>

#include <cstring>

#include "app/Endian.h"
#include "cardfs/CardFormat.h"
#include "tests/cardfs/CardFsFixture.h"

namespace sondesk::test {
namespace {

CardIdentity IdentityOf(std::uint16_t cylinders, std::uint16_t heads, std::uint16_t spt,
                        std::uint32_t sectors) {
  CardIdentity id;
  id.SetWord(1, cylinders);
  id.SetWord(3, heads);
  id.SetWord(6, spt);
  id.SetWord(7, static_cast<std::uint16_t>(sectors >> 16));
  id.SetWord(8, static_cast<std::uint16_t>(sectors));
  return id;
}

TEST(FormatLayout, SectorsPerClusterDoubleWhileTheCardExceeds65000SectorsPerCluster) {
  FormatLayout l;
  // 65000 sectors: one per cluster; 65001 and 130000: two; 130002: four (130001 / 2 is still 65000).
  ComputeFormatLayout(IdentityOf(126, 16, 32, 65000), l);
  EXPECT_EQ(l.secPerClust, 1u);
  ComputeFormatLayout(IdentityOf(126, 16, 32, 65001), l);
  EXPECT_EQ(l.secPerClust, 2u);
  ComputeFormatLayout(IdentityOf(253, 16, 32, 130000), l);
  EXPECT_EQ(l.secPerClust, 2u);
  ComputeFormatLayout(IdentityOf(253, 16, 32, 130001), l);
  EXPECT_EQ(l.secPerClust, 2u);
  ComputeFormatLayout(IdentityOf(253, 16, 32, 130002), l);
  EXPECT_EQ(l.secPerClust, 4u);
}

TEST(FormatLayout, PartitionAndFatSizeFollowTheCardGeometry) {
  // A 128 MB card as the virtual player reports it: 1024 cylinders, 8 heads, 32 sectors a track.
  FormatLayout l;
  ASSERT_TRUE(ComputeFormatLayout(IdentityOf(1024, 8, 32, 262144), l));
  EXPECT_EQ(l.partitionSectors, (1023u * 8 - 1) * 32);
  EXPECT_EQ(l.secPerClust, 8u);
  const std::int32_t x = static_cast<std::int32_t>(l.partitionSectors) - 129;
  const auto t = static_cast<std::int32_t>(8.0 * x * 256.0 / (256 * 8 + 2));
  EXPECT_EQ(l.fatSectors, static_cast<std::uint32_t>((x - t) / 2 + 1));

  SectorImage mbr{}, pbr{};
  FillFormatRecords(l, mbr, pbr);
  const PartitionEntry e = PartitionEntry::Parse(mbr, 0);
  EXPECT_EQ(e.bootIndicator, 0x00);
  EXPECT_EQ(e.type, 0x01);
  EXPECT_EQ(e.startHead, 1);
  EXPECT_EQ(e.startSector, 1);
  EXPECT_EQ(e.endHead, 7);
  EXPECT_EQ(e.endCylinder, (1024 - 2) & 0xFF);
  EXPECT_EQ(e.endSector, (((1024 - 2) >> 2) & 0xC0) + 32);
  EXPECT_EQ(e.firstLba, 32u);
  EXPECT_EQ(e.sectors, l.partitionSectors);
  const BootSector b = BootSector::Parse(pbr);
  EXPECT_EQ(b.oemName, "SonVarQM");
  EXPECT_EQ(b.sectors, 0);  // the partition has 65536 sectors or more
  EXPECT_EQ(b.hugeSectors, l.partitionSectors);
  EXPECT_EQ(b.hiddenSecs, 32u);
  EXPECT_EQ(b.driveNumber, 0x82);
  EXPECT_EQ(b.volumeLabel, "SON-VAR-MF3");
  EXPECT_EQ(pbr[510], 0x55);
  EXPECT_EQ(pbr[511], 0xAA);

  // Below 65536 sectors the length goes into Sectors.
  ASSERT_TRUE(ComputeFormatLayout(IdentityOf(64, 16, 32, 32768), l));
  FillFormatRecords(l, mbr, pbr);
  EXPECT_EQ(BootSector::Parse(pbr).sectors, l.partitionSectors);
  EXPECT_EQ(BootSector::Parse(pbr).hugeSectors, 0u);
}

TEST(FormatLayout, RefusesGeometriesThatGiveNoFat16) {
  FormatLayout l;
  EXPECT_FALSE(ComputeFormatLayout(IdentityOf(1, 16, 32, 512), l));           // no whole cylinder
  EXPECT_FALSE(ComputeFormatLayout(IdentityOf(8, 2, 32, 512), l));            // FAT12-sized
  EXPECT_FALSE(ComputeFormatLayout(IdentityOf(0, 0, 0, 0), l));               // nothing at all
  EXPECT_FALSE(ComputeFormatLayout(IdentityOf(16383, 16, 63, 16514064), l));  // 256 sectors a cluster
  // A track as long as the whole partition: FAT16-sized by itself, but the mount, which counts from
  // the data area's address on the card, would find no cluster in it.
  EXPECT_FALSE(ComputeFormatLayout(IdentityOf(2, 2, 8960, 0), l));
}

TEST_F(CardFsTest, FreshCardMountsWithTheFormatsLayout) {
  auto card = FormattedCard(16);
  EXPECT_TRUE(ui.boxes.empty());
  auto fs = FileSystem(*card);
  ASSERT_EQ(fs->ConnectCard(), 1);
  const CardGeometry& g = fs->geometry();
  const std::uint32_t spt = card->identity().DefaultSectorsPerTrack();
  const std::uint32_t f = g.FATsecs;
  EXPECT_EQ(g.PbrLba, spt);
  EXPECT_EQ(g.HiddenSecs, spt);
  EXPECT_EQ(g.FatLba, spt + 1);
  EXPECT_EQ(g.RootLba, spt + 1 + 2 * f);
  EXPECT_EQ(g.DataLba, g.RootLba + 8);
  EXPECT_EQ(g.RootDirEnts, 128u);
  EXPECT_EQ(g.FATs, 2u);
  EXPECT_EQ(fs->GetFatEntry(0), 0xFFF8);
  EXPECT_EQ(fs->GetFatEntry(1), 0xFFFF);

  // The root holds the volume label alone, stamped, with no allocation.
  std::vector<DirEntryRef> root;
  ASSERT_EQ(fs->ListDirectory("", root), 1);
  ASSERT_EQ(root.size(), 1u);
  EXPECT_EQ(root[0].entry.Name11(), "SON-VAR-MF3");
  EXPECT_EQ(root[0].entry.attributes, 0x28);
  EXPECT_EQ(root[0].entry.firstCluster, 0);
  EXPECT_EQ(root[0].entry.date, (2024 - 1980) * 512 + 3 * 32 + 5);
  EXPECT_EQ(root[0].entry.time, 14 * 2048 + 30 * 32 + 23);
  EXPECT_EQ(root[0].entry.seconds, 46);
  EXPECT_EQ(fs->FreeClusters(), g.LastAllocatable - 1);
  // The status pane shows the size and the free space after the connect.
  EXPECT_EQ(ui.LastStatus(3).rfind("Size=16MB Disponibile:", 0), 0u);

  // The MBR's boot code and the boot sector's come from our template.
  const auto& bytes = card->bytes();
  EXPECT_EQ(bytes[spt * 512 + 0], 0xEB);
  EXPECT_EQ(bytes[spt * 512 + 1], 0x3C);
  EXPECT_EQ(bytes[spt * 512 + 21], 0xF8);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&bytes[spt * 512 + 54]), 8), "FAT16   ");
  EXPECT_EQ(bytes[510], 0x55);
  EXPECT_EQ(bytes[511], 0xAA);
}

TEST_F(CardFsTest, FormattedImagePassesFsckAndMtoolsReadsWhatWeWrite) {
  if (!HaveTool("fsck.fat") || !HaveTool("mcopy")) GTEST_SKIP() << "dosfstools or mtools missing";
  for (std::uint32_t mb : {8u, 64u, 300u}) {
    auto card = FormattedCard(mb);
    auto fs = FileSystem(*card);
    ASSERT_EQ(fs->ConnectCard(), 1);
    ASSERT_EQ(fs->CreateDirectory("5          "), 1);
    const auto a = Pattern(70000, 1), b = Pattern(fs->geometry().ClusterBytes * 3, 2), c = Pattern(1, 3);
    ASSERT_EQ(fs->WriteCardFileData("", Name11("INDEX0.DAT"), a), 1);
    ASSERT_EQ(fs->WriteCardFileData("5", Name11("00005.MF3"), b), 1);
    ASSERT_EQ(fs->WriteCardFileData("5", Name11("00036.MF3"), c), 1);
    ASSERT_EQ(fs->WriteCardFileData("5", Name11("EMPTY.DAT"), {}), 1);
    const std::string image = SaveImage(*card, "card.img");

    std::string report;
    EXPECT_EQ(FsckPartition(image, &report), 0) << mb << " MB:\n" << report;

    const std::string at = "'" + image + "@@" + std::to_string(PartitionOffset(card->bytes())) + "'";
    std::string listing;
    ASSERT_EQ(Shell("MTOOLS_SKIP_CHECK=1 mdir -b -i " + at + " ::/5", &listing), 0) << listing;
    EXPECT_NE(listing.find("00005.MF3"), std::string::npos) << listing;
    EXPECT_NE(listing.find("00036.MF3"), std::string::npos) << listing;
    ASSERT_EQ(Shell("MTOOLS_SKIP_CHECK=1 mcopy -n -i " + at +
                    " ::/INDEX0.DAT ::/5/00005.MF3 ::/5/00036.MF3 '" + dir.path() + "'"),
              0);
    EXPECT_EQ(ReadBytes(dir / "INDEX0.DAT"), a);
    EXPECT_EQ(ReadBytes(dir / "00005.MF3"), b);
    EXPECT_EQ(ReadBytes(dir / "00036.MF3"), c);
  }
}

TEST_F(CardFsTest, FilesThatMcopyWroteReadBackWhole) {
  if (!HaveTool("mcopy")) GTEST_SKIP() << "mtools missing";
  auto card = FormattedCard(32);
  const std::string image = SaveImage(*card, "card.img");
  const std::string at = "'" + image + "@@" + std::to_string(PartitionOffset(card->bytes())) + "'";
  const auto a = Pattern(123457, 7), b = Pattern(4096, 8);
  WriteFile(dir / "SONG.MF3", a);
  WriteFile(dir / "SETUP.DAT", b);
  ASSERT_EQ(Shell("MTOOLS_SKIP_CHECK=1 mmd -i " + at + " ::/7"), 0);
  ASSERT_EQ(Shell("MTOOLS_SKIP_CHECK=1 mcopy -i " + at + " '" + (dir / "SONG.MF3") + "' ::/7/00007.MF3"), 0);
  ASSERT_EQ(Shell("MTOOLS_SKIP_CHECK=1 mcopy -i " + at + " '" + (dir / "SETUP.DAT") + "' ::/SETUP.DAT"), 0);

  MemorySectorDevice reread(ReadBytes(image));
  auto fs = FileSystem(reread);
  ASSERT_EQ(fs->ConnectCard(), 1);
  std::vector<std::uint8_t> out;
  ASSERT_EQ(fs->ReadCardFileData("7", Name11("00007.MF3"), out), 1);
  EXPECT_EQ(out, a);
  ASSERT_EQ(fs->ReadCardFileData("", Name11("SETUP.DAT"), out), 1);
  EXPECT_EQ(out, b);
  EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(CardFsTest, FormatWithoutTemplateWritesNothing) {
  // The program folder's template comes first; one cut short cannot be used (the shipped one would
  // be found when the program folder had none).
  session->SetProgramDir(dir / "short");
  MakeFolders(dir / "short");
  WriteFile(dir / "short/MBRPBR.DAT", std::vector<std::uint8_t>(700, 0));
  MemorySectorDevice card(std::vector<std::uint8_t>(8u << 20, 0));
  auto fs = FileSystem(card);
  EXPECT_EQ(fs->FormatCard(), 0);
  EXPECT_EQ(card.sectorsWritten, 0u);
  EXPECT_TRUE(ui.ShownContaining("MBRPBR.DAT"));
}

TEST_F(CardFsTest, FormatRefusesTemplateTheCardWouldMountWrongly) {
  // Two ways a template file of the right length still cannot make a card: an MBR that reads as a
  // boot sector (the mount looks at sector 0 first and would take the card's layout from it), and
  // a boot sector without its FAT16 type (the card would never mount). Both are refused before the
  // card is touched.
  const std::vector<std::uint8_t> shipped = ReadBytes(std::string(SONDESK_PROGRAM_DIR) + "/MBRPBR.DAT");
  ASSERT_EQ(shipped.size(), 1024u);
  std::vector<std::uint8_t> mbrReadsAsBoot = shipped;
  std::memcpy(mbrReadsAsBoot.data() + 0x36, "FAT16   ", 8);
  std::vector<std::uint8_t> noType = shipped;
  std::memset(noType.data() + 512 + 0x36, 0, 8);
  for (const auto& bytes : {mbrReadsAsBoot, noType}) {
    session->SetProgramDir(dir / "bad");
    MakeFolders(dir / "bad");
    WriteFile(dir / "bad/MBRPBR.DAT", bytes);
    MemorySectorDevice card(std::vector<std::uint8_t>(8u << 20, 0));
    auto fs = FileSystem(card);
    ui.boxes.clear();
    EXPECT_EQ(fs->FormatCard(), 0);
    EXPECT_EQ(card.sectorsWritten, 0u);
    EXPECT_TRUE(ui.ShownContaining("MBRPBR.DAT"));
  }
  // The shipped template itself formats.
  WriteFile(dir / "bad/MBRPBR.DAT", shipped);
  MemorySectorDevice card(std::vector<std::uint8_t>(8u << 20, 0));
  auto fs = FileSystem(card);
  EXPECT_EQ(fs->FormatCard(), 1);
}

}  // namespace
}  // namespace sondesk::test
