#include <gtest/gtest.h>

#include "library/SongNames.h"

namespace sondesk {
namespace {

TEST(SongNames, ExtensionRule) {
  EXPECT_EQ(SetExtensionMf3("A."), "A.MF3");
  EXPECT_EQ(SetExtensionMf3("A.MID"), "A.MF3");
  EXPECT_EQ(SetExtensionMf3("A.B.KAR"), "A.B.MF3");
  EXPECT_EQ(SetExtensionMf3("A"), "A.MF3");
  EXPECT_EQ(SetExtensionMf3("/x.y/A"), "/x.y/A.MF3");  // a dot in a folder is no extension
}

TEST(SongNames, OnlyTheSongNameIsUpperCase) {
  EXPECT_EQ(SongNameOf("/home/Me/Songs/Amazing Grace.mid"), "AMAZING GRACE.MF3");
  EXPECT_EQ(SongNameOf("/data/x.v2.kar"), "X.V2.MF3");
  // Accented letters are upper-cased in UTF-8; what the Western code page lacks stays as it is.
  EXPECT_EQ(SongNameOf("caffè.mid"), "CAFFÈ.MF3");
  EXPECT_EQ(SongNameOf("/x/Perché così ñandú straße.kar"), "PERCHÉ COSÌ ÑANDÚ STRAßE.MF3");
  EXPECT_EQ(SongNameOf("œuvre ÿ ž 日本.mid"), "ŒUVRE Ÿ Ž 日本.MF3");
  EXPECT_EQ(SongNameOf("caff\xE8.mid"), "CAFF\xC8.MF3");  // a name in the code page stays in it
  // Header fields and catalogue keys are Windows-1252.
  EXPECT_EQ(HeaderNameOf("/x/Perché così.mid"), "PERCH\xC9 COS\xCC");
  EXPECT_EQ(CatalogueKeyOf("/x/Müde.kar"), "M\xDC" "DE.MID");
  EXPECT_EQ(CatalogueKeyOf("/Music/x.kar"), "X.MID");
  EXPECT_EQ(CatalogueKeyOf("SONG.MF3"), "SONG.MID");
  EXPECT_TRUE(IsMf3Name("/a/song.mf3"));
  EXPECT_TRUE(IsMf3Name("SONG.MF3"));
  EXPECT_FALSE(IsMf3Name("/lib.mf3/song.mid"));  // a folder's name does not make an MF3 song
  EXPECT_FALSE(IsMf3Name("song.mf3.mid"));
}

}  // namespace
}  // namespace sondesk
