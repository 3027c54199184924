// summidi on catalogues that are whole, damaged in ways it may repair, and damaged in ways it
// must only report; the repaired file is read back by the manager's own reader.
#include <gtest/gtest.h>

#include "app/Paths.h"
#include "library/DbaseTable.h"
#include "tests/support/TempDir.h"
#include "tools/Summidi.h"

namespace sondesk::test {
namespace {

// A dBASE III table with the fields CODICE (12) and TITOLO (20), its header correct.
std::vector<std::uint8_t> Table(const std::vector<std::pair<std::string, std::string>>& rows, bool padAfterEnd = false) {
  std::vector<std::uint8_t> b(32, 0);
  b[0] = 0x03;
  auto field = [&](const char* name, std::uint8_t len) {
    std::vector<std::uint8_t> d(32, 0);
    for (std::size_t i = 0; name[i]; ++i) d[i] = static_cast<std::uint8_t>(name[i]);
    d[11] = 'C';
    d[16] = len;
    b.insert(b.end(), d.begin(), d.end());
  };
  field("CODICE", 12);
  field("TITOLO", 20);
  b.push_back(0x0D);
  if (padAfterEnd) b.push_back(0x00);
  const std::uint16_t headerLen = static_cast<std::uint16_t>(b.size());
  for (const auto& [code, title] : rows) {
    b.push_back(' ');
    std::string c = code, t = title;
    c.resize(12, ' ');
    t.resize(20, ' ');
    b.insert(b.end(), c.begin(), c.end());
    b.insert(b.end(), t.begin(), t.end());
  }
  b.push_back(0x1A);
  b[4] = static_cast<std::uint8_t>(rows.size());
  b[8] = static_cast<std::uint8_t>(headerLen);
  b[9] = static_cast<std::uint8_t>(headerLen >> 8);
  b[10] = 33;
  return b;
}

TEST(Summidi, AWholeCatalogueIsLeftAlone) {
  TempDir dir;
  for (bool pad : {false, true}) {
    const auto table = Table({{"A.MID", "One"}, {"B.MID", "Two"}}, pad);
    WriteFile(dir / "SUMMIDI.DAT", table);
    const SummidiReport r = CheckSongCatalogue(dir / "SUMMIDI.DAT", {});
    EXPECT_TRUE(r.findings.empty()) << (r.findings.empty() ? "" : r.findings[0]);
    EXPECT_EQ(r.records, 2u);
    EXPECT_TRUE(r.backupPath.empty());
    EXPECT_EQ(ReadBytes(dir / "SUMMIDI.DAT"), table);
  }
}

TEST(Summidi, RepairsTheHeaderACutRecordAndLowerCaseCodesKeepingABackup) {
  TempDir dir;
  auto table = Table({{"a.mid", "One"}, {"B.MID", "Two"}});
  const std::vector<std::uint8_t> original = table;
  table[4] = 9;     // record count
  table[10] = 40;   // record length
  table.pop_back(); // end mark
  table.insert(table.end(), {' ', 'C', '.', 'M'});  // a third record cut off
  WriteFile(dir / "SUMMIDI.DAT", table);
  const SummidiReport r = CheckSongCatalogue(dir / "SUMMIDI.DAT", {});
  EXPECT_EQ(r.remaining, 0);
  EXPECT_EQ(r.repaired, 5) << ::testing::PrintToString(r.findings);
  EXPECT_EQ(ReadBytes(r.backupPath), table);
  auto fixed = original;
  fixed[33 + 32 * 1 + 2] = 'A';  // first record's code, upper case
  fixed[33 + 32 * 1 + 2 + 1] = '.';
  const auto after = ReadBytes(dir / "SUMMIDI.DAT");
  ASSERT_EQ(after.size(), original.size());
  auto table2 = DbaseTable::Open(dir / "SUMMIDI.DAT");
  ASSERT_TRUE(table2);
  EXPECT_TRUE(table2->Find("A.MID", "CODICE")) << "the lookup key is upper case";
  std::string title;
  table2->GetField("TITOLO", title);
  EXPECT_EQ(title, "One");
  EXPECT_EQ(after[4], 2);
  EXPECT_EQ(after[10], 33);
  EXPECT_EQ(after.back(), 0x1A);
  // Run again: nothing left to do.
  EXPECT_TRUE(CheckSongCatalogue(dir / "SUMMIDI.DAT", {}).findings.empty());
}

TEST(Summidi, ReportsWhatItCannotRepairWithoutChangingTheFile) {
  TempDir dir;
  const auto table = Table({{"A.MID", "One"}, {"", "No code"}, {"A.MID", "Again"}, {"X.WAV", "Sound"}});
  WriteFile(dir / "SUMMIDI.DAT", table);
  MakeFolders(dir / "floppy");
  WriteFile(dir / "floppy/a.kar", std::string("MThd"));
  SummidiOptions options;
  options.songsDir = dir / "floppy";
  const SummidiReport r = CheckSongCatalogue(dir / "SUMMIDI.DAT", options);
  EXPECT_EQ(r.repaired, 0);
  std::string all;
  for (const std::string& f : r.findings) all += f + "\n";
  EXPECT_NE(all.find("record 2 names no song"), std::string::npos) << all;
  EXPECT_NE(all.find("record 3: code \"A.MID\" repeats record 1"), std::string::npos) << all;
  EXPECT_NE(all.find("record 4: code \"X.WAV\" does not end in .MID"), std::string::npos) << all;
  EXPECT_NE(all.find("song X.WAV is not in"), std::string::npos) << all;
  EXPECT_EQ(all.find("song A.MID is not in"), std::string::npos) << "found as a.kar: " << all;
  EXPECT_EQ(ReadBytes(dir / "SUMMIDI.DAT"), table);
}

TEST(Summidi, CheckOnlyChangesNothingAndUnreadableFilesAreRefused) {
  TempDir dir;
  auto table = Table({{"A.MID", "One"}});
  table[4] = 7;
  WriteFile(dir / "SUMMIDI.DAT", table);
  SummidiOptions check;
  check.repair = false;
  const SummidiReport r = CheckSongCatalogue(dir / "SUMMIDI.DAT", check);
  EXPECT_EQ(r.remaining, 1);
  EXPECT_EQ(ReadBytes(dir / "SUMMIDI.DAT"), table);
  EXPECT_FALSE(IsFile(dir / "SUMMIDI.DAT.bak"));

  WriteFile(dir / "short.dat", std::string("tiny"));
  EXPECT_TRUE(CheckSongCatalogue(dir / "short.dat", {}).unreadable);
  std::vector<std::uint8_t> noEnd(32 + 64, 0x41);  // descriptors that never end
  WriteFile(dir / "noend.dat", noEnd);
  EXPECT_TRUE(CheckSongCatalogue(dir / "noend.dat", {}).unreadable);
  EXPECT_EQ(ReadBytes(dir / "noend.dat"), noEnd);
  EXPECT_TRUE(CheckSongCatalogue(dir / "missing.dat", {}).unreadable);
}

}  // namespace
}  // namespace sondesk::test
