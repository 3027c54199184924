#include "catalogue/CardService.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "cardfs/CardFileSystem.h"
#include "catalogue/CardCatalogue.h"
#include "catalogue/CatalogueCheck.h"
#include "emulator/CardImage.h"
#include "tests/catalogue/CatalogueFixture.h"

namespace sondesk::test {
namespace {

std::size_t EntriesIn(const std::string& folder) {
  std::size_t n = 0;
  for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(folder)) ++n;
  return n;
}

class CardServiceTest : public CatalogueTest {
 protected:
  CardServiceTest() {
    // Nothing of the build tree named: the service finds the boot template by itself.
    session->SetProgramDir(tmp / "program");
    session->linkMode = LinkMode::NoCard;
    session->settings().flashDrive = kNoDrive;
  }
  CardService service{*session};
};

TEST_F(CardServiceTest, ReaderFormatAsksNamingTheDriveAndWritesTheWholeCatalogue) {
  std::string error;
  EXPECT_FALSE(service.UseReader("", error));  // no card drive anywhere
  ASSERT_TRUE(service.UseReader(cardDir, error)) << error;
  EXPECT_EQ(session->linkMode, LinkMode::CardReader);
  WriteFile(CardPath(kRootFolder, "OLD.TXT"), "x");
  session->card.push_back(CardSong(7, "Old"));

  ui.boxAnswers.push_back(BoxAnswer::No);
  EXPECT_EQ(service.Format(), 0);
  EXPECT_TRUE(IsFile(CardPath(kRootFolder, "OLD.TXT")));
  EXPECT_EQ(session->card.size(), 1u);
  ASSERT_EQ(ui.boxes.size(), 1u);
  EXPECT_NE(ui.boxes[0].text.find(cardDir), std::string::npos);

  EXPECT_EQ(service.Format(), 1);
  EXPECT_FALSE(IsFile(CardPath(kRootFolder, "OLD.TXT")));
  EXPECT_TRUE(session->card.empty());
  // Eight index files, SETUP.DAT, PLAYLIST.LST, 16 playlists and 31 song folders.
  EXPECT_EQ(EntriesIn(cardDir), 57u);
  EXPECT_EQ(service.Check(), 1);
  std::filesystem::remove(CardPath(kRootFolder, "INDEX3.DAT"));
  EXPECT_EQ(service.Check(), 0);
  EXPECT_EQ(ReadBytes(CardPath(kRootFolder, "INDEX3.DAT")), std::vector<std::uint8_t>(32, 0));
  EXPECT_EQ(service.Load(), 1);
  // The settings file never learnt of this run's card drive.
  Settings onDisk(session->settings().iniPath());
  onDisk.Load();
  EXPECT_EQ(onDisk.flashDrive, kNoDrive);
}

TEST_F(CardServiceTest, ACardThatNeverHadAFileSystemIsFormattedWithoutMountingFirst) {
  const std::string image = tmp / "card.img";
  std::string error;
  ASSERT_TRUE(CreateBlankCardImage(image, 16, error)) << error;
  ASSERT_TRUE(service.OpenPlayer(image, "", error)) << error;
  session->linkMode = LinkMode::Player;
  EXPECT_FALSE(service.playerConnected());
  EXPECT_EQ(service.Format(), 1);
  // One question, the format's own: the mount never offered a second format.
  ASSERT_EQ(ui.boxes.size(), 1u);
  EXPECT_EQ(ui.boxes[0].text, session->Text(123));
  ASSERT_TRUE(service.playerConnected());
  ASSERT_NE(service.fileSystem(), nullptr);
  EXPECT_TRUE(service.fileSystem()->mounted());
  EXPECT_EQ(CatalogueComplete(service.catalogue()), 1);
  EXPECT_EQ(service.Check(), 1);
  // The format's report went to the user's program folder, not to where the program was started.
  EXPECT_TRUE(IsFile(session->paths().programDir + "/FormatFresh.html") ||
              IsFile(session->programDir() + "/FormatFresh.html"));

  // Released, the same card mounts again with its catalogue.
  service.Release();
  EXPECT_FALSE(service.playerOpen());
  ASSERT_TRUE(service.ConnectPlayer(image, "", error)) << error;
  EXPECT_EQ(service.Load(), 1);
  EXPECT_TRUE(session->card.empty());
}

TEST_F(CardServiceTest, AnImageThatCannotBeOpenedIsToldAndLeavesNothingOpen) {
  std::string error;
  EXPECT_FALSE(service.ConnectPlayer(tmp / "missing.img", "", error));
  EXPECT_FALSE(error.empty());
  EXPECT_FALSE(service.playerOpen());
  EXPECT_EQ(service.Format(), 0);
  EXPECT_EQ(service.Check(), -1);
}

// The desktop program's card writes go through the service: a card another program is writing is
// refused by name, and free again once that program is gone.
TEST_F(CardServiceTest, AWriteWaitsForNoOtherWriterAndIsRefusedWhileOneHoldsTheCard) {
  std::string error;
  ASSERT_TRUE(service.UseReader(cardDir, error)) << error;
  ::setenv("SONDESK_LOCK_WAIT_MS", "200", 1);
  int toChild[2], fromChild[2];
  ASSERT_EQ(::pipe(toChild), 0);
  ASSERT_EQ(::pipe(fromChild), 0);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    std::string why;
    auto held = WriteLock::Acquire(cardDir, "the card", why);
    char c = held ? 'y' : 'n';
    (void)!::write(fromChild[1], &c, 1);
    (void)!::read(toChild[0], &c, 1);
    ::_exit(0);
  }
  char c = 0;
  ASSERT_EQ(::read(fromChild[0], &c, 1), 1);
  ASSERT_EQ(c, 'y');
  std::unique_ptr<WriteLock> lock;
  EXPECT_FALSE(service.BeginWrite(lock, error));
  EXPECT_EQ(lock, nullptr);
  EXPECT_NE(error.find("is being changed by another"), std::string::npos) << error;
  (void)!::write(toChild[1], "x", 1);
  int status = 0;
  ::waitpid(child, &status, 0);
  EXPECT_TRUE(service.BeginWrite(lock, error)) << error;
  EXPECT_NE(lock, nullptr);
  ::unsetenv("SONDESK_LOCK_WAIT_MS");
}

}  // namespace
}  // namespace sondesk::test
