#include <gtest/gtest.h>

#include "library/NameLists.h"
#include "tests/library/LibraryTestSupport.h"

namespace sondesk::test {
namespace {

TEST(NameLists, DigitsTest) {
  EXPECT_FALSE(PassesDigitsTest("1999 PARTY"));
  EXPECT_FALSE(PassesDigitsTest("A1BC"));     // a digit in second place
  EXPECT_TRUE(PassesDigitsTest("ABCD1999"));  // digits only after the fourth character
  EXPECT_TRUE(PassesDigitsTest(""));
  EXPECT_FALSE(PassesDigitsTest("7"));
  EXPECT_TRUE(PassesDigitsTest("AB"));
}

TEST(NameLists, ReadingTrimsAndCandidatesMatchWords) {
  TempDir tmp;
  WriteFile(tmp / "Artist.dat", "  THE BEATLES \r\nABBA\r\n\r\n\tQUEEN\nTHE WHO");
  const auto lines = ReadNameList(tmp / "Artist.dat");
  EXPECT_EQ(lines, (std::vector<std::string>{"THE BEATLES", "ABBA", "QUEEN", "THE WHO"}));
  EXPECT_TRUE(NameListHas(lines, " ABBA "));
  EXPECT_FALSE(NameListHas(lines, "Abba"));  // exact, case-sensitive
  EXPECT_EQ(NameListCandidates(lines, "THE ROLLING STONES"),
            (std::vector<std::string>{"THE BEATLES", "THE WHO"}));
  EXPECT_EQ(NameListCandidates(lines, "QUEEN  II"), (std::vector<std::string>{"QUEEN"}));  // no empty word
  EXPECT_TRUE(NameListCandidates(lines, "").empty());
  EXPECT_TRUE(ReadNameList(tmp / "missing.dat").empty());
}

TEST(NameLists, AppendNeverJoinsTheLastLine) {
  TempDir tmp;
  WriteFile(tmp / "a.dat", "ABBA");
  ASSERT_TRUE(AppendToNameList(tmp / "a.dat", "QUEEN"));
  EXPECT_EQ(ReadFile(tmp / "a.dat"), "ABBA\nQUEEN\n");
  ASSERT_TRUE(AppendToNameList(tmp / "new.dat", "FIRST"));  // a missing list is created
  EXPECT_EQ(ReadFile(tmp / "new.dat"), "FIRST\n");
  EXPECT_FALSE(AppendToNameList(tmp / "no/such/folder.dat", "X"));
}

class NameListConfirmation : public LibraryTest {};

TEST_F(NameListConfirmation, TypedNameIsAppendedAndPassesNextTime) {
  WriteFile(Prog("Artist.dat"), "THE BEATLES\nTHE WHO\n");
  // The check asks, the user confirms the typed name.
  auto name = CheckNameAgainstList(session(), ArtistListPath(session()), "  THE KINKS ");
  ASSERT_TRUE(name);
  EXPECT_EQ(*name, "THE KINKS");
  ASSERT_EQ(ui.nameListQuestions.size(), 1u);
  EXPECT_EQ(ui.nameListQuestions[0], "THE KINKS");
  EXPECT_EQ(ReadFile(Prog("Artist.dat")), "THE BEATLES\nTHE WHO\nTHE KINKS\n");
  // Next time it is in the list: no question.
  EXPECT_EQ(CheckNameAgainstList(session(), ArtistListPath(session()), "THE KINKS"), "THE KINKS");
  EXPECT_EQ(ui.nameListQuestions.size(), 1u);

  // A name picked from the list is not appended again; a cancel gives nothing.
  ui.nameListAnswers.push_back({true, " THE WHO ", true});
  EXPECT_EQ(CheckNameAgainstList(session(), ArtistListPath(session()), "WHO"), "THE WHO");
  ui.nameListAnswers.push_back({false, "", false});
  EXPECT_FALSE(CheckNameAgainstList(session(), ArtistListPath(session()), "NOBODY"));
  EXPECT_EQ(ReadFile(Prog("Artist.dat")), "THE BEATLES\nTHE WHO\nTHE KINKS\n");
}

TEST_F(NameListConfirmation, AShippedListIsCopiedBeforeANameIsAdded) {
  // The program folder holds no list yet: the shipped one (here the build's) is read, and the first
  // confirmed name goes into the user's copy, never into the shipped file.
  std::remove(Prog("Artist.dat").c_str());
  const std::string shipped = std::string(SONDESK_PROGRAM_DIR) + "/Artist.dat";
  const std::string before = ReadFile(shipped);
  ASSERT_EQ(ArtistListPath(session()), shipped);
  auto name = CheckNameAgainstList(session(), ArtistListPath(session()), "SOMEONE NEW 1234");
  ASSERT_TRUE(name);
  EXPECT_EQ(ReadFile(shipped), before);
  ASSERT_TRUE(IsFile(Prog("Artist.dat")));
  EXPECT_EQ(ReadFile(Prog("Artist.dat")), before + (before.empty() || before.back() == '\n' ? "" : "\n") +
                                              "SOMEONE NEW 1234\n");
  // From now on the user's copy is the list.
  EXPECT_EQ(ArtistListPath(session()), Prog("Artist.dat"));
  EXPECT_EQ(CheckNameAgainstList(session(), ArtistListPath(session()), "SOMEONE NEW 1234"), "SOMEONE NEW 1234");
  EXPECT_EQ(ui.nameListQuestions.size(), 1u);
}

}  // namespace
}  // namespace sondesk::test
