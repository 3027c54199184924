#include "app/ProfileFile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "app/AtomicFile.h"

#include "tests/support/TempDir.h"

namespace sondesk {
namespace {

using test::ReadFile;
using test::TempDir;
using test::WriteFile;

TEST(ProfileFile, SectionsAndKeysMatchWithoutCaseAndValuesAreTrimmed) {
  TempDir dir;
  const std::string ini = dir / "a.ini";
  WriteFile(ini, "; comment\r\n[Settings]\r\n  CWD =  /home/x/songs  \r\nQuoted=\"a b\"\r\n[version]\r\nlanguage=3\r\n");
  EXPECT_EQ(GetPrivateProfileString(ini, "SETTINGS", "cwd", "none"), "/home/x/songs");
  EXPECT_EQ(GetPrivateProfileString(ini, "Settings", "Quoted", ""), "a b");
  EXPECT_EQ(GetPrivateProfileInt(ini, "Version", "LANGUAGE", 0), 3);
  EXPECT_EQ(GetPrivateProfileString(ini, "Settings", "missing", "dflt"), "dflt");
  EXPECT_EQ(GetPrivateProfileString(ini, "Nowhere", "CWD", "dflt"), "dflt");
  // A fixed buffer of 5 holds four characters.
  EXPECT_EQ(GetPrivateProfileString(ini, "Settings", "CWD", "", 5), "/hom");
}

TEST(ProfileFile, IntegersAreReadFromTheirLeadingSignAndDigits) {
  TempDir dir;
  const std::string ini = dir / "a.ini";
  WriteFile(ini, "[S]\na=12abc\nb=abc\nc=-7\nd=\ne=+5\nf= 42 \n");
  EXPECT_EQ(GetPrivateProfileInt(ini, "S", "a", 9), 12);
  EXPECT_EQ(GetPrivateProfileInt(ini, "S", "b", 9), 0);
  EXPECT_EQ(GetPrivateProfileInt(ini, "S", "c", 9), -7);
  EXPECT_EQ(GetPrivateProfileInt(ini, "S", "d", 9), 9);
  EXPECT_EQ(GetPrivateProfileInt(ini, "S", "e", 9), 5);
  EXPECT_EQ(GetPrivateProfileInt(ini, "S", "f", 9), 42);
  EXPECT_EQ(GetPrivateProfileInt(ini, "S", "zz", 9), 9);
}

TEST(ProfileFile, WritingOneKeyKeepsEveryOtherByte) {
  TempDir dir;
  const std::string ini = dir / "a.ini";
  const std::string before =
      "; SonDesk\r\n[Version]\r\nlanguage=1\r\n\r\n[Settings]\r\nInstallpath=C:\\SONDESK\r\nCWD=C:\\SONGS\r\n"
      "; note\r\n[Other]\r\nx=1";
  WriteFile(ini, before);
  ASSERT_TRUE(WritePrivateProfileString(ini, "settings", "cwd", std::string("D:\\NEW")));
  std::string expected = before;
  expected.replace(expected.find("C:\\SONGS"), 8, "D:\\NEW");
  EXPECT_EQ(ReadFile(ini), expected);

  // A new key joins the end of its section, with the file's own line ends.
  ASSERT_TRUE(WriteProfileInt(ini, "Settings", "CurrentLpt", 1));
  EXPECT_NE(ReadFile(ini).find("CWD=D:\\NEW\r\nCurrentLpt=1\r\n; note"), std::string::npos);
  // A new section goes at the end; the last line gets its missing line end first.
  ASSERT_TRUE(WriteProfileInt(ini, "PATH", "n", 2));
  EXPECT_NE(ReadFile(ini).find("x=1\r\n[PATH]\r\nn=2\r\n"), std::string::npos);
  // Removing a key.
  ASSERT_TRUE(WritePrivateProfileString(ini, "Other", "x", std::nullopt));
  EXPECT_EQ(ReadFile(ini).find("x=1"), std::string::npos);
}

TEST(ProfileFile, WritingCreatesAMissingFileAndFailsInAMissingFolder) {
  TempDir dir;
  EXPECT_TRUE(WriteProfileInt(dir / "new.ini", "Version", "language", 2));
  EXPECT_EQ(ReadFile(dir / "new.ini"), "[Version]\nlanguage=2\n");
  EXPECT_FALSE(WriteProfileInt(dir / "no/such/folder.ini", "Version", "language", 2));
}

TEST(ProfileFile, StructsCarryHexBytesAndAChecksum) {
  TempDir dir;
  const std::string ini = dir / "a.ini";
  std::vector<std::uint8_t> bytes(40);
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<std::uint8_t>(i * 7);
  ASSERT_TRUE(WritePrivateProfileStruct(ini, "ListSettings", "List1_Width", bytes));
  const std::string text = GetPrivateProfileString(ini, "ListSettings", "List1_Width", "");
  EXPECT_EQ(text.size(), 82u);
  EXPECT_EQ(text.substr(0, 6), "00070E");
  unsigned sum = 0;
  for (auto b : bytes) sum += b;
  char tail[3];
  std::snprintf(tail, sizeof tail, "%02X", sum & 0xFF);
  EXPECT_EQ(text.substr(80), tail);
  EXPECT_EQ(GetPrivateProfileStruct(ini, "ListSettings", "List1_Width", 40), bytes);
  // A wrong size, a damaged checksum or a non-hex digit read as "cannot be read".
  EXPECT_FALSE(GetPrivateProfileStruct(ini, "ListSettings", "List1_Width", 39));
  std::string damaged = text;
  damaged[81] = damaged[81] == '0' ? '1' : '0';
  ASSERT_TRUE(WritePrivateProfileString(ini, "ListSettings", "List1_Width", damaged));
  EXPECT_FALSE(GetPrivateProfileStruct(ini, "ListSettings", "List1_Width", 40));
  EXPECT_FALSE(DecodeProfileStruct("0G00", 1));
}

TEST(ProfileFile, GarbageOverlongLinesAndNoFinalNewlineAreReadWithoutLoss) {
  TempDir dir;
  const std::string ini = dir / "a.ini";
  std::string garbage("\x01\xFF\x00\x80[[]]=\n", 10);
  garbage += "[Settings]\nCWD=/songs\n";
  garbage += std::string(100000, 'x') + "\n";
  garbage += std::string("bin\0ary=\x02\x03\n", 11);
  garbage += "CheckCategory=0";  // no newline at the end
  WriteFile(ini, garbage);
  EXPECT_EQ(GetPrivateProfileString(ini, "Settings", "CWD", ""), "/songs");
  EXPECT_EQ(GetPrivateProfileInt(ini, "Settings", "CheckCategory", 1), 0);
  ASSERT_TRUE(WriteProfileInt(ini, "Settings", "CheckInterpret", 0));
  const std::string after = ReadFile(ini);
  // Everything that was there is still there, in order.
  EXPECT_EQ(after.substr(0, garbage.size()), garbage.substr(0, garbage.size()));
  EXPECT_EQ(after, garbage + "\nCheckInterpret=0\n");
}

// A settings file that is a device or a pipe: /dev/zero once made every command die of bad_alloc and a
// FIFO with no writer hung every command. Both now read as an absent file and refuse to be replaced.
TEST(ProfileFile, ADeviceOrAPipeIsNeverReadNorReplaced) {
  TempDir dir;
  const std::string zero = dir / "zero.ini";
  ASSERT_EQ(::symlink("/dev/zero", zero.c_str()), 0);
  const std::string fifo = dir / "fifo.ini";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  for (const std::string& ini : {zero, fifo}) {
    SCOPED_TRACE(ini);
    EXPECT_EQ(GetPrivateProfileString(ini, "Settings", "CWD", "dflt"), "dflt");
    EXPECT_EQ(GetPrivateProfileInt(ini, "Version", "language", 7), 7);
    EXPECT_TRUE(ReadProfileEntries(ini).empty());
    EXPECT_FALSE(ProfileFileProblem(ini).empty());
    EXPECT_FALSE(WritePrivateProfileString(ini, "Settings", "CWD", std::string("/x")));
  }
  struct stat st {};
  ASSERT_EQ(::lstat(zero.c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
  ASSERT_EQ(::lstat(fifo.c_str(), &st), 0);
  EXPECT_TRUE(S_ISFIFO(st.st_mode));
}

TEST(ProfileFile, AHugeFileIsNotASettingsFile) {
  TempDir dir;
  const std::string ini = dir / "big.ini";
  WriteFile(ini, "[Settings]\nCWD=/x\n" + std::string(2u << 20, ';'));
  EXPECT_EQ(GetPrivateProfileString(ini, "Settings", "CWD", "dflt"), "dflt");
  EXPECT_FALSE(WritePrivateProfileString(ini, "Settings", "CWD", std::string("/y")));
  EXPECT_EQ(ReadFile(ini).size(), 2u * 1024 * 1024 + 18);
  EXPECT_TRUE(ProfileFileProblem(dir / "absent.ini").empty());
}

TEST(WholeFileReads, OnlyRegularFilesWithinTheCap) {
  TempDir dir;
  std::string out = "untouched";
  EXPECT_FALSE(ReadWholeFile("/dev/zero", out));
  EXPECT_FALSE(ReadWholeFile(dir.path(), out));
  const std::string fifo = dir / "pipe";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_FALSE(ReadWholeFile(fifo, out));
  WriteFile(dir / "f", std::string(100, 'a'));
  EXPECT_FALSE(ReadWholeFile(dir / "f", out, 99));
  EXPECT_EQ(out, "untouched");
  EXPECT_TRUE(ReadWholeFile(dir / "f", out, 100));
  EXPECT_EQ(out.size(), 100u);
  EXPECT_EQ(OpenRegularFile(fifo), nullptr);
}

}  // namespace
}  // namespace sondesk
