// The virtual player's loader and program memory, spoken to character by character.

#include <gtest/gtest.h>

#include "app/SRecord.h"
#include "emulator/FaultPlan.h"
#include "emulator/VirtualFlash.h"
#include "emulator/VirtualPlayer.h"
#include "tests/support/TempDir.h"

namespace sondesk {
namespace {

using test::TempDir;

// Sends `text` and its carriage return; true when the line was "RST" taken.
bool Line(VirtualFlash& f, const std::string& text) {
  for (char c : text) f.TakeChar(static_cast<std::uint8_t>(c));
  return f.TakeChar(13);
}
void Esc(VirtualFlash& f) { f.TakeChar(27); }

std::string S2(std::uint32_t address, std::vector<std::uint8_t> data) {
  return FormatSRecord('2', address, data);
}

TEST(VirtualFlashTest, CommandsEraseOnlyTheBlocksAProgramMayUse) {
  VirtualFlash f;
  Line(f, "ES 00");
  Line(f, "ES 0a");
  EXPECT_TRUE(f.error()) << "block 10 is beyond the memory";
  Esc(f);
  EXPECT_FALSE(f.error());
  Line(f, "ES 03");
  EXPECT_TRUE(f.error()) << "block 3 is the loader's own";
  for (const char* bad : {"ES 1", "ES 001", "ES zz", "HELLO", "ERASE"}) {
    Esc(f);
    Line(f, bad);
    EXPECT_TRUE(f.error()) << bad;
  }
  Esc(f);
  Line(f, "ES 01");
  EXPECT_FALSE(f.error());
  EXPECT_EQ(f.Summarize().erasedBlocks, (std::vector<std::uint32_t>{0, 1}));
  EXPECT_TRUE(Line(f, "RST"));
}

TEST(VirtualFlashTest, RecordsWriteByAddressAndBadOnesRaiseTheErrorLine) {
  VirtualFlash f;
  Line(f, "ES 00");
  Line(f, "HEXDWL");
  const std::uint8_t name[] = {'V', '1'};
  Line(f, FormatSRecord('0', 0, name));
  Line(f, S2(0x000010, {1, 2, 3}));
  Line(f, "");  // a bare return is nothing
  EXPECT_FALSE(f.error());
  EXPECT_EQ(f.ReadByte(0x11), 2);
  EXPECT_TRUE(f.Written(0x12));
  EXPECT_FALSE(f.Written(0x13));

  std::string bad = S2(0x000020, {9});
  bad.back() = bad.back() == '0' ? '1' : '0';
  Line(f, bad);
  EXPECT_TRUE(f.error());
  Line(f, S2(0x000030, {7}));  // nothing more is written until ESC
  EXPECT_FALSE(f.Written(0x30));
  EXPECT_FALSE(Line(f, "RST")) << "RST is no record";
  Esc(f);
  EXPECT_FALSE(f.error());
  EXPECT_TRUE(Line(f, "RST"));

  // Programming only clears bits: the same value again is fine, another one is not.
  VirtualFlash g;
  Line(g, "HEXDWL");
  Line(g, S2(0x000040, {0x0F}));
  Line(g, S2(0x000040, {0x0F}));
  EXPECT_FALSE(g.error());
  Line(g, S2(0x000040, {0xF0}));
  EXPECT_TRUE(g.error());
  Esc(g);
  Line(g, "HEXDWL");
  Line(g, S2(0x030000, {1}));
  EXPECT_TRUE(g.error()) << "the loader's block is not written";
  Esc(g);
  Line(g, "HEXDWL");
  Line(g, FormatSRecord('1', 0x0100, std::vector<std::uint8_t>{1}));
  EXPECT_TRUE(g.error()) << "16-bit records are not this loader's";
  Esc(g);
  Line(g, "HEXDWL");
  Line(g, "S2" + std::string(90, '0'));
  EXPECT_TRUE(g.error()) << "longer than the loader's line";
}

TEST(VirtualFlashTest, TheMemoryAndItsVersionSurviveInTheSideFile) {
  TempDir dir;
  const std::string side = dir / "card.img.firmware";
  VirtualFlash f;
  Line(f, "ES 00");
  Line(f, "ES 01");
  Line(f, "HEXDWL");
  const std::string version = "Release 7";
  Line(f, FormatSRecord('0', 0, std::span(reinterpret_cast<const std::uint8_t*>(version.data()), version.size())));
  std::vector<std::uint8_t> run(70);
  for (std::size_t i = 0; i < run.size(); ++i) run[i] = static_cast<std::uint8_t>(i * 3);
  // Across a block edge, in records that fit the loader's line.
  Line(f, S2(0x00FFF0, std::vector<std::uint8_t>(run.begin(), run.begin() + 20)));
  Line(f, S2(0x010004, std::vector<std::uint8_t>(run.begin() + 20, run.begin() + 40)));
  ASSERT_FALSE(f.error());
  Line(f, S2(0x010100, {0xFF, 0x00}));
  std::string error;
  ASSERT_TRUE(f.Save(side, error)) << error;

  VirtualFlash g;
  ASSERT_TRUE(g.Load(side, error)) << error;
  const auto a = f.Summarize(), b = g.Summarize();
  EXPECT_EQ(b.version, "Release 7");
  EXPECT_EQ(b.bytes, 42u);
  EXPECT_EQ(b.bytes, a.bytes);
  EXPECT_EQ(b.sum, a.sum);
  EXPECT_EQ(b.erasedBlocks, a.erasedBlocks);
  EXPECT_TRUE(g.Written(0x010100));  // a written 0xFF is still a written byte
  EXPECT_EQ(g.ReadByte(0x010000), run[16]);

  // Erasing a block forgets its bytes and the version of the program they belonged to.
  Line(g, "ES 01");
  EXPECT_EQ(g.Summarize().bytes, 16u);
  EXPECT_EQ(g.Summarize().version, "");

  VirtualFlash none;
  EXPECT_TRUE(none.Load(dir / "missing.firmware", error));
  EXPECT_EQ(none.Summarize().bytes, 0u);
  test::WriteFile(dir / "junk.firmware", "not a memory\n");
  EXPECT_FALSE(none.Load(dir / "junk.firmware", error));
  EXPECT_NE(error.find("not the program memory"), std::string::npos);
}

TEST(VirtualFlashTest, LoaderFaultsAreNamedLikeTheOthers) {
  FaultPlan plan;
  std::string error;
  ASSERT_TRUE(ParseFaultList("lnoack@12,lerror/3", plan, error)) << error;
  EXPECT_EQ(plan.loaderNoAck.mode, FaultRule::Mode::Once);
  EXPECT_EQ(plan.loaderNoAck.n, 12u);
  EXPECT_EQ(plan.loaderError.mode, FaultRule::Mode::Every);
  EXPECT_TRUE(plan.Any());
}

TEST(VirtualFlashTest, APlayerWithAnUnreadableSideFileStartsBlankAndSaysWhy) {
  TempDir dir;
  const std::string image = dir / "card.img";
  std::string error;
  ASSERT_TRUE(CreateBlankCardImage(image, 1, error)) << error;
  test::WriteFile(FlashSideFilePath(image), "garbage\n");
  auto player = VirtualPlayer::Open(image, {}, error);
  ASSERT_TRUE(player);
  EXPECT_EQ(player->flash().Summarize().bytes, 0u);
  EXPECT_NE(player->flashError(), "");
  // Nothing was written: the file stays as it was until the loader changes the memory.
  player.reset();
  EXPECT_EQ(test::ReadFile(FlashSideFilePath(image)), "garbage\n");
}

}  // namespace
}  // namespace sondesk
