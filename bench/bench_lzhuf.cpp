// Throughput of the song compression, side by side on the same inputs with:
//  - a classic-style build of the same codec: the same model and search trees, but byte-at-a-time
//    stdio input and output, a bit-per-call reader with a 16-bit window, a 16-bit bit writer,
//    byte-by-byte key comparisons, a plain upward scan in the tree update and 32-bit tree links,
//    the way the old public-domain program is put together; it stands in for that program's
//    speed, against which the goals (decoding 2x, encoding 1.2x) are set;
//  - zlib, deflate level 6 and inflate.
// Every rate is MB/s of uncompressed bytes. After the runs a table gives the rates and the ratios.
//
//   ninja -C build-mf3 bench_lzhuf && build-mf3/bench/bench_lzhuf --benchmark_repetitions=3

#include <benchmark/benchmark.h>
#include <zlib.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "midi/Lzhuf.h"
#include "midi/LzhufModel.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using namespace sondesk;
using namespace sondesk::lzhuf_detail;

// ---- inputs ---------------------------------------------------------------------------------

void PutVlq(Bytes& b, std::uint32_t v) {
  std::uint8_t tmp[5];
  int n = 0;
  tmp[n++] = v & 0x7F;
  while (v >>= 7) tmp[n++] = static_cast<std::uint8_t>(0x80 | (v & 0x7F));
  while (n) b.push_back(tmp[--n]);
}

// A payload as the conversion writes it: format 0 at 480 ticks, every event with its status,
// two-byte note-offs, beat and bar markers, the player's lyric SysEx events and lyric metas.
Bytes MidiPayload(unsigned seed, int bars, int channels) {
  std::mt19937 rng(seed);
  Bytes b = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1, 0x01, 0xE0, 'M', 'T', 'r', 'k', 0, 0, 0, 0};
  const char* words[] = {"a", "mo", "re", "cuo", "re", "mi", "o", "la", "not", "te", "bel", "la", "ve", "ra"};
  for (int c = 0; c < channels; ++c) {
    for (std::uint8_t x : {std::uint8_t(0), std::uint8_t(0xC0 | c), std::uint8_t(rng() % 128),
                           std::uint8_t(0), std::uint8_t(0xB0 | c), std::uint8_t(7), std::uint8_t(100)})
      b.push_back(x);
  }
  std::vector<int> pattern(16);
  for (int& p : pattern) p = 48 + static_cast<int>(rng() % 24);
  for (int bar = 0; bar < bars; ++bar) {
    if (bar > 0) {
      b.insert(b.end(), {0x00, 0xA9, static_cast<std::uint8_t>((bar - 1) & 0xFF),
                         static_cast<std::uint8_t>((bar - 1) >> 8)});
    }
    if (bar % 2 == 0) {  // a lyric page line
      std::string line;
      for (int w = 0; w < 5; ++w) line += words[rng() % 14];
      b.insert(b.end(), {0x00, 0xF0, static_cast<std::uint8_t>(line.size() + 6), 0x00, 0x20, 0x24, 0x00,
                         static_cast<std::uint8_t>(0x04 + bar % 4)});
      b.insert(b.end(), line.begin(), line.end());
      b.push_back(0xF7);
    }
    for (int beat = 0; beat < 4; ++beat) {
      if (beat > 0) b.insert(b.end(), {0x00, 0xA8, static_cast<std::uint8_t>(beat), 0x00});
      b.insert(b.end(), {0x00, 0xFF, 0x05, 0x02});
      const char* w = words[rng() % 14];
      b.push_back(static_cast<std::uint8_t>(w[0]));
      b.push_back(static_cast<std::uint8_t>(w[1] ? w[1] : ' '));
      for (int c = 0; c < channels; ++c) {
        const int key = pattern[(bar * 4 + beat + c) % 16] + (c == 9 ? 0 : static_cast<int>(rng() % 3));
        b.insert(b.end(), {0x00, static_cast<std::uint8_t>(0x90 | c), static_cast<std::uint8_t>(key),
                           static_cast<std::uint8_t>(80 + rng() % 30)});
      }
      PutVlq(b, 120 + rng() % 4);
      for (int c = 0; c < channels; ++c) {
        b.insert(b.end(), {static_cast<std::uint8_t>(0x80 | c),
                           static_cast<std::uint8_t>(pattern[(bar * 4 + beat + c) % 16])});
        b.push_back(0x00);
      }
      b.pop_back();
      PutVlq(b, 360);
    }
  }
  b.insert(b.end(), {0x00, 0xFF, 0x2F, 0x00});
  const std::uint32_t len = static_cast<std::uint32_t>(b.size() - 22);
  b[18] = static_cast<std::uint8_t>(len >> 24);
  b[19] = static_cast<std::uint8_t>(len >> 16);
  b[20] = static_cast<std::uint8_t>(len >> 8);
  b[21] = static_cast<std::uint8_t>(len);
  return b;
}

// 5 MB of mixed blocks: MIDI payloads, word text with CR LF, random bytes, runs and a table-like
// binary region.
Bytes Mixed5MB() {
  std::mt19937 rng(2024);
  const char* vocab[] = {"the",  "song", "of",    "night", "and", "light", "volare", "cantare",
                         "love", "you",  "heart", "sea",   "oh",  "la",    "my",     "blue"};
  Bytes b;
  const std::size_t target = 5u * 1024 * 1024;
  unsigned block = 0;
  while (b.size() < target) {
    switch (block++ % 5) {
      case 0: {
        const Bytes m = MidiPayload(block, 60, 6);
        b.insert(b.end(), m.begin(), m.end());
        break;
      }
      case 1:
        for (int i = 0; i < 8000; ++i) {
          const std::string w = vocab[rng() % 16];
          b.insert(b.end(), w.begin(), w.end());
          if (rng() % 12 == 0) {
            b.push_back('\r');
            b.push_back('\n');
          } else {
            b.push_back(' ');
          }
        }
        break;
      case 2:
        for (int i = 0; i < 30000; ++i) b.push_back(static_cast<std::uint8_t>(rng()));
        break;
      case 3:
        for (int i = 0; i < 200; ++i)
          b.insert(b.end(), 20 + rng() % 300, static_cast<std::uint8_t>(rng() % 8));
        break;
      default:
        for (std::uint32_t i = 0; i < 12000; ++i) {
          const std::uint32_t v = i * 2654435761u;
          b.insert(b.end(), {static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(i >> 8),
                             static_cast<std::uint8_t>(v >> 28), 0});
        }
        break;
    }
  }
  b.resize(target);
  return b;
}

struct Input {
  std::string name;
  Bytes data;
};

const std::vector<Input>& Inputs() {
  static const std::vector<Input> inputs = [] {
    std::vector<Input> v;
    v.push_back({"song_short", MidiPayload(1, 40, 4)});
    v.push_back({"song_medium", MidiPayload(2, 120, 8)});
    v.push_back({"song_long", MidiPayload(3, 300, 12)});
    v.push_back({"mixed_5MB", Mixed5MB()});
    return v;
  }();
  return inputs;
}

// ---- the classic-style baseline ---------------------------------------------------------------

struct ClassicDecoder {
  HuffmanTree h;
  std::uint8_t ring[N];
  std::FILE* in = nullptr;
  std::uint32_t window = 0;  // 16 bits, left-aligned
  int have = 0;

  int GetBit() {
    while (have <= 8) {
      int c = std::getc(in);
      if (c < 0) c = 0;
      window |= static_cast<std::uint32_t>(c) << (8 - have);
      have += 8;
    }
    const int bit = (window >> 15) & 1;
    window = (window << 1) & 0xFFFF;
    --have;
    return bit;
  }
  int GetByte() {
    while (have <= 8) {
      int c = std::getc(in);
      if (c < 0) c = 0;
      window |= static_cast<std::uint32_t>(c) << (8 - have);
      have += 8;
    }
    const int byte = static_cast<int>(window >> 8);
    window = (window << 8) & 0xFFFF;
    have -= 8;
    return byte;
  }
  int DecodeChar() {
    int c = h.son[R];
    while (c < T) c = h.son[c + GetBit()];
    c -= T;
    h.Update<false>(c);
    return c;
  }
  int DecodePosition() {
    int i = GetByte();
    const int upper = kPositionDecode.upper[i];
    int j = kPositionDecode.len[i] - 2;
    while (j--) i = (i << 1) + GetBit();
    return (upper << 6) | (i & 63);
  }
  void Run(std::FILE* input, std::FILE* out) {
    in = input;
    std::uint32_t size = 0;
    for (int k = 0; k < 4; ++k) size |= static_cast<std::uint32_t>(std::getc(in) & 0xFF) << (8 * k);
    if (size == 0) return;
    h.Start();
    std::memset(ring, ' ', N - F);
    std::memset(ring + N - F, 0, F);
    int r = N - F;
    for (std::uint32_t count = 0; count < size;) {
      const int c = DecodeChar();
      if (c < 256) {
        std::putc(c, out);
        ring[r] = static_cast<std::uint8_t>(c);
        r = (r + 1) & (N - 1);
        ++count;
      } else {
        const int from = (r - DecodePosition() - 1) & (N - 1);
        for (int k = 0; k < c - 253; ++k) {
          const std::uint8_t v = ring[(from + k) & (N - 1)];
          std::putc(v, out);
          ring[r] = v;
          r = (r + 1) & (N - 1);
          ++count;
        }
      }
    }
  }
};

struct ClassicEncoder {
  HuffmanTree h;
  BasicSearchTrees<int> t;
  std::FILE* out = nullptr;
  std::uint32_t acc = 0;  // 16 bits, left-aligned
  int pending = 0;

  // `len` bits given left-aligned in a 16-bit `code`; the window holds fewer than 8 between calls.
  void PutCode(int len, std::uint32_t code) {
    acc = (acc | (code >> pending)) & 0xFFFF;
    pending += len;
    if (pending >= 8) {
      std::putc(static_cast<int>(acc >> 8), out);
      pending -= 8;
      if (pending >= 8) {
        std::putc(static_cast<int>(acc & 0xFF), out);
        pending -= 8;
        acc = (code << (len - pending)) & 0xFFFF;
      } else {
        acc = (acc << 8) & 0xFFFF;
      }
    }
  }
  void EncodeChar(int symbol) {
    std::uint32_t code = 0;
    int len = 0;
    int k = h.prnt[symbol + T];
    do {
      code >>= 1;
      if (k & 1) code |= 0x8000;
      ++len;
      k = h.prnt[k];
    } while (k != R);
    PutCode(len, code);
    h.Update<false>(symbol);
  }
  void EncodePosition(int q) {
    const int upper = q >> 6;
    PutCode(kPositionLen[upper], static_cast<std::uint32_t>(kPositionCode[upper]) << 8);
    PutCode(6, static_cast<std::uint32_t>(q & 63) << 10);
  }
  void Run(std::FILE* in, std::FILE* output) {
    out = output;
    std::fseek(in, 0, SEEK_END);
    const auto size = static_cast<std::uint32_t>(std::ftell(in));
    std::rewind(in);
    for (int k = 0; k < 4; ++k) std::putc(static_cast<int>((size >> (8 * k)) & 0xFF), out);
    if (size == 0) return;
    h.Start();
    t.Start();
    int s = 0, r = N - F, len = 0, c;
    while (len < F && (c = std::getc(in)) != EOF) t.text[r + len++] = static_cast<std::uint8_t>(c);
    for (int i = 1; i <= F; ++i) t.template Insert<true>(r - i);
    t.template Insert<true>(r);
    do {
      int ml = t.matchLength > len ? len : t.matchLength;
      if (ml <= kThreshold) {
        ml = 1;
        EncodeChar(t.text[r]);
      } else {
        EncodeChar(255 - kThreshold + ml);
        EncodePosition(t.matchPosition);
      }
      int i = 0;
      for (; i < ml && (c = std::getc(in)) != EOF; ++i) {
        t.Delete(s);
        t.text[s] = static_cast<std::uint8_t>(c);
        if (s < F - 1) t.text[s + N] = static_cast<std::uint8_t>(c);
        s = (s + 1) & (N - 1);
        r = (r + 1) & (N - 1);
        t.template Insert<true>(r);
      }
      for (; i < ml; ++i) {
        t.Delete(s);
        s = (s + 1) & (N - 1);
        r = (r + 1) & (N - 1);
        if (--len > 0) t.template Insert<true>(r);
      }
    } while (len > 0);
    if (pending > 0) std::putc(static_cast<int>((acc >> 8) & 0xFF), out);
  }
};

// Runs `fn(in, out)` over stdio streams on memory, as the old program ran over files.
template <typename Fn>
Bytes OverStdio(const Bytes& input, Fn fn) {
  std::FILE* in = fmemopen(const_cast<std::uint8_t*>(input.data()), input.size() ? input.size() : 1, "rb");
  char* buf = nullptr;
  std::size_t len = 0;
  std::FILE* out = open_memstream(&buf, &len);
  fn(in, out);
  std::fclose(in);
  std::fclose(out);
  Bytes result(buf, buf + len);
  std::free(buf);
  return result;
}

Bytes ClassicCompress(const Bytes& input) {
  auto enc = std::make_unique<ClassicEncoder>();
  return OverStdio(input, [&](std::FILE* in, std::FILE* out) { enc->Run(in, out); });
}
Bytes ClassicDecompress(const Bytes& stream) {
  auto dec = std::make_unique<ClassicDecoder>();
  return OverStdio(stream, [&](std::FILE* in, std::FILE* out) { dec->Run(in, out); });
}

// ---- zlib --------------------------------------------------------------------------------------

Bytes ZlibDeflate(const Bytes& in) {
  uLongf len = compressBound(static_cast<uLong>(in.size()));
  Bytes out(len);
  compress2(out.data(), &len, in.data(), static_cast<uLong>(in.size()), 6);
  out.resize(len);
  return out;
}
Bytes ZlibInflate(const Bytes& z, std::size_t size) {
  Bytes out(size);
  uLongf len = static_cast<uLongf>(size);
  uncompress(out.data(), &len, z.data(), static_cast<uLong>(z.size()));
  out.resize(len);
  return out;
}

// ---- benchmarks -----------------------------------------------------------------------------

struct Prepared {
  Bytes lzh, zlib;
};
const Prepared& PreparedFor(std::size_t i) {
  static std::map<std::size_t, Prepared> cache;
  auto it = cache.find(i);
  if (it == cache.end()) {
    const Bytes& in = Inputs()[i].data;
    Prepared p{LzhufCompress(in), ZlibDeflate(in)};
    it = cache.emplace(i, std::move(p)).first;
  }
  return it->second;
}

void Finish(benchmark::State& state, std::size_t raw, std::size_t packed) {
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * raw));
  state.counters["ratio"] = static_cast<double>(packed) / static_cast<double>(raw);
}

void LzhufCompressBench(benchmark::State& state, std::size_t i) {
  const Bytes& in = Inputs()[i].data;
  Bytes out;
  for (auto _ : state) {
    out.clear();
    LzhufCompress(in, out);
    benchmark::DoNotOptimize(out.data());
  }
  if (out != PreparedFor(i).lzh) state.SkipWithError("output differs");
  Finish(state, in.size(), out.size());
}
void LzhufDecompressBench(benchmark::State& state, std::size_t i) {
  const Bytes& in = Inputs()[i].data;
  const Bytes& z = PreparedFor(i).lzh;
  Bytes out;
  for (auto _ : state) {
    out.clear();
    LzhufDecompress(z, out);
    benchmark::DoNotOptimize(out.data());
  }
  if (out != in) state.SkipWithError("output differs");
  Finish(state, in.size(), z.size());
}
void ClassicCompressBench(benchmark::State& state, std::size_t i) {
  const Bytes& in = Inputs()[i].data;
  Bytes out;
  for (auto _ : state) out = ClassicCompress(in);
  if (out != PreparedFor(i).lzh) state.SkipWithError("classic-style output differs");
  Finish(state, in.size(), out.size());
}
void ClassicDecompressBench(benchmark::State& state, std::size_t i) {
  const Bytes& in = Inputs()[i].data;
  const Bytes& z = PreparedFor(i).lzh;
  Bytes out;
  for (auto _ : state) out = ClassicDecompress(z);
  if (out != in) state.SkipWithError("classic-style output differs");
  Finish(state, in.size(), z.size());
}
void ZlibDeflateBench(benchmark::State& state, std::size_t i) {
  const Bytes& in = Inputs()[i].data;
  Bytes out;
  for (auto _ : state) {
    out = ZlibDeflate(in);
    benchmark::DoNotOptimize(out.data());
  }
  Finish(state, in.size(), out.size());
}
void ZlibInflateBench(benchmark::State& state, std::size_t i) {
  const Bytes& in = Inputs()[i].data;
  const Bytes& z = PreparedFor(i).zlib;
  Bytes out;
  for (auto _ : state) {
    out = ZlibInflate(z, in.size());
    benchmark::DoNotOptimize(out.data());
  }
  if (out != in) state.SkipWithError("inflate differs");
  Finish(state, in.size(), z.size());
}

const char* const kKinds[] = {"lzhuf_compress",   "classic_compress",   "zlib_deflate6",
                              "lzhuf_decompress", "classic_decompress", "zlib_inflate"};

void RegisterAll() {
  using Fn = void (*)(benchmark::State&, std::size_t);
  const Fn fns[] = {LzhufCompressBench,   ClassicCompressBench,   ZlibDeflateBench,
                    LzhufDecompressBench, ClassicDecompressBench, ZlibInflateBench};
  for (std::size_t i = 0; i < Inputs().size(); ++i) {
    for (int k = 0; k < 6; ++k) {
      benchmark::RegisterBenchmark((std::string(kKinds[k]) + "/" + Inputs()[i].name).c_str(), fns[k], i)
          ->Unit(benchmark::kMillisecond)
          ->MinTime(0.3);
    }
  }
}

// Keeps each run's rate so the table at the end can set them side by side.
class TableReporter : public benchmark::ConsoleReporter {
 public:
  std::map<std::string, std::pair<double, double>> results;  // name -> (MB/s, ratio)
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.run_type != Run::RT_Iteration || run.error_occurred) continue;
      auto bps = run.counters.find("bytes_per_second");
      auto ratio = run.counters.find("ratio");
      if (bps == run.counters.end()) continue;
      // With --benchmark_repetitions the best run counts: the machine is shared and slow runs
      // measure the neighbours.
      auto& best = results[run.run_name.function_name];
      const double rate = bps->second.value / 1e6;
      if (rate > best.first) best = {rate, ratio == run.counters.end() ? 0 : ratio->second.value};
    }
    ConsoleReporter::ReportRuns(runs);
  }
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  RegisterAll();
  TableReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);

  auto get = [&](const std::string& kind, const std::string& input) {
    auto it = reporter.results.find(kind + "/" + input);
    return it == reporter.results.end() ? std::make_pair(0.0, 0.0) : it->second;
  };
  std::printf("\nMB/s of uncompressed bytes; x = rate of ours divided by the other's\n");
  std::printf("%-12s %9s | %8s %8s %8s %7s %7s | %8s %8s %8s %7s %7s | %6s %6s\n", "input", "bytes", "comp",
              "classic", "deflate", "x clas", "x zlib", "decomp", "classic", "inflate", "x clas", "x zlib",
              "lzh", "zlib");
  for (const Input& in : Inputs()) {
    const auto c = get("lzhuf_compress", in.name), cc = get("classic_compress", in.name),
               zc = get("zlib_deflate6", in.name), d = get("lzhuf_decompress", in.name),
               cd = get("classic_decompress", in.name), zd = get("zlib_inflate", in.name);
    auto x = [](double a, double b) { return b > 0 ? a / b : 0.0; };
    std::printf("%-12s %9zu | %8.2f %8.2f %8.2f %7.2f %7.2f | %8.2f %8.2f %8.2f %7.2f %7.2f | %6.3f %6.3f\n",
                in.name.c_str(), in.data.size(), c.first, cc.first, zc.first, x(c.first, cc.first),
                x(c.first, zc.first), d.first, cd.first, zd.first, x(d.first, cd.first), x(d.first, zd.first),
                c.second, zc.second);
  }
  std::printf("state: encoder %zu bytes, decoder %zu bytes, whatever the input size\n",
              sizeof(HuffmanTree) + sizeof(SearchTrees), sizeof(HuffmanTree) + static_cast<std::size_t>(N));
  benchmark::Shutdown();
  return 0;
}
