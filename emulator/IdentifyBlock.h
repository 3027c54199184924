#pragma once
// What the virtual player answers to a read of sector 0xFFFFFF: the ATA IDENTIFY DEVICE block of a
// Compact Flash card of the image's size, as the card hands it to the player (16-bit little-endian
// words, text fields with the two bytes of every word swapped).

#include <array>
#include <cstdint>
#include <string>

namespace sondesk {

// The default CHS geometry a card of `sectors` sectors reports. Small cards use 32 sectors per
// track and as few heads as keep the cylinders at 1024 or below; larger ones 16 heads and 63
// sectors per track, the cylinders capped at 16383 as ATA caps them.
struct CardChs {
  std::uint16_t cylinders = 0;
  std::uint16_t heads = 0;
  std::uint16_t sectorsPerTrack = 0;
};
CardChs CardChsFor(std::uint32_t sectors);

struct IdentifyTexts {
  std::string serial = "VP00000000";         // up to 20 characters, right-justified as cards do
  std::string firmware = "VP 1.0";           // up to 8
  std::string model = "SONDESK VIRTUAL CF";  // up to 40
};

// `sectors` is the count the card addresses (words 7-8 and 60-61).
std::array<std::uint8_t, 512> MakeIdentifyBlock(std::uint32_t sectors, const IdentifyTexts& texts = {});

// The serial the virtual player gives an image of this size: stable across runs.
std::string VirtualCardSerial(std::uint32_t sectors);

}  // namespace sondesk
