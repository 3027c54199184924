#include "app/Settings.h"

#include <gtest/gtest.h>

#include "app/ProfileFile.h"
#include "tests/support/TempDir.h"

namespace sondesk {
namespace {

using test::ReadFile;
using test::TempDir;
using test::WriteFile;

TEST(Settings, AFileWithOnlyInstallpathGivesTheDefaults) {
  TempDir dir;
  WriteFile(dir / "Sondesk.INI", "[Settings]\nInstallpath=/opt/sondesk\n");
  Settings s(dir / "Sondesk.INI");
  s.Load();
  EXPECT_EQ(s.language, 0);
  EXPECT_EQ(s.cwd, "/opt/sondesk");
  EXPECT_EQ(s.expd, "/opt/sondesk");
  EXPECT_EQ(s.left, 0);
  EXPECT_EQ(s.top, 0);
  EXPECT_EQ(s.width, 640);
  EXPECT_EQ(s.height, 480);
  EXPECT_EQ(s.checkInterpret, 1);
  EXPECT_EQ(s.checkCategory, 1);
  EXPECT_EQ(s.askInternet, 1);
  EXPECT_EQ(s.currentLpt, 0);
  EXPECT_EQ(s.forceDbSettings, 0);
  EXPECT_EQ(s.flashDrive, "Nessuno");
  EXPECT_EQ(s.importPath, "A:");
  EXPECT_EQ(s.list1Width, kDefaultColumnWidths);
  // The card list's starting set, repaired where it is below 4.
  const ColumnWidths card = {200, 200, 200, 96, 100, 100, 100, 100, 0, 0};
  EXPECT_EQ(s.list2Width, card);
}

TEST(Settings, OutOfRangeWidthsComeBackAsTheDefaultOfTheirColumn) {
  TempDir dir;
  Settings s(dir / "Sondesk.INI");
  ColumnWidths w = {3, 251, 4, 250, 10, 10, 10, 10, 10, 10};
  ASSERT_TRUE(s.WriteWidths("List1_Width", w));
  const std::string raw = GetPrivateProfileString(s.iniPath(), "ListSettings", "List1_Width", "");
  EXPECT_EQ(raw.size(), 82u);
  EXPECT_EQ(s.list1Width[0], 200);
  EXPECT_EQ(s.list1Width[1], 200);
  EXPECT_EQ(s.list1Width[2], 4);
  EXPECT_EQ(s.list1Width[3], 250);
  // Columns that report no width are saved as the default set's.
  const ColumnWidths saved = Settings::WidthsForSaving({0, 5, 0, 0, 0, 0, 0, 0, 0, 0});
  EXPECT_EQ(saved[0], 200);
  EXPECT_EQ(saved[1], 5);
  EXPECT_EQ(saved[3], 96);
}

TEST(Settings, ADamagedChecksumFallsBackToTheDefaults) {
  TempDir dir;
  Settings s(dir / "Sondesk.INI");
  ASSERT_TRUE(s.WriteWidths("List1_Width", {10, 20, 30, 40, 50, 60, 70, 80, 90, 100}));
  std::string raw = GetPrivateProfileString(s.iniPath(), "ListSettings", "List1_Width", "");
  raw[80] = raw[80] == 'F' ? 'E' : 'F';
  ASSERT_TRUE(WritePrivateProfileString(s.iniPath(), "ListSettings", "List1_Width", raw));
  s.Load();
  EXPECT_EQ(s.list1Width, kDefaultColumnWidths);
}

TEST(Settings, SetThenGetRoundTripsAndLeavesTheRestOfTheFile) {
  TempDir dir;
  const std::string before = "[Version]\r\nlanguage=2\r\n[Settings]\r\nInstallpath=/p\r\n; mine\r\nFoo=bar\r\n";
  WriteFile(dir / "Sondesk.INI", before);
  Settings s(dir / "Sondesk.INI");
  s.Load();
  std::string error;
  ASSERT_TRUE(s.SetText("settings", "checkinterpret", "0", error)) << error;
  EXPECT_EQ(s.GetText("Settings", "CheckInterpret"), "0");
  EXPECT_EQ(s.checkInterpret, 0);
  EXPECT_EQ(ReadFile(dir / "Sondesk.INI"), before + "CheckInterpret=0\r\n");
  ASSERT_TRUE(s.SetText("ListSettings", "List2_Width", "1 2 3 4 5 6 7 8 9 10", error));
  EXPECT_EQ(s.GetText("ListSettings", "List2_Width"), "200 200 200 4 5 6 7 8 9 10");
  EXPECT_EQ(s.GetText("Settings", "CWD"), "/p");
  EXPECT_FALSE(s.SetText("Settings", "CurrentLpt", "one", error));
  EXPECT_FALSE(s.SetText("ListSettings", "List1_Width", "1 2 3", error));
  EXPECT_FALSE(s.SetText("Nope", "Nothing", "1", error));
  EXPECT_FALSE(s.GetText("Nope", "Nothing"));
}

TEST(Settings, WritingOneKeyLeavesEveryOtherValueHeldInMemory) {
  TempDir dir;
  WriteFile(dir / "Sondesk.INI", "[Settings]\nFlashdrive=/media/card\n");
  Settings s(dir / "Sondesk.INI");
  s.Load();
  // Values this run holds without the file: folders chosen at start, a drive set aside.
  s.installPath = "/run/program";
  s.cwd = "/run/library";
  s.flashDrive = kNoDrive;
  s.checkCategory = 0;
  ASSERT_TRUE(s.WriteString("PATH", "ImportPath", "/home/me/songs"));
  ASSERT_TRUE(s.WriteInt("Settings", "AskInternet", 0));
  ASSERT_TRUE(s.WriteWidths("List2_Width", {3, 20, 30, 40, 50, 60, 70, 80, 90, 100}));
  EXPECT_EQ(s.installPath, "/run/program");
  EXPECT_EQ(s.cwd, "/run/library");
  EXPECT_EQ(s.flashDrive, kNoDrive);
  EXPECT_EQ(s.checkCategory, 0);
  // The written keys changed, in memory and in the file, with the reading rules applied.
  EXPECT_EQ(s.importPath, "/home/me/songs");
  EXPECT_EQ(s.askInternet, 0);
  EXPECT_EQ(s.list2Width[3], 40);
  EXPECT_EQ(s.list2Width[0], 200);
  EXPECT_EQ(GetPrivateProfileString(s.iniPath(), "Settings", "Flashdrive", ""), "/media/card");
  EXPECT_EQ(GetPrivateProfileString(s.iniPath(), "Settings", "Installpath", "none"), "none");
  ASSERT_TRUE(s.WriteString("Settings", "CWD", "  \"/quoted\"  "));
  EXPECT_EQ(s.cwd, "/quoted");
}

TEST(Settings, AKeyThatCannotBeWrittenStillHoldsForThisRun) {
  TempDir dir;
  WriteFile(dir / "plain-file", "x");
  // A folder that is a file: no write can succeed, whoever runs the test.
  Settings s(dir / "plain-file/Sondesk.INI");
  s.Load();
  s.cwd = "/run/library";
  EXPECT_FALSE(s.WriteInt("Settings", "CheckInterpret", 0));
  EXPECT_FALSE(s.WriteString("Settings", "Flashdrive", "/media/cf"));
  EXPECT_EQ(s.checkInterpret, 0);
  EXPECT_EQ(s.flashDrive, "/media/cf");
  EXPECT_EQ(s.cwd, "/run/library");
}

}  // namespace
}  // namespace sondesk
