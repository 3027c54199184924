#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "midi/Lzhuf.h"
#include "midi/LzhufModel.h"
#include "tests/support/TempDir.h"

namespace sondesk {
namespace {

using Bytes = std::vector<std::uint8_t>;

const std::string kVectors = std::string(SONDESK_TEST_DATA) + "/lzhuf-vectors/";
const char* const kVectorNames[] = {"empty",    "one_byte",    "spaces_3", "short_28",
                                    "A_30",     "spaces_4067", "ab_2000",  "random_16k",
                                    "far_4067", "text_20k",    "text_150k"};

Bytes FromHex(const std::string& hex) {
  Bytes b;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
    b.push_back(static_cast<std::uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
  return b;
}

Bytes Decompress(const Bytes& stream, LzhufStatus expected = LzhufStatus::Ok) {
  Bytes out;
  EXPECT_EQ(LzhufDecompress(stream, out), expected);
  return out;
}

TEST(LzhufVectors, EveryVectorIsByteExactBothWays) {
  for (const char* name : kVectorNames) {
    SCOPED_TRACE(name);
    const Bytes in = test::ReadBytes(kVectors + name + ".in");
    const Bytes lzh = test::ReadBytes(kVectors + name + ".lzh");
    ASSERT_GE(lzh.size(), 4u);
    EXPECT_EQ(LzhufCompress(in), lzh);
    EXPECT_EQ(Decompress(lzh), in);
  }
}

TEST(Lzhuf, SmallInputsGiveTheKnownStreams) {
  EXPECT_EQ(LzhufCompress(Bytes{}), FromHex("00000000"));
  EXPECT_EQ(LzhufCompress(Bytes{'x'}), FromHex("0100000042"));
  EXPECT_EQ(LzhufCompress(Bytes(10, 0)), FromHex("0a000000e5680000"));
  // Thirty equal bytes are one literal and one 29-byte match at distance 1: 8 + 8 + 9 bits.
  EXPECT_EQ(LzhufCompress(Bytes(30, 'A')), FromHex("1e0000000b0b0000"));
  for (std::uint8_t b : {std::uint8_t{'Z'}, std::uint8_t{0x7F}, std::uint8_t{0xFF}}) {
    const Bytes in(30, b);
    const Bytes z = LzhufCompress(in);
    EXPECT_EQ(z.size(), 8u) << int(b);
    EXPECT_EQ(Decompress(z), in);
  }
  // 4067 spaces match the prefilled ring from the first byte on.
  const Bytes spaces(4067, ' ');
  const Bytes z = LzhufCompress(spaces);
  EXPECT_EQ(z.size(), 215u);
  EXPECT_EQ(Decompress(z), spaces);
  // The empty stream decodes to nothing; appending keeps what the buffer held.
  Bytes out = {1, 2, 3};
  EXPECT_EQ(LzhufDecompress(FromHex("00000000"), out), LzhufStatus::Ok);
  EXPECT_EQ(out, (Bytes{1, 2, 3}));
  EXPECT_EQ(LzhufDecompress(z, out), LzhufStatus::Ok);
  EXPECT_EQ(out.size(), 3u + 4067u);
}

// Shapes the vectors do not have: long runs, every byte value, data that makes the tree rebuild
// many times, and MIDI-like event streams with many short repeats.
TEST(Lzhuf, LargerInputsRoundTrip) {
  std::mt19937 rng(7);
  std::vector<Bytes> inputs;
  Bytes all;
  for (int rep = 0; rep < 40; ++rep)
    for (int v = 0; v < 256; ++v) all.push_back(static_cast<std::uint8_t>(v));
  inputs.push_back(all);
  Bytes runs;
  while (runs.size() < 300000) runs.insert(runs.end(), rng() % 200, static_cast<std::uint8_t>(rng() % 4));
  inputs.push_back(runs);
  Bytes skewed;  // a few dominant symbols: deep codes on the rare ones
  for (int i = 0; i < 400000; ++i) {
    const unsigned x = rng() % 1000;
    skewed.push_back(static_cast<std::uint8_t>(x < 900 ? 'a' : x < 990 ? 'b' : x % 256));
  }
  inputs.push_back(skewed);
  Bytes midi;
  for (int i = 0; i < 20000; ++i) {
    const std::uint8_t key = static_cast<std::uint8_t>(40 + rng() % 24);
    for (std::uint8_t b :
         {std::uint8_t(rng() % 3 == 0 ? 0x83 : 0x00), std::uint8_t(0x90 | (i % 4)), key,
          std::uint8_t(64 + rng() % 8), std::uint8_t(0x60), std::uint8_t(0x80 | (i % 4)), key})
      midi.push_back(b);
  }
  inputs.push_back(midi);
  Bytes counters;  // keys in order: long one-way chains in the encoder's search trees
  for (std::uint32_t i = 0; i < 30000; ++i) {
    const std::uint32_t k = i % 5000;
    counters.insert(counters.end(), {0, static_cast<std::uint8_t>(k >> 8), static_cast<std::uint8_t>(k),
                                     static_cast<std::uint8_t>(i < 15000 ? 1 : 0)});
  }
  inputs.push_back(counters);
  for (const Bytes& in : inputs) {
    const Bytes z = LzhufCompress(in);
    ASSERT_GE(z.size(), 4u);
    EXPECT_EQ(Decompress(z), in) << in.size();
  }
}

TEST(LzhufDamage, TruncatedStreamsAndOverlongSizeWordsFailCleanly) {
  const Bytes lzh = test::ReadBytes(kVectors + "text_20k.lzh");
  const Bytes in = test::ReadBytes(kVectors + "text_20k.in");
  // Every shorter stream needs bits it no longer has.
  for (std::size_t cut = 4; cut < lzh.size(); cut += (cut < 64 || cut + 64 > lzh.size()) ? 1 : 61) {
    Bytes out;
    const Bytes shorter(lzh.begin(), lzh.begin() + static_cast<std::ptrdiff_t>(cut));
    ASSERT_EQ(LzhufDecompress(shorter, out), LzhufStatus::Truncated) << cut;
    EXPECT_LT(out.size(), in.size());
    EXPECT_TRUE(std::equal(out.begin(), out.end(), in.begin())) << "what was decoded is right";
  }
  // Fewer than four bytes: no size word.
  for (std::size_t n = 0; n < 4; ++n) Decompress(Bytes(n, 0), LzhufStatus::NoSizeWord);
  // A size word the bits cannot give: fails without taking memory for it.
  for (std::uint32_t size : {20480u + 5000u, 0x00FFFFFFu, 0xFFFFFFFFu}) {
    Bytes bigger = lzh;
    bigger[0] = static_cast<std::uint8_t>(size);
    bigger[1] = static_cast<std::uint8_t>(size >> 8);
    bigger[2] = static_cast<std::uint8_t>(size >> 16);
    bigger[3] = static_cast<std::uint8_t>(size >> 24);
    Bytes out;
    EXPECT_EQ(LzhufDecompress(bigger, out), LzhufStatus::Truncated) << size;
    EXPECT_LE(out.capacity(), lzh.size() * 24 + 64);  // at most 2.9 bytes per bit
    ASSERT_GE(out.size(), in.size());
    EXPECT_TRUE(std::equal(in.begin(), in.end(), out.begin()));
  }
  // A smaller size word stops early; bytes after the stream are ignored.
  Bytes smaller = lzh;
  smaller[0] = 100;
  smaller[1] = 0;
  EXPECT_EQ(Decompress(smaller), Bytes(in.begin(), in.begin() + 100));
  Bytes trailing = lzh;
  trailing.insert(trailing.end(), 50, 0xAB);
  EXPECT_EQ(Decompress(trailing), in);
}

TEST(LzhufDamage, GarbageAlwaysEndsWithinItsSize) {
  std::mt19937 rng(11);
  for (int i = 0; i < 300; ++i) {
    Bytes junk(4 + rng() % 300);
    for (auto& b : junk) b = static_cast<std::uint8_t>(rng());
    Bytes out;
    const LzhufStatus s = LzhufDecompress(junk, out);
    std::uint32_t size = 0;
    ASSERT_TRUE(LzhufStoredSize(junk, size));
    EXPECT_LE(out.size(), size);
    if (s == LzhufStatus::Ok) {
      EXPECT_EQ(out.size(), size);
    }
  }
}

// The decoder as the classic program has it: one bit at a time down the plain tree, every byte
// through the ring, zero bits past the end, a last match cut at the size. The codec's own decoder
// walks tables it keeps beside the tree and copies from its output; on any stream, damaged or
// not, it must give the same bytes, or on a damaged one stop early on the same track.
Bytes PlainDecode(const Bytes& stream) {
  using namespace lzhuf_detail;
  std::uint32_t size = 0;
  if (!LzhufStoredSize(stream, size)) return {};
  std::size_t bitPos = 32;
  const auto bit = [&] {
    const std::size_t byte = bitPos / 8;
    const int b = byte < stream.size() ? (stream[byte] >> (7 - bitPos % 8)) & 1 : 0;
    ++bitPos;
    return b;
  };
  HuffmanTree h;
  h.Start();
  std::uint8_t ring[N] = {};
  std::fill(ring, ring + N - F, ' ');
  int r = N - F;
  Bytes out;
  while (out.size() < size) {
    int c = h.son[R];
    while (c < T) c = h.son[c + bit()];
    c -= T;
    h.Update(c);
    if (c < 256) {
      out.push_back(static_cast<std::uint8_t>(c));
      ring[r] = static_cast<std::uint8_t>(c);
      r = (r + 1) & (N - 1);
      continue;
    }
    int q = 0;
    for (int k = 0; k < 8; ++k) q = (q << 1) | bit();
    const int len = kPositionDecode.len[q];
    const int upper = kPositionDecode.upper[q];
    for (int k = 0; k < len - 2; ++k) q = (q << 1) | bit();
    q = (upper << 6) | (q & 63);
    for (int k = 0; k < c - 253 && out.size() < size; ++k) {
      const std::uint8_t v = ring[(r - q - 1) & (N - 1)];
      out.push_back(v);
      ring[r] = v;
      r = (r + 1) & (N - 1);
    }
  }
  return out;
}

TEST(LzhufDamage, DamagedStreamsDecodeAsThePlainTreeWalkDoes) {
  std::mt19937 rng(20);
  std::vector<Bytes> streams;
  for (const char* name : {"random_16k", "text_20k", "far_4067", "ab_2000"})
    streams.push_back(test::ReadBytes(kVectors + std::string(name) + ".lzh"));
  int stoppedEarly = 0;
  for (int i = 0; i < 400; ++i) {
    Bytes z = streams[static_cast<std::size_t>(i) % streams.size()];
    if (i % 4 == 3) {
      // Garbage with a size it may well give: the tree evolves in ways no encoder leads it.
      z.assign(4 + rng() % 3000, 0);
      for (std::size_t k = 4; k < z.size(); ++k) z[k] = static_cast<std::uint8_t>(rng());
      z[0] = static_cast<std::uint8_t>(rng());
      z[1] = static_cast<std::uint8_t>(rng() % 64);
    } else {
      for (int flips = 1 + static_cast<int>(rng() % 3); flips > 0; --flips)
        z[4 + rng() % (z.size() - 4)] ^= static_cast<std::uint8_t>(1u << (rng() % 8));
    }
    const Bytes plain = PlainDecode(z);
    Bytes ours;
    if (LzhufDecompress(z, ours) == LzhufStatus::Ok) {
      ASSERT_EQ(ours, plain) << i;
    } else {
      ++stoppedEarly;
      ASSERT_LE(ours.size(), plain.size()) << i;
      ASSERT_TRUE(std::equal(ours.begin(), ours.end(), plain.begin())) << i;
    }
  }
  EXPECT_GT(stoppedEarly, 0);
  EXPECT_LT(stoppedEarly, 400);
}

// The streaming forms against the in-memory ones: the same bytes, whatever the chunk boundaries cut
// (literals, matches that reach back across a handed-on chunk, the last partial chunk), the same
// damage rules, and a sink that refuses bytes stops the coder with WriteFailed.
class RecordingSink : public LzhufSink {
 public:
  Bytes bytes;
  std::vector<std::size_t> chunks;
  std::size_t refuseAfter = SIZE_MAX;  // refuse the write that would pass this many bytes
  int refusals = 0;
  int offersAfterRefusal = 0;
  bool Write(const std::uint8_t* data, std::size_t size) override {
    chunks.push_back(size);
    offersAfterRefusal += refusals;
    if (bytes.size() + size > refuseAfter) {
      ++refusals;
      return false;
    }
    bytes.insert(bytes.end(), data, data + size);
    return true;
  }
};

TEST(LzhufSink, StreamingGivesTheInMemoryBytesAcrossChunkBoundaries) {
  std::mt19937 rng(5);
  Bytes far;  // random blocks repeated 4000 bytes later: matches reach to the window's far end
  while (far.size() < 3 * kLzhufSinkChunk + 777) {
    Bytes block(4000);
    for (auto& b : block) b = static_cast<std::uint8_t>(rng());
    far.insert(far.end(), block.begin(), block.end());
    far.insert(far.end(), block.begin(), block.begin() + 3000);
  }
  Bytes runs(2 * kLzhufSinkChunk + 5, 'r');  // 29-byte matches straddle every flush
  Bytes random(kLzhufSinkChunk + lzhuf_detail::N + 1);
  for (auto& b : random) b = static_cast<std::uint8_t>(rng());
  for (const Bytes& in : {Bytes{}, Bytes{'x'}, far, runs, random, test::ReadBytes(kVectors + "text_150k.in")}) {
    SCOPED_TRACE(in.size());
    const Bytes z = LzhufCompress(in);
    RecordingSink packed;
    ASSERT_EQ(LzhufCompress(in, packed), LzhufStatus::Ok);
    EXPECT_TRUE(packed.bytes == z);
    RecordingSink unpacked;
    ASSERT_EQ(LzhufDecompress(z, unpacked), LzhufStatus::Ok);
    EXPECT_TRUE(unpacked.bytes == in);
    for (std::size_t n : packed.chunks) EXPECT_LE(n, kLzhufSinkChunk);
    for (std::size_t n : unpacked.chunks) EXPECT_LE(n, kLzhufSinkChunk + lzhuf_detail::F);
  }
}

// Matches that reach back fewer than 8 bytes repeat a pattern that they write themselves: every
// period of 1 to 16 bytes, every phase a match can end at, in memory and through a sink (the
// periods also straddle the sink's chunks).
TEST(Lzhuf, EveryShortPeriodRepeatsExactly) {
  std::mt19937 rng(11);
  Bytes in;
  while (in.size() < 2 * kLzhufSinkChunk + 300) {
    const int period = 1 + static_cast<int>(rng() % 16);
    Bytes unit(static_cast<std::size_t>(period));
    for (auto& b : unit) b = static_cast<std::uint8_t>(rng());
    const std::size_t length = static_cast<std::size_t>(period) + rng() % 90;
    for (std::size_t k = 0; k < length; ++k) in.push_back(unit[k % unit.size()]);
    in.push_back(static_cast<std::uint8_t>(rng()));  // a literal between the runs
  }
  const Bytes z = LzhufCompress(in);
  EXPECT_EQ(Decompress(z), in);
  RecordingSink unpacked;
  ASSERT_EQ(LzhufDecompress(z, unpacked), LzhufStatus::Ok);
  EXPECT_TRUE(unpacked.bytes == in);
}

TEST(LzhufSink, DamagedStreamsHandOnWhatTheInMemoryFormKeeps) {
  const Bytes lzh = test::ReadBytes(kVectors + "text_150k.lzh");
  for (std::size_t cut : {std::size_t{4}, std::size_t{5}, std::size_t{20000}, std::size_t{40000}, lzh.size() - 1}) {
    const Bytes shorter(lzh.begin(), lzh.begin() + static_cast<std::ptrdiff_t>(cut));
    Bytes out;
    RecordingSink sink;
    EXPECT_EQ(LzhufDecompress(shorter, out), LzhufStatus::Truncated) << cut;
    EXPECT_EQ(LzhufDecompress(shorter, sink), LzhufStatus::Truncated) << cut;
    EXPECT_TRUE(sink.bytes == out) << cut;
  }
  RecordingSink none;
  EXPECT_EQ(LzhufDecompress(Bytes{1, 2}, none), LzhufStatus::NoSizeWord);
  EXPECT_EQ(LzhufDecompress(FromHex("00000000"), none), LzhufStatus::Ok);
  EXPECT_TRUE(none.chunks.empty());
}

TEST(LzhufSink, ARefusedWriteStopsTheCoder) {
  const Bytes in = test::ReadBytes(kVectors + "text_150k.in");
  const Bytes z = LzhufCompress(in);
  for (std::size_t refuseAfter : {std::size_t{0}, std::size_t{3}, kLzhufSinkChunk - 1, z.size() - 1}) {
    RecordingSink sink;
    sink.refuseAfter = refuseAfter;
    EXPECT_EQ(LzhufCompress(in, sink), LzhufStatus::WriteFailed) << refuseAfter;
    EXPECT_EQ(sink.refusals, 1) << refuseAfter;
    EXPECT_EQ(sink.offersAfterRefusal, 0) << refuseAfter;
  }
  for (std::size_t refuseAfter : {std::size_t{0}, kLzhufSinkChunk, in.size() - 1}) {
    RecordingSink sink;
    sink.refuseAfter = refuseAfter;
    EXPECT_EQ(LzhufDecompress(z, sink), LzhufStatus::WriteFailed) << refuseAfter;
    EXPECT_EQ(sink.offersAfterRefusal, 0) << refuseAfter;
    EXPECT_TRUE(std::equal(sink.bytes.begin(), sink.bytes.end(), in.begin()));
  }
  EXPECT_STREQ(LzhufStatusText(LzhufStatus::WriteFailed), "the output could not be written");
}

}  // namespace
}  // namespace sondesk
