// The song compression side by side with the classic LZHUF program of 1988, the program whose
// streams MF3 songs carry (../shared/peers/lzhuf-classic, built by this benchmark's build):
//  - in process: our LzhufCompress/LzhufDecompress on memory buffers against the classic program's
//    own Encode and Decode on stdio streams over the same memory;
//  - whole process: `sondesk-cli lzhuf compress|decompress IN OUT` against `lzhuf e|d IN OUT`,
//    file to file, each started anew for every file, the two in turn on each file;
//  - the decoder's tree work alone (`side_update`): the classic program's update and ours for the
//    symbols of each part, beside the classic program's whole decoding, what bounds any exact decoder.
// Inputs: the payloads of the corpus songs (each song its own stream), a 5 MB mix, and 1 MiB each
// of MIDI payloads, text, random bytes, runs and table-like binary records. Every run checks that
// both programs give the same bytes. Rates are MB/s of uncompressed bytes over CPU time (this
// thread's in process, the child's user and system time for whole processes), which a shared
// machine's load skews less than the wall clock; after the runs a table gives them with the ratio
// ours / classic (above 1: ours is faster).
//
// SONDESK_BENCH_LZHUF_DIR=DIR keeps the input files (NAME_K.raw and our streams NAME_K.lzh) in DIR,
// for single commands under perf or strace.
//
//   cmake --build --preset default --target bench_lzhuf
//   build/default/bench/bench_lzhuf --benchmark_repetitions=5 --benchmark_report_aggregates_only
//
// Without the peer's source the classic runs are left out, with a line saying so.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/ScriptedUi.h"
#include "app/Session.h"
#include "midi/Lzhuf.h"
#include "midi/LzhufModel.h"
#include "midi/MidiToPayload.h"
#include "tests/support/CodecSamples.h"
#ifdef SONDESK_HAVE_LZHUF_PEER
#include "bench/LzhufClassicCalls.h"
#endif

extern char** environ;

namespace {

using Bytes = std::vector<std::uint8_t>;
using namespace sondesk;

#ifdef SONDESK_HAVE_LZHUF_PEER
constexpr bool kHavePeer = true;
const char* const kPeerProgram = SONDESK_LZHUF_PEER_PROGRAM;
#else
constexpr bool kHavePeer = false;
const char* const kPeerProgram = "";
#endif
// Does nothing, dynamically linked like both programs.
const char* const kIdleProgram = "/bin/true";

// One input: one stream, or for the corpus one stream per song.
struct Input {
  std::string name;
  std::vector<Bytes> parts;
  std::vector<Bytes> packed;                  // our streams of the parts
  std::vector<std::string> rawFiles, lzhFiles;  // the parts as files, for the whole-process runs
  std::size_t bytes = 0;
};

class QuietUi : public ScriptedUi {
 public:
  BoxAnswer ShowBox(const std::string&, const std::string&, BoxIcon, BoxButtons) override { return BoxAnswer::Ok; }
  bool ShowWarningWithCheck(const std::string&, const std::string&, const std::string&) override { return true; }
  void DebugLine(const std::string&) override {}
};

// SONDESK_BENCH_LZHUF_DIR names a folder to write the input files into and keep, so that a run of
// single commands (perf stat, strace) can repeat a measurement on the very same files.
const char* KeptDir() { return std::getenv("SONDESK_BENCH_LZHUF_DIR"); }

std::string& WorkDir() {
  static std::string dir = [] {
    if (const char* kept = KeptDir(); kept != nullptr && *kept != '\0') {
      std::filesystem::create_directories(kept);
      return std::string(kept);
    }
    char pattern[] = "/tmp/sondesk-bench-lzhuf-XXXXXX";
    if (::mkdtemp(pattern) == nullptr) std::abort();
    return std::string(pattern);
  }();
  return dir;
}

void Save(const std::string& path, const Bytes& b) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr || std::fwrite(b.data(), 1, b.size(), f) != b.size()) std::abort();
  std::fclose(f);
}
Bytes Load(const std::string& path) {
  Bytes b;
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) return b;
  char buf[65536];
  std::size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) b.insert(b.end(), buf, buf + n);
  std::fclose(f);
  return b;
}

// The corpus songs converted as an import converts them.
std::vector<Bytes> CorpusPayloads() {
  const std::string dir = WorkDir() + "/convert";
  Paths p;
  p.windir = dir;
  p.workDir = dir + "/work";
  p.dataDir = dir + "/data";
  p.EnsureFolders();
  QuietUi ui;
  ManualClock clock;
  Session session(ui, p, clock, 1);
  session.noTextWarning = false;
  std::vector<Bytes> payloads;
  for (const std::string& file : test::CorpusSongFiles(SONDESK_SOURCE_DIR)) {
    MidiConversion conv;
    const std::string out = dir + "/payload.bin";
    if (ConvertMidiToPayload(session, file, out, conv) == 0) payloads.push_back(Load(out));
  }
  return payloads;
}

std::vector<Input>& Inputs() {
  static std::vector<Input> inputs = [] {
    std::vector<Input> v;
    v.push_back({"corpus_songs", CorpusPayloads()});
    for (auto& s : test::GeneratedCodecSamples()) v.push_back({s.name, {std::move(s.data)}});
    for (Input& in : v) {
      for (std::size_t k = 0; k < in.parts.size(); ++k) {
        in.bytes += in.parts[k].size();
        in.packed.push_back(LzhufCompress(in.parts[k]));
        const std::string base = WorkDir() + "/" + in.name + "_" + std::to_string(k);
        Save(base + ".raw", in.parts[k]);
        Save(base + ".lzh", in.packed.back());
        in.rawFiles.push_back(base + ".raw");
        in.lzhFiles.push_back(base + ".lzh");
      }
    }
    return v;
  }();
  return inputs;
}

// ---- the classic program in process --------------------------------------------------------

#ifdef SONDESK_HAVE_LZHUF_PEER
template <typename Fn>
Bytes OverStdio(const Bytes& input, Fn fn) {
  std::FILE* in = fmemopen(const_cast<std::uint8_t*>(input.data()), input.empty() ? 1 : input.size(), "rb");
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
#endif

Bytes PeerCompress(const Bytes& input) {
#ifdef SONDESK_HAVE_LZHUF_PEER
  return OverStdio(input, lzhuf_classic_encode);
#else
  return input;
#endif
}
Bytes PeerDecompress(const Bytes& stream) {
#ifdef SONDESK_HAVE_LZHUF_PEER
  return OverStdio(stream, lzhuf_classic_decode);
#else
  return stream;
#endif
}

// ---- whole processes -----------------------------------------------------------------------

// Runs the program to its end; `cpuSeconds` gets its user and system time. The time a process
// spends, not the wall clock, is what is compared: the machine is shared, and a neighbour's load
// would otherwise count against whichever side it happened to meet.
bool RunProcess(const std::vector<std::string>& args, double& cpuSeconds) {
  std::vector<char*> argv;
  for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  pid_t pid = 0;
  const int rc = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) return false;
  int status = 0;
  struct rusage usage {};
  if (::wait4(pid, &status, 0, &usage) != pid) return false;
  cpuSeconds += static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

std::vector<std::string> OurCommand(bool compress, const std::string& in, const std::string& out) {
  return {SONDESK_CLI, "lzhuf", compress ? "compress" : "decompress", in, out};
}
std::vector<std::string> PeerCommand(bool compress, const std::string& in, const std::string& out) {
  return {kPeerProgram, compress ? "e" : "d", in, out};
}

// ---- benchmarks ----------------------------------------------------------------------------

void Finish(benchmark::State& state, const Input& in) {
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * in.bytes));
}

void OursCompress(benchmark::State& state, std::size_t i) {
  const Input& in = Inputs()[i];
  Bytes out;
  for (auto _ : state) {
    for (const Bytes& part : in.parts) {
      out.clear();
      LzhufCompress(part, out);
      benchmark::DoNotOptimize(out.data());
    }
  }
  if (!in.parts.empty() && out != in.packed.back()) state.SkipWithError("output differs");
  Finish(state, in);
}
void OursDecompress(benchmark::State& state, std::size_t i) {
  const Input& in = Inputs()[i];
  Bytes out;
  for (auto _ : state) {
    for (const Bytes& z : in.packed) {
      out.clear();
      LzhufDecompress(z, out);
      benchmark::DoNotOptimize(out.data());
    }
  }
  if (!in.parts.empty() && out != in.parts.back()) state.SkipWithError("output differs");
  Finish(state, in);
}
void PeerCompressBench(benchmark::State& state, std::size_t i) {
  const Input& in = Inputs()[i];
  bool same = true;
  for (auto _ : state) {
    for (std::size_t k = 0; k < in.parts.size(); ++k) {
      const Bytes out = PeerCompress(in.parts[k]);
      same = same && out == in.packed[k];
    }
  }
  if (!same) state.SkipWithError("the classic program's stream differs from ours");
  Finish(state, in);
}
void PeerDecompressBench(benchmark::State& state, std::size_t i) {
  const Input& in = Inputs()[i];
  bool same = true;
  for (auto _ : state) {
    for (std::size_t k = 0; k < in.parts.size(); ++k) same = PeerDecompress(in.packed[k]) == in.parts[k] && same;
  }
  if (!same) state.SkipWithError("the classic program decoded other bytes");
  Finish(state, in);
}

// Ours and the classic program side by side on every file, the first of the two alternating, so
// that a neighbour's load on the shared machine meets both alike instead of whichever ran while it
// lasted. The iteration's time is ours; the counter x is the classic program's time over ours for
// the whole run (above 1: ours is faster), which the table shows.
template <bool kCompress>
void ProcessBench(benchmark::State& state, std::size_t i) {
  const Input& in = Inputs()[i];
  const std::string ourOut = WorkDir() + "/ours.out", peerOut = WorkDir() + "/classic.out";
  bool ok = true;
  double ours = 0, peer = 0, idle = 0;
  std::size_t turn = 0;
  for (auto _ : state) {
    double oursNow = 0;
    for (std::size_t k = 0; k < in.parts.size(); ++k) {
      const std::string& from = kCompress ? in.rawFiles[k] : in.lzhFiles[k];
      const bool oursFirst = (turn++ & 1) == 0;
      for (const bool runOurs : {oursFirst, !oursFirst}) {
        if (runOurs) {
          ok = RunProcess(OurCommand(kCompress, from, ourOut), oursNow) && ok;
        } else if (kHavePeer) {
          ok = RunProcess(PeerCommand(kCompress, from, peerOut), peer) && ok;
        }
      }
      // A program that does nothing, started the same way: no program can take less, so the
      // classic one's time over this bounds the ratio any program reaches on these files.
      if (kHavePeer) RunProcess({kIdleProgram}, idle);
    }
    ours += oursNow;
    state.SetIterationTime(oursNow);
  }
  if (!ok) state.SkipWithError("a process failed");
  const Bytes& expected = in.parts.empty() ? Bytes() : kCompress ? in.packed.back() : in.parts.back();
  if (ok && !in.parts.empty() && (Load(ourOut) != expected || (kHavePeer && Load(peerOut) != expected)))
    state.SkipWithError("an output file differs");
  if (kHavePeer && ours > 0) state.counters["x"] = peer / ours;
  if (kHavePeer && idle > 0) state.counters["bound"] = peer / idle;
  Finish(state, in);
}

// In process, ours and the classic calls side by side on every part, the first of the two
// alternating, each timed by this thread's processor clock: the separate runs above meet the
// neighbours' load at different moments (the classic decoder's rate moved by a fifth between runs
// minutes apart), which the ratio of two such rates then carries. The counter x is the classic
// calls' time over ours for the whole run.
double ThreadSeconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}
template <bool kCompress>
void SideBench(benchmark::State& state, std::size_t i) {
  const Input& in = Inputs()[i];
  Bytes out;
  bool same = true;
  double ours = 0, peer = 0;
  std::size_t turn = 0;
  for (auto _ : state) {
    double oursNow = 0;
    for (std::size_t k = 0; k < in.parts.size(); ++k) {
      const Bytes& from = kCompress ? in.parts[k] : in.packed[k];
      const Bytes& expected = kCompress ? in.packed[k] : in.parts[k];
      const bool oursFirst = (turn++ & 1) == 0;
      for (const bool runOurs : {oursFirst, !oursFirst}) {
        const double start = ThreadSeconds();
        if (runOurs) {
          out.clear();
          if (kCompress) {
            LzhufCompress(from, out);
          } else {
            LzhufDecompress(from, out);
          }
          benchmark::DoNotOptimize(out.data());
          oursNow += ThreadSeconds() - start;
          same = same && out == expected;
        } else {
          const Bytes theirs = kCompress ? PeerCompress(from) : PeerDecompress(from);
          peer += ThreadSeconds() - start;
          same = same && theirs == expected;
        }
      }
    }
    ours += oursNow;
    state.SetIterationTime(oursNow);
  }
  if (!same) state.SkipWithError("an output differs");
  if (ours > 0) state.counters["x"] = peer / ours;
  Finish(state, in);
}

// The decoder's tree work alone, to show how far any byte-exact decoder can get: for the symbols
// each part decodes to, the classic program's own update of its tree (after every symbol, as its
// decoder does) and ours (our decoder's tree, climbing from the leaf), side by side with the classic
// program's whole decoding of the part, the three in turn. An exact decoder has to make every
// increment and exchange the classic one makes; if all the rest (the walk down the tree, the bits,
// the bytes out) cost nothing, it would still decode no faster than its update lets it. Counters:
// share = the classic update's time over the classic decoding's, x = the classic decoding's time
// over our update's (that most), upd = the classic update's time over ours.
#ifdef SONDESK_HAVE_LZHUF_PEER
const std::vector<int>& Symbols(std::size_t input, std::size_t part) {
  static std::map<std::pair<std::size_t, std::size_t>, std::vector<int>> cache;
  auto [it, fresh] = cache.try_emplace({input, part});
  if (fresh) {
    const Bytes& z = Inputs()[input].packed[part];
    // Every symbol takes at least one bit.
    it->second.resize(z.size() * 8 + 1);
    std::FILE* in = fmemopen(const_cast<std::uint8_t*>(z.data()), z.empty() ? 1 : z.size(), "rb");
    it->second.resize(static_cast<std::size_t>(
        lzhuf_classic_symbols(in, it->second.data(), static_cast<long>(it->second.size()))));
    std::fclose(in);
  }
  return it->second;
}
#endif

void UpdateBench(benchmark::State& state, std::size_t i) {
#ifdef SONDESK_HAVE_LZHUF_PEER
  const Input& in = Inputs()[i];
  double peerDecode = 0, peerUpdate = 0, ours = 0;
  std::size_t turn = 0;
  bool same = true;
  for (auto _ : state) {
    double oursNow = 0;
    for (std::size_t k = 0; k < in.parts.size(); ++k) {
      const std::vector<int>& symbols = Symbols(i, k);
      for (std::size_t step = 0; step < 3; ++step) {
        const std::size_t which = (turn + step) % 3;
        const double start = ThreadSeconds();
        if (which == 0) {
          same = PeerDecompress(in.packed[k]) == in.parts[k] && same;
          peerDecode += ThreadSeconds() - start;
        } else if (which == 1) {
          lzhuf_classic_updates(symbols.data(), static_cast<long>(symbols.size()));
          peerUpdate += ThreadSeconds() - start;
        } else {
          auto tree = std::make_unique<lzhuf_detail::DecodingTree>();
          tree->Start();
          for (const int s : symbols) tree->Update(s);
          benchmark::DoNotOptimize(tree->freq[lzhuf_detail::R]);
          oursNow += ThreadSeconds() - start;
        }
      }
      ++turn;
    }
    ours += oursNow;
    state.SetIterationTime(oursNow);
  }
  if (!same) state.SkipWithError("the classic program decoded other bytes");
  if (peerDecode > 0) state.counters["share"] = peerUpdate / peerDecode;
  if (ours > 0) state.counters["x"] = peerDecode / ours;
  if (ours > 0) state.counters["upd"] = peerUpdate / ours;
  Finish(state, in);
#else
  state.SkipWithError("no classic program");
#endif
}

struct Kind {
  const char* name;
  void (*fn)(benchmark::State&, std::size_t);
  bool peer;
};
const Kind kKinds[] = {
    {"ours_compress", OursCompress, false},
    {"classic_compress", PeerCompressBench, true},
    {"ours_decompress", OursDecompress, false},
    {"classic_decompress", PeerDecompressBench, true},
    {"side_compress", SideBench<true>, true},
    {"side_decompress", SideBench<false>, true},
    {"side_update", UpdateBench, true},
    {"process_compress", ProcessBench<true>, false},
    {"process_decompress", ProcessBench<false>, false},
};

void RegisterAll() {
  for (std::size_t i = 0; i < Inputs().size(); ++i) {
    for (const Kind& k : kKinds) {
      if (k.peer && !kHavePeer) continue;
      auto* b = benchmark::RegisterBenchmark((std::string(k.name) + "/" + Inputs()[i].name).c_str(), k.fn, i)
                    ->Unit(benchmark::kMillisecond)
                    ->MinTime(0.2);
      // In process the rates are of this thread's time; whole processes report their own.
      if (std::string(k.name).rfind("process_", 0) == 0) b->UseManualTime();
      // A pair's ratio needs several parts' worth of both sides to settle.
      if (std::string(k.name).rfind("side_", 0) == 0) b->UseManualTime()->MinTime(1.0);
    }
  }
}

// Keeps each benchmark's rate for the table: the best single run when the runs are reported (the
// machine is shared, and a slow run measures the neighbours), else the median of the repetitions
// (with --benchmark_report_aggregates_only only the aggregates reach a reporter). For the whole
// processes, the ratio x of each run (measured side by side), its median over the repetitions.
class TableReporter : public benchmark::ConsoleReporter {
 public:
  std::map<std::string, double> best, median;  // name -> MB/s
  std::map<std::string, std::vector<double>> ratios;
  std::map<std::string, double> medianRatio;
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.error_occurred) continue;
      for (const std::string counter : {"x", "bound", "share", "upd"}) {
        const auto x = run.counters.find(counter);
        if (x == run.counters.end()) continue;
        const std::string name = run.run_name.function_name + (counter == "x" ? "" : "#" + counter);
        if (run.run_type == Run::RT_Iteration) ratios[name].push_back(x->second.value);
        if (run.run_type != Run::RT_Iteration && run.aggregate_name == "median") medianRatio[name] = x->second.value;
      }
      const auto bps = run.counters.find("bytes_per_second");
      if (bps == run.counters.end()) continue;
      const double rate = bps->second.value / 1e6;
      const std::string name = run.run_name.function_name;
      if (run.run_type == Run::RT_Iteration) {
        best[name] = std::max(best[name], rate);
      } else if (run.aggregate_name == "median") {
        median[name] = rate;
      }
    }
    ConsoleReporter::ReportRuns(runs);
  }
  double Ratio(const std::string& name) const {
    if (auto it = ratios.find(name); it != ratios.end() && !it->second.empty()) {
      std::vector<double> v = it->second;
      std::nth_element(v.begin(), v.begin() + static_cast<std::ptrdiff_t>(v.size() / 2), v.end());
      return v[v.size() / 2];
    }
    if (auto it = medianRatio.find(name); it != medianRatio.end()) return it->second;
    return 0;
  }
  double Rate(const std::string& name) const {
    if (auto it = best.find(name); it != best.end()) return it->second;
    if (auto it = median.find(name); it != median.end()) return it->second;
    return 0;
  }
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (!kHavePeer) {
    std::printf("the classic LZHUF program is not beside the source tree (../shared/peers/lzhuf-classic/lzhuf.c):"
                " its runs are left out\n");
  }
  RegisterAll();
  TableReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);

  auto x = [](double a, double b) { return a > 0 && b > 0 ? a / b : 0.0; };
  std::printf("\nMB/s of uncompressed bytes. In process: x = our rate over the classic one, from separate runs;\n"
              "side = the classic calls' time over ours, run side by side part by part. Whole processes\n"
              "(proc): the classic program's time over ours, run side by side file by file; bound = the\n"
              "classic program's time over that of a program that does nothing (%s), the most any\n"
              "program can reach on these files\n",
              kIdleProgram);
  std::printf("%-13s %9s %6s | %8s %8s %5s %5s | %8s %8s %5s %5s | %5s %5s %5s %5s\n", "input", "bytes", "lzh",
              "comp", "classic", "x", "side", "decomp", "classic", "x", "side", "proc", "bound", "proc", "bound");
  std::printf("%-13s %9s %6s | %8s %8s %5s %5s | %8s %8s %5s %5s | %5s %5s %5s %5s\n", "", "", "", "", "", "", "", "",
              "", "", "", "comp", "comp", "dec", "dec");
  for (const Input& in : Inputs()) {
    std::size_t packed = 0;
    for (const Bytes& z : in.packed) packed += z.size();
    auto r = [&](const char* kind) { return reporter.Rate(std::string(kind) + "/" + in.name); };
    const double c = r("ours_compress"), cc = r("classic_compress"), d = r("ours_decompress"),
                 cd = r("classic_decompress");
    std::printf("%-13s %9zu %6.3f | %8.2f %8.2f %5.2f %5.2f | %8.2f %8.2f %5.2f %5.2f | %5.2f %5.2f %5.2f %5.2f\n",
                in.name.c_str(), in.bytes,
                in.bytes ? static_cast<double>(packed) / static_cast<double>(in.bytes) : 0.0, c, cc, x(c, cc),
                reporter.Ratio("side_compress/" + in.name), d, cd, x(d, cd),
                reporter.Ratio("side_decompress/" + in.name), reporter.Ratio("process_compress/" + in.name),
                reporter.Ratio("process_compress/" + in.name + "#bound"),
                reporter.Ratio("process_decompress/" + in.name),
                reporter.Ratio("process_decompress/" + in.name + "#bound"));
  }
  if (kHavePeer) {
    std::printf("\nThe decoder's tree work alone, side by side with the classic decoding: share = the classic\n"
                "update's part of the classic decoding's time; upd = the classic update's time over ours; most =\n"
                "the classic decoding's time over our update's, what our decoder would reach if all but the\n"
                "update cost nothing\n");
    std::printf("%-13s %6s %6s %6s %6s\n", "input", "share", "upd", "most", "side");
    for (const Input& in : Inputs()) {
      const std::string n = "side_update/" + in.name;
      std::printf("%-13s %6.2f %6.2f %6.2f %6.2f\n", in.name.c_str(), reporter.Ratio(n + "#share"),
                  reporter.Ratio(n + "#upd"), reporter.Ratio(n), reporter.Ratio("side_decompress/" + in.name));
    }
  }
  std::printf("state: encoder %zu bytes, decoder %zu bytes, whatever the input size; streaming to a file adds a\n"
              "%zu-byte chunk (encoder) or a %zu-byte window (decoder)\n",
              sizeof(lzhuf_detail::HuffmanTree) + sizeof(lzhuf_detail::SearchTrees) +
                  lzhuf_detail::SearchTrees::kHintRows * lzhuf_detail::SearchTrees::kHintRow *
                      sizeof(lzhuf_detail::SearchTrees::LinkType),
              sizeof(lzhuf_detail::DecodingTree) + static_cast<std::size_t>(lzhuf_detail::N), kLzhufSinkChunk,
              static_cast<std::size_t>(lzhuf_detail::N) + kLzhufSinkChunk + lzhuf_detail::F + 8);
  benchmark::Shutdown();
  std::error_code ec;
  if (KeptDir() == nullptr || *KeptDir() == '\0') std::filesystem::remove_all(WorkDir(), ec);
  return 0;
}
