// The removal script as the uninstaller writes it and as the late sweep carries it out.
#include <gtest/gtest.h>

#include <fstream>

#include "app/Clock.h"
#include "app/Paths.h"
#include "app/ProfileFile.h"
#include "tests/support/TempDir.h"
#include "uninstall/RemovalScript.h"
#include "uninstall/Uninstaller.h"

namespace sondesk::test {
namespace {

class RecordingActions : public SweepActions {
 public:
  explicit RecordingActions(ManualClock& clock) : clock_(clock) {}
  void Beep() override { events.push_back("beep@" + std::to_string(clock_.NowMillis())); }
  void ShowBox(const std::string& text, const std::string& title, bool stopIcon) override {
    events.push_back((stopIcon ? "stop:" : "info:") + title + ":" + text);
  }
  std::vector<std::string> events;

 private:
  ManualClock& clock_;
};

TEST(RemovalScript, HoldsExactlyTheLinesOfTheRemovalInOrder) {
  const std::vector<std::string> expected = {
      "s 3000",
      "d /p/SONDESK.EXE",
      "d /p/SUMMIDI.EXE",
      "d /p/UNINSTALL.EXE",
      "d /w/SonDesk.INI",
      "d /p/GENERE.DAT",
      "d /p/ARTIST.DAT",
      "d /p/MIDI.DBF",
      "d /p/SONVAR.MHX",
      "d /p/INDEX0.DAT",
      "d /p/INDEX1.DAT",
      "d /p/INDEX2.DAT",
      "d /p/INDEX3.DAT",
      "d /p/INDEX4.DAT",
      "d /p/MBRPBR.DAT",
      "d /p/SETUP.DAT",
      "d /p/SETUPDEF.DAT",
      "r /p/Download",
      "r /p",
      "a The program has been completly removed from your System",
  };
  EXPECT_EQ(BuildRemovalScript("/p", "/w"), expected);
  TempDir dir;
  ASSERT_TRUE(WriteRemovalScript(dir / "s.dat", {"s 1", "r x"}));
  EXPECT_EQ(ReadFile(dir / "s.dat"), "s 1\nr x\n");
  EXPECT_FALSE(WriteRemovalScript(dir / "no/folder/s.dat", {"s 1"}));
}

TEST(RemovalScript, WithoutAnInstallPathTheQuestionAndScriptNameQuestionMarks) {
  TempDir dir;
  EXPECT_EQ(InstalledPath(dir.path()), "??");
  WriteFile(dir / "Sondesk.INI", std::string("[Settings]\nCWD=/x\n"));
  EXPECT_EQ(InstalledPath(dir.path()), "??");
  EXPECT_EQ(UninstallQuestion("??"), "Program path of your installation is:'" "??" "'\nDelete everything now?\n");
  EXPECT_EQ(BuildRemovalScript("??", "/w")[1], "d ?" "?/SONDESK.EXE");
  WriteFile(dir / "Sondesk.INI", std::string("[settings]\ninstallpath=/opt/SonDesk\n"));
  EXPECT_EQ(InstalledPath(dir.path()), "/opt/SonDesk");
}

TEST(Uninstall, CancelTouchesNothingAndStartsNoSweep) {
  TempDir dir;
  bool started = false;
  std::string asked;
  UninstallHooks hooks{[&](const std::string& q) {
                         asked = q;
                         return false;
                       },
                       [&] { started = true; }};
  EXPECT_EQ(RunUninstall(dir.path(), hooks), 0);
  EXPECT_EQ(asked, UninstallQuestion("??"));
  EXPECT_FALSE(started);
  EXPECT_FALSE(IsFile(dir / "_uninst_.dat"));
}

TEST(AfterSweep, WaitsBetweenTheTwoBeepsOfAnSLine) {
  TempDir dir;
  ManualClock clock;
  RecordingActions actions(clock);
  RunRemovalLine("s 500", dir.path(), actions, clock);
  EXPECT_EQ(actions.events, (std::vector<std::string>{"beep@0", "beep@500"}));
}

TEST(AfterSweep, KeepsADownloadFolderThatHoldsAFileAndSoTheProgramFolder) {
  TempDir dir;
  const std::string p = dir / "SonDesk", w = dir / "win";
  MakeFolders(p + "/Download");
  MakeFolders(w);
  WriteFile(p + "/SonDesk.EXE", std::string("x"));  // another case than the script's
  WriteFile(p + "/Artist.dat", std::string("x"));
  WriteFile(p + "/MIDI.DBF", std::string("x"));
  WriteFile(p + "/Download/00001.MF3", std::string("song"));
  WriteFile(w + "/Sondesk.INI", std::string("[Settings]\nInstallpath=" + p + "\n"));
  ASSERT_TRUE(WriteRemovalScript(w + "/_uninst_.dat", BuildRemovalScript(p, w)));
  ManualClock clock;
  RecordingActions actions(clock);
  EXPECT_EQ(RunAfterSweep(w, actions, clock), 1);
  EXPECT_FALSE(IsFile(p + "/SonDesk.EXE")) << "names match without regard to case";
  EXPECT_FALSE(IsFile(p + "/Artist.dat"));
  EXPECT_FALSE(IsFile(p + "/MIDI.DBF"));
  EXPECT_FALSE(IsFile(w + "/Sondesk.INI"));
  EXPECT_TRUE(IsFile(p + "/Download/00001.MF3"));
  EXPECT_TRUE(IsFolder(p));
  EXPECT_FALSE(IsFile(w + "/_uninst_.dat")) << "the script deletes itself";
  EXPECT_EQ(actions.events.front(), "beep@0");
  EXPECT_EQ(actions.events.back(), "info:Message:The program has been completly removed from your System");
  EXPECT_EQ(clock.NowMillis(), 3000u) << "the first line waits three seconds";
}

TEST(AfterSweep, EmptiedFoldersGoAndAMissingScriptIsNoError) {
  TempDir dir;
  const std::string p = dir / "P";
  MakeFolders(p + "/Download");
  ManualClock clock;
  RecordingActions actions(clock);
  WriteRemovalScript(dir / "_uninst_.dat", {"r " + p + "/Download", "r " + p, "x ignored", ""});
  EXPECT_EQ(RunAfterSweep(dir.path(), actions, clock), 1);
  EXPECT_FALSE(IsFolder(p));
  EXPECT_EQ(RunAfterSweep(dir.path(), actions, clock), 1) << "nothing to do, same exit code";
}

TEST(AfterSweep, ADeleteLineNeverRemovesAFolder) {
  TempDir dir;
  MakeFolders(dir / "keep");
  ManualClock clock;
  RecordingActions actions(clock);
  RunRemovalLine("d " + (dir / "keep"), dir.path(), actions, clock);
  EXPECT_TRUE(IsFolder(dir / "keep"));
}

TEST(AfterSweep, ALongLineIsOneCommandNotTwo) {
  // A fixed line buffer would cut this line after 255 characters and read its tail, which starts
  // with "d ", as a second command deleting the victim file.
  TempDir dir;
  WriteFile(dir / "victim", std::string("keep me"));
  std::string line = "a " + std::string(253, 'x') + "d " + (dir / "victim");
  ManualClock clock;
  RecordingActions actions(clock);
  WriteRemovalScript(dir / "_uninst_.dat", {line});
  RunAfterSweep(dir.path(), actions, clock);
  EXPECT_TRUE(IsFile(dir / "victim"));
  ASSERT_EQ(actions.events.size(), 2u);
  EXPECT_EQ(actions.events[1], "info:Message:" + line.substr(2));
}

TEST(AfterSweep, AGLineRemovesOneKeyOfAProfileFile) {
  TempDir dir;
  WriteFile(dir / "Sondesk.INI", std::string("[Settings]\nInstallpath=/p\nCWD=/p/Download\n[Web]\nCWD=keep\n"));
  ManualClock clock;
  RecordingActions actions(clock);
  RunRemovalLine("g \"Sondesk.INI\\Settings\"   CWD", dir.path(), actions, clock);
  EXPECT_EQ(ReadProfileEntries(dir / "Sondesk.INI").size(), 2u);
  EXPECT_EQ(GetPrivateProfileString(dir / "Sondesk.INI", "Settings", "CWD", "gone"), "gone");
  EXPECT_EQ(GetPrivateProfileString(dir / "Sondesk.INI", "Web", "CWD", ""), "keep");
  EXPECT_EQ(GetPrivateProfileString(dir / "Sondesk.INI", "Settings", "Installpath", ""), "/p");
  RunRemovalLine("g \"" + (dir / "sondesk.ini") + "\\SETTINGS\" installpath", dir.path(), actions, clock);
  EXPECT_EQ(GetPrivateProfileString(dir / "Sondesk.INI", "Settings", "Installpath", "gone"), "gone");
  RunRemovalLine("g \"nofile.ini\\S\" K", dir.path(), actions, clock);
  EXPECT_FALSE(IsFile(dir / "nofile.ini")) << "a missing file is not created";
  EXPECT_TRUE(actions.events.empty());
}

TEST(AfterSweep, AGLineWithoutItsClosingQuoteIsASyntaxError) {
  TempDir dir;
  WriteFile(dir / "Sondesk.INI", std::string("[Settings]\nCWD=/x\n"));
  ManualClock clock;
  RecordingActions actions(clock);
  RunRemovalLine("g \"Sondesk.INI\\Settings CWD", dir.path(), actions, clock);
  EXPECT_EQ(actions.events, (std::vector<std::string>{"stop:Syntax error:Syntax error in registry deletion"}));
  EXPECT_EQ(GetPrivateProfileString(dir / "Sondesk.INI", "Settings", "CWD", ""), "/x");
}

}  // namespace
}  // namespace sondesk::test
