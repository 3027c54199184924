#include "catalogue/CardService.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <set>

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
  // A card image formatted through the service and open as the player's card, with the library
  // songs of these titles beside it (not yet on the card).
  void OpenFormattedImage(const std::string& image, std::initializer_list<const char*> titles) {
    std::string error;
    ASSERT_TRUE(CreateBlankCardImage(image, 16, error)) << error;
    ASSERT_TRUE(service.OpenPlayer(image, "", error)) << error;
    session->linkMode = LinkMode::Player;
    ASSERT_EQ(service.Format(), 1);
    session->SetLibraryDir(libraryDir);
    for (const char* title : titles) AddLibrarySong(std::string(title) + ".MF3", title);
  }

  // Another program, the command line with a library of its own, copies Gamma, Delta and Epsilon to
  // the card reached by `reach`. Its exit status.
  int AnotherProgramCopiesThreeSongs(const std::string& reach) {
    const std::string other = tmp / "other";
    MakeFolders(other);
    for (const char* title : {"Gamma", "Delta", "Epsilon"})
      WriteFile(other + "/" + title + ".MF3", MakeSong(title, "-", "-", std::string(title) + ".MF3", 3000));
    const std::string cli = std::string("'") + SONDESK_CLI + "' --windir '" + (tmp / "cliwin") +
                            "' --lang 1 --quiet --yes --library '" + other + "' " + reach + " ";
    return std::system((cli + "card to --all >/dev/null").c_str());
  }
  // This program copies Alpha and Beta to the card reached by `reach`, another program then copies
  // three songs, and this one's next write is refused until it has read the card's list again;
  // then Zeta goes on beside them.
  void TakeTurnsWithAnotherProgram(const std::string& reach) {
    std::string error;
    std::unique_ptr<WriteLock> lock;
    ASSERT_TRUE(service.BeginWrite(lock, error)) << error;
    ASSERT_EQ(CopySongsToCard(*service.CatalogueNow(), {0, 1}), 1);
    lock.reset();
    // This program's own writes are no other program's.
    ASSERT_TRUE(service.BeginWrite(lock, error)) << error;
    lock.reset();

    ASSERT_EQ(AnotherProgramCopiesThreeSongs(reach), 0);

    EXPECT_FALSE(service.BeginWrite(lock, error));
    EXPECT_NE(error.find("changed by another program after its list was read"), std::string::npos) << error;
    EXPECT_EQ(lock, nullptr);
    ASSERT_EQ(service.Load(), 1);
    EXPECT_EQ(session->card.size(), 5u);
    ASSERT_TRUE(service.BeginWrite(lock, error)) << error;
    ASSERT_EQ(CopySongsToCard(*service.CatalogueNow(), {2}), 1);
  }
  std::set<std::string> CardTitles() const {
    std::set<std::string> titles;
    for (const SongEntry& e : session->card) titles.insert(e.title);
    return titles;
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

// Another program holding the card's write lock, in a process of its own, until it lets go.
class OtherWriter {
 public:
  explicit OtherWriter(const std::string& path) {
    if (::pipe(toChild_) != 0 || ::pipe(fromChild_) != 0) return;
    child_ = ::fork();
    if (child_ == 0) {
      std::string why;
      auto held = WriteLock::Acquire(path, "the card", why);
      char c = held ? 'y' : 'n';
      (void)!::write(fromChild_[1], &c, 1);
      (void)!::read(toChild_[0], &c, 1);
      ::_exit(0);
    }
    char c = 0;
    holds_ = child_ > 0 && ::read(fromChild_[0], &c, 1) == 1 && c == 'y';
  }
  ~OtherWriter() {
    LetGo();
    for (int fd : {toChild_[0], toChild_[1], fromChild_[0], fromChild_[1]}) ::close(fd);
  }
  void LetGo() {
    if (child_ <= 0) return;
    (void)!::write(toChild_[1], "x", 1);
    int status = 0;
    ::waitpid(child_, &status, 0);
    child_ = -1;
  }
  bool holds() const { return holds_; }

 private:
  int toChild_[2] = {-1, -1}, fromChild_[2] = {-1, -1};
  pid_t child_ = -1;
  bool holds_ = false;
};

class CardServiceLockTest : public CardServiceTest {
 protected:
  CardServiceLockTest() { ::setenv("SONDESK_LOCK_WAIT_MS", "200", 1); }
  ~CardServiceLockTest() override { ::unsetenv("SONDESK_LOCK_WAIT_MS"); }
};

// The desktop program's card writes go through the service: a card another program is writing is
// refused by name, and free again once that program is gone.
TEST_F(CardServiceLockTest, AWriteWaitsForNoOtherWriterAndIsRefusedWhileOneHoldsTheCard) {
  std::string error;
  ASSERT_TRUE(service.UseReader(cardDir, error)) << error;
  OtherWriter other(cardDir);
  ASSERT_TRUE(other.holds());
  std::unique_ptr<WriteLock> lock;
  EXPECT_FALSE(service.BeginWrite(lock, error));
  EXPECT_EQ(lock, nullptr);
  EXPECT_NE(error.find("is being changed by another"), std::string::npos) << error;
  other.LetGo();
  EXPECT_TRUE(service.BeginWrite(lock, error)) << error;
  EXPECT_NE(lock, nullptr);
}

// The writes that come with reading a card take the lock too: the missing pieces of a catalogue
// that a load creates, and the format a mount offers for a card without a file system.
TEST_F(CardServiceLockTest, TheWritesOfALoadOrAMountWaitForNoOtherWriter) {
  std::string error;
  ASSERT_TRUE(service.UseReader(cardDir, error)) << error;
  ASSERT_EQ(service.Format(), 1);
  std::filesystem::remove(CardPath(kRootFolder, "INDEX3.DAT"));
  {
    OtherWriter other(cardDir);
    ASSERT_TRUE(other.holds());
    ui.boxes.clear();
    EXPECT_EQ(service.Load(), 1);
    EXPECT_TRUE(ui.ShownContaining("is being changed by another"));
    EXPECT_FALSE(IsFile(CardPath(kRootFolder, "INDEX3.DAT")));
  }
  EXPECT_EQ(service.Load(), 1);
  EXPECT_TRUE(IsFile(CardPath(kRootFolder, "INDEX3.DAT")));

  const std::string image = tmp / "blank.img";
  ASSERT_TRUE(CreateBlankCardImage(image, 16, error)) << error;
  const std::vector<std::uint8_t> blank = ReadBytes(image);
  session->linkMode = LinkMode::Player;
  {
    OtherWriter other(image);
    ASSERT_TRUE(other.holds());
    ASSERT_TRUE(service.OpenPlayer(image, "", error)) << error;
    ui.boxes.clear();
    EXPECT_FALSE(service.MountPlayer(error));  // the format was offered, accepted, and refused
    EXPECT_TRUE(ui.ShownContaining("the card (" + image + ") is being changed by another"));
    EXPECT_TRUE(ReadBytes(image) == blank);
  }
  EXPECT_TRUE(service.MountPlayer(error)) << error;
  EXPECT_TRUE(service.fileSystem()->mounted());
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
  ASSERT_NO_FATAL_FAILURE(OpenFormattedImage(image, {"Alpha", "Beta", "Gamma"}));
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

// Another program (the command line) writes the card while this one has it mounted: before its
// next write this one reads the card again, so it neither writes its old FAT over the other's
// songs nor takes them for damage, and a write made from the old card list (which would rebuild the
// index without the other's songs) is refused until the list is read again.
TEST_F(CardServiceTest, AWriteSeesWhatAnotherProgramWroteMeanwhile) {
  const std::string image = tmp / "card.img";
  std::string error;
  ASSERT_NO_FATAL_FAILURE(OpenFormattedImage(image, {"Alpha", "Beta", "Zeta"}));
  ASSERT_NO_FATAL_FAILURE(TakeTurnsWithAnotherProgram("--image '" + image + "'"));
  service.Release();

  // The card is whole, with every song of both programs.
  ASSERT_TRUE(service.ConnectPlayer(image, "", error)) << error;
  std::string problem;
  EXPECT_EQ(service.CheckWritable(problem), 1) << problem;
  ASSERT_EQ(service.Load(), 1);
  EXPECT_EQ(CardTitles(), (std::set<std::string>{"Alpha", "Beta", "Gamma", "Delta", "Epsilon", "Zeta"}));
}

// The same through a card reader: there the card's own INDEX0.DAT, which every rebuild replaces,
// tells that another program has written the catalogue since this one read it.
TEST_F(CardServiceTest, AReaderCardWhoseCatalogueAnotherProgramRebuiltIsReadAgainBeforeAWrite) {
  std::string error;
  ASSERT_TRUE(service.UseReader(cardDir, error)) << error;
  ASSERT_EQ(service.Format(), 1);
  session->SetLibraryDir(libraryDir);
  for (const char* title : {"Alpha", "Beta", "Zeta"}) AddLibrarySong(std::string(title) + ".MF3", title);
  ASSERT_NO_FATAL_FAILURE(TakeTurnsWithAnotherProgram("--card '" + cardDir + "'"));

  ASSERT_EQ(service.Load(), 1);
  EXPECT_EQ(CardTitles(), (std::set<std::string>{"Alpha", "Beta", "Gamma", "Delta", "Epsilon", "Zeta"}));
}

}  // namespace
}  // namespace sondesk::test
