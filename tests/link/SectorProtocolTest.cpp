// The sector protocol against the virtual player: what goes over the wire, checksums, the player's
// refusals, and many sectors through a faulty player.

#include <gtest/gtest.h>

#include <time.h>

#include <fstream>
#include <random>

#include "tests/link/LinkRig.h"

namespace sondesk {
namespace {

using test::LinkRig;

std::vector<WireEvent> ByteOut(std::uint8_t b) {
  return {WireCode(0x80), WireCode(static_cast<std::uint8_t>(0x80 | (b >> 4))),
          WireCode(static_cast<std::uint8_t>(0xC0 | (b & 15)))};
}
std::vector<WireEvent> ByteIn(std::uint8_t b) {
  return {WireCode(0x00), WireNibble(b >> 4), WireCode(0x40), WireNibble(b & 15)};
}
void Append(std::vector<WireEvent>& to, const std::vector<WireEvent>& more) {
  to.insert(to.end(), more.begin(), more.end());
}

std::array<std::uint8_t, 512> FileSector(const std::string& image, std::uint32_t lba) {
  std::array<std::uint8_t, 512> s{};
  std::ifstream in(image, std::ios::binary);
  in.seekg(static_cast<std::streamoff>(lba) * 512);
  in.read(reinterpret_cast<char*>(s.data()), 512);
  return s;
}

TEST(SectorProtocolTest, ReadGoesOverTheWireAsTheProtocolSays) {
  LinkRig rig(40);  // large enough for sector 0x010203
  std::array<std::uint8_t, 512> content{};
  for (int i = 0; i < 512; ++i) content[i] = static_cast<std::uint8_t>(i * 7 + 3);
  {
    std::fstream f(rig.image, std::ios::in | std::ios::out | std::ios::binary);
    f.seekp(0x010203L * 512);
    f.write(reinterpret_cast<const char*>(content.data()), 512);
  }
  auto link = rig.Connect();
  VirtualPlayer& player = *link->virtualPlayer();
  std::array<std::uint8_t, 512> buffer{};
  ASSERT_TRUE(link->pendingAbort());
  ASSERT_EQ(link->LinkReadSector(0x010203, buffer), 1);
  EXPECT_EQ(buffer, content);
  EXPECT_FALSE(link->pendingAbort());

  std::uint32_t sum = 0;
  for (auto b : content) sum += b;
  std::vector<WireEvent> request;
  for (std::uint8_t b : {0x55, 0x02, 0x03, 0x02, 0x01, 0x00, 0x0A}) Append(request, ByteOut(b));
  std::vector<WireEvent> answer = ByteIn(0x06);
  for (auto b : content) Append(answer, ByteIn(b));
  for (std::uint8_t b :
       {std::uint8_t{0xFF}, static_cast<std::uint8_t>(sum >> 8), static_cast<std::uint8_t>(sum)}) {
    Append(answer, ByteIn(b));
  }
  // The first read of the run clears whatever the player was doing: 0xAF, 0xA5.
  std::vector<WireEvent> expected = {WireCode(0xAF), WireCode(0xA5)};
  Append(expected, request);
  Append(expected, answer);
  EXPECT_EQ(player.wireTrace(), expected) << FormatWireTrace(player.wireTrace()).substr(0, 200);
  EXPECT_EQ(request.size(), 21u);      // three codes for each of 7 bytes
  EXPECT_EQ(answer.size(), 516u * 4);  // two codes and two nibbles for each of 1 + 512 + 3 bytes

  // Later reads go straight to the request.
  player.ClearWireTrace();
  ASSERT_EQ(link->LinkReadSector(0x010203, buffer), 1);
  expected = request;
  Append(expected, answer);
  EXPECT_EQ(player.wireTrace(), expected);
}

TEST(SectorProtocolTest, ChecksumsAreTakenModulo65536) {
  LinkRig rig;
  auto link = rig.Connect();
  VirtualPlayer& player = *link->virtualPlayer();
  std::array<std::uint8_t, 512> full;
  full.fill(0xFF);  // sums to 130560 = 0x1FE00
  ASSERT_EQ(link->LinkWriteSector(3, full), 1);
  // The frame's tail: 0xFF, 0xFF, then bits 8-15 and 0-7 of the sum; then the player's Ack.
  std::vector<WireEvent> tail;
  for (std::uint8_t b : {0xFF, 0xFF, 0xFE, 0x00}) Append(tail, ByteOut(b));
  Append(tail, ByteIn(0x06));
  const auto& trace = player.wireTrace();
  ASSERT_GE(trace.size(), tail.size());
  EXPECT_EQ(std::vector<WireEvent>(trace.end() - static_cast<long>(tail.size()), trace.end()), tail);
  EXPECT_EQ(FileSector(rig.image, 3), full);

  std::array<std::uint8_t, 512> back{};
  ASSERT_EQ(link->LinkReadSector(3, back), 1);
  EXPECT_EQ(back, full);
  EXPECT_EQ(link->writeCounter(), 1u);
}

TEST(SectorProtocolTest, CorruptedReadIsLinkState3AndRetriesCleanly) {
  LinkRig rig;
  FaultPlan faults;
  faults.badChecksum = FaultRule::Once(1);
  auto link = rig.Connect(faults);
  std::array<std::uint8_t, 512> buffer{};
  EXPECT_EQ(link->LinkReadSector(0, buffer), 0);
  EXPECT_EQ(link->LinkState(), kLinkBadChecksum);
  EXPECT_TRUE(rig.Traced("Sector read: checksum error"));
  EXPECT_EQ(link->errorCountdown(), 3);  // not a link error
  EXPECT_TRUE(rig.ui.boxes.empty());
  EXPECT_EQ(link->LinkReadSector(0, buffer), 1);
  EXPECT_EQ(link->LinkState(), kLinkOk);
}

TEST(SectorProtocolTest, RefusedWriteIsReportedAbortedAndNotStored) {
  LinkRig rig;
  FaultPlan faults;
  faults.nak = FaultRule::Once(1);
  auto link = rig.Connect(faults);
  std::array<std::uint8_t, 512> data;
  data.fill(0x5A);
  EXPECT_EQ(link->LinkWriteSector(4, data), 0);
  EXPECT_TRUE(rig.Traced("Errore connessione SONVAR Flash reader:\nChecksum error 15 writeOPCNT=1"));
  const auto& trace = link->virtualPlayer()->wireTrace();
  EXPECT_EQ(std::vector<WireEvent>(trace.end() - 2, trace.end()),
            (std::vector<WireEvent>{WireCode(0xAF), WireCode(0xA5)}));
  EXPECT_EQ(FileSector(rig.image, 4), (std::array<std::uint8_t, 512>{}));

  link->ResetLinkState();
  EXPECT_EQ(link->LinkWriteSector(4, data), 1);
  EXPECT_EQ(link->writeCounter(), 2u);
  EXPECT_EQ(FileSector(rig.image, 4), data);
}

TEST(SectorProtocolTest, BusyPlayerIsToldOnceAndStopsTheLinkUntilReset) {
  LinkRig rig;
  FaultPlan faults;
  faults.busy = FaultRule::Once(1);
  auto link = rig.Connect(faults);
  EXPECT_EQ(link->LinkRequestAccess(), 0);
  EXPECT_EQ(link->LinkState(), kLinkAborted);
  ASSERT_EQ(rig.ui.boxes.size(), 1u);
  EXPECT_EQ(rig.ui.boxes[0].text, "SonVar is busy now!");
  EXPECT_EQ(rig.ui.boxes[0].title, "SONDESK - Error");
  EXPECT_EQ(rig.ui.boxes[0].icon, BoxIcon::Stop);

  VirtualPlayer& player = *link->virtualPlayer();
  player.ClearWireTrace();
  std::array<std::uint8_t, 512> buffer{};
  EXPECT_EQ(link->LinkReadSector(0, buffer), 0);
  EXPECT_EQ(link->LinkWriteSector(0, buffer), 0);
  EXPECT_EQ(link->LinkRequestConnect(), -1);
  EXPECT_EQ(link->LinkReleaseAccess(), 1);
  EXPECT_TRUE(player.wireTrace().empty());
  EXPECT_EQ(rig.ui.boxes.size(), 1u);

  link->ResetLinkState();
  EXPECT_EQ(link->LinkRequestConnect(), 1);
  EXPECT_TRUE(player.accessGranted());
  EXPECT_EQ(link->LinkReadSector(0, buffer), 1);
  EXPECT_EQ(link->LinkReleaseAccess(), 1);
  EXPECT_FALSE(player.accessGranted());
}

TEST(SectorProtocolTest, SilentPlayerTimesOutAndIsAborted) {
  LinkRig rig;
  FaultPlan faults;
  faults.strict = true;  // serves nothing without access
  auto link = rig.Connect(faults);
  std::array<std::uint8_t, 512> buffer{};
  const std::uint64_t start = rig.clock.NowMillis();
  EXPECT_EQ(link->LinkReadSector(0, buffer), 0);
  EXPECT_GE(rig.clock.NowMillis() - start, 2500u);
  EXPECT_TRUE(rig.Traced("Errore connessione SONVAR Flash reader:\nNo answer read"));
  EXPECT_EQ(link->virtualPlayer()->counters().aborts, 2u);  // the run's first, and this one's

  EXPECT_EQ(link->LinkWriteSector(0, buffer), 0);
  EXPECT_TRUE(rig.Traced("Errore connessione SONVAR Flash reader:\nNo answer write"));

  link->ResetLinkState();
  ASSERT_EQ(link->LinkRequestAccess(), 1);
  EXPECT_EQ(link->LinkReadSector(0, buffer), 1);
}

TEST(SectorProtocolTest, ReadBeyondTheCardIsRefused) {
  LinkRig rig;
  auto link = rig.Connect();
  std::array<std::uint8_t, 512> buffer{};
  EXPECT_EQ(link->LinkReadSector(2048, buffer), 0);  // a 1 MB card ends at 2047
  EXPECT_TRUE(rig.Traced("Errore connessione SONVAR Flash reader:\nInvalid char 15"));
  EXPECT_EQ(link->LinkWriteSector(kIdentifySector, buffer), 0);
  EXPECT_EQ(link->LinkReadSector(2047, buffer), 1);
}

TEST(SectorProtocolTest, LostStrobeCostsOneAttempt) {
  LinkRig rig;
  FaultPlan faults;
  faults.noAck = FaultRule::Once(12);  // a code inside the request frame
  auto link = rig.Connect(faults);
  std::array<std::uint8_t, 512> buffer{};
  EXPECT_EQ(link->LinkReadSector(5, buffer), 0);
  EXPECT_EQ(link->LinkState(), kLinkNoAnswer);
  link->ResetLinkState();
  EXPECT_EQ(link->LinkReadSector(5, buffer), 1);

  faults.noAck = FaultRule::Once(100);  // a nibble request in the answer
  link->virtualPlayer()->SetFaults(faults);
  link->ResetLinkState();
  for (int attempt = 0; attempt < 2; ++attempt) {
    if (link->LinkReadSector(6, buffer) == 1) break;
    link->ResetLinkState();
  }
  EXPECT_EQ(link->LinkState(), kLinkOk);
}

TEST(SectorProtocolTest, PulledCableEndsInTheDevicePrompt) {
  LinkRig rig;
  FaultPlan faults;
  faults.unplug = FaultRule::Once(2000);
  auto link = rig.Connect(faults);
  std::array<std::uint8_t, 512> buffer{};
  int attempts = 0;
  // What the sector layer does: retry while the link is not cancelled.
  while (link->LinkReadSector(static_cast<std::uint32_t>(attempts % 4), buffer) == 1 ||
         link->LinkState() != kLinkAborted) {
    ASSERT_LT(++attempts, 50);
  }
  EXPECT_TRUE(link->virtualPlayer()->unplugged());
  EXPECT_EQ(rig.PromptsShown(), 1);  // answered Cancel
}

TEST(SectorProtocolTest, TenThousandRandomSectorsThroughAFaultyPlayer) {
  for (bool faulty : {false, true}) {
    SCOPED_TRACE(faulty ? "1% corrupted reads, 1% refused writes" : "clean");
    LinkRig rig;
    FaultPlan faults;
    if (faulty) {
      faults.badChecksum = FaultRule::Chance(1);
      faults.nak = FaultRule::Chance(1);
      faults.seed = 99;
    }
    auto link = rig.Connect(faults);
    link->virtualPlayer()->EnableWireTrace(false);
    const std::uint32_t sectors = link->virtualPlayer()->image().sectorCount();
    std::vector<std::array<std::uint8_t, 512>> model(sectors);
    std::mt19937 rng(1234);
    int retries = 0;
    std::array<std::uint8_t, 512> data{};
    for (int i = 0; i < 10000; ++i) {
      const std::uint32_t lba = rng() % sectors;
      for (auto& b : data) b = static_cast<std::uint8_t>(rng());
      link->ResetLinkState();
      while (link->LinkWriteSector(lba, data) != 1) {
        ASSERT_NE(link->LinkState(), kLinkAborted);
        ASSERT_LT(++retries, 1000);
        link->ResetLinkState();
      }
      model[lba] = data;
    }
    for (int i = 0; i < 10000; ++i) {
      const std::uint32_t lba = rng() % sectors;
      link->ResetLinkState();
      while (link->LinkReadSector(lba, data) != 1) {
        ASSERT_NE(link->LinkState(), kLinkAborted);
        ASSERT_LT(++retries, 1000);
        link->ResetLinkState();
      }
      ASSERT_EQ(data, model[lba]) << "sector " << lba;
    }
    if (faulty) {
      EXPECT_GT(retries, 100);  // about 200 expected
    } else {
      EXPECT_EQ(retries, 0);
    }
    EXPECT_TRUE(rig.ui.boxes.empty());
    // Every acknowledged write is in the file.
    const auto file = test::ReadBytes(rig.image);
    ASSERT_EQ(file.size(), sectors * 512u);
    for (std::uint32_t lba = 0; lba < sectors; ++lba) {
      ASSERT_TRUE(std::equal(model[lba].begin(), model[lba].end(), file.begin() + lba * 512)) << lba;
    }
  }
}

TEST(SectorProtocolTest, IdentificationBlockIsReadLikeASector) {
  LinkRig rig(64);
  auto link = rig.Connect();
  std::array<std::uint8_t, 512> block{};
  ASSERT_EQ(link->LinkReadSector(kIdentifySector, block), 1);
  EXPECT_EQ(block, link->virtualPlayer()->identifyBlock());
  const std::uint32_t sectors = (static_cast<std::uint32_t>(block[14] | block[15] << 8) << 16) |
                                static_cast<std::uint32_t>(block[16] | block[17] << 8);
  EXPECT_EQ(sectors, 64u * 2048);
}

// A read whose data stops early used to be retried forever in silence; it is a link error now, so a
// player that keeps doing it meets the Retry/Cancel question on the third in a row.
TEST(SectorProtocolTest, EarlyEndedReadIsALinkErrorAndEndsInThePrompt) {
  LinkRig rig;
  FaultPlan faults;
  std::string error;
  ASSERT_TRUE(ParseFaultList("shortread", faults, error)) << error;
  auto link = rig.Connect(faults);
  std::array<std::uint8_t, 512> buffer{};
  int attempts = 0;
  while (link->LinkReadSector(0, buffer) != 1 && link->LinkState() != kLinkAborted) ASSERT_LT(++attempts, 10);
  EXPECT_EQ(attempts, 2);  // the third early end asks, and the scripted answer is Cancel
  EXPECT_EQ(rig.PromptsShown(), 1);
  EXPECT_TRUE(rig.Traced("Errore connessione SONVAR Flash reader:\nSector read ended early"));

  // Once only: the retry reads the sector whole.
  LinkRig once;
  ASSERT_TRUE(ParseFaultList("shortread@1", faults, error)) << error;
  auto again = once.Connect(faults);
  EXPECT_EQ(again->LinkReadSector(0, buffer), 0);
  EXPECT_EQ(again->LinkState(), kLinkNoAnswer);
  EXPECT_EQ(again->LinkReadSector(0, buffer), 1);
  EXPECT_EQ(buffer, FileSector(once.image, 0));
}

// A player that never answers: the 2.5 s time-out is waited out in naps, not on a core at 100%.
TEST(SectorProtocolTest, TimeOutsWaitWithoutBurningACore) {
  LinkRig rig;
  Paths paths;
  paths.windir = rig.dir.path();
  paths.workDir = rig.dir.path();
  paths.dataDir = rig.dir / "data";
  Session realTime(rig.ui, paths, SystemClock(), 1);
  FaultPlan faults;
  faults.unplug = FaultRule::Always();
  std::string error;
  auto player = VirtualPlayer::Open(rig.image, faults, error);
  ASSERT_TRUE(player) << error;
  Link link(realTime, std::make_unique<VirtualPort>(std::move(player)));
  auto cpuSeconds = [] {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + t.tv_nsec / 1e9;
  };
  const double cpuBefore = cpuSeconds();
  const double real = test::RealSeconds([&] { EXPECT_EQ(link.WaitAckLow(), 0); });
  const double cpu = cpuSeconds() - cpuBefore;
  EXPECT_GE(real, 2.4);
  EXPECT_LT(cpu, 0.5 * real) << "cpu " << cpu << " s of " << real << " s";
}

}  // namespace
}  // namespace sondesk
