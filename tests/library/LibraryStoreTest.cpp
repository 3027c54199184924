#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <sys/stat.h>

#include "library/LibraryStore.h"
#include "tests/library/LibraryTestSupport.h"

namespace sondesk::test {
namespace {

class LibraryStore : public LibraryTest {
 protected:
  void MakeSongs(int n) {
    for (int i = 0; i < n; ++i) {
      WriteMf3Song(Lib(Format("S%03d.MF3", i)), {"", Format("TITLE %d", i), "", "", "SINGER", "POP"});
    }
  }
};

TEST_F(LibraryStore, ReadsSongsInNameOrderWithTheirTexts) {
  WriteMf3Song(Lib("b.mf3"), {"", "BRAVO", "", "", "PERFORMER", "CATEGORY"});
  WriteMf3Song(Lib("A.MF3"), {"", std::string(31, 'T'), "", "", "", ""});
  WriteFile(Lib("C.MF3"), "not a song");  // listed without texts
  WriteFile(Lib("D.MID"), "ignored");
  ASSERT_EQ(::mkdir(Lib("E.MF3").c_str(), 0755), 0);  // a folder is not a song
  const LibraryReadResult r = ReadLibrary(session());
  EXPECT_EQ(r.listed, 3u);
  const SongList& list = session().library;
  ASSERT_EQ(list.size(), 3u);
  EXPECT_EQ(list[0].path, Lib("A.MF3"));
  EXPECT_EQ(list[0].title, std::string(27, 'T'));
  EXPECT_EQ(list[1].path, Lib("b.mf3"));
  EXPECT_EQ(list[1].title, "BRAVO");
  EXPECT_EQ(list[1].performer, "PERFORMER");
  EXPECT_EQ(list[1].category, "CATEGORY");
  EXPECT_EQ(list[1].fileSize, ReadBytes(Lib("b.mf3")).size());
  EXPECT_EQ(list[1].scanNumber, 1);
  EXPECT_EQ(list[1].listIndex, 1);
  EXPECT_EQ(list[1].numberText, "     1");
  EXPECT_EQ(list[2].title, "");
  EXPECT_EQ(list[2].fileSize, 10u);
  EXPECT_TRUE(ui.boxes.empty());
  EXPECT_EQ(ui.busyOn, 1);
  EXPECT_EQ(ui.busyOff, 1);
}

TEST_F(LibraryStore, ProgressWindowAboveFiftySongs) {
  MakeSongs(50);
  ReadLibrary(session());
  EXPECT_EQ(ui.progressOpens, 0);
  MakeSongs(51);
  ReadLibrary(session());
  EXPECT_EQ(ui.progressOpens, 1);
  EXPECT_EQ(ui.progressCloses, 1);
  EXPECT_EQ(ui.progressMaximum, 52u);
  EXPECT_EQ(ui.progressLines.front(), "1:");
  EXPECT_EQ(ui.progressLines.back(), "2:51 of 51");
  EXPECT_NE(std::find(ui.progressLines.begin(), ui.progressLines.end(), "1:Reading songs from Hard Disk..."),
            ui.progressLines.end());
}

// Hundreds of songs are read on every core; each entry must still get its own file's texts and
// size, and the counter must run in order.
TEST_F(LibraryStore, ManySongsReadTogetherKeepEachEntrysOwnHeader) {
  for (int i = 0; i < 400; ++i) {
    const std::string path = Lib(Format("M%03d.MF3", i));
    WriteMf3Song(path, {"", Format("TITLE %d", i), "", "", Format("SINGER %d", i), "POP"});
    // Sizes differ from song to song.
    std::FILE* f = std::fopen(path.c_str(), "ab");
    std::fwrite(std::string(static_cast<std::size_t>(i), 'x').data(), 1, static_cast<std::size_t>(i), f);
    std::fclose(f);
  }
  for (int round = 0; round < 3; ++round) {
    ui.progressLines.clear();
    ReadLibrary(session());
    ASSERT_EQ(session().library.size(), 400u);
    const std::uintmax_t base = std::filesystem::file_size(Lib("M000.MF3"));
    for (int i = 0; i < 400; ++i) {
      const SongEntry& e = session().library[static_cast<std::size_t>(i)];
      ASSERT_EQ(e.path, Lib(Format("M%03d.MF3", i)));
      EXPECT_EQ(e.title, Format("TITLE %d", i));
      EXPECT_EQ(e.performer, Format("SINGER %d", i));
      EXPECT_EQ(e.fileSize, base + static_cast<std::uintmax_t>(i));
    }
    std::vector<std::string> counter;
    for (const auto& l : ui.progressLines)
      if (l.rfind("2:", 0) == 0 && l.size() > 2) counter.push_back(l);
    ASSERT_EQ(counter.size(), 400u);
    for (int i = 0; i < 400; ++i) EXPECT_EQ(counter[static_cast<std::size_t>(i)], Format("2:%d of 400", i + 1));
  }
}

TEST_F(LibraryStore, UnreadableSongKeepsAnEntryAfterTheBox) {
  if (::geteuid() == 0) GTEST_SKIP() << "root reads every file";
  WriteMf3Song(Lib("LOCKED.MF3"), {"", "LOCKED", "", "", "", ""});
  ASSERT_EQ(::chmod(Lib("LOCKED.MF3").c_str(), 0), 0);
  ReadLibrary(session());
  ASSERT_EQ(session().library.size(), 1u);
  EXPECT_EQ(session().library[0].title, "");
  EXPECT_TRUE(ui.Shown("Cannot open " + Lib("LOCKED.MF3")));
}

TEST_F(LibraryStore, LongPathsStayWholeAndTheListStopsAtItsLimit) {
  const std::string deep = libDir + "/" + std::string(100, 'd') + "/" + std::string(60, 'e');
  ASSERT_TRUE(MakeFolders(deep));
  session().SetLibraryDir(deep);
  WriteMf3Song(deep + "/LONG.MF3", {"", "LONG", "", "", "", ""});
  ReadLibrary(session());
  ASSERT_EQ(session().library.size(), 1u);
  EXPECT_EQ(session().library[0].path, deep + "/LONG.MF3");
  EXPECT_GT(session().library[0].path.size(), 127u);
  EXPECT_EQ(session().library[0].title, "LONG");

  // More songs than the list holds: the first 16,384 in name order, and the user is told.
  session().SetLibraryDir(libDir);
  for (std::size_t i = 0; i <= kMaxListSongs; ++i) WriteFile(Lib(Format("%05zu.MF3", i)), "");
  const LibraryReadResult r = ReadLibrary(session());
  EXPECT_EQ(r.songFiles, kMaxListSongs + 1);
  EXPECT_EQ(r.listed, kMaxListSongs);
  ASSERT_EQ(session().library.size(), kMaxListSongs);
  EXPECT_EQ(session().library.entries().back().path, Lib("16383.MF3"));
  EXPECT_TRUE(ui.ShownContaining("Only the first 16384 are listed."));
}

TEST_F(LibraryStore, DeleteAsksAndGoesOnAfterAFailure) {
  MakeSongs(3);
  ReadLibrary(session());
  ui.boxAnswers.push_back(BoxAnswer::No);
  EXPECT_FALSE(DeleteLibrarySongs(session(), {0, 2}));
  EXPECT_TRUE(IsFile(Lib("S000.MF3")));
  ASSERT_FALSE(ui.boxes.empty());
  EXPECT_EQ(ui.boxes.back().title, "Delete songs from Hard Disk");
  EXPECT_NE(ui.boxes.back().text.find("Number of songs that will be deleted: 2"), std::string::npos);

  std::remove(Lib("S000.MF3").c_str());  // gone behind the list's back
  ui.boxes.clear();
  EXPECT_TRUE(DeleteLibrarySongs(session(), {0, 2}));
  EXPECT_FALSE(IsFile(Lib("S002.MF3")));
  EXPECT_TRUE(IsFile(Lib("S001.MF3")));
  EXPECT_TRUE(ui.Shown("Cannot Delete " + Lib("S000.MF3")));
  EXPECT_EQ(ui.boxes.back().title, "SONDESK - Error");
  EXPECT_FALSE(DeleteLibrarySongs(session(), {}));

  ReadLibrary(session());
  EXPECT_EQ(FindLibraryEntry(session(), "S001.MF3"), 0);
  EXPECT_EQ(FindLibraryEntry(session(), libDir + "/./S001.MF3"), 0);
  EXPECT_EQ(FindLibraryEntry(session(), "S002.MF3"), -1);
}

}  // namespace
}  // namespace sondesk::test
