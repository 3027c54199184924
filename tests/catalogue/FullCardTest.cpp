// A card as users fill it: 5,000 songs on a card image through the program's own FAT16, then so
// little room left that one more song only just fits, or does not. The song and the eight index
// files that catalogue it go on the card together or not at all: a card left with a song but half
// an index set has the player miss the song and jump to wrong songs from its letter tables.

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <set>
#include <sstream>

#include "cardfs/CardFileSystem.h"
#include "catalogue/CardCatalogue.h"
#include "catalogue/CardService.h"
#include "catalogue/CardTransfers.h"
#include "emulator/CardImage.h"
#include "tests/catalogue/CatalogueFixture.h"

namespace sondesk::test {
namespace {

constexpr int kSongs = 5000;
const char* const kIndexNames[] = {"INDEX0.DAT", "INDEX1.DAT", "INDEX2.DAT", "INDEX3.DAT",
                                   "INDEX4.DAT", "ALPHA0.DAT", "ALPHA1.DAT", "ALPHA2.DAT"};

// Runs a shell command line; its standard output, and its exit status in `status`.
std::string RunShell(const std::string& command, int& status) {
  std::string out;
  std::FILE* p = ::popen(command.c_str(), "r");
  if (p == nullptr) {
    status = -1;
    return out;
  }
  char buffer[4096];
  std::size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, p)) > 0) out.append(buffer, n);
  const int raw = ::pclose(p);
  status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  return out;
}

std::uint64_t RoundUp(std::uint64_t bytes, std::uint64_t unit) {
  return (bytes + unit - 1) / unit * unit;
}

class FullCardTest : public CatalogueTest {
 protected:
  FullCardTest() {
    session->SetProgramDir(SONDESK_PROGRAM_DIR);
    session->settings().flashDrive = kNoDrive;
    session->linkMode = LinkMode::Player;
  }

  void Connect() {
    std::string error;
    ASSERT_TRUE(service.ConnectPlayer(image, "", error)) << error;
    cat = service.CatalogueNow();
    ASSERT_NE(cat, nullptr);
  }
  CardFileSystem& fs() { return *service.fileSystem(); }
  std::uint64_t FreeBytes() {
    std::uint64_t free = 0;
    std::uint32_t unit = 0;
    EXPECT_TRUE(cat->files().FreeSpace(free, unit));
    return free;
  }
  std::map<std::string, std::vector<std::uint8_t>> IndexSet() {
    std::map<std::string, std::vector<std::uint8_t>> set;
    for (const char* name : kIndexNames) EXPECT_TRUE(cat->files().ReadFile(kRootFolder, name, set[name])) << name;
    return set;
  }

  const std::string image = tmp / "card.img";
  CardService service{*session};
  Catalogue* cat = nullptr;
};

TEST_F(FullCardTest, FiveThousandSongsAndOneMoreOnANearlyFullCard) {
  // 32 MB: two sectors a cluster, so a song of a few hundred bytes takes 1,024 on the card.
  std::string error;
  ASSERT_TRUE(CreateBlankCardImage(image, 32, error)) << error;
  {
    ASSERT_TRUE(service.OpenPlayer(image, "", error)) << error;
    ASSERT_EQ(service.Format(), 1);  // asked, and answered Yes
    service.Release();
    ui.boxes.clear();
  }
  Connect();
  const std::uint32_t cluster = fs().geometry().ClusterBytes;
  ASSERT_EQ(cluster, 1024u);

  // The library: one small song, written again under 5,000 names and titles, all copied in one
  // transfer (no letter A among them: the song added last sorts first in every index).
  const std::vector<std::uint8_t> body = MakeSong("x", "x", "x", "", 200);
  for (int i = 0; i < kSongs; ++i) {
    const char letter = static_cast<char>('B' + i % 25);
    SongEntry e;
    e.path = JoinPath(libraryDir, Format("S%04d.MF3", i));
    e.title = Format("%c title %04d", letter, i);
    e.performer = Format("%c singer %d", letter, i % 97);
    e.category = Format("%c genre", letter);
    WriteFile(e.path, body);
    session->library.push_back(e);
  }
  std::vector<std::size_t> all(kSongs);
  for (std::size_t i = 0; i < all.size(); ++i) all[i] = i;
  ASSERT_EQ(CopySongsToCard(*cat, all), 1);
  ASSERT_EQ(session->card.size(), static_cast<std::size_t>(kSongs));
  ASSERT_TRUE(ui.boxes.empty()) << ui.boxes.front().text;
  service.Release();
  const std::vector<std::uint8_t> fiveThousand = ReadBytes(image);

  // The one more song, and what it needs: its clusters, the reserve, and the whole new index set
  // beside the old one (the old files go only once the new ones are complete).
  const std::string extraPath = JoinPath(libraryDir, "NEW.MF3");
  WriteFile(extraPath, MakeSong("AAA first of all", "AAA singer", "AAA genre", "NEW.MF3", 200));
  SongEntry extra;
  extra.path = extraPath;
  extra.title = "AAA first of all";
  extra.performer = "AAA singer";
  extra.category = "AAA genre";
  session->library.push_back(extra);
  const std::size_t extraIndex = session->library.size() - 1;
  const std::uint64_t after = kSongs + 1;
  std::uint64_t indexSet = 0;
  for (std::uint64_t bytes : {32 * (after + 1), 64 * after + 32, 64 * after + 32, 32 * (after + 1),
                              32 * (after + 1), std::uint64_t{52}, std::uint64_t{52}, std::uint64_t{52}}) {
    indexSet += RoundUp(bytes, cluster);
  }
  const std::uint64_t song = RoundUp(ReadBytes(extraPath).size(), cluster);
  const std::uint64_t needed = RoundUp(kCardSpaceReserve + kCardSpacePerSong + song + indexSet, cluster);

  struct Case {
    const char* what;
    std::uint64_t freeBytes;
    bool fits;
  };
  const Case cases[] = {
      // Room for the song and the reserve, and a little more: once the song went on and half the
      // index set failed.
      {"the reserve and the song", RoundUp(kCardSpaceReserve + kCardSpacePerSong + song, cluster) + 4 * cluster,
       false},
      {"one cluster short", needed - cluster, false},
      {"just enough", needed, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    WriteFile(image, fiveThousand);
    session->card.clear();
    Connect();
    ASSERT_EQ(LoadCardCatalogue(*cat), 1);
    ASSERT_EQ(session->card.size(), static_cast<std::size_t>(kSongs));
    // The rest of the card taken by one file of whole clusters.
    const std::uint64_t free = FreeBytes();
    ASSERT_GT(free, c.freeBytes);
    ASSERT_EQ(fs().WriteCardFileData("", "FILLER  BIN", std::vector<std::uint8_t>(free - c.freeBytes, 0xA5)), 1);
    ASSERT_EQ(FreeBytes(), c.freeBytes);
    const auto oldSet = IndexSet();
    service.Release();
    const std::vector<std::uint8_t> before = ReadBytes(image);

    Connect();
    ASSERT_EQ(LoadCardCatalogue(*cat), 1);
    ui.boxes.clear();
    const int copied = CopySongsToCard(*cat, {extraIndex});
    service.Release();
    if (!c.fits) {
      EXPECT_EQ(copied, 0);
      EXPECT_TRUE(ui.Shown("Space on Compact Flash insufficient"));
      EXPECT_TRUE(ReadBytes(image) == before) << "a refused song wrote to the card";
      continue;
    }
    ASSERT_EQ(copied, 1);
    EXPECT_TRUE(ui.boxes.empty()) << ui.boxes.front().text;
    // Mounted afresh: every index file is the new one, and the catalogue names 5,001 songs.
    session->card.clear();
    Connect();
    ASSERT_EQ(LoadCardCatalogue(*cat), 1);
    EXPECT_TRUE(ui.boxes.empty()) << ui.boxes.front().text;
    ASSERT_EQ(session->card.size(), static_cast<std::size_t>(kSongs + 1));
    const auto newSet = IndexSet();
    for (const char* name : kIndexNames) EXPECT_NE(newSet.at(name), oldSet.at(name)) << name << " is still the old one";
    EXPECT_EQ(newSet.at("INDEX0.DAT").size(), 32 * (after + 1));
    const auto added = std::find_if(session->card.begin(), session->card.end(),
                                    [](const SongEntry& e) { return e.title == "AAA first of all"; });
    ASSERT_NE(added, session->card.end());
    EXPECT_EQ(added->songNumber(), static_cast<unsigned>(kSongs));
    const std::uint32_t pbrLba = fs().geometry().PbrLba;
    service.Release();

    // Other systems' tools see a clean FAT16 holding the songs the catalogue names.
    const std::vector<std::uint8_t> whole = ReadBytes(image);
    const std::string partition = tmp / "partition.img";
    WriteFile(partition, std::vector<std::uint8_t>(whole.begin() + std::size_t{pbrLba} * 512, whole.end()));
    int status = 0;
    const std::string fsck = RunShell("fsck.fat -n '" + partition + "' 2>&1", status);
    EXPECT_EQ(status, 0) << fsck;

    const std::string mdir = RunShell("MTOOLS_SKIP_CHECK=1 mdir -/ -b -i '" + image + "@@" +
                                     std::to_string(std::uint64_t{pbrLba} * 512) + "' :: 2>&1",
                                 status);
    ASSERT_EQ(status, 0) << mdir;
    std::set<std::string> onCard;
    std::istringstream lines(mdir);
    for (std::string line; std::getline(lines, line);) {
      // "::/7/00007.MF3": a song file in its folder.
      const std::size_t slash = line.rfind('/');
      if (line.size() > 4 && line.compare(line.size() - 4, 4, ".MF3") == 0 && slash != std::string::npos && slash > 3)
        onCard.insert(line.substr(3));
    }
    const std::string listed = RunShell(std::string("'") + SONDESK_CLI + "' --windir '" + (tmp / "cliwin") +
                                       "' --lang 1 --quiet --image '" + image + "' card list",
                                   status);
    ASSERT_EQ(status, 0) << listed;
    std::set<std::string> inList;
    std::istringstream rows(listed);
    for (std::string row; std::getline(rows, row);) {
      const unsigned number = static_cast<unsigned>(std::stoul(row.substr(0, row.find('\t'))));
      inList.insert(std::to_string(SongFolderOf(number)) + "/" + SongFileName(number));
    }
    EXPECT_EQ(inList.size(), static_cast<std::size_t>(kSongs + 1));
    EXPECT_EQ(onCard, inList);
  }
}

}  // namespace
}  // namespace sondesk::test
