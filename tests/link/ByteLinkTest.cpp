// The byte link over a port: register addresses, the crossed data lines, the waits and the error
// countdown with its Retry/Cancel question.

#include <gtest/gtest.h>

#include "link/DirectPort.h"
#include "tests/link/LinkRig.h"

namespace sondesk {
namespace {

using test::LinkRig;

// The processor's port instructions replaced by a log, with the virtual player wired to the
// three registers so that whole exchanges run.
struct RecordingIo : IoRegisters {
  struct Access {
    bool out;
    std::uint16_t address;
    std::uint8_t value;
  };
  VirtualPlayer* player = nullptr;
  std::uint16_t base = 0;
  std::vector<Access>* log;
  std::vector<std::tuple<std::uint16_t, unsigned, bool>>* permits;

  RecordingIo(VirtualPlayer* p, std::vector<Access>* l,
              std::vector<std::tuple<std::uint16_t, unsigned, bool>>* pm)
      : player(p), log(l), permits(pm) {}
  bool Permit(std::uint16_t b, unsigned count, bool on, std::string&) override {
    base = b;
    permits->emplace_back(b, count, on);
    return true;
  }
  void Out(std::uint16_t address, std::uint8_t value) override {
    log->push_back({true, address, value});
    if (address == base) player->WriteData(value);
    if (address == base + 2) player->WriteControl(value);
  }
  std::uint8_t In(std::uint16_t address) override {
    log->push_back({false, address, 0});
    return address == base + 1 ? player->ReadStatus() : 0xFF;
  }
};

struct DirectRig : LinkRig {
  std::unique_ptr<VirtualPlayer> player;
  std::vector<RecordingIo::Access> log;
  std::vector<std::tuple<std::uint16_t, unsigned, bool>> permits;

  std::unique_ptr<Link> Connect(int currentLpt, const FaultPlan& faults = {}) {
    std::string error;
    player = VirtualPlayer::Open(image, faults, error);
    auto io = std::make_unique<RecordingIo>(player.get(), &log, &permits);
    auto port = DirectPort::Open(PortBaseFor(currentLpt), std::move(io), error);
    auto link = std::make_unique<Link>(*session, std::move(port));
    link->SetTraceSink([this](const std::string& t) { traces.push_back(t); });
    clock.SetAutoAdvance(1000);
    return link;
  }
  std::vector<std::uint8_t> DataWrites(std::uint16_t dataAddress) const {
    std::vector<std::uint8_t> v;
    for (const auto& a : log) {
      if (a.out && a.address == dataAddress) v.push_back(a.value);
    }
    return v;
  }
};

TEST(DirectPortTest, CurrentLptChoosesTheRegisterBlock) {
  EXPECT_EQ(PortBaseFor(0), 0x378);
  EXPECT_EQ(PortBaseFor(1), 0x278);
  EXPECT_EQ(PortBaseFor(7), 0x278);

  for (int lpt : {0, 1}) {
    DirectRig rig;
    const std::uint16_t base = PortBaseFor(lpt);
    {
      auto link = rig.Connect(lpt);
      EXPECT_EQ(link->InitLink(), 1);
      EXPECT_EQ(link->LinkRequestAccess(), 1);
      std::array<std::uint8_t, 512> sector{};
      sector[7] = 0x77;
      EXPECT_EQ(link->LinkWriteSector(9, sector), 1);
      std::array<std::uint8_t, 512> back{};
      EXPECT_EQ(link->LinkReadSector(9, back), 1);
      EXPECT_EQ(back, sector);
      link->LinkReleaseAccess();
      EXPECT_EQ(link->portName(), lpt == 0 ? "lpt1 (0x378)" : "lpt2 (0x278)");
    }
    ASSERT_FALSE(rig.log.empty());
    for (const auto& a : rig.log) {
      // Data and control are written, status is read; nothing else is touched.
      if (a.out) {
        EXPECT_TRUE(a.address == base || a.address == base + 2) << std::hex << a.address;
      } else {
        EXPECT_EQ(a.address, base + 1) << std::hex << a.address;
      }
      if (a.out && a.address == base + 2) {
        EXPECT_LE(a.value, 1);  // only the strobe line moves
      }
    }
    // Access is asked for the three registers when the port opens and given back when it closes.
    ASSERT_EQ(rig.permits.size(), 2u);
    EXPECT_EQ(rig.permits[0], std::make_tuple(base, 3u, true));
    EXPECT_EQ(rig.permits[1], std::make_tuple(base, 3u, false));
  }
}

TEST(ByteLinkTest, DataLinesCarryEveryValueBitReversed) {
  DirectRig rig;
  auto link = rig.Connect(0);
  ASSERT_EQ(link->LinkSendByte(0x3C), 1);
  // 0x80 leaves as 0x01, high nibble code 0x83 as 0xC1, low nibble code 0xCC as 0x33.
  EXPECT_EQ(rig.DataWrites(0x378), (std::vector<std::uint8_t>{0x01, 0xC1, 0x33}));
  rig.log.clear();
  ASSERT_EQ(link->LinkSendCommand(5), 1);
  EXPECT_EQ(rig.DataWrites(0x378), (std::vector<std::uint8_t>{0xA5}));  // symmetric: the same either way
  rig.log.clear();
  link->InitLink();
  EXPECT_EQ(rig.DataWrites(0x378), (std::vector<std::uint8_t>{0x00}));
}

TEST(ByteLinkTest, AbortedLinkLeavesThePortAlone) {
  DirectRig rig;
  FaultPlan faults;
  faults.busy = FaultRule::Always();
  auto link = rig.Connect(0, faults);
  ASSERT_EQ(link->LinkRequestAccess(), 0);
  ASSERT_EQ(link->LinkState(), kLinkAborted);
  rig.log.clear();
  const std::uint64_t before = rig.clock.NowMicros();

  std::array<std::uint8_t, 512> sector{};
  EXPECT_EQ(link->LinkSendByte(0x12), 0);
  EXPECT_EQ(link->LinkReceiveByte(), 0);
  EXPECT_EQ(link->LinkSendCommand(1), 0);
  EXPECT_EQ(link->LinkReadSector(1, sector), 0);
  EXPECT_EQ(link->LinkWriteSector(1, sector), 0);
  EXPECT_TRUE(rig.log.empty());

  // The waits only look at the Ack line once (Ack is low between codes).
  EXPECT_EQ(link->WaitAckLow(), 1);
  EXPECT_EQ(link->WaitAckHigh(), 0);
  EXPECT_EQ(rig.log.size(), 2u);
  EXPECT_LT(rig.clock.NowMicros() - before, 10000u);  // no time-out waited
}

TEST(ByteLinkTest, EveryThirdErrorAsksRetryOrCancel) {
  LinkRig rig;
  FaultPlan faults;
  faults.unplug = FaultRule::Always();  // nobody answers
  auto link = rig.Connect(faults);
  rig.ui.boxAnswers = {BoxAnswer::Retry, BoxAnswer::Cancel};

  std::vector<int> promptsAfter;
  std::vector<int> statesAfter;
  const double real = test::RealSeconds([&] {
    for (int i = 0; i < 7; ++i) {
      const std::uint64_t start = rig.clock.NowMillis();
      EXPECT_EQ(link->LinkSendByte(0x42), 0);
      if (i < 6) {
        EXPECT_GE(rig.clock.NowMillis() - start, 2500u);  // each failure waited the time-out
      }
      promptsAfter.push_back(rig.PromptsShown());
      statesAfter.push_back(link->LinkState());
    }
  });
  EXPECT_EQ(promptsAfter, (std::vector<int>{0, 0, 1, 1, 1, 2, 2}));
  // Retry lets the caller go on (the count starts again at 3); Cancel stops the link.
  EXPECT_EQ(statesAfter, (std::vector<int>{2, 2, 2, 2, 2, 1, 1}));
  EXPECT_EQ(link->errorCountdown(), 3);
  const auto& box = rig.ui.boxes.front();
  EXPECT_EQ(box.title, "SONDESK - Caution");
  EXPECT_EQ(box.buttons, BoxButtons::RetryCancel);
  EXPECT_EQ(box.icon, BoxIcon::Warning);
  EXPECT_TRUE(rig.Traced("Errore connessione SONVAR Flash reader:\nnot ready"));
  EXPECT_LT(real, 2.0);  // 15 s of link time-outs, in well under real seconds

  link->ResetLinkState();
  EXPECT_EQ(link->LinkState(), kLinkOk);
  EXPECT_EQ(link->errorCountdown(), 3);
}

TEST(ByteLinkTest, WaitsEndAfter2500Milliseconds) {
  LinkRig rig;
  FaultPlan faults;
  faults.unplug = FaultRule::Always();  // Ack floats high
  auto link = rig.Connect(faults);
  const std::uint64_t start = rig.clock.NowMillis();
  EXPECT_EQ(link->WaitAckHigh(), 1);
  EXPECT_EQ(rig.clock.NowMillis() - start, 1u);  // already there: only our own reading moved the clock
  EXPECT_EQ(link->WaitAckLow(), 0);
  const std::uint64_t waited = rig.clock.NowMillis() - start;
  EXPECT_GE(waited, 2500u);
  EXPECT_LE(waited, 2510u);
}

TEST(ByteLinkTest, UnacknowledgedStrobeFailsItsByte) {
  LinkRig rig;
  FaultPlan faults;
  faults.noAck = FaultRule::Once(2);  // the high-nibble code of the first byte
  auto link = rig.Connect(faults);
  EXPECT_EQ(link->LinkSendByte(0x55), 0);
  EXPECT_EQ(link->LinkState(), kLinkNoAnswer);
  EXPECT_TRUE(rig.Traced("Errore connessione SONVAR Flash reader:\nnot Active 1"));
  // The low-nibble code was never sent after the failed one.
  EXPECT_EQ(FormatWireTrace(link->virtualPlayer()->wireTrace()), "C:80 C:85");
  link->ResetLinkState();
  EXPECT_EQ(link->LinkSendByte(0x55), 1);
}

}  // namespace
}  // namespace sondesk
