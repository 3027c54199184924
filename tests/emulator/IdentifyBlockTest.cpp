// The identification block the virtual player gives for sector 0xFFFFFF.

#include <gtest/gtest.h>

#include "emulator/IdentifyBlock.h"

namespace sondesk {
namespace {

std::uint16_t Word(const std::array<std::uint8_t, 512>& b, int n) {
  return static_cast<std::uint16_t>(b[2 * n] | (b[2 * n + 1] << 8));
}

// The text as a card's reader sees it once each word's two bytes are swapped back.
std::string Text(const std::array<std::uint8_t, 512>& b, int firstWord, int words) {
  std::string s;
  for (int w = firstWord; w < firstWord + words; ++w) {
    s += static_cast<char>(b[2 * w + 1]);
    s += static_cast<char>(b[2 * w]);
  }
  return s;
}

TEST(IdentifyBlockTest, DescribesACompactFlashCardOfTheImageSize) {
  for (std::uint32_t megabytes : {1u, 32u, 64u, 256u, 1024u, 8191u}) {
    SCOPED_TRACE(megabytes);
    const std::uint32_t sectors = megabytes * 2048;
    const auto b = MakeIdentifyBlock(sectors, {"VP123", "VP 1.0", "SONDESK VIRTUAL CF"});
    const std::uint32_t c = Word(b, 1), h = Word(b, 3), s = Word(b, 6);
    EXPECT_EQ(Word(b, 0), 0x848A);
    EXPECT_GE(c, 1u);
    EXPECT_LE(c, 16383u);
    EXPECT_TRUE(h == 2 || h == 4 || h == 8 || h == 16) << h;
    EXPECT_TRUE(s == 32 || s == 63) << s;
    EXPECT_LE(c * h * s, sectors);  // CHS never promises more than the card holds
    // Words 7-8 carry the card's sectors high half first; 60-61 low half first.
    EXPECT_EQ((static_cast<std::uint32_t>(Word(b, 7)) << 16) | Word(b, 8), sectors);
    EXPECT_EQ((static_cast<std::uint32_t>(Word(b, 61)) << 16) | Word(b, 60), sectors);
    // The current geometry repeats the default one, and its capacity is its product.
    EXPECT_EQ(Word(b, 54), c);
    EXPECT_EQ(Word(b, 55), h);
    EXPECT_EQ(Word(b, 56), s);
    EXPECT_EQ((static_cast<std::uint32_t>(Word(b, 58)) << 16) | Word(b, 57), c * h * s);
    EXPECT_EQ(Word(b, 49) & 0x0200, 0x0200);  // LBA
  }
  // Small cards keep 32 sectors a track, as real ones do; power-of-two sizes divide exactly.
  const CardChs small = CardChsFor(64 * 2048);
  EXPECT_EQ(small.sectorsPerTrack, 32);
  EXPECT_EQ(static_cast<std::uint32_t>(small.cylinders) * small.heads * small.sectorsPerTrack, 64u * 2048);
  const CardChs big = CardChsFor(1024 * 2048);
  EXPECT_EQ(big.heads, 16);
  EXPECT_EQ(big.sectorsPerTrack, 63);
}

TEST(IdentifyBlockTest, TextFieldsAreStoredByteSwapped) {
  const auto b = MakeIdentifyBlock(2048, {"VP123", "VP 1.0", "SONDESK VIRTUAL CF"});
  EXPECT_EQ(Text(b, 10, 10), std::string(15, ' ') + "VP123");  // serials are right-justified
  EXPECT_EQ(Text(b, 23, 4), "VP 1.0  ");
  EXPECT_EQ(Text(b, 27, 20), "SONDESK VIRTUAL CF" + std::string(22, ' '));
  EXPECT_EQ(b[54], 'O');  // raw, the first pair reads backwards
  EXPECT_EQ(b[55], 'S');
  // Texts too long for their field are cut, never spilled into the next word.
  const auto longer =
      MakeIdentifyBlock(2048, {std::string(30, 'S'), "FIRMWARE-TOO-LONG", std::string(50, 'M')});
  EXPECT_EQ(Text(longer, 10, 10), std::string(20, 'S'));
  EXPECT_EQ(Text(longer, 23, 4), "FIRMWARE");
  EXPECT_EQ(Word(longer, 47), 0x0001);
  EXPECT_EQ(VirtualCardSerial(131072), "VP00020000");
}

}  // namespace
}  // namespace sondesk
