#include "midi/PlayerCharset.h"

#include <array>

namespace sondesk {

namespace {

struct CodePair {
  std::uint8_t letter;
  std::uint8_t code;
};

// The letters the player's display can show, as its font numbers them.
constexpr std::array<CodePair, 28> kPlayerLetters = {{
    {224, 1},  {226, 2},  {228, 3},  {225, 4},  {233, 5},  {232, 6},  {235, 7},
    {234, 8},  {204, 9},  {239, 11}, {237, 12}, {242, 13}, {244, 14}, {246, 15},
    {243, 16}, {249, 17}, {251, 18}, {252, 19}, {250, 20}, {196, 21}, {214, 22},
    {220, 23}, {231, 24}, {223, 25}, {241, 26}, {200, 29}, {209, 30}, {238, 31},
}};

struct Tables {
  std::array<std::uint8_t, 256> toPlayer{};
  std::array<std::uint8_t, 256> fromPlayer{};
  constexpr Tables() {
    for (int b = 0; b < 256; ++b) toPlayer[b] = fromPlayer[b] = static_cast<std::uint8_t>(b);
    for (const auto& p : kPlayerLetters) {
      toPlayer[p.letter] = p.code;
      fromPlayer[p.code] = p.letter;
    }
  }
};

constexpr Tables kTables;

// The plain form of each byte from 0x80 on for a page; 0 where the byte is no text.
constexpr char kPlainHigh[] =
    // 0x80-0x9F: € ‚ ƒ „ … † ‡ ˆ ‰ Š ‹ Œ Ž ‘ ’ “ ” • – — ˜ ™ š › œ ž Ÿ
    "E\x00,f\".\x00\x00^\x00S<O\x00Z\x00\x00''\"\"\x00--~\x00s>o\x00zY"
    // 0xA0-0xBF: nbsp ¡ ¢ £ ¤ ¥ ¦ § ¨ © ª « ¬ shy ® ¯ ° ± ² ³ ´ µ ¶ · ¸ ¹ º » ¼ ½ ¾ ¿
    " !c\x00\x00Y|\x00\"c\x61\"\x00-r\x00o\x00\x32\x33'u\x00.,1o\"\x00\x00\x00?"
    // 0xC0-0xDF
    "AAAAAAACEEEEIIIIDNOOOOOxOUUUUYTs"
    // 0xE0-0xFF (0xFF is taken for damage, not for ÿ)
    "aaaaaaaceeeeiiiidnooooo\x00ouuuuyt\x00";
static_assert(sizeof kPlainHigh == 0x81);

}  // namespace

std::uint8_t PlayerCodeOf(std::uint8_t cp1252) {
  return kTables.toPlayer[cp1252];
}
std::uint8_t LetterOfPlayerCode(std::uint8_t code) {
  return kTables.fromPlayer[code];
}

void ToPlayerCharset(std::uint8_t* bytes, std::size_t size) {
  for (std::size_t i = 0; i < size; ++i) bytes[i] = kTables.toPlayer[bytes[i]];
}

void FromPlayerCharset(std::uint8_t* bytes, std::size_t size) {
  for (std::size_t i = 0; i < size; ++i) bytes[i] = kTables.fromPlayer[bytes[i]];
}

std::string ToPageText(std::string_view cp1252) {
  std::string out;
  out.reserve(cp1252.size());
  for (const char c : cp1252) {
    const auto b = static_cast<std::uint8_t>(c);
    if (b == '\t') {
      out.push_back(' ');
    } else if (b == '\r' || b == '\n' || (b >= 0x20 && b < 0x7F)) {
      out.push_back(c);
    } else if (b >= 0x80) {
      if (kTables.toPlayer[b] != b) {
        out.push_back(c);
      } else if (kPlainHigh[b - 0x80] != 0) {
        out.push_back(kPlainHigh[b - 0x80]);
      }
    }
  }
  return out;
}

void ToPlayerCharset(std::string& text, std::size_t from) {
  for (std::size_t i = from; i < text.size(); ++i) {
    text[i] = static_cast<char>(kTables.toPlayer[static_cast<std::uint8_t>(text[i])]);
  }
}

void FromPlayerCharset(std::string& text, std::size_t from) {
  for (std::size_t i = from; i < text.size(); ++i) {
    text[i] = static_cast<char>(kTables.fromPlayer[static_cast<std::uint8_t>(text[i])]);
  }
}

}  // namespace sondesk
