// The desktop entries standing in for the shell links: what they start, where they go, and that
// the removal takes them all back.
#include <gtest/gtest.h>

#include "app/Paths.h"
#include "setup/Installer.h"
#include "tests/support/TempDir.h"
#include "uninstall/Shortcuts.h"

namespace sondesk::test {
namespace {

ShellFolders Folders(const TempDir& dir) {
  ShellFolders f;
  f.desktop = dir / "Desktop";
  f.applications = dir / "share/applications";
  f.mimePackages = dir / "share/mime/packages";
  return f;
}

TEST(Shortcuts, EntriesStartTheInstalledProgramsEvenFromAPathWithBlanksAndQuotes) {
  const std::string p = "/home/u/My \"Songs\" $HOME/SonDesk";
  for (const ShortcutEntry& e : ShortcutTable()) {
    const std::string text = DesktopEntryText(e, p);
    const std::vector<std::string> command = DesktopEntryCommand(text);
    ASSERT_FALSE(command.empty()) << e.linkName;
    EXPECT_EQ(command[0], p + "/" + e.workFile) << text;
    EXPECT_NE(text.find("Name=" + std::string(e.linkName) + "\n"), std::string::npos);
    EXPECT_NE(text.find("Comment=SonDesk\n"), std::string::npos);
  }
  EXPECT_NE(DesktopEntryText(ShortcutTable()[0], p).find("MimeType=audio/midi;audio/x-midi;audio/x-sondesk-mf3;"),
            std::string::npos);
  EXPECT_EQ(DesktopEntryCommand("[Desktop Entry]\nExec=prog --pause %f\n"), (std::vector<std::string>{"prog", "--pause"}));
  EXPECT_EQ(DesktopEntryCommand("Exec=\"/a b/prog\" 100%%\n"), (std::vector<std::string>{"/a b/prog", "100%"}));
}

TEST(Shortcuts, NoToTheDesktopQuestionStillMakesTheMenuEntries) {
  TempDir dir;
  const ShellFolders f = Folders(dir);
  CreateInstallShortcuts(f, "/p", false, {});
  EXPECT_TRUE(IsFile(f.ProgramGroup() + "/SonDesk.desktop"));
  EXPECT_TRUE(IsFile(f.ProgramGroup() + "/DiagView.desktop"));
  EXPECT_TRUE(IsFile(f.ProgramGroup() + "/Uninstall SonDesk.desktop"));
  EXPECT_FALSE(IsFolder(f.desktop));
  EXPECT_TRUE(IsFile(f.mimePackages + "/sondesk-mf3.xml"));
}

TEST(Shortcuts, YesPutsOnlyTheDesktopEntriesOnTheDesktopAndRemovalTakesAllBack) {
  TempDir dir;
  const ShellFolders f = Folders(dir);
  const std::string svg = "<svg/>";
  CreateInstallShortcuts(f, "/p", true, std::vector<std::uint8_t>(svg.begin(), svg.end()));
  EXPECT_TRUE(IsFile(f.desktop + "/SonDesk.desktop"));
  EXPECT_TRUE(IsFile(f.desktop + "/DiagView.desktop"));
  EXPECT_FALSE(IsFile(f.desktop + "/Uninstall SonDesk.desktop"));
  EXPECT_TRUE(IsFile(dir / "share/icons/hicolor/scalable/apps/sondesk.svg"));
  WriteFile(f.desktop + "/mine.txt", std::string("the user's"));
  RemoveShortcuts(f);
  EXPECT_FALSE(IsFile(f.desktop + "/SonDesk.desktop"));
  EXPECT_FALSE(IsFile(f.desktop + "/DiagView.desktop"));
  EXPECT_FALSE(IsFolder(f.ProgramGroup()));
  EXPECT_FALSE(IsFile(f.mimePackages + "/sondesk-mf3.xml"));
  EXPECT_FALSE(IsFile(dir / "share/icons/hicolor/scalable/apps/sondesk.svg"));
  EXPECT_TRUE(IsFile(f.desktop + "/mine.txt"));
}

TEST(Shortcuts, TheGroupFolderStaysWhileItHoldsSomethingElse) {
  TempDir dir;
  const ShellFolders f = Folders(dir);
  CreateInstallShortcuts(f, "/p", false, {});
  WriteFile(f.ProgramGroup() + "/other.desktop", std::string("[Desktop Entry]\n"));
  RemoveShortcuts(f);
  EXPECT_TRUE(IsFile(f.ProgramGroup() + "/other.desktop"));
  EXPECT_FALSE(IsFile(f.ProgramGroup() + "/SonDesk.desktop"));
}

}  // namespace
}  // namespace sondesk::test
