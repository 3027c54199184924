#include <gtest/gtest.h>
#include <sys/stat.h>

#include "library/CatalogueLookup.h"
#include "tests/library/LibraryTestSupport.h"

namespace sondesk::test {
namespace {

class CatalogueLookup : public LibraryTest {
 protected:
  void SetUp() override {
    LibraryTest::SetUp();
    WriteFile(Prog("MIDI.DBF"),
              BuildDbf(CatalogueSpec({{"OTHER.MID", "OTHER", "", "", "", ""},
                                      {"X.MID", "A TITLE OF EXACTLY FORTY CHARACTERS LONG", "THE AUTHOR",
                                       "THE SINGER", "THE PUBLISHER", "POP"}})));
    NewSong("X.MF3");
  }
  // The header as the writer leaves a new song.
  void NewSong(const std::string& name) { WriteMf3Song(Lib(name), {"", name, "-", "-", "-", "-"}, "X"); }
  Mf3Texts Texts(const std::string& name) { return ReadHeader(Lib(name)).Texts(); }

  SongOwnTexts own{"OWN TITLE", "OWN AUTHOR", "OWN PUBLISHER", "(C) 2026 K-Nova", "(C) 2026 K-Nova"};
  CatalogueRun run;
};

TEST_F(CatalogueLookup, KnownPublisherGetsTheCatalogueTexts) {
  LookUpCatalogue(session(), Lib("X.MF3"), srcDir + "/x.kar", false, own, run);  // looked up as X.MID
  const Mf3Texts t = Texts("X.MF3");
  EXPECT_EQ(t.title, "A TITLE OF EXACTLY FORTY CHARAC");
  EXPECT_EQ(t.author, "THE AUTHOR");
  EXPECT_EQ(t.performer, "THE SINGER");
  EXPECT_EQ(t.publisher, "THE PUBLISHER");
  EXPECT_EQ(t.genre, "POP");
  EXPECT_EQ(t.copyright, "(C) 2026 K-Nova");
  EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(CatalogueLookup, ForeignPublisherKeepsTheSongsOwnTexts) {
  own.copyright = own.copyrightCopy = "(C) 2026 SOMEONE ELSE";
  LookUpCatalogue(session(), Lib("X.MF3"), "X.MID", false, own, run);
  Mf3Texts t = Texts("X.MF3");
  EXPECT_EQ(t.title, "OWN TITLE");
  EXPECT_EQ(t.author, "OWN AUTHOR");
  EXPECT_EQ(t.publisher, "OWN PUBLISHER");
  EXPECT_EQ(t.copyright, "(C) 2026 SOMEONE ELSE");
  EXPECT_EQ(t.performer, "-");
  EXPECT_EQ(t.genre, "-");

  session().settings().forceDbSettings = 1;
  NewSong("X.MF3");
  LookUpCatalogue(session(), Lib("X.MF3"), "X.MID", false, own, run);
  EXPECT_EQ(Texts("X.MF3").performer, "THE SINGER");

  // No copyright at all: never the catalogue, empty own texts leave the writer's texts.
  NewSong("X.MF3");
  LookUpCatalogue(session(), Lib("X.MF3"), "X.MID", false, SongOwnTexts{"T", "", "", "", ""}, run);
  t = Texts("X.MF3");
  EXPECT_EQ(t.title, "T");
  EXPECT_EQ(t.author, "-");
  EXPECT_EQ(t.performer, "-");
  EXPECT_TRUE(CataloguePublisherAccepted("tuneware 1999", 0));
  EXPECT_FALSE(CataloguePublisherAccepted("", 1));
}

TEST_F(CatalogueLookup, MissingCatalogueIsReportedOncePerImport) {
  // A catalogue that cannot be read (a shipped one would be found when none is in the program folder).
  WriteFile(Prog("MIDI.DBF"), "not a dBASE table");
  NewSong("Y.MF3");
  LookUpCatalogue(session(), Lib("X.MF3"), "X.MID", false, own, run);
  LookUpCatalogue(session(), Lib("Y.MF3"), "Y.MID", false, own, run);
  EXPECT_EQ(ui.CountShown("Cannot open " + Prog("MIDI.DBF")), 1);
  EXPECT_EQ(ui.boxes[0].title, "Read Error");
  EXPECT_EQ(Texts("Y.MF3").title, "OWN TITLE");
  CatalogueRun next;
  LookUpCatalogue(session(), Lib("Y.MF3"), "Y.MID", false, own, next);
  EXPECT_EQ(ui.CountShown("Cannot open " + Prog("MIDI.DBF")), 2);

  // A song file that cannot be read is named in its own box.
  LookUpCatalogue(session(), Lib("GONE.MF3"), "GONE.MID", false, own, next);
  EXPECT_TRUE(ui.Shown("Cannot open " + Lib("GONE.MF3")));
}

TEST_F(CatalogueLookup, FloppyCatalogueIsUsedWhenItCanBeCopied) {
  const std::string floppy = tmp / "floppy";
  ASSERT_TRUE(MakeFolders(floppy));
  WriteFile(floppy + "/summidi.dat", BuildDbf(CatalogueSpec({{"X.MID", "FROM FLOPPY", "", "", "", ""}})));
  WriteFile(Prog("summidi"), "#!/bin/sh\nexit 0\n");
  ASSERT_EQ(::chmod(Prog("summidi").c_str(), 0755), 0);
  run.floppyDir = floppy;
  const std::uint64_t before = clock.NowMicros();
  LookUpCatalogue(session(), Lib("X.MF3"), "X.MID", true, own, run);
  EXPECT_EQ(Texts("X.MF3").title, "FROM FLOPPY");
  EXPECT_EQ(clock.NowMicros() - before, 1000000u);  // the tool's second
  EXPECT_TRUE(IsFile(JoinPath(workDir, "SUMMIDI.DAT")));

  // A floppy without its catalogue falls back to MIDI.DBF.
  CatalogueRun other;
  other.floppyDir = tmp / "nowhere";
  NewSong("X.MF3");
  LookUpCatalogue(session(), Lib("X.MF3"), "X.MID", true, own, other);
  EXPECT_EQ(Texts("X.MF3").title, "A TITLE OF EXACTLY FORTY CHARAC");
}

}  // namespace
}  // namespace sondesk::test
