#include <gtest/gtest.h>

#include "library/Songbook.h"

namespace sondesk::test {
namespace {

std::vector<std::string> Titles(const Songbook& b, const std::vector<std::size_t>& order) {
  std::vector<std::string> v;
  for (std::size_t i : order) v.push_back(b.songs[i].title);
  return v;
}

TEST(SongbookTest, OrdersWithoutCaseOrAccentsAndFilesSignsFirst) {
  // "\xC9" is É in Windows-1252.
  const Songbook b = LayOutSongbook({{7, "zebra", "Bea", "-"},
                                     {3, "\xC9milie", "anna", "-"},
                                     {5, "99 Luftballons", "Nena", "-"},
                                     {1, "Ecco", "", "-"},
                                     {2, "  adagio", "Zoe", "-"}});
  EXPECT_EQ(Titles(b, b.byTitle),
            (std::vector<std::string>{"99 Luftballons", "  adagio", "Ecco", "\xC9milie", "zebra"}));
  // No performer files under "#", ahead of the letters.
  EXPECT_EQ(Titles(b, b.byPerformer),
            (std::vector<std::string>{"Ecco", "\xC9milie", "zebra", "99 Luftballons", "  adagio"}));
  EXPECT_EQ(SongbookInitial("\xC9milie"), "E");
  EXPECT_EQ(SongbookInitial("  adagio"), "A");
  EXPECT_EQ(SongbookInitial("99"), "#");
  EXPECT_EQ(SongbookInitial(""), "#");
  // Each part starts a page with its title, then one heading per initial.
  ASSERT_EQ(b.pages.size(), 2u);
  std::string headings;
  for (const SongbookLine& l : b.pages[0].lines) {
    if (l.kind == SongbookLineKind::Letter) headings += l.heading;
  }
  EXPECT_EQ(headings, "#AEZ");
  EXPECT_EQ(b.pages[0].lines.front().kind, SongbookLineKind::PartTitle);
  EXPECT_EQ(b.pages[1].part, 1);
}

TEST(SongbookTest, AHeadingNeverEndsAPage) {
  std::vector<SongbookSong> songs;
  for (unsigned i = 0; i < 40; ++i) songs.push_back({i, std::string(1, static_cast<char>('A' + i / 4)) + " song", "P", "-"});
  const int perPage = 7;
  const Songbook b = LayOutSongbook(songs, perPage);
  std::size_t songLines[2] = {0, 0};
  for (const SongbookPage& p : b.pages) {
    ASSERT_LE(p.lines.size(), static_cast<std::size_t>(perPage));
    EXPECT_NE(p.lines.back().kind, SongbookLineKind::Letter);
    for (const SongbookLine& l : p.lines) songLines[p.part] += l.kind == SongbookLineKind::Song ? 1 : 0;
  }
  EXPECT_EQ(songLines[0], 40u);
  EXPECT_EQ(songLines[1], 40u);
  // By title: 1 + 10 x (1 + 4) = 51 lines. A heading that would fall on a page's last line moves
  // on: pages 1-7 hold 7, 6, 7, 6, 7, 6, 7 lines, and the last 5: 8 pages.
  // By performer: 1 + 1 + 40 = 42 lines, 6 pages.
  EXPECT_EQ(b.pages.size(), 14u);
}

TEST(SongbookTest, AnEmptyListMakesNoPage) {
  EXPECT_TRUE(LayOutSongbook({}).pages.empty());
}

}  // namespace
}  // namespace sondesk::test
