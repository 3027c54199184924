// The installer's rules without its windows: the folder it proposes and how "Change" treats a
// chosen one, the settings and files it writes, and how it fails.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <map>

#include "app/Paths.h"
#include "app/ProfileFile.h"
#include "setup/Installer.h"
#include "setup/Szdd.h"
#include "tests/support/TempDir.h"

namespace sondesk::test {
namespace {

TEST(InstallPath, ChangeAddsSonDeskUnlessThePathNamesItAndKeepsTheCase) {
  EXPECT_EQ(WithSonDeskFolder("/media/d/TOOLS"), "/media/d/TOOLS/SonDesk");
  EXPECT_EQ(WithSonDeskFolder("/media/d/TOOLS/"), "/media/d/TOOLS/SonDesk");
  EXPECT_EQ(WithSonDeskFolder("/opt/Tools"), "/opt/Tools/SonDesk") << "letters keep their case";
  EXPECT_EQ(WithSonDeskFolder("/home/u/SONDESK"), "/home/u/SONDESK");
  EXPECT_EQ(WithSonDeskFolder("/home/u/my-sondesk-copy"), "/home/u/my-sondesk-copy");
  EXPECT_EQ(WithSonDeskFolder("/"), "/SonDesk");
}

TEST(InstallPath, ProposedFolderFollowsXdgDataHome) {
  const char* old = std::getenv("XDG_DATA_HOME");
  const std::string saved = old ? old : "";
  ::setenv("XDG_DATA_HOME", "/tmp/xdg-data", 1);
  EXPECT_EQ(ProposedInstallPath(), "/tmp/xdg-data/SonDesk");
  ::unsetenv("XDG_DATA_HOME");
  ::setenv("HOME", ::getenv("HOME") ? ::getenv("HOME") : "/root", 1);
  EXPECT_EQ(ProposedInstallPath(), std::string(::getenv("HOME")) + "/.local/share/SonDesk");
  if (old) ::setenv("XDG_DATA_HOME", saved.c_str(), 1);
}

TEST(InstallLanguages, GermanIsNotOffered) {
  for (int l : {0, 1, 2, 4}) EXPECT_TRUE(SetupOffersLanguage(l)) << l;
  for (int l : {-1, 3, 5}) EXPECT_FALSE(SetupOffersLanguage(l)) << l;
}

class InstallStepTest : public ::testing::Test {
 protected:
  InstallStepTest() {
    for (const InstallItem& item : InstallItems()) {
      if (item.optional) continue;
      const std::string text = std::string("content of ") + item.resource;
      std::vector<std::uint8_t> bytes(text.begin(), text.end());
      payload[item.resource] = item.compressed ? SzddCompress(bytes, 'F') : bytes;
    }
    target = {dir / "P", dir / "win", 4, dir / "Desktop"};
    report.error = [this](const std::string& text, const std::string& title) { errors.push_back(title + "|" + text); };
    report.progress = [this](int done, int total) { steps.emplace_back(done, total); };
  }
  PayloadReader Reader() {
    return [this](const std::string& name) -> std::optional<std::vector<std::uint8_t>> {
      auto it = payload.find(name);
      if (it == payload.end()) return std::nullopt;
      return it->second;
    };
  }
  std::string Ini() const { return target.windir + "/Sondesk.INI"; }

  TempDir dir;
  std::map<std::string, std::vector<std::uint8_t>> payload;
  InstallTarget target;
  InstallReport report;
  std::vector<std::string> errors;
  std::vector<std::pair<int, int>> steps;
};

TEST_F(InstallStepTest, WritesTheSettingsAndEveryFileInOrder) {
  ASSERT_TRUE(CreateInstallFolders(target.programDir));
  EXPECT_TRUE(IsFolder(target.programDir + "/Download"));
  ASSERT_TRUE(RunInstallStep(Reader(), target, MessageTable(4), report));
  EXPECT_TRUE(errors.empty());
  EXPECT_EQ(GetPrivateProfileString(Ini(), "Version", "number", ""), "v2.13");
  EXPECT_EQ(GetPrivateProfileString(Ini(), "Version", "language", ""), "4");
  EXPECT_EQ(GetPrivateProfileString(Ini(), "Options", "FirstTime", ""), "1");
  EXPECT_EQ(GetPrivateProfileString(Ini(), "Settings", "Installpath", ""), target.programDir);
  EXPECT_EQ(GetPrivateProfileString(Ini(), "Settings", "CWD", ""), target.programDir + "/Download");
  EXPECT_EQ(GetPrivateProfileString(Ini(), "PATH", "ImportPath", ""), target.desktop);

  EXPECT_EQ(ReadFile(target.programDir + "/MIDI.DBF"), "content of MIDI.DBF") << "expanded from its SZDD form";
  EXPECT_FALSE(IsFile(target.programDir + "/MIDI.DB_")) << "the compressed copy is deleted";
  EXPECT_EQ(ReadFile(target.programDir + "/Artist.dat"), "content of ARTIST.DAT");
  EXPECT_EQ(ReadFile(target.programDir + "/SETUPDEF.DAT"), "content of SETUP.DAT") << "the second resource wins";
  EXPECT_EQ(ReadFile(target.windir + "/AfterSweep.exe"), "content of AFTERSWEEP.EXE");
  EXPECT_FALSE(IsFile(target.programDir + "/SONVAR.MHX")) << "no firmware carried, none written";
  struct stat st{};
  ASSERT_EQ(::stat((target.programDir + "/SonDesk.EXE").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0755u);
  ASSERT_EQ(::stat((target.programDir + "/MBRPBR.DAT").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0644u);
  ASSERT_FALSE(steps.empty());
  EXPECT_EQ(steps.back().first, steps.back().second);
}

TEST_F(InstallStepTest, KeepsOtherSettingsAndFindsTheFileInAnyCase) {
  MakeFolders(target.windir);
  WriteFile(target.windir + "/SONDESK.ini", std::string("[Settings]\nFlashdrive=/media/cf\n"));
  CreateInstallFolders(target.programDir);
  ASSERT_TRUE(RunInstallStep(Reader(), target, MessageTable(1), report));
  EXPECT_FALSE(IsFile(Ini())) << "no second settings file beside the first";
  EXPECT_EQ(GetPrivateProfileString(target.windir + "/SONDESK.ini", "Settings", "Flashdrive", ""), "/media/cf");
  EXPECT_EQ(GetPrivateProfileString(target.windir + "/SONDESK.ini", "Version", "language", ""), "4");
}

TEST_F(InstallStepTest, AMissingResourceStopsTheStep) {
  payload.erase("UNINSTALL.EXE");
  CreateInstallFolders(target.programDir);
  EXPECT_FALSE(RunInstallStep(Reader(), target, MessageTable(1), report));
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_EQ(errors[0], "Error: Filecopy|Can't find resource attach 'UNINSTALL.EXE':'PlainExtract'\n");
  EXPECT_FALSE(IsFile(target.windir + "/AfterSweep.exe")) << "nothing after the missing file";
}

TEST_F(InstallStepTest, ACatalogueThatIsNoSzddFileFailsAsAnLzReadError) {
  const std::string text = "plain bytes";
  payload["MIDI.DBF"] = std::vector<std::uint8_t>(text.begin(), text.end());
  CreateInstallFolders(target.programDir);
  EXPECT_FALSE(RunInstallStep(Reader(), target, MessageTable(1), report));
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_EQ(errors[0], "Error LZ Read|Can't open " + target.programDir + "/MIDI.DB_ for reading");
}

TEST_F(InstallStepTest, AnUnwritableTargetIsReportedAndTheStepGoesOn) {
  CreateInstallFolders(target.programDir);
  MakeFolders(target.programDir + "/SUMMIDI.EXE");  // a folder where the file should go
  EXPECT_TRUE(RunInstallStep(Reader(), target, MessageTable(1), report));
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_EQ(errors[0], "Error: Filecopy|Can't create '" + target.programDir + "/SUMMIDI.EXE'\n");
  EXPECT_TRUE(IsFile(target.windir + "/AfterSweep.exe"));
}

TEST(InstallConfirm, FillsPathAndProductAsUtf8) {
  EXPECT_EQ(InstallConfirmText(MessageTable(1), "/home/u/SonDesk"),
            "The files will be installed on:\n'/home/u/SonDesk'\nPress OK to install SonDesk 2.13.\n"
            "Press Cancel to stop installation.");
  EXPECT_NE(InstallConfirmText(MessageTable(4), "/x").find("instalar"), std::string::npos);
}

}  // namespace
}  // namespace sondesk::test
