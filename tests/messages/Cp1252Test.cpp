#include <gtest/gtest.h>

#include <string>

#include "messages/Cp1252.h"

namespace sondesk {
namespace {

TEST(Cp1252Test, EveryByteSurvivesTheTripThroughUtf8) {
  std::string all;
  for (int b = 0; b < 256; ++b) all.push_back(static_cast<char>(b));
  const std::string utf8 = Cp1252ToUtf8(all);
  EXPECT_TRUE(IsValidUtf8(utf8));
  EXPECT_EQ(Utf8ToCp1252(utf8), all);
  for (int b = 0; b < 256; ++b) {
    const std::string one(1, static_cast<char>(b));
    ASSERT_EQ(Utf8ToCp1252(Cp1252ToUtf8(one)), one) << "byte " << b;
  }
  // The 0x80-0x9F row is Windows', not Latin-1's; its holes become the C1 controls.
  EXPECT_EQ(Cp1252ToUtf8("\x80"), "\xE2\x82\xAC");  // euro sign
  EXPECT_EQ(Cp1252ToUtf8("\x93ok\x94"), "\xE2\x80\x9Cok\xE2\x80\x9D");
  EXPECT_EQ(Cp1252ToUtf8("\x81"), "\xC2\x81");
  EXPECT_EQ(Cp1252ToUtf8("caf\xE9"), "caf\xC3\xA9");
}

TEST(Cp1252Test, Utf8BecomesWesternBytesOrTheNearestLetter) {
  EXPECT_EQ(Utf8ToCp1252("\xC3\xA8"), "\xE8");                            // è
  EXPECT_EQ(Utf8ToCp1252("Citt\xC3\xA0 \xE2\x82\xAC"), "Citt\xE0 \x80");  // à and the euro sign
  EXPECT_EQ(Utf8ToCp1252("\xC5\x91"), "o");                               // ő, U+0151
  EXPECT_EQ(Utf8ToCp1252("\u0141\u00F3d\u017A"), "L\xF3\x64z");           // Łódź: ó stays, Ł and ź fold
  EXPECT_EQ(Utf8ToCp1252("\xC5\x92"), "\x8C");                            // Œ is in the 0x80 row
  EXPECT_EQ(Utf8ToCp1252("\xE1\xBB\x87"), "e");                           // ệ, Vietnamese
  EXPECT_EQ(Utf8ToCp1252("e\xCC\x81"), "e");                              // a combining accent is dropped
  EXPECT_EQ(Utf8ToCp1252("\xE4\xB8\xAD"), "?");                           // 中
  EXPECT_EQ(Utf8ToCp1252("\xF0\x9F\x8E\xA4!"), "?!");                     // emoji outside the BMP
  EXPECT_EQ(Utf8ToCp1252(""), "");
  EXPECT_EQ(Utf8ToCp1252(std::string("a\0b", 3)), std::string("a\0b", 3));
}

TEST(Cp1252Test, InvalidUtf8IsTakenAsWesternAlready) {
  for (const char* raw : {"\xE8", "caf\xE9", "Interpr\xE8te", "\xC0\xAF", "\xED\xA0\x80", "\xE2\x82",
                          "\xF4\x90\x80\x80", "\x80", "\xC3"}) {
    const std::string text = raw;
    EXPECT_FALSE(IsValidUtf8(text)) << text;
    EXPECT_EQ(Utf8ToCp1252(text), text);
    EXPECT_FALSE(IsMultibyteUtf8(text));
  }
}

TEST(Cp1252Test, MultibyteUtf8IsRecognised) {
  EXPECT_FALSE(IsMultibyteUtf8(""));
  EXPECT_FALSE(IsMultibyteUtf8("plain ASCII title"));
  EXPECT_TRUE(IsMultibyteUtf8("\xC3\xA8"));
  EXPECT_TRUE(IsMultibyteUtf8("Perch\xC3\xA9 no"));
  EXPECT_TRUE(IsMultibyteUtf8("\xF0\x9F\x8E\xA4"));
  EXPECT_FALSE(IsMultibyteUtf8("Perch\xC3\xA9 \xE8"));  // one bad byte spoils the whole text
  EXPECT_TRUE(IsValidUtf8("plain"));
  EXPECT_TRUE(IsValidUtf8("\xF4\x8F\xBF\xBF"));  // U+10FFFF, the last code point
}

}  // namespace
}  // namespace sondesk
