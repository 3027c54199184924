// The player's side of the wire, driven register by register as a PC would.

#include <gtest/gtest.h>

#include "emulator/VirtualPlayer.h"
#include "tests/support/TempDir.h"

namespace sondesk {
namespace {

std::uint8_t Reverse(std::uint8_t v) {
  std::uint8_t r = 0;
  for (int i = 0; i < 8; ++i) {
    if (v & (1 << i)) r |= static_cast<std::uint8_t>(0x80 >> i);
  }
  return r;
}

struct Wire {
  test::TempDir dir;
  std::unique_ptr<VirtualPlayer> player;

  explicit Wire(const FaultPlan& faults = {}) {
    std::string error;
    CreateBlankCardImage(dir / "card.img", 1, error);
    player = VirtualPlayer::Open(dir / "card.img", faults, error);
    player->WriteControl(1);
  }
  // One code: data, strobe, look, release. Returns the status seen while strobed.
  std::uint8_t Code(std::uint8_t code) {
    player->WriteData(Reverse(code));
    player->WriteControl(0);
    const std::uint8_t seen = player->ReadStatus();
    player->WriteControl(1);
    return seen;
  }
  void Byte(std::uint8_t b) {
    Code(0x80);
    Code(static_cast<std::uint8_t>(0x80 | (b >> 4)));
    Code(static_cast<std::uint8_t>(0xC0 | (b & 15)));
  }
  static std::uint8_t Nibble(std::uint8_t s) {
    return static_cast<std::uint8_t>(((s >> 3) & 1) << 3 | ((s >> 4) & 1) << 2 | ((s >> 5) & 1) << 1 |
                                     ((s & 0x80) ? 0 : 1));
  }
  std::uint8_t Receive() {
    const std::uint8_t hi = Nibble(Code(0x00));
    const std::uint8_t lo = Nibble(Code(0x40));
    return static_cast<std::uint8_t>(hi << 4 | lo);
  }
  void Frame(std::uint8_t op, std::uint32_t lba) {
    for (std::uint8_t b :
         {std::uint8_t{0x55}, op, static_cast<std::uint8_t>(lba), static_cast<std::uint8_t>(lba >> 8),
          static_cast<std::uint8_t>(lba >> 16), std::uint8_t{0}, std::uint8_t{0x0A}}) {
      Byte(b);
    }
  }
};

TEST(VirtualPlayerTest, AckFollowsStrobeAndBusyShowsAWaitingAnswer) {
  Wire w;
  VirtualPlayer& p = *w.player;
  EXPECT_EQ(p.ReadStatus(), 0x80);  // Ack down, nothing to say
  p.WriteData(Reverse(0xAF));
  p.WriteControl(0);
  EXPECT_EQ(p.ReadStatus() & 0x40, 0x40);
  p.WriteControl(0);  // holding the strobe is not a second code
  p.WriteControl(1);
  EXPECT_EQ(p.ReadStatus() & 0x40, 0);
  w.Code(0xA1);                         // access
  EXPECT_EQ(p.ReadStatus() & 0x80, 0);  // the answer is ready
  EXPECT_EQ(w.Receive(), 0x06);
  EXPECT_EQ(p.ReadStatus(), 0x80);
  EXPECT_TRUE(p.accessGranted());
  EXPECT_EQ(p.counters().codes, 4u);

  // Asked for a nibble with nothing to say, the player still acknowledges and keeps Busy up.
  const std::uint8_t idle = w.Code(0x00);
  EXPECT_EQ(idle & 0x40, 0x40);
  EXPECT_EQ(idle & 0x80, 0x80);
}

TEST(VirtualPlayerTest, DamagedRequestsAreDroppedAndTheNextOneServed) {
  Wire w;
  VirtualPlayer& p = *w.player;
  std::array<std::uint8_t, 512> sector;
  sector.fill(0x3C);
  ASSERT_TRUE(p.image().WriteSector(9, sector));

  // Stray codes, a byte without its low nibble, a frame cut short by a new one.
  w.Code(0xC5);
  w.Code(0x85);
  w.Code(0x80);
  w.Code(0x83);
  for (std::uint8_t b : {0x55, 0x02, 0x09}) w.Byte(b);
  w.Frame(0x02, 9);
  EXPECT_EQ(p.ReadStatus() & 0x80, 0);
  EXPECT_EQ(w.Receive(), 0x06);
  for (int i = 0; i < 512; ++i) ASSERT_EQ(w.Receive(), 0x3C) << i;
  EXPECT_EQ(w.Receive(), 0xFF);
  const std::uint16_t sum = static_cast<std::uint16_t>(w.Receive() << 8 | w.Receive());
  EXPECT_EQ(sum, 512 * 0x3C);
  EXPECT_EQ(p.ReadStatus() & 0x80, 0x80);

  // A frame with a bad end byte gets no answer; abort clears a half-sent write.
  for (std::uint8_t b : {0x55, 0x02, 0x09, 0x00, 0x00, 0x00, 0x0B}) w.Byte(b);
  EXPECT_EQ(p.ReadStatus() & 0x80, 0x80);
  w.Frame(0x01, 9);
  for (int i = 0; i < 100; ++i) w.Byte(0xEE);
  w.Code(0xAF);
  w.Code(0xA5);
  w.Frame(0x02, 9);
  EXPECT_EQ(w.Receive(), 0x06);
  EXPECT_EQ(w.Receive(), 0x3C);
  EXPECT_EQ(p.counters().writesStored, 0u);
}

TEST(VirtualPlayerTest, WriteIsInTheFileBeforeItsAck) {
  Wire w;
  VirtualPlayer& p = *w.player;
  w.Frame(0x01, 17);
  std::uint32_t sum = 0;
  for (int i = 0; i < 512; ++i) {
    w.Byte(static_cast<std::uint8_t>(i));
    sum += static_cast<std::uint8_t>(i);
  }
  for (std::uint8_t b : {std::uint8_t{0xFF}, std::uint8_t{0xFF}, static_cast<std::uint8_t>(sum >> 8),
                         static_cast<std::uint8_t>(sum)}) {
    w.Byte(b);
  }
  // The answer is waiting: the sector must already be in the file for any reader.
  const std::string file = test::ReadFile(w.dir / "card.img");
  EXPECT_EQ(static_cast<std::uint8_t>(file[17 * 512 + 200]), 200);
  EXPECT_EQ(w.Receive(), 0x06);

  // A wrong checksum is refused and nothing is stored.
  w.Frame(0x01, 18);
  for (int i = 0; i < 512; ++i) w.Byte(1);
  for (std::uint8_t b : {0xFF, 0xFF, 0x00, 0x00}) w.Byte(b);
  EXPECT_EQ(w.Receive(), 0x15);
  EXPECT_EQ(test::ReadFile(w.dir / "card.img")[18 * 512], '\0');
  EXPECT_EQ(p.counters().sectorWrites, 2u);
  EXPECT_EQ(p.counters().writesStored, 1u);
}

}  // namespace
}  // namespace sondesk
