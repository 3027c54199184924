#include "catalogue/CardService.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "cardfs/CardFileSystem.h"
#include "catalogue/CardCatalogue.h"
#include "catalogue/CatalogueCheck.h"
#include "catalogue/CardTransfers.h"
#include "catalogue/Playlists.h"
#include "cardfs/DirEntry.h"
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

// The first cluster of a song file on the mounted card.
std::uint32_t FirstClusterOf(CardFileSystem& fs, unsigned song) {
  DirEntryRef ref;
  if (!fs.FindEntry(std::to_string(SongFolderOf(song)), SongFileName11(static_cast<int>(song)), ref)) return 0;
  return ref.entry.firstCluster;
}

// A chain that runs into a cluster the FAT calls free, or into another file's chain, means the
// FAT no longer says which clusters are taken: a write (a song, a deletion, a recovery, even a
// playlist) would hand out clusters another file still holds. The card stays readable but is
// written again only after a format.
TEST_F(CardServiceTest, AChainIntoAFreeOrForeignClusterLeavesTheCardReadOnlyUntilFormatted) {
  const std::string image = tmp / "card.img";
  std::string error;
  ASSERT_TRUE(CreateBlankCardImage(image, 16, error)) << error;
  ASSERT_TRUE(service.OpenPlayer(image, "", error)) << error;
  session->linkMode = LinkMode::Player;
  ASSERT_EQ(service.Format(), 1);
  session->SetLibraryDir(libraryDir);
  for (const char* title : {"Alpha", "Beta", "Gamma"}) AddLibrarySong(std::string(title) + ".MF3", title);
  ASSERT_EQ(CopySongsToCard(*service.CatalogueNow(), {0, 1, 2}), 1);
  service.Release();
  const std::vector<std::uint8_t> healthy = ReadBytes(image);

  struct Damage {
    const char* name;
    const char* problem;  // what the check says of it
  };
  for (const Damage& damage : {Damage{"free", "which the FAT calls free"}, Damage{"foreign", "shares cluster"}}) {
    SCOPED_TRACE(damage.name);
    WriteFile(image, healthy);
    ASSERT_TRUE(service.ConnectPlayer(image, "", error)) << error;
    CardFileSystem& fs = *service.fileSystem();
    const std::uint32_t first0 = FirstClusterOf(fs, 0), first1 = FirstClusterOf(fs, 1);
    ASSERT_GE(first0, 2u);
    ASSERT_GE(first1, 2u);
    fs.SetFatEntry(first0, std::string(damage.name) == "free" ? kFatFree : static_cast<std::uint16_t>(first1));
    ASSERT_EQ(fs.FlushFat(), 1);
    service.Release();
    const std::vector<std::uint8_t> damaged = ReadBytes(image);

    // Mounted afresh, the card lists its songs...
    ASSERT_TRUE(service.ConnectPlayer(image, "", error)) << error;
    ASSERT_EQ(service.Load(), 1);
    EXPECT_EQ(session->card.size(), 3u);
    // ...but before a recovery or any other write it is refused, with the damage and the advice.
    std::string problem;
    EXPECT_EQ(service.CheckWritable(problem), 0);
    EXPECT_NE(problem.find(damage.problem), std::string::npos) << problem;
    std::unique_ptr<WriteLock> lock;
    EXPECT_FALSE(service.BeginWrite(lock, error));
    EXPECT_EQ(lock, nullptr);  // refused, the card is free for the format
    EXPECT_NE(error.find("the card's file system is damaged (" + problem + ")"), std::string::npos) << error;
    EXPECT_NE(error.find("then format the card"), std::string::npos) << error;
    // A playlist change passes the same check.
    Catalogue& cat = *service.CatalogueNow();
    ReadTitleIndexImage(cat);
    ReadPlaylistIndex(cat);
    PlaylistEdit edit;
    ASSERT_EQ(LoadPlaylist(cat, cat.playlists.slots[0].baseName, edit), 1);
    ui.boxes.clear();
    EXPECT_EQ(AddSongsToPlaylist(cat, edit, {0}, 0), 0);
    EXPECT_TRUE(edit.songs.empty());
    EXPECT_TRUE(ui.ShownContaining("the card's file system is damaged"));
    EXPECT_EQ(ReadBytes(image), damaged);

    // The format is what mends it.
    EXPECT_TRUE(service.BeginWrite(lock, error, /*format=*/true)) << error;
    ASSERT_EQ(service.Format(), 1);
    lock.reset();
    EXPECT_TRUE(service.BeginWrite(lock, error)) << error;
    service.Release();
  }
}

}  // namespace
}  // namespace sondesk::test
