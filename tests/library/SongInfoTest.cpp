#include <gtest/gtest.h>

#include "library/SongInfo.h"
#include "tests/library/LibraryTestSupport.h"

namespace sondesk::test {
namespace {

class SongInfoTest : public LibraryTest {
 protected:
  void SetUp() override {
    LibraryTest::SetUp();
    WriteFile(Prog("Artist.dat"), "THE BEATLES\nABBA\n");
    WriteFile(Prog("genere.dat"), "POP\nROCK\n");
    WriteMf3Song(Lib("S.MF3"), {"(C) EMI", "HELP", "EMI", "LENNON", "THE BEATLES", "POP"}, "S");
    // A song of a few payload bytes: shorter than the 752 bytes the dialog reads.
    std::vector<std::uint8_t> bytes = ReadBytes(Lib("S.MF3"));
    for (int i = 0; i < 84; ++i) bytes.push_back(static_cast<std::uint8_t>(i));
    WriteFile(Lib("S.MF3"), bytes);
    original = bytes;
  }
  std::vector<std::uint8_t> original;
};

TEST_F(SongInfoTest, SaveWritesTheHeaderTextsOnly) {
  SongInfo info;
  ASSERT_EQ(ReadSongInfo(session(), Lib("S.MF3"), info), 0);
  EXPECT_EQ(info.fileName(), "S.MF3");
  SongInfoEdit edit = SongInfoEdit::From(info);
  EXPECT_EQ(edit.performer, "THE BEATLES");
  edit.title = std::string(40, 'H');
  edit.category = " ROCK ";
  edit.author = "MCCARTNEY";
  ASSERT_EQ(SaveSongInfo(session(), info, edit), SongInfoResult::Saved);
  EXPECT_TRUE(ui.nameListQuestions.empty());  // both names are in their lists
  const std::vector<std::uint8_t> now = ReadBytes(Lib("S.MF3"));
  ASSERT_EQ(now.size(), original.size());
  EXPECT_TRUE(std::equal(now.begin() + 512, now.end(), original.begin() + 512));
  const Mf3Texts t = ReadHeader(Lib("S.MF3")).Texts();
  EXPECT_EQ(t.title, std::string(31, 'H'));
  EXPECT_EQ(t.genre, "ROCK");
  EXPECT_EQ(t.author, "MCCARTNEY");
  EXPECT_EQ(t.copyright, "(C) EMI");
  EXPECT_EQ(ReadHeader(Lib("S.MF3")).FileNameText(), "S");

  session().library.push_back(SongEntry{});
  session().library[0].path = Lib("S.MF3");
  MarkSongEdited(session().library, Lib("S.MF3"), t);
  EXPECT_EQ(session().library[0].edited, 1);
  EXPECT_EQ(session().library[0].title, std::string(27, 'H'));
}

TEST_F(SongInfoTest, CancelledConfirmationKeepsTheDialogAndTheFile) {
  SongInfo info;
  ASSERT_EQ(ReadSongInfo(session(), Lib("S.MF3"), info), 0);
  SongInfoEdit edit = SongInfoEdit::From(info);
  edit.performer = "THE KINKS";
  ui.nameListAnswers.push_back({false, "", false});
  EXPECT_EQ(SaveSongInfo(session(), info, edit), SongInfoResult::StayOpen);
  EXPECT_EQ(ReadBytes(Lib("S.MF3")), original);

  // Confirmed the second time: saved, and the new performer is in the list for the next song.
  EXPECT_EQ(SaveSongInfo(session(), info, edit), SongInfoResult::Saved);
  EXPECT_EQ(ReadHeader(Lib("S.MF3")).Texts().performer, "THE KINKS");
  EXPECT_EQ(ReadFile(Prog("Artist.dat")), "THE BEATLES\nABBA\nTHE KINKS\n");
  EXPECT_EQ(ui.nameListQuestions.size(), 2u);
  EXPECT_EQ(SaveSongInfo(session(), info, edit), SongInfoResult::Saved);
  EXPECT_EQ(ui.nameListQuestions.size(), 2u);

  // With the checks switched off nothing is asked.
  session().settings().checkInterpret = 0;
  session().settings().checkCategory = 0;
  edit.performer = "NOBODY";
  edit.category = "NOTHING";
  EXPECT_EQ(SaveSongInfo(session(), info, edit), SongInfoResult::Saved);
  EXPECT_EQ(ui.nameListQuestions.size(), 2u);
}

TEST_F(SongInfoTest, NumericNamesAreWarnedAbout) {
  SongInfo info;
  ASSERT_EQ(ReadSongInfo(session(), Lib("S.MF3"), info), 0);
  SongInfoEdit edit = SongInfoEdit::From(info);
  edit.title = "1999";
  edit.category = "POP";
  ASSERT_EQ(SaveSongInfo(session(), info, edit), SongInfoResult::Saved);
  ASSERT_EQ(ui.warnings.size(), 1u);
  EXPECT_NE(ui.warnings[0].find("are numeric\nit will not be possible"), std::string::npos);
  EXPECT_NE(ui.warnings[0].find("Verify 1999"), std::string::npos);

  // After an import: the first failing text names the file, until the box is cleared once.
  session().numericNameWarning = true;
  ui.warnings.clear();
  ui.warningCheckAnswers.push_back(false);
  CheckImportedSongNames(session(), Lib("S.MF3"));
  CheckImportedSongNames(session(), Lib("S.MF3"));
  ASSERT_EQ(ui.warnings.size(), 1u);
  EXPECT_NE(ui.warnings[0].find("Verify " + Lib("S.MF3")), std::string::npos);
  EXPECT_FALSE(session().numericNameWarning);
  CheckImportedSongNames(session(), Lib("MISSING.MF3"));  // silently nothing
  EXPECT_TRUE(ui.boxes.empty());
}

}  // namespace
}  // namespace sondesk::test
