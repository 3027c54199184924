#include "emulator/IdentifyBlock.h"

#include <algorithm>
#include <cstdio>

namespace sondesk {

namespace {

void PutWord(std::array<std::uint8_t, 512>& b, int word, std::uint16_t value) {
  b[2 * word] = static_cast<std::uint8_t>(value);
  b[2 * word + 1] = static_cast<std::uint8_t>(value >> 8);
}

// ATA text: blank-padded, the first character of each pair in the word's high byte.
void PutText(std::array<std::uint8_t, 512>& b, int firstWord, int words, std::string text,
             bool rightJustify) {
  const std::size_t length = static_cast<std::size_t>(words) * 2;
  text.resize(std::min(text.size(), length));
  if (rightJustify) text.insert(0, length - text.size(), ' ');
  text.resize(length, ' ');
  for (std::size_t i = 0; i < length; i += 2) {
    b[2 * firstWord + i] = static_cast<std::uint8_t>(text[i + 1]);
    b[2 * firstWord + i + 1] = static_cast<std::uint8_t>(text[i]);
  }
}

}  // namespace

CardChs CardChsFor(std::uint32_t sectors) {
  CardChs chs;
  for (std::uint16_t heads : {2, 4, 8, 16}) {
    if (sectors / (heads * 32u) <= 1024) {
      chs.heads = heads;
      chs.sectorsPerTrack = 32;
      chs.cylinders = static_cast<std::uint16_t>(std::max<std::uint32_t>(1, sectors / (heads * 32u)));
      return chs;
    }
  }
  chs.heads = 16;
  chs.sectorsPerTrack = 63;
  chs.cylinders = static_cast<std::uint16_t>(std::min<std::uint32_t>(16383, sectors / (16u * 63u)));
  return chs;
}

std::string VirtualCardSerial(std::uint32_t sectors) {
  char serial[24];
  std::snprintf(serial, sizeof serial, "VP%08X", sectors);
  return serial;
}

std::array<std::uint8_t, 512> MakeIdentifyBlock(std::uint32_t sectors, const IdentifyTexts& texts) {
  std::array<std::uint8_t, 512> b{};
  const CardChs chs = CardChsFor(sectors);
  const std::uint32_t chsSectors =
      static_cast<std::uint32_t>(chs.cylinders) * chs.heads * chs.sectorsPerTrack;

  PutWord(b, 0, 0x848A);  // the Compact Flash signature: removable, not magnetic
  PutWord(b, 1, chs.cylinders);
  PutWord(b, 3, chs.heads);
  PutWord(b, 4, 0);  // unformatted bytes per track, per sector: obsolete, 0 on current cards
  PutWord(b, 5, 0x0240);
  PutWord(b, 6, chs.sectorsPerTrack);
  // Words 7-8: the sectors of the card, high half first (the one place the order is reversed).
  PutWord(b, 7, static_cast<std::uint16_t>(sectors >> 16));
  PutWord(b, 8, static_cast<std::uint16_t>(sectors));
  PutText(b, 10, 10, texts.serial, true);
  PutWord(b, 20, 0x0002);  // dual-ported buffer
  PutWord(b, 21, 0x0002);  // buffer of two sectors
  PutWord(b, 22, 0x0004);  // ECC bytes on long commands
  PutText(b, 23, 4, texts.firmware, false);
  PutText(b, 27, 20, texts.model, false);
  PutWord(b, 47, 0x0001);  // one sector per READ/WRITE MULTIPLE
  PutWord(b, 49, 0x0200);  // LBA supported
  PutWord(b, 51, 0x0200);  // PIO mode 2
  PutWord(b, 53, 0x0001);  // words 54-58 are valid
  PutWord(b, 54, chs.cylinders);
  PutWord(b, 55, chs.heads);
  PutWord(b, 56, chs.sectorsPerTrack);
  PutWord(b, 57, static_cast<std::uint16_t>(chsSectors));
  PutWord(b, 58, static_cast<std::uint16_t>(chsSectors >> 16));
  PutWord(b, 59, 0x0100);  // multiple-sector setting valid, one sector
  PutWord(b, 60, static_cast<std::uint16_t>(sectors));
  PutWord(b, 61, static_cast<std::uint16_t>(sectors >> 16));
  return b;
}

}  // namespace sondesk
