// The card reader's root folder, held open while access is claimed, and the temporaries that a set
// of root files cut short leaves in it.

#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include "catalogue/CardFiles.h"
#include "tests/catalogue/CatalogueFixture.h"

namespace sondesk::test {
namespace {

int OpenDescriptors() {
  int n = 0;
  for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator("/proc/self/fd")) ++n;
  return n;
}

class ReaderCardFilesTest : public CatalogueTest {};

TEST_F(ReaderCardFilesTest, NestedClaimsReadAndReplaceRootFilesAndCloseTheFolderOnce) {
  const int before = OpenDescriptors();
  std::vector<std::uint8_t> bytes;
  {
    CardAccess outer(*files);
    {
      CardAccess inner(*files);
      ASSERT_TRUE(files->ReplaceRootFilesTogether({{"PLAY1.PLL", {1, 0, 7, 0}}, {"PLAY2.PLL", {0, 0}}}));
    }
    // The inner release keeps the outer claim's folder: the files are still reached.
    ASSERT_TRUE(files->ReadFile(kRootFolder, "PLAY1.PLL", bytes));
    EXPECT_EQ(bytes, (std::vector<std::uint8_t>{1, 0, 7, 0}));
    ASSERT_TRUE(files->ReadFileStart(kRootFolder, "PLAY2.PLL", 1, bytes));
    EXPECT_EQ(bytes.size(), 1u);
    // A name with a folder in it is not looked up under the held root only by its last part.
    EXPECT_FALSE(files->ReadFile(kRootFolder, "nowhere/PLAY1.PLL", bytes));
  }
  EXPECT_EQ(OpenDescriptors(), before);
  EXPECT_EQ(CardBytes("PLAY2.PLL"), (std::vector<std::uint8_t>{0, 0}));
  // A release without a claim does nothing.
  files->ReleaseAccess();
  EXPECT_EQ(OpenDescriptors(), before);
}

TEST_F(ReaderCardFilesTest, ACardChangedBetweenClaimsIsReadAfresh) {
  ASSERT_TRUE(files->ReplaceRootFilesTogether({{"PLAY1.PLL", {1, 0, 1, 0}}}));
  std::vector<std::uint8_t> bytes;
  {
    CardAccess access(*files);
    ASSERT_TRUE(files->ReadFile(kRootFolder, "PLAY1.PLL", bytes));
  }
  // Another card in the reader: the folder is mounted anew at the same place.
  const std::string old = cardDir + ".old";
  std::filesystem::rename(cardDir, old);
  std::filesystem::create_directory(cardDir);
  WriteFile(CardPath(kRootFolder, "PLAY1.PLL"), std::vector<std::uint8_t>{1, 0, 9, 0});
  {
    CardAccess access(*files);
    ASSERT_TRUE(files->ReadFile(kRootFolder, "PLAY1.PLL", bytes));
    EXPECT_EQ(bytes, (std::vector<std::uint8_t>{1, 0, 9, 0}));
  }
  // No card at all: the claim holds nothing and the reads fail as before.
  std::filesystem::remove_all(cardDir);
  {
    CardAccess access(*files);
    EXPECT_FALSE(files->ReadFile(kRootFolder, "PLAY1.PLL", bytes));
    EXPECT_FALSE(files->ReplaceRootFilesTogether({{"PLAY1.PLL", {0, 0}}}));
  }
  std::filesystem::remove_all(old);
}

// A set cut short by a killed program leaves its temporaries on the card; the next set written
// removes those of programs that no longer run, and nothing else.
TEST_F(ReaderCardFilesTest, TheNextSetRemovesTemporariesLeftByAProgramThatIsGone) {
  const pid_t gone = ::fork();
  ASSERT_GE(gone, 0);
  if (gone == 0) ::_exit(0);
  ASSERT_EQ(::waitpid(gone, nullptr, 0), gone);
  const std::string dead = "PLAY1.PLL.tmp" + std::to_string(gone) + "_8";
  const std::string ours = "INDEX0.DAT.tmp" + std::to_string(::getpid()) + "_900";
  const std::string running = "PLAY2.PLL.tmp1_3";  // process 1 runs while the test does
  const std::vector<std::string> kept = {ours, running, "NOTES.tmp", "PLAY3.PLL.tmp12", "X.tmp5_", "SONG.tmp7_1a"};
  WriteFile(CardPath(kRootFolder, dead), std::string("half a playlist"));
  for (const std::string& name : kept) WriteFile(CardPath(kRootFolder, name), std::string("kept"));
  ASSERT_TRUE(files->ReplaceRootFilesTogether({{"PLAY1.PLL", {0, 0}}}));
  EXPECT_FALSE(std::filesystem::exists(CardPath(kRootFolder, dead)));
  for (const std::string& name : kept) EXPECT_TRUE(std::filesystem::exists(CardPath(kRootFolder, name))) << name;
  EXPECT_EQ(CardBytes("PLAY1.PLL"), (std::vector<std::uint8_t>{0, 0}));
}

}  // namespace
}  // namespace sondesk::test
