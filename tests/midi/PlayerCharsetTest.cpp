#include <gtest/gtest.h>

#include "midi/PlayerCharset.h"

namespace sondesk {
namespace {

TEST(PlayerCharset, LettersMapToTheirCodesAndBack) {
  const std::string letters =
      "\xE0\xE2\xE4\xE1\xE9\xE8\xEB\xEA\xCC\xEF\xED\xF2\xF4\xF6\xF3\xF9\xFB\xFC\xFA\xC4\xD6\xDC"
      "\xE7\xDF\xF1\xC8\xD1\xEE";
  const std::string codes =
      "\x01\x02\x03\x04\x05\x06\x07\x08\x09\x0B\x0C\x0D\x0E\x0F\x10\x11\x12\x13\x14\x15\x16\x17"
      "\x18\x19\x1A\x1D\x1E\x1F";
  std::string text = letters;
  ToPlayerCharset(text);
  EXPECT_EQ(text, codes);
  FromPlayerCharset(text);
  EXPECT_EQ(text, letters);

  // Everything else stays: plain letters, letters the display lacks, and the codes without a letter.
  std::string other = "Abc \xC9\xC0\xFF\x0A\x1B\x1C";
  const std::string before = other;
  ToPlayerCharset(other);
  EXPECT_EQ(other, before);
  FromPlayerCharset(other);
  EXPECT_EQ(other, before);
}

TEST(PlayerCharset, StartsWhereItIsTold) {
  // A meta-event image: FF, type and length stay, the text behind them is converted.
  std::string image =
      "\xFF\x05\x04"
      "t\xE8te";
  ToPlayerCharset(image, 3);
  EXPECT_EQ(image, std::string("\xFF\x05\x04"
                               "t\x06te"));
  std::string shortText = "\xE8";
  ToPlayerCharset(shortText, 3);  // nothing behind the offset: nothing happens
  EXPECT_EQ(shortText, "\xE8");

  std::uint8_t bytes[] = {'c', 0x18, 'a'};
  FromPlayerCharset(bytes, sizeof bytes);
  EXPECT_EQ(bytes[1], 0xE7);
  EXPECT_EQ(PlayerCodeOf(0xF1), 26);
  EXPECT_EQ(LetterOfPlayerCode(26), 0xF1);
}

}  // namespace
}  // namespace sondesk
