#include <gtest/gtest.h>

#include "library/SongSearch.h"
#include "tests/library/LibraryTestSupport.h"

namespace sondesk::test {
namespace {

SongEntry Song(const std::string& title, const std::string& performer = "",
               const std::string& category = "") {
  SongEntry e;
  e.title = title;
  e.performer = performer;
  e.category = category;
  return e;
}

class SongSearch : public LibraryTest {
 protected:
  void SetUp() override {
    LibraryTest::SetUp();
    for (const auto& e : {Song("YESTERDAY"), Song("Yesterday Once More"), Song("HELP", "THE BEATLES"),
                          Song("OTHER", "", "LOVE SONGS")}) {
      pc.push_back(e);
    }
    for (const auto& e : {Song("LOVE ME DO"), Song("YESTERDAY")}) card.push_back(e);
  }
  SongList pc, card;
};

TEST_F(SongSearch, LowerCaseTextFindsCapitalsOnly) {
  MarkedSongList pcList(pc), cardList(card);
  SearchState state;
  EXPECT_EQ(SearchSelectAll(session(), state, "yesterday", pcList, cardList), 1u);
  EXPECT_EQ(pcList.SelectedItems(), (std::vector<std::size_t>{0}));  // not "Yesterday Once More"
  EXPECT_FALSE(cardList.selected(1));                                // Card not ticked

  state.card = true;
  state.title = false;  // performer and category only
  MarkedSongList pc2(pc), card2(card);
  EXPECT_EQ(SearchSelectAll(session(), state, "e", pc2, card2), 2u);
  EXPECT_EQ(pc2.SelectedItems(), (std::vector<std::size_t>{2, 3}));
  EXPECT_TRUE(card2.SelectedItems().empty());
}

TEST_F(SongSearch, NextWalksThroughBothListsAndRoundAgain) {
  MarkedSongList pcList(pc), cardList(card);
  SearchState state;
  state.card = true;
  state.Restart();
  ASSERT_TRUE(SearchNext(session(), state, "yesterday", pcList, cardList));
  EXPECT_EQ(pcList.focused(), 0);
  ASSERT_TRUE(SearchNext(session(), state, "yesterday", pcList, cardList));
  EXPECT_EQ(state.lastList, SearchListId::Card);
  EXPECT_EQ(cardList.focused(), 1);
  EXPECT_TRUE(pcList.SelectedItems().empty());  // each Next clears the marks of both lists
  ASSERT_TRUE(SearchNext(session(), state, "yesterday", pcList, cardList));  // round again
  EXPECT_EQ(state.lastList, SearchListId::Library);
  EXPECT_EQ(pcList.focused(), 0);
  EXPECT_TRUE(ui.boxes.empty());

  EXPECT_FALSE(SearchNext(session(), state, "nothing like it", pcList, cardList));
  ASSERT_EQ(ui.boxes.size(), 1u);
  EXPECT_EQ(ui.boxes[0].text, "Text not found.\nTry with other text.");
  EXPECT_EQ(ui.boxes[0].title, "SONDESK - Caution");
  EXPECT_EQ(ui.boxes[0].icon, BoxIcon::Warning);
}

TEST_F(SongSearch, NoListTickedIsRefused) {
  MarkedSongList pcList(pc), cardList(card);
  pcList.MarkHit(2);
  SearchState state;
  state.pc = state.card = false;
  EXPECT_FALSE(SearchNext(session(), state, "help", pcList, cardList));
  EXPECT_TRUE(pcList.SelectedItems().empty());
  EXPECT_EQ(SearchSelectAll(session(), state, "help", pcList, cardList), 0u);
  EXPECT_EQ(ui.CountShown("You must choose at least one list to search"), 2);
}

}  // namespace
}  // namespace sondesk::test
