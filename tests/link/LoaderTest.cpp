// The firmware loader's side of the link: level-triggered characters, 100 us strobes, no error word.

#include <gtest/gtest.h>

#include "tests/link/LinkRig.h"

namespace sondesk {
namespace {

using test::LinkRig;

TEST(LoaderLinkTest, WakeSendLinesAndLeave) {
  LinkRig rig;
  auto link = rig.Connect();
  VirtualPlayer& player = *link->virtualPlayer();

  // Asleep, the loader's Ack stays down: a character waits 5 s and gives up.
  const std::uint64_t start = rig.clock.NowMillis();
  EXPECT_EQ(link->LoaderSendChar(27), 0);
  EXPECT_GE(rig.clock.NowMillis() - start, 5000u);
  EXPECT_LT(rig.clock.NowMillis() - start, 5100u);

  rig.clock.SetAutoAdvance(0);
  const std::uint64_t before = rig.clock.NowMicros();
  link->LoaderSendCommand(15);
  EXPECT_EQ(rig.clock.NowMicros() - before, 100u);  // the strobe is held 100 us
  link->LoaderSendCommand(10);
  EXPECT_EQ(link->LoaderWaitReady(), 1);
  EXPECT_TRUE(player.inLoader());

  EXPECT_EQ(link->LoaderSendChar(27), 1);
  EXPECT_EQ(link->LoaderSendLine("ES 00"), 1);
  EXPECT_EQ(link->LoaderSendLine("HEXDWL"), 1);
  EXPECT_EQ(link->LoaderSendLine("S00600004844521B"), 1);
  EXPECT_EQ(link->LoaderError(), 0);
  EXPECT_EQ(link->LoaderSendChar(27), 1);  // out of the records first
  EXPECT_EQ(link->LoaderSendLine("RST"), 1);
  EXPECT_EQ(player.loaderLines(), (std::vector<std::string>{"\x1b", "ES 00", "HEXDWL", "S00600004844521B", "\x1b", "RST"}));
  EXPECT_FALSE(player.inLoader());
  // Bit reversal applies to loader characters too: 'E' is 0x45, on the data lines 0xA2.
  const auto& trace = player.wireTrace();
  EXPECT_NE(std::find(trace.begin(), trace.end(), WireCode('E')), trace.end());
  link->LoaderIdle();

  // Back in sector service.
  link->ResetLinkState();
  rig.clock.SetAutoAdvance(1000);
  EXPECT_EQ(link->LinkRequestAccess(), 1);
}

TEST(LoaderLinkTest, LineStopsAtTheFirstRefusedCharacterButEndsWithReturn) {
  LinkRig rig;
  auto link = rig.Connect();  // the loader sleeps: nothing is taken
  EXPECT_EQ(link->LoaderSendLine("HEXDWL"), 0);
  // 'H' refused, then the carriage return tried all the same: two waits of 5 s.
  EXPECT_GE(rig.clock.NowMillis(), 10000u);
  EXPECT_LT(rig.clock.NowMillis(), 10200u);
  EXPECT_EQ(link->virtualPlayer()->counters().codes, 0u);
  EXPECT_EQ(link->LinkState(), kLinkOk);  // the loader has no error word
}

}  // namespace
}  // namespace sondesk
