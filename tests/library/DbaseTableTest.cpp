#include <gtest/gtest.h>

#include "library/DbaseTable.h"
#include "tests/library/LibraryTestSupport.h"

namespace sondesk::test {
namespace {

DbfSpec TwoSongs() {
  DbfSpec spec = CatalogueSpec({{"A.MID", "FIRST SONG", "AUTHOR A", "SINGER A", "K-NOVA", "POP"},
                                {"B.MID", "SECOND SONG", "AUTHOR B", "SINGER B", "K-NOVA", "ROCK"}});
  return spec;
}

std::unique_ptr<DbaseTable> OpenBytes(const TempDir& tmp, const std::vector<std::uint8_t>& bytes,
                                      const std::string& name = "t.dbf") {
  WriteFile(tmp / name, bytes);
  return DbaseTable::Open(tmp / name);
}

TEST(DbaseTable, BothDescriptorEndingsGiveTheSameRecords) {
  TempDir tmp;
  DbfSpec plain = TwoSongs();
  DbfSpec padded = TwoSongs();
  padded.zeroAfterTerminator = true;
  auto a = OpenBytes(tmp, BuildDbf(plain), "a.dbf");
  auto b = OpenBytes(tmp, BuildDbf(padded), "b.dbf");
  ASSERT_TRUE(a && b);
  EXPECT_EQ(a->recordCount(), 2u);
  EXPECT_EQ(b->recordCount(), 2u);
  EXPECT_EQ(a->recordLength(), 171u);
  for (DbaseTable* t : {a.get(), b.get()}) {
    ASSERT_TRUE(t->Find("B.MID", "CODICE"));
    std::string title, genre;
    EXPECT_TRUE(t->GetField("titolo", title));  // field names in any case
    EXPECT_TRUE(t->GetField("Genere", genre));
    EXPECT_EQ(title, "SECOND SONG");
    EXPECT_EQ(genre, "ROCK");
  }
}

TEST(DbaseTable, FindIsExactAndFindsDeletedRecords) {
  TempDir tmp;
  DbfSpec spec = TwoSongs();
  spec.deleted = {true, false};
  auto t = OpenBytes(tmp, BuildDbf(spec));
  ASSERT_TRUE(t);
  EXPECT_TRUE(t->Find("A.MID", "CODICE"));
  EXPECT_FALSE(t->Find("a.mid", "CODICE"));
  EXPECT_FALSE(t->Find("A.MI", "CODICE"));
  EXPECT_FALSE(t->Find("A.MID", "NOFIELD"));
  // A missing field leaves the destination as it was.
  std::string kept = "kept";
  EXPECT_FALSE(t->GetField("NOFIELD", kept));
  EXPECT_EQ(kept, "kept");
}

TEST(DbaseTable, ValuesAreCutToTheLimitAndLoseTrailingBlanks) {
  TempDir tmp;
  const std::string forty = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789WXYZ";
  ASSERT_EQ(forty.size(), 40u);
  auto t = OpenBytes(tmp, BuildDbf(CatalogueSpec({{"C.MID", forty, "WITH BLANKS   ", "", "", ""}})));
  ASSERT_TRUE(t && t->FirstRecord());
  std::string v;
  ASSERT_TRUE(t->GetField("TITOLO", v, 31));
  EXPECT_EQ(v, forty.substr(0, 31));
  ASSERT_TRUE(t->GetField("AUTORE", v, 31));
  EXPECT_EQ(v, "WITH BLANKS");
  ASSERT_TRUE(t->GetField("TITOLO", v, 30));  // a cut that ends in a blank loses it too
  EXPECT_EQ(v, forty.substr(0, 30));
}

TEST(DbaseTable, LastRecordWithoutEndMarkIsFoundAndDamagedTablesAreRefused) {
  TempDir tmp;
  DbfSpec spec = TwoSongs();
  spec.eofMarker = false;
  auto t = OpenBytes(tmp, BuildDbf(spec));
  ASSERT_TRUE(t);
  EXPECT_TRUE(t->Find("B.MID", "CODICE"));

  // A truncated last record is not read as a whole one.
  std::vector<std::uint8_t> bytes = BuildDbf(TwoSongs());
  bytes.resize(bytes.size() - 20);
  auto cut = OpenBytes(tmp, bytes, "cut.dbf");
  ASSERT_TRUE(cut);
  EXPECT_TRUE(cut->Find("A.MID", "CODICE"));
  EXPECT_FALSE(cut->Find("B.MID", "CODICE"));

  // No end mark of the descriptor list, a descriptor cut short, a file shorter than a header.
  std::vector<std::uint8_t> noEnd(32 + 32 * 3, 0);
  noEnd[32] = 'X';
  EXPECT_FALSE(OpenBytes(tmp, noEnd, "noend.dbf"));
  EXPECT_FALSE(OpenBytes(tmp, std::vector<std::uint8_t>(40, 0x20), "short.dbf"));
  EXPECT_FALSE(OpenBytes(tmp, std::vector<std::uint8_t>(10, 0), "tiny.dbf"));
  EXPECT_FALSE(DbaseTable::Open(tmp / "missing.dbf"));

  // A table of fields and no records.
  DbfSpec empty = CatalogueSpec({});
  auto none = OpenBytes(tmp, BuildDbf(empty), "none.dbf");
  ASSERT_TRUE(none);
  EXPECT_EQ(none->recordCount(), 0u);
  EXPECT_FALSE(none->Find("", "CODICE"));
}

TEST(DbaseTable, SampleCatalogueOfTheProgramFolderReads) {
  auto t = DbaseTable::Open(std::string(SONDESK_SOURCE_DIR) + "/resources/data/MIDI.DBF");
  ASSERT_TRUE(t);
  EXPECT_GE(t->recordCount(), 12u);
  ASSERT_EQ(t->fields().size(), 6u);
  ASSERT_TRUE(t->Find("GREENSLEEVES.MID", "CODICE"));
  std::string title;
  t->GetField("TITOLO", title);
  EXPECT_EQ(title, "GREENSLEEVES");
}

}  // namespace
}  // namespace sondesk::test
