#include <gtest/gtest.h>
#include <sys/stat.h>

#include "library/LibraryStore.h"
#include "library/SongImport.h"
#include "tests/library/LibraryTestSupport.h"
#include "tests/support/MidiWriter.h"

namespace sondesk::test {
namespace {

class SongImport : public LibraryTest {
 protected:
  void SetUp() override {
    LibraryTest::SetUp();
    session().noTextWarning = false;  // the test songs carry no lyrics
    WriteFile(Prog("MIDI.DBF"), BuildDbf(CatalogueSpec({{"KNOWN.MID", "KNOWN FROM CATALOGUE", "AUTHOR",
                                                         "SINGER", "PUBLISHER", "POP"}})));
    WriteFile(Prog("Artist.dat"), "SINGER\n");
  }

  // A small song; a track name of more than 10 letters becomes the title of a short-named file.
  std::string Midi(const std::string& name, const std::string& trackName = "A SONG OF MY OWN",
                   const std::string& copyright = "(C) 2026 K-NOVA") {
    MidiWriter w(0, 480);
    w.Track().TrackName(0, trackName);
    if (!copyright.empty()) w.Copyright(0, copyright);
    w.NoteOn(0, 0, 60, 100).NoteOff(480, 0, 60);
    const std::string path = JoinPath(srcDir, name);
    MakeFolders(DirName(path));
    w.Save(path);
    return path;
  }
  Mf3Texts Texts(const std::string& name) { return ReadHeader(Lib(name)).Texts(); }
};

TEST_F(SongImport, MidiSongGetsCatalogueOrItsOwnTexts) {
  const std::string known = Midi("Mixed Case/known.mid");
  const std::string own = Midi("own.kar", "LOVELY TRACK NAME", "(C) 2026 K-NOVA");
  const ImportResult r = ImportFromPc(session(), {known, own});
  EXPECT_EQ(r.imported, 2u);
  ASSERT_TRUE(IsFile(Lib("KNOWN.MF3")));  // the source's folder kept its case, the name did not
  const Mf3Header h = ReadHeader(Lib("KNOWN.MF3"));
  EXPECT_EQ(h.FileNameText(), "KNOWN");
  EXPECT_EQ(h.Texts().title, "KNOWN FROM CATALOGUE");
  EXPECT_EQ(h.Texts().performer, "SINGER");
  EXPECT_EQ(h.Texts().copyright, "(C) 2026 K-NOVA");
  EXPECT_EQ(Texts("OWN.MF3").title, "LOVELY TRACK NAME");
  EXPECT_EQ(Texts("OWN.MF3").performer, "-");
  EXPECT_FALSE(IsFile(JoinPath(workDir, "TEMP.MID")));
  // The library was read again and the user told.
  ASSERT_EQ(session().library.size(), 2u);
  EXPECT_EQ(session().library[0].title, "KNOWN FROM CATALOGUE");
  EXPECT_EQ(ui.boxes.back().text, "2 songs were imported from PC!");
  EXPECT_EQ(ui.boxes.back().title, "SONDESK - Info");
  EXPECT_NE(std::find(ui.progressLines.begin(), ui.progressLines.end(), "1:Importing songs from PC..."),
            ui.progressLines.end());
  EXPECT_EQ(ui.progressLines.back(), "2:2 of 2");
}

TEST_F(SongImport, ModifyNameCountsUpAndReplaceAllLastsOneImport) {
  const std::string a = Midi("A.MID");
  WriteMf3Song(Lib("A.MF3"), {"", "OLD", "", "", "", ""});
  ui.duplicateAnswers = {DuplicateAnswer::ModifyName, DuplicateAnswer::ModifyName};
  ImportFromPc(session(), {a});
  ImportFromPc(session(), {a});
  EXPECT_TRUE(IsFile(Lib("A(1).MF3")));
  EXPECT_TRUE(IsFile(Lib("A(2).MF3")));
  EXPECT_EQ(Texts("A.MF3").title, "OLD");
  ASSERT_EQ(ui.duplicateQuestions.size(), 2u);
  EXPECT_NE(ui.duplicateQuestions[0].find(" " + libDir + " "), std::string::npos);
  EXPECT_NE(ui.duplicateQuestions[0].find("\nA.MF3.\n"), std::string::npos);
  EXPECT_EQ(ReadHeader(Lib("A(2).MF3")).FileNameText(), "A");

  // Two clashes in one import: one question; the next import asks again.
  const std::string b = Midi("other/A.MID");
  ui.duplicateQuestions.clear();
  ui.duplicateAnswers = {DuplicateAnswer::ReplaceAll, DuplicateAnswer::Replace};
  ImportFromPc(session(), {a, b});
  EXPECT_EQ(ui.duplicateQuestions.size(), 1u);
  EXPECT_EQ(Texts("A.MF3").title, "A SONG OF MY OWN");
  EXPECT_FALSE(IsFile(Lib("A(3).MF3")));
  ImportFromPc(session(), {a});
  EXPECT_EQ(ui.duplicateQuestions.size(), 2u);
  EXPECT_FALSE(IsFile(Lib("A(3).MF3")));
}

TEST_F(SongImport, RenamingWithAllNamesTakenOverwrites) {
  WriteMf3Song(Lib("X.MF3"), {"", "OLD", "", "", "", ""});
  for (int n = 1; n <= 99; ++n) WriteMf3Song(Lib(Format("X(%d).MF3", n)), {"", "TAKEN", "", "", "", ""});
  ui.duplicateAnswers = {DuplicateAnswer::ModifyAllNames};
  ImportDroppedFiles(session(), {Midi("x.mid")});
  EXPECT_EQ(Texts("X.MF3").title, "A SONG OF MY OWN");
  EXPECT_FALSE(IsFile(Lib("X(100).MF3")));
  EXPECT_EQ(ui.boxes.back().text, "1 song was imported from PC!");
  // One dropped file: no progress window of its own (reading the 100 songs after it opens one).
  EXPECT_EQ(std::find(ui.progressLines.begin(), ui.progressLines.end(), "1:Importing songs from PC..."),
            ui.progressLines.end());
}

TEST_F(SongImport, Mf3SongIsCopiedAndOnlyTheCopyIsRenamed) {
  WriteMf3Song(srcDir + "/my song.mf3", {"", "MINE", "", "", "", ""}, "SOMETHING ELSE");
  ASSERT_EQ(::chmod((srcDir + "/my song.mf3").c_str(), 0444), 0);
  const std::vector<std::uint8_t> before = ReadBytes(srcDir + "/my song.mf3");
  ImportDroppedFiles(session(), {srcDir + "/my song.mf3"});
  EXPECT_EQ(ReadBytes(srcDir + "/my song.mf3"), before);
  const Mf3Header copy = ReadHeader(Lib("MY SONG.MF3"));
  EXPECT_EQ(copy.FileNameText(), "MY SONG.MID");
  EXPECT_EQ(copy.Texts().title, "MINE");
  const std::vector<std::uint8_t> after = ReadBytes(Lib("MY SONG.MF3"));
  ASSERT_EQ(after.size(), before.size());
  EXPECT_TRUE(std::equal(after.begin() + 90, after.end(), before.begin() + 90));

  // A library song imported onto itself keeps its contents.
  ui.duplicateAnswers = {DuplicateAnswer::Replace};
  ImportDroppedFiles(session(), {Lib("MY SONG.MF3")});
  EXPECT_EQ(ReadBytes(Lib("MY SONG.MF3")), after);

  // A file named .mf3 that is no MF3 song is not brought in.
  WriteFile(srcDir + "/fake.mf3", std::string(600, 'x'));
  const ImportResult r = ImportDroppedFiles(session(), {srcDir + "/fake.mf3"});
  EXPECT_EQ(r.imported, 0u);
  EXPECT_FALSE(IsFile(Lib("FAKE.MF3")));
  EXPECT_TRUE(ui.Shown("Cannot open " + srcDir + "/fake.mf3"));

  // A true header over a cut or empty song was copied in whole and only failed on the player.
  std::vector<std::uint8_t> cut = before;
  cut.resize(Mf3Header::kSize + 5);
  WriteFile(srcDir + "/cut.mf3", cut);
  std::vector<std::uint8_t> huge = before;
  huge[Mf3Header::kSize] = huge[Mf3Header::kSize + 1] = huge[Mf3Header::kSize + 2] = huge[Mf3Header::kSize + 3] = 0xFF;
  WriteFile(srcDir + "/huge.mf3", huge);
  const ImportResult damaged = ImportDroppedFiles(session(), {srcDir + "/cut.mf3", srcDir + "/huge.mf3"});
  EXPECT_EQ(damaged.imported, 0u);
  EXPECT_FALSE(IsFile(Lib("CUT.MF3")));
  EXPECT_FALSE(IsFile(Lib("HUGE.MF3")));
  EXPECT_TRUE(ui.ShownContaining(srcDir + "/huge.mf3 is not a whole MF3 song"));
}

TEST_F(SongImport, MissingCatalogueAndBrokenSongsDoNotStopTheImport) {
  WriteFile(Prog("MIDI.DBF"), "not a dBASE table");  // unreadable: the shipped one is never reached
  WriteFile(srcDir + "/broken.mid", "MThd garbage");
  const ImportResult r =
      ImportFromPc(session(), {Midi("one.mid"), srcDir + "/broken.mid", Midi("two.mid"), Midi("three.mid")});
  EXPECT_EQ(r.chosen, 4u);
  EXPECT_EQ(r.imported, 3u);
  EXPECT_EQ(ui.CountShown("Cannot open " + Prog("MIDI.DBF")), 1);
  EXPECT_FALSE(IsFile(Lib("BROKEN.MF3")));
  EXPECT_EQ(Texts("TWO.MF3").title, "A SONG OF MY OWN");
  EXPECT_EQ(ui.boxes.back().text, "3 songs were imported from PC!");
  EXPECT_EQ(session().library.size(), 3u);
}

TEST_F(SongImport, NumericWarningIsOnAgainForEachImport) {
  const std::string a = Midi("A.MID", "1999 A NUMBERED SONG");
  const std::string b = Midi("B.MID", "2000 A NUMBERED SONG");
  ui.warningCheckAnswers = {false};
  ImportFromPc(session(), {a, b});
  ASSERT_EQ(ui.warnings.size(), 1u);
  EXPECT_NE(ui.warnings[0].find("Verify " + Lib("A.MF3")), std::string::npos);
  ui.duplicateAnswers = {DuplicateAnswer::ReplaceAll};
  ImportFromPc(session(), {a});
  EXPECT_EQ(ui.warnings.size(), 2u);
}

TEST_F(SongImport, FloppyImportAsksFirstAndTakesMidKarMf3) {
  const std::string floppy = tmp / "floppy";
  ASSERT_TRUE(MakeFolders(floppy + "/sub.mid"));
  WriteFile(floppy + "/readme.txt", "x");
  ImportFromFloppy(session(), floppy);
  ASSERT_EQ(ui.boxes.size(), 1u);
  EXPECT_EQ(ui.boxes[0].text,
            "No midifile found in this floppy disk.\nThe Midifiles must be in .MID, .KAR or .MF3 format");
  EXPECT_EQ(ui.boxes[0].title, "SONDESK - Caution");

  std::rename(Midi("b.kar").c_str(), (floppy + "/b.kar").c_str());
  std::rename(Midi("C.MID").c_str(), (floppy + "/C.MID").c_str());
  WriteMf3Song(floppy + "/a.mf3", {"", "MF3 SONG", "", "", "", ""});
  EXPECT_EQ(FloppySongFiles(floppy),
            (std::vector<std::string>{floppy + "/C.MID", floppy + "/b.kar", floppy + "/a.mf3"}));
  ui.boxes.clear();
  ui.boxAnswers = {BoxAnswer::Cancel};
  EXPECT_FALSE(ImportFromFloppy(session(), floppy).started);
  EXPECT_EQ(ui.boxes[0].text, "There are 3 files on the floppy disk!\nDo you wish to import them now?");
  EXPECT_FALSE(IsFile(Lib("C.MF3")));

  const ImportResult r = ImportFromFloppy(session(), floppy);
  EXPECT_EQ(r.imported, 3u);
  EXPECT_EQ(ui.boxes.back().text, "3 songs were imported from floppy disk!");
  EXPECT_EQ(ui.progressLines.back(), "2:3 di 3");
  EXPECT_EQ(ReadHeader(Lib("A.MF3")).FileNameText(), "A.MID");
  EXPECT_EQ(ReadHeader(floppy + "/a.mf3").FileNameText(), "");  // the floppy is left as it was
  EXPECT_FALSE(IsFile(JoinPath(workDir, "0.MID")));
}

}  // namespace
}  // namespace sondesk::test
