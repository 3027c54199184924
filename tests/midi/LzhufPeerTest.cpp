// Our codec against the classic LZHUF program itself, run as a process on the same files: the
// streams must be the same bytes on every input the benchmark measures, and each side must decode
// the other's. Skipped, with the reason, when the program's source is not beside the source tree.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "midi/Lzhuf.h"
#include "midi/MidiToPayload.h"
#include "tests/midi/MidiTestSession.h"
#include "tests/support/CodecSamples.h"

namespace sondesk::test {
namespace {

using Bytes = std::vector<std::uint8_t>;

#ifdef SONDESK_LZHUF_PEER_PROGRAM
const std::string kPeer = SONDESK_LZHUF_PEER_PROGRAM;
#else
const std::string kPeer;
#endif

class LzhufPeer : public MidiTest {
 protected:
  void SetUp() override {
    if (kPeer.empty()) GTEST_SKIP() << "the classic LZHUF program is not beside the source tree";
    MidiTest::SetUp();
  }

  // Runs the classic program on `input` in both directions and compares with ours.
  void Compare(const std::string& name, const Bytes& input) {
    SCOPED_TRACE(name);
    const std::string raw = tmp / "in.raw", lzh = tmp / "peer.lzh", back = tmp / "peer.raw", ours = tmp / "ours.lzh";
    WriteFile(raw, input);
    ASSERT_EQ(Run("e", raw, lzh), 0);
    const Bytes peerStream = ReadBytes(lzh);
    const Bytes ourStream = LzhufCompress(input);
    ASSERT_EQ(peerStream.size(), ourStream.size());
    EXPECT_TRUE(peerStream == ourStream) << "the streams differ";
    Bytes decoded;
    EXPECT_EQ(LzhufDecompress(peerStream, decoded), LzhufStatus::Ok);
    EXPECT_TRUE(decoded == input) << "our decoder on the classic stream";
    WriteFile(ours, ourStream);
    ASSERT_EQ(Run("d", ours, back), 0);
    EXPECT_TRUE(ReadBytes(back) == input) << "the classic decoder on our stream";
  }

  static int Run(const char* mode, const std::string& in, const std::string& out) {
    const std::string cmd = "'" + kPeer + "' " + mode + " '" + in + "' '" + out + "' >/dev/null";
    const int rc = std::system(cmd.c_str());
    return WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
  }
};

TEST_F(LzhufPeer, TheSharedVectorsAndEveryGeneratedKindGiveTheClassicStreams) {
  for (const char* v : {"empty", "one_byte", "spaces_3", "short_28", "A_30", "spaces_4067", "ab_2000",
                        "random_16k", "far_4067", "text_20k", "text_150k"}) {
    const std::string base = std::string(SONDESK_TEST_DATA) + "/lzhuf-vectors/" + v;
    Compare(v, ReadBytes(base + ".in"));
    // The classic program's stream is the vector itself.
    ASSERT_EQ(Run("e", base + ".in", tmp / "vector.lzh"), 0);
    EXPECT_TRUE(ReadBytes(tmp / "vector.lzh") == ReadBytes(base + ".lzh")) << v;
  }
  for (const CodecSample& s : GeneratedCodecSamples()) Compare(s.name, s.data);
}

// Keys that arrive in order make one-way chains, which the encoder descends following the
// previous descent of the same tree: chains far longer than the path it keeps (records of a
// counter that only grows), chains that go left (one that only falls), and whole 29-byte repeats
// met on the way down (a counter that starts again every 700 records), which put the new position
// in place of the old one.
TEST_F(LzhufPeer, OrderedKeysGiveTheClassicStreams) {
  Bytes rising, falling, restarting;
  for (std::uint32_t i = 0; i < 20000; ++i) {
    rising.insert(rising.end(), {0, static_cast<std::uint8_t>(i >> 8), static_cast<std::uint8_t>(i)});
    const std::uint32_t j = 20000 - i;
    falling.insert(falling.end(), {7, static_cast<std::uint8_t>(j >> 8), static_cast<std::uint8_t>(j), 0});
    const std::uint32_t k = i % 700;
    restarting.insert(restarting.end(),
                      {static_cast<std::uint8_t>(k), static_cast<std::uint8_t>(k >> 8), static_cast<std::uint8_t>(i / 700), 0});
  }
  Compare("rising", rising);
  Compare("falling", falling);
  Compare("restarting", restarting);
}

TEST_F(LzhufPeer, EveryCorpusSongPayloadGivesTheClassicStream) {
  session().noTextWarning = false;
  int compared = 0;
  for (const std::string& file : CorpusSongFiles(SONDESK_SOURCE_DIR)) {
    MidiConversion conv;
    if (ConvertMidiToPayload(session(), file, tmp / "payload.bin", conv) != 0) continue;
    Compare(file, ReadBytes(tmp / "payload.bin"));
    ++compared;
  }
  EXPECT_GT(compared, 0);
}

}  // namespace
}  // namespace sondesk::test
