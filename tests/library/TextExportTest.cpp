#include <gtest/gtest.h>

#include "library/TextExport.h"
#include "tests/library/LibraryTestSupport.h"

namespace sondesk::test {
namespace {

class TextExport : public LibraryTest {};

TEST_F(TextExport, EmptyCardListWritesTheHeaderOnly) {
  ASSERT_EQ(ExportSongList(session(), "DATABASE.TXT", ExportList::Card), 0);
  EXPECT_EQ(ReadFile(Lib("DATABASE.TXT")),
            "Index;File name;Title;Performer;Category\r\n");  // in the library folder
  ASSERT_EQ(ui.boxes.size(), 1u);
  EXPECT_EQ(ui.boxes[0].title, "SONDESK - Info");
  EXPECT_EQ(ui.boxes[0].icon, BoxIcon::Info);
}

TEST_F(TextExport, LinesInListOrderWithGermanHeader) {
  Session german(ui, session().paths(), clock, 3);
  german.SetLibraryDir(libDir);
  SongEntry a;
  a.path = libDir + "/" + std::string(150, 'L') + ".MF3";  // longer than the record's path field
  a.title = "ROCK; ROLL";
  a.performer = "X";
  a.category = "POP";
  SongEntry b;
  b.path = libDir + "/B.MF3";
  german.library.push_back(a);
  german.library.push_back(b);
  german.library.Renumber();
  ASSERT_EQ(ExportSongList(german, tmp / "out.txt", ExportList::Library), 0);
  EXPECT_EQ(ReadFile(tmp / "out.txt"), "Verzeichnis;Dateiname;Titel;Interpret;Kategorie\r\n0;" + a.path +
                                           ";ROCK; ROLL;X;POP\r\n1;" + b.path + ";;;\r\n");
}

TEST_F(TextExport, UnwritableFileIsReported) {
  EXPECT_EQ(ExportSongList(session(), tmp / "no/such/dir/x.txt", ExportList::Library), 1);
  ASSERT_EQ(ui.boxes.size(), 1u);
  EXPECT_EQ(ui.boxes[0].text, "Cannot Create " + tmp / "no/such/dir/x.txt");
  EXPECT_EQ(ui.boxes[0].title, "Write Error");
}

}  // namespace
}  // namespace sondesk::test
