// Card images: what the virtual player accepts as a card, and blank cards.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "emulator/CardImage.h"
#include "tests/support/TempDir.h"

namespace sondesk {
namespace {

using test::TempDir;

TEST(CardImageTest, BlankCardsHaveTheirSizeAndNeverReplaceAFile) {
  TempDir dir;
  std::string error;
  ASSERT_TRUE(CreateBlankCardImage(dir / "a.img", 3, error)) << error;
  struct stat st {};
  ASSERT_EQ(::stat((dir / "a.img").c_str(), &st), 0);
  EXPECT_EQ(st.st_size, 3 * 1024 * 1024);

  test::WriteFile(dir / "keep.img", "precious");
  EXPECT_FALSE(CreateBlankCardImage(dir / "keep.img", 3, error));
  EXPECT_NE(error.find("File exists"), std::string::npos);
  EXPECT_EQ(test::ReadFile(dir / "keep.img"), "precious");

  EXPECT_FALSE(CreateBlankCardImage(dir / "zero.img", 0, error));
  EXPECT_FALSE(CreateBlankCardImage(dir / "huge.img", kMaxBlankCardMegabytes + 1, error));
  EXPECT_NE(error.find("1 to 8191 MB"), std::string::npos) << error;
  struct stat none {};
  EXPECT_NE(::stat((dir / "huge.img").c_str(), &none), 0);
}

TEST(CardImageTest, OnlyUsableImagesOpen) {
  TempDir dir;
  CardImage image;
  std::string error;
  EXPECT_FALSE(image.Open(dir / "missing.img", error));
  EXPECT_NE(error.find("No such file or directory"), std::string::npos);
  EXPECT_FALSE(image.Open(dir.path(), error));
  EXPECT_NE(error.find("Is a directory"), std::string::npos) << error;
  test::WriteFile(dir / "tiny.img", std::string(1000, '\0'));
  EXPECT_FALSE(image.Open(dir / "tiny.img", error));
  EXPECT_NE(error.find("not a card image (1000 bytes"), std::string::npos) << error;

  // A partial last sector is not part of the card.
  test::WriteFile(dir / "odd.img", std::string(64 * 512 + 100, '\x11'));
  ASSERT_TRUE(image.Open(dir / "odd.img", error)) << error;
  EXPECT_EQ(image.sectorCount(), 64u);
  std::array<std::uint8_t, 512> s{};
  EXPECT_TRUE(image.ReadSector(63, s));
  EXPECT_EQ(s[511], 0x11);
  EXPECT_FALSE(image.ReadSector(64, s));
  EXPECT_FALSE(image.WriteSector(64, s));
  s.fill(0x22);
  EXPECT_TRUE(image.WriteSector(0, s));
  EXPECT_EQ(test::ReadFile(dir / "odd.img").substr(0, 2), "\x22\x22");
  EXPECT_EQ(test::ReadFile(dir / "odd.img").size(), 64u * 512 + 100);  // the tail is left alone
}

}  // namespace
}  // namespace sondesk
