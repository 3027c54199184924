#include "app/FirstStart.h"

#include <gtest/gtest.h>

#include "app/ProfileFile.h"
#include "app/ScriptedUi.h"
#include "app/Session.h"
#include "app/ShippedData.h"
#include "tests/support/TempDir.h"

namespace sondesk {
namespace {

using test::ReadFile;
using test::TempDir;
using test::WriteFile;

Paths UserPaths(const TempDir& dir) {
  Paths p;
  p.windir = dir / "config";
  p.workDir = dir / "cache";
  p.dataDir = dir / "data";
  p.programDir = dir / "data/program";
  p.libraryDir = dir / "data/Library";
  MakeFolders(p.windir);
  return p;
}

TEST(FirstStart, TheLocaleNamesTheLanguageAndAnyOtherIsEnglish) {
  EXPECT_EQ(LanguageOfLocaleName("it_IT.UTF-8"), 0);
  EXPECT_EQ(LanguageOfLocaleName("fr_CA"), 2);
  EXPECT_EQ(LanguageOfLocaleName("de"), 3);
  EXPECT_EQ(LanguageOfLocaleName("es_ES@euro"), 4);
  EXPECT_EQ(LanguageOfLocaleName("en_GB.UTF-8"), 1);
  EXPECT_EQ(LanguageOfLocaleName("pt_BR.UTF-8"), 1);
  EXPECT_EQ(LanguageOfLocaleName("C.UTF-8"), 1);
  EXPECT_EQ(LanguageOfLocaleName("POSIX"), 1);
  EXPECT_EQ(LanguageOfLocaleName(""), 1);
  // "iT" is not a prefix of a longer code such as "ita".
  EXPECT_EQ(LanguageOfLocaleName("ita"), 1);
}

TEST(FirstStart, AnEmptySettingsFileGetsFoldersAndLanguageOnce) {
  TempDir dir;
  const Paths p = UserPaths(dir);
  const FirstStartKeys first = SetUpFirstStart(p, 2);
  EXPECT_TRUE(first.installPath && first.libraryDir && first.language);
  EXPECT_TRUE(IsFolder(p.programDir));
  EXPECT_TRUE(IsFolder(p.libraryDir));
  Settings s(p.IniPath());
  s.Load();
  EXPECT_EQ(s.installPath, p.programDir);
  EXPECT_EQ(s.cwd, p.libraryDir);
  EXPECT_EQ(s.language, 2);
  // The export folder keeps its old default, the program folder.
  EXPECT_EQ(s.expd, p.programDir);
  const std::string before = ReadFile(p.IniPath());
  EXPECT_FALSE(SetUpFirstStart(p, 3).Any());
  EXPECT_EQ(ReadFile(p.IniPath()), before);
}

TEST(FirstStart, KeysTheFileHoldsAreKept) {
  TempDir dir;
  const Paths p = UserPaths(dir);
  // An installer's file naming only its program folder.
  WriteFile(p.IniPath(), "[Settings]\r\nInstallpath=/opt/sondesk\r\n");
  const FirstStartKeys wrote = SetUpFirstStart(p, 1);
  EXPECT_FALSE(wrote.Any());
  Settings s(p.IniPath());
  s.Load();
  EXPECT_EQ(s.language, 0);
  EXPECT_EQ(s.installPath, "/opt/sondesk");
  // No library folder named: it has always been the program folder.
  EXPECT_EQ(s.cwd, "/opt/sondesk");
  EXPECT_FALSE(IsFolder(p.libraryDir));

  // An empty value names nothing and counts as missing; a library folder of the file stays.
  WriteFile(p.IniPath(), "[Settings]\nInstallpath=\nCWD=/songs\n");
  const FirstStartKeys second = SetUpFirstStart(p, 4);
  EXPECT_TRUE(second.installPath);
  EXPECT_FALSE(second.libraryDir);
  s.Load();
  EXPECT_EQ(s.installPath, p.programDir);
  EXPECT_EQ(s.cwd, "/songs");
  EXPECT_EQ(s.language, 4);
}

TEST(FirstStart, ASessionWithoutFoldersUsesTheUsersOwnForThisRun) {
  TempDir dir;
  const Paths p = UserPaths(dir);
  ScriptedUi ui;
  Session session(ui, p);
  ASSERT_TRUE(session.programDir().empty());
  UseUserFoldersWhereUnset(session);
  EXPECT_EQ(session.programDir(), p.programDir);
  EXPECT_EQ(session.libraryDir(), p.libraryDir);
  EXPECT_TRUE(IsFolder(p.libraryDir));
  // Nothing was written: the settings file is the first start's business.
  EXPECT_FALSE(IsFile(p.IniPath()));
}

TEST(ShippedData, TheSettingsFolderComesFirstThenTheUsersThenTheBuild) {
  TempDir dir;
  const Paths p = UserPaths(dir);
  ScriptedUi ui;
  Session session(ui, p);
  session.SetProgramDir(dir / "installpath");
  MakeFolders(dir / "installpath");
  MakeFolders(p.programDir);
  // Only the build tree has it.
  const std::string shipped = FindProgramFile(session, kBootTemplateName);
  ASSERT_FALSE(shipped.empty());
  EXPECT_EQ(ReadFile(shipped), ReadFile(std::string(SONDESK_PROGRAM_DIR) + "/MBRPBR.DAT"));
  WriteFile(p.programDir + "/MBRPBR.DAT", "user");
  EXPECT_EQ(FindProgramFile(session, kBootTemplateName), p.programDir + "/MBRPBR.DAT");
  WriteFile(dir / "installpath/MBRPBR.DAT", "settings");
  EXPECT_EQ(FindProgramFile(session, kBootTemplateName), dir / "installpath/MBRPBR.DAT");
  EXPECT_EQ(FindProgramFile(session, "NOSUCH.DAT"), "");
}

TEST(ShippedData, AFileToWriteIsCopiedFromTheShippedOneFirst) {
  TempDir dir;
  const Paths p = UserPaths(dir);
  ScriptedUi ui;
  Session session(ui, p);
  const std::string shipped = std::string(SONDESK_PROGRAM_DIR) + "/Artist.dat";
  const std::string before = ReadFile(shipped);
  // No program folder in the settings: the user's own takes the copy.
  const std::string target = ProgramFileForWriting(session, "Artist.dat");
  EXPECT_EQ(target, p.programDir + "/Artist.dat");
  EXPECT_EQ(ReadFile(target), before);
  WriteFile(target, before + "New Performer\n");
  EXPECT_EQ(FindProgramFile(session, "Artist.dat"), target);
  EXPECT_EQ(ProgramFileForWriting(session, "Artist.dat"), target);
  EXPECT_EQ(ReadFile(shipped), before);
  // A file nobody ships is simply named there.
  EXPECT_EQ(ProgramFileForWriting(session, "NOT-SHIPPED.html"), p.programDir + "/NOT-SHIPPED.html");
  EXPECT_FALSE(IsFile(p.programDir + "/NOT-SHIPPED.html"));
  // A settings folder that cannot be made (a file stands in its path) is passed over.
  WriteFile(dir / "blocker", "x");
  session.SetProgramDir(dir / "blocker/program");
  EXPECT_EQ(WritableProgramFolder(session), p.programDir);
}

}  // namespace
}  // namespace sondesk
