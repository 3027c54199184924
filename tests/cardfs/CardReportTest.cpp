// The HTML diagnostics: the tables, the root listing, the chains of the songs in the title index.

#include <gtest/gtest.h>

#include "app/Endian.h"
#include "cardfs/CardReport.h"
#include "tests/cardfs/CardFsFixture.h"

namespace sondesk::test {
namespace {

class CardReportTest : public CardFsTest {
 protected:
  void SetUp() override {
    card = FormattedCard(8);
    fs = FileSystem(*card);
    ASSERT_EQ(fs->ConnectCard(), 1);
  }
  std::string Report() {
    const std::string path = dir / "ExtendedInfo.html";
    EXPECT_EQ(WriteExtendedReport(*fs, path, dir / "INDEX0.DAT"), 1);
    return ReadFile(path);
  }
  static std::vector<std::uint8_t> Index(const std::vector<std::pair<int, std::string>>& songs) {
    std::vector<std::uint8_t> out((songs.size() + 1) * 32, 0);
    for (std::size_t i = 0; i < songs.size(); ++i) {
      PutLe16(&out[i * 32], static_cast<std::uint16_t>(songs[i].first));
      std::copy(songs[i].second.begin(), songs[i].second.end(),
                out.begin() + static_cast<std::ptrdiff_t>(i * 32 + 2));
    }
    return out;
  }
  std::unique_ptr<MemorySectorDevice> card;
  std::unique_ptr<CardFileSystem> fs;
};

TEST_F(CardReportTest, FreshCardReportsItsTablesTheLabelAndAnEmptyIndex) {
  ASSERT_EQ(fs->WriteCardFileData("", Name11("INDEX0.DAT"), std::vector<std::uint8_t>(32, 0)), 1);
  const std::string html = Report();
  EXPECT_EQ(html.rfind("<html><STYLE>", 0), 0u);
  EXPECT_NE(html.find("Verdana, Arial, Helvetica, sans-serif"), std::string::npos);
  EXPECT_NE(html.find("</STYLE></HEAD><BODY>\n<h1>Flash Card Hardware Info</h1>\n"
                      "<table border=1 cellspacing=0 cellpadding=2><tr><th>Item</th><th>Value</th></tr>\n"
                      "<tr><td>General configuration word 0x848A</td><td>0x848a</td></tr>\n"),
            std::string::npos);
  EXPECT_NE(html.find("<tr><td>Default Sectors/Track</td><td>32</td></tr>\n"), std::string::npos);
  // One partition, numbered from 0; the other three entries have type 0.
  EXPECT_NE(html.find("<tr><th colspan=2>Partition 0</th></tr>\n<tr><td>PartBootInd</td><td>0x0</td></tr>\n"),
            std::string::npos);
  EXPECT_EQ(html.find("Partition 1"), std::string::npos);
  EXPECT_NE(html.find("<tr><td>PartOpSys</td><td>0x1</td></tr>\n"), std::string::npos);
  EXPECT_NE(
      html.find("<tr><td>OemName</td><td>SonVarQM</td></tr>\n<tr><td>Offset from MBR</td><td>32</td></tr>\n"),
      std::string::npos);
  EXPECT_NE(html.find("<tr><td>Media</td><td>0xf8</td></tr>\n"), std::string::npos);
  EXPECT_NE(html.find("<tr><td>FileSysType</td><td>FAT16   </td></tr>\n</table>\n"), std::string::npos);
  EXPECT_NE(html.find("<h1>Flash Card General Software Info</h1>\n"), std::string::npos);
  EXPECT_NE(html.find("<tr><td>Files and Dirs</td><td>1</td></tr>\n"), std::string::npos);
  // The label's name shows with its attribute character; it owns no cluster.
  EXPECT_NE(
      html.find("<h1>Root Directory Content</h1>\n<table border=1 cellspacing=0 cellpadding=2><tr>"
                "<th>Filename</th><th>Size</th><th>Clusterchain</th><tr><td>SON-VAR-MF3(</td><td>0</td>\n"
                "<td>No Allocation</td>\n</tr>\n"),
      std::string::npos);
  EXPECT_NE(html.find("<tr><td>INDEX0  DAT</td><td>32</td>\n<td>0x2,0xffff</td>\n</tr>\n</table>\n"),
            std::string::npos);
  EXPECT_NE(
      html.find("<h1>Index 0 Clusterchain</h1>\n<p>0 items in index0</p><table border=1 cellspacing=0 "
                "cellpadding=2><tr><th>Title</th><th>Code</th><th>Size</th><th>Clusterchain</th></table>\n"
                "</body></html>\n"),
      std::string::npos);
  EXPECT_FALSE(ui.progressIsOpen);
}

TEST_F(CardReportTest, SongsShowTheirChainsOrWhatIsWrongWithThem) {
  const std::uint32_t cb = fs->geometry().ClusterBytes;
  for (int f : {0, 5, 6}) ASSERT_EQ(fs->CreateDirectory(SongFolderName11(f)), 1);
  std::vector<std::uint8_t> song = Pattern(2 * cb + 1, 1);
  std::copy_n("_MF3", 4, song.begin());
  ASSERT_EQ(fs->WriteCardFileData("0", SongFileName11(31), song), 1);
  ASSERT_EQ(fs->WriteCardFileData("6", SongFileName11(37), Pattern(100, 2)), 1);  // no signature
  ASSERT_EQ(fs->WriteCardFileData("", Name11("INDEX0.DAT"),
                                  Index({{31, "First <Song>"}, {5, "Missing"}, {37, "Garbled"}})),
            1);
  DirEntryRef ref;
  ASSERT_EQ(fs->FindEntry("0", SongFileName11(31), ref), 1);
  const std::uint32_t c = ref.entry.firstCluster;
  const std::string html = Report();
  EXPECT_NE(html.find("<p>3 items in index0</p>"), std::string::npos);
  // Card text is never markup.
  EXPECT_NE(html.find("<tr><td>First &lt;Song&gt;</td><td>31</td>\n<td>" + std::to_string(song.size()) +
                      "</td>" + Format("<td>0x%x,0x%x, 0x%x, 0xffff</td>\n</tr>\n", c, c + 1, c + 2)),
            std::string::npos)
      << html;
  EXPECT_NE(html.find("<tr><td>Missing</td><td>5</td>\n<td colspan=2>Not found</td>\n</tr>\n"),
            std::string::npos);
  EXPECT_NE(html.find("<td><font color=red>Error in header<br>100</font></td>"), std::string::npos);
}

TEST_F(CardReportTest, BrokenChainsAreMarkedAndTheReportGoesOn) {
  ASSERT_EQ(fs->WriteCardFileData("", Name11("A.DAT"), Pattern(3 * fs->geometry().ClusterBytes, 1)), 1);
  DirEntryRef ref;
  ASSERT_EQ(fs->FindEntry("", Name11("A.DAT"), ref), 1);
  const std::uint32_t c = ref.entry.firstCluster;
  fs->SetFatEntry(c + 1, 0);  // the chain falls into a free cluster
  ASSERT_EQ(fs->FlushFat(), 1);
  std::string html = Report();
  EXPECT_NE(html.find(Format("<td>0x%x,0x%x, <font color=red><b>Chain error</b></font></td>\n", c, c + 1)),
            std::string::npos)
      << html;
  fs->SetFatEntry(c + 1, static_cast<std::uint16_t>(c));  // now in a circle
  ASSERT_EQ(fs->FlushFat(), 1);
  html = Report();
  EXPECT_NE(html.find(Format("<td>0x%x,0x%x, <font color=red><b>Chain error</b></font></td>\n", c, c + 1)),
            std::string::npos);
  // No INDEX0.DAT on the card: the section says it cannot open the copy, and the report ends.
  EXPECT_TRUE(ui.Shown("Cannot open " + (dir / "INDEX0.DAT")));
  EXPECT_NE(html.find("<h1>Index 0 Clusterchain</h1>\n</body></html>\n"), std::string::npos);
}

TEST_F(CardReportTest, EmptyRootStillGivesItsTable) {
  card->bytes()[fs->geometry().RootLba * 512] = 0;  // not even the label
  const std::string html = Report();
  EXPECT_NE(html.find("<h1>Root Directory Content</h1>\n<table border=1 cellspacing=0 cellpadding=2><tr>"
                      "<th>Filename</th><th>Size</th><th>Clusterchain</th></table>\n"),
            std::string::npos);
}

TEST_F(CardReportTest, FormatWritesTheFreshReportBeforeItChangesAnything) {
  const std::string fresh = ReadFile(dir / "FormatFresh.html");
  EXPECT_EQ(fresh.rfind("<html><STYLE>", 0), 0u);
  EXPECT_NE(fresh.find("<tr><td>VolumeLabel</td><td>SON-VAR-MF3</td></tr>\n"), std::string::npos);
  EXPECT_NE(fresh.find("<tr><td>FATsecs</td><td>" + std::to_string(fs->geometry().FATsecs) + "</td></tr>\n"),
            std::string::npos);
  EXPECT_EQ(fresh.find("Root Directory Content"), std::string::npos);
}

}  // namespace
}  // namespace sondesk::test
