#pragma once
// The card's identification block: the 512 bytes a Compact Flash card answers to IDENTIFY
// DEVICE, which the player hands over when sector 0xFFFFFF is read. Words are 16-bit
// little-endian; the three text fields come with the two bytes of each word swapped.

#include <array>
#include <cstdint>
#include <string>

namespace sondesk {

// The address that reads the identification block instead of a sector.
inline constexpr std::uint32_t kIdentityLba = 0xFFFFFF;
inline constexpr std::uint32_t kSectorSize = 512;

struct CardIdentity {
  std::array<std::uint8_t, kSectorSize> bytes{};

  static constexpr std::size_t kSerialOffset = 20, kSerialLength = 20;
  static constexpr std::size_t kFirmwareOffset = 46, kFirmwareLength = 8;
  static constexpr std::size_t kModelOffset = 54, kModelLength = 40;

  std::uint16_t Word(int n) const;
  void SetWord(int n, std::uint16_t value);

  std::uint16_t DefaultCylinders() const { return Word(1); }
  std::uint16_t DefaultHeads() const { return Word(3); }
  std::uint16_t DefaultSectorsPerTrack() const { return Word(6); }
  // Words 7 and 8, word 7 the high half.
  std::uint32_t SectorCount() const { return (static_cast<std::uint32_t>(Word(7)) << 16) | Word(8); }

  // Turns the three text fields into plain left-to-right text (and back: the swap is its own
  // inverse). Done once right after the block is read.
  void SwapTextFields();

  // The text fields as they read after the swap, trailing blanks kept.
  std::string Serial() const { return Text(kSerialOffset, kSerialLength); }
  std::string FirmwareRevision() const { return Text(kFirmwareOffset, kFirmwareLength); }
  std::string Model() const { return Text(kModelOffset, kModelLength); }

 private:
  std::string Text(std::size_t offset, std::size_t length) const;
};

// The block a card of `totalSectors` sectors gives, as it comes off the wire (text fields swapped),
// for images read directly: the same geometry the virtual player reports for that image, so a card
// formatted either way has the same layout.
CardIdentity SynthesizeCardIdentity(std::uint64_t totalSectors);

}  // namespace sondesk
