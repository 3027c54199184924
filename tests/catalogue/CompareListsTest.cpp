#include "catalogue/CompareLists.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace sondesk {
namespace {

SongEntry Song(const char* title, const char* path) {
  SongEntry e;
  e.title = title;
  e.path = path;
  return e;
}

TEST(CompareLibraryAndCard, MarksTitlesOnBothListsExactly) {
  SongList library, card;
  library.push_back(Song("Volare", "/l/VOLARE.MF3"));
  library.push_back(Song("volare", "/l/v2.MF3"));
  library.push_back(Song("Solo", "/l/S.MF3"));
  card.push_back(Song("Volare", "00001.MF3"));
  card.push_back(Song("Other", "00002.MF3"));
  library[2].inBothLists = 1;  // a stale mark from an earlier comparison
  CompareLibraryAndCard(library, card);
  EXPECT_EQ(library[0].inBothLists, 1);  // same title, a different file
  EXPECT_EQ(library[1].inBothLists, 0);  // case counts
  EXPECT_EQ(library[2].inBothLists, 0);
  EXPECT_EQ(card[0].inBothLists, 1);
  EXPECT_EQ(card[1].inBothLists, 0);
  // A card that is gone leaves no song marked.
  SongList none;
  CompareLibraryAndCard(library, none);
  EXPECT_EQ(library[0].inBothLists, 0);
}

TEST(CompareLibraryAndCard, FullListsOnBothSides) {
  SongList library, card;
  char title[16];
  for (int i = 0; i < 16384; ++i) {
    std::snprintf(title, sizeof title, "SONG %05d", i);
    library.push_back(Song(title, ""));
    std::snprintf(title, sizeof title, "SONG %05d", i + 8192);
    card.push_back(Song(title, ""));
  }
  CompareLibraryAndCard(library, card);
  int both = 0;
  for (const SongEntry& e : library) both += e.inBothLists;
  EXPECT_EQ(both, 8192);
  EXPECT_EQ(card[0].inBothLists, 1);
  EXPECT_EQ(card[16383].inBothLists, 0);
}

}  // namespace
}  // namespace sondesk
