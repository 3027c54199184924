// The conversion of MIDI songs into the player's payload, and the event store's load beside a
// peer parser on the same files:
//  - BM_ConvertSongs: whole conversions (structural check, lyric analysis and rewrite, both
//    passes, payload written) over the song set; items/s is songs converted per second;
//  - BM_EventStoreLoad and BM_SmfLoad: LoadEventStore and libsmf's smf_load over the same
//    well-formed files, files and bytes per second;
//  - BM_ConvertCorpus and BM_SmfLoadCorpus: the real files of the shared corpus beside the
//    source tree (damaged ones included) converted, and loaded by libsmf side by side; then the
//    peak memory of converting the corpus's largest and smallest file, each in a child process.
// The song set is generated at start: karaoke-sized songs of 8 to 16 tracks at 480, 192 and 96
// ticks per quarter, half of them with a lyric track, plus the well-formed songs of the test
// corpus. After the runs a table gives the rates and the ratio of the two loaders.
//
//   ninja -C build-conv bench_convert && build-conv/bench/bench_convert --benchmark_repetitions=3

#include <benchmark/benchmark.h>
#include <smf.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "app/ScriptedUi.h"
#include "app/Session.h"
#include "midi/MidiEventStore.h"
#include "midi/MidiToPayload.h"
#include "tests/support/MidiWriter.h"

namespace {

using namespace sondesk;
using sondesk::test::MidiWriter;

constexpr int kGeneratedSongs = 40;

// One song of about three minutes: a conductor track, melody and accompaniment tracks with
// controllers and pitch bends, a drum track, and (for odd seeds) a lyric track of syllables.
MidiWriter MakeSong(int seed) {
  std::mt19937 rng(static_cast<std::uint32_t>(seed));
  const int divisions[] = {480, 192, 96};
  const int division = divisions[seed % 3];
  const int tracks = 8 + seed % 8;  // with the lyric track at most 16, all the event store loads
  const int bars = 70 + seed % 30;
  const std::uint32_t bar = static_cast<std::uint32_t>(division) * 4;
  MidiWriter w(1, division);
  w.Track().TrackName(0, "Generated song " + std::to_string(seed)).Copyright(0, "(C) Benchmarks");
  w.TimeSignature(0, 4, 2).Tempo(0, 500000);
  for (int b = 8; b < bars; b += 16)
    w.Tempo(w.DeltaTo(static_cast<std::uint32_t>(b) * bar), 480000 + b * 100);
  for (int t = 1; t < tracks; ++t) {
    const int channel = t == tracks - 1 ? 9 : (t - 1) % 9;
    w.Track().RunningStatus(t % 2 == 0).TrackName(0, "Voice " + std::to_string(t));
    w.Program(0, channel, static_cast<int>(rng() % 128))
        .Control(0, channel, 7, 100)
        .Control(0, channel, 10, 64);
    const int step = channel == 9 ? division / 2 : division / (1 + static_cast<int>(rng() % 2));
    for (std::uint32_t at = 0; at < static_cast<std::uint32_t>(bars) * bar;
         at += static_cast<std::uint32_t>(step)) {
      const int key = channel == 9 ? 35 + static_cast<int>(rng() % 12) : 48 + static_cast<int>(rng() % 24);
      w.NoteOn(w.DeltaTo(at), channel, key, 60 + static_cast<int>(rng() % 60));
      if (rng() % 8 == 0) w.Control(0, channel, 11, static_cast<int>(rng() % 128));
      if (rng() % 16 == 0) w.PitchBend(0, channel, static_cast<int>(rng() % 16384));
      w.NoteOff(static_cast<std::uint32_t>(step - 1), channel, key);
    }
  }
  if (seed % 2 == 1) {
    static const char* const kSyllables[] = {"la ", "li",   "lo ",  "dan",   "cing ",
                                             "in ", "the ", "moon", "light "};
    w.Track().TrackName(0, "Words");
    for (std::uint32_t at = bar; at < static_cast<std::uint32_t>(bars) * bar;
         at += static_cast<std::uint32_t>(division)) {
      std::string s = kSyllables[rng() % 9];
      if (rng() % 10 == 0) s = "/" + s;
      w.Lyric(w.DeltaTo(at), s);
    }
  }
  return w;
}

class NullUi : public ScriptedUi {
 public:
  BoxAnswer ShowBox(const std::string&, const std::string&, BoxIcon, BoxButtons) override {
    return BoxAnswer::Ok;
  }
  bool ShowWarningWithCheck(const std::string&, const std::string&, const std::string&) override {
    return true;
  }
  void DebugLine(const std::string&) override {}
};

struct SongSet {
  SongSet() {
    char pattern[] = "/tmp/sondesk-bench-XXXXXX";
    if (::mkdtemp(pattern) == nullptr) std::abort();
    dir = pattern;
    for (int i = 0; i < kGeneratedSongs; ++i) {
      const std::string path = dir + "/song" + std::to_string(i) + ".mid";
      MakeSong(i).Save(path);
      files.push_back(path);
    }
    const std::string corpus = std::string(SONDESK_SOURCE_DIR) + "/tests/data/midi";
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(corpus, ec)) {
      const std::string name = e.path().filename().string();
      const std::string ext = e.path().extension().string();
      if ((ext == ".mid" || ext == ".kar") && name.rfind("bad_", 0) != 0) files.push_back(e.path().string());
    }
    std::sort(files.begin(), files.end());
    for (const auto& f : files) bytes += std::filesystem::file_size(f);
    Paths p;
    p.windir = dir;
    p.workDir = dir + "/work";
    p.dataDir = dir + "/data";
    p.EnsureFolders();
    session = std::make_unique<Session>(ui, p, clock, 1);
    session->noTextWarning = false;
  }
  ~SongSet() {
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
  }
  std::string dir;
  std::vector<std::string> files;
  std::uintmax_t bytes = 0;
  NullUi ui;
  ManualClock clock;
  std::unique_ptr<Session> session;
};

SongSet& Songs() {
  static SongSet set;
  return set;
}

// The real files of the shared corpus beside the source tree, damaged ones included: what a
// karaoke host imports in a day. Empty when the corpus is not there.
struct RealFiles {
  RealFiles() {
    const auto root = std::filesystem::path(SONDESK_SOURCE_DIR) / ".." / "shared" / "corpus";
    std::error_code ec;
    for (const auto& e : std::filesystem::recursive_directory_iterator(root, ec)) {
      std::string ext = e.path().extension().string();
      for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      if (e.is_regular_file() && (ext == ".mid" || ext == ".kar")) files.push_back(e.path().string());
    }
    std::sort(files.begin(), files.end());
    for (const auto& f : files) {
      const auto size = std::filesystem::file_size(f);
      bytes += size;
      if (largest.empty() || size > std::filesystem::file_size(largest)) largest = f;
      if (smallest.empty() || size < std::filesystem::file_size(smallest)) smallest = f;
    }
  }
  // The files libsmf loads without aborting the process (it asserts on some damaged files):
  // tried once each in a child.
  const std::vector<std::string>& PeerFiles() {
    if (!peerChecked) {
      peerChecked = true;
      for (const auto& f : files) {
        const pid_t child = ::fork();
        if (child == 0) {
          smf_t* smf = smf_load(f.c_str());
          std::_Exit(smf == nullptr ? 1 : 0);
        }
        int status = 0;
        if (child > 0 && ::waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0)
          peerFiles.push_back(f);
      }
    }
    return peerFiles;
  }
  std::vector<std::string> files;
  std::vector<std::string> peerFiles;
  bool peerChecked = false;
  std::string largest, smallest;
  std::uintmax_t bytes = 0;
};

RealFiles& Corpus() {
  static RealFiles set;
  return set;
}

// Every corpus file converted as the import converts it; damaged files are salvaged or refused
// as they would be. items/s is songs per second.
void BM_ConvertCorpus(benchmark::State& state) {
  SongSet& s = Songs();
  const RealFiles& c = Corpus();
  if (c.files.empty()) {
    state.SkipWithError("no corpus beside the source tree");
    return;
  }
  const std::string payload = s.dir + "/TEMP.MID";
  for (auto _ : state) {
    for (const auto& f : c.files) {
      MidiConversion conv;
      benchmark::DoNotOptimize(ConvertMidiToPayload(*s.session, f, payload, conv));
    }
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(c.files.size()));
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(c.bytes));
}
BENCHMARK(BM_ConvertCorpus)->Unit(benchmark::kMillisecond)->UseRealTime();

void QuietGlib(const gchar*, GLogLevelFlags, const gchar*, gpointer);

// The peer side by side: libsmf loading the corpus files it can load at all; the items are
// those files, so the rates compare song for song.
void BM_SmfLoadCorpus(benchmark::State& state) {
  RealFiles& c = Corpus();
  if (c.files.empty()) {
    state.SkipWithError("no corpus beside the source tree");
    return;
  }
  g_log_set_default_handler(QuietGlib, nullptr);
  const auto& files = c.PeerFiles();
  for (auto _ : state) {
    for (const auto& f : files) {
      smf_t* smf = smf_load(f.c_str());
      if (smf != nullptr) smf_delete(smf);
    }
  }
  state.counters["loadable"] = static_cast<double>(files.size());
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(files.size()));
}
BENCHMARK(BM_SmfLoadCorpus)->Unit(benchmark::kMillisecond)->UseRealTime();

// The peak resident memory of a process that converts one file, in KiB, measured in a child so
// that nothing of this process counts.
long PeakKibOfConversion(const std::string& file) {
  const pid_t child = ::fork();
  if (child == 0) {
    SongSet& s = Songs();
    MidiConversion conv;
    ConvertMidiToPayload(*s.session, file, s.dir + "/PEAK.MID", conv);
    std::_Exit(0);
  }
  int status = 0;
  struct rusage usage {};
  if (child < 0 || ::wait4(child, &status, 0, &usage) != child) return -1;
  return usage.ru_maxrss;
}

void QuietGlib(const gchar*, GLogLevelFlags, const gchar*, gpointer) {}

void BM_ConvertSongs(benchmark::State& state) {
  SongSet& s = Songs();
  const std::string payload = s.dir + "/TEMP.MID";
  for (auto _ : state) {
    for (const auto& f : s.files) {
      MidiConversion conv;
      if (ConvertMidiToPayload(*s.session, f, payload, conv) != 0) state.SkipWithError("conversion failed");
    }
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(s.files.size()));
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(s.bytes));
}
BENCHMARK(BM_ConvertSongs)->Unit(benchmark::kMillisecond);

void BM_EventStoreLoad(benchmark::State& state) {
  SongSet& s = Songs();
  std::size_t events = 0;
  for (auto _ : state) {
    events = 0;
    for (const auto& f : s.files) {
      MidiEventStore store;
      if (LoadEventStore(*s.session, f, store) != 0) state.SkipWithError("load failed");
      events += store.events.size();
      benchmark::DoNotOptimize(store.events.data());
    }
  }
  state.counters["events"] = static_cast<double>(events);
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(s.files.size()));
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(s.bytes));
}
BENCHMARK(BM_EventStoreLoad)->Unit(benchmark::kMillisecond);

void BM_SmfLoad(benchmark::State& state) {
  SongSet& s = Songs();
  g_log_set_default_handler(QuietGlib, nullptr);
  std::size_t events = 0;
  for (auto _ : state) {
    events = 0;
    for (const auto& f : s.files) {
      smf_t* smf = smf_load(f.c_str());
      if (smf == nullptr) {
        state.SkipWithError("smf_load failed");
        break;
      }
      for (int t = 1; t <= smf->number_of_tracks; ++t)
        events += smf_get_track_by_number(smf, t)->number_of_events;
      smf_delete(smf);
    }
  }
  state.counters["events"] = static_cast<double>(events);
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(s.files.size()));
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(s.bytes));
}
BENCHMARK(BM_SmfLoad)->Unit(benchmark::kMillisecond);

// The console report, then the rates of the three benchmarks and the loaders' ratio.
class TableReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.run_type == Run::RT_Aggregate && run.aggregate_name != "mean") continue;
      const auto items = run.counters.find("items_per_second");
      if (items == run.counters.end()) continue;
      const std::string name = run.run_name.function_name;
      best_[name] = std::max(best_[name], items->second.value);
    }
    ConsoleReporter::ReportRuns(runs);
  }
  void Finalize() override {
    ConsoleReporter::Finalize();
    const SongSet& s = Songs();
    std::printf("\n%zu songs, %.1f KiB\n", s.files.size(), static_cast<double>(s.bytes) / 1024.0);
    for (const auto& [name, rate] : best_) std::printf("%-20s %10.1f songs/s\n", name.c_str(), rate);
    const auto store = best_.find("BM_EventStoreLoad");
    const auto smf = best_.find("BM_SmfLoad");
    if (store != best_.end() && smf != best_.end() && smf->second > 0) {
      std::printf("event store load / smf_load: %.2fx as fast\n", store->second / smf->second);
    }
    RealFiles& c = Corpus();
    if (!c.files.empty()) {
      std::printf("\ncorpus: %zu real files, %.1f KiB\n", c.files.size(), static_cast<double>(c.bytes) / 1024.0);
      const auto real = best_.find("BM_ConvertCorpus");
      const auto peer = best_.find("BM_SmfLoadCorpus");
      if (real != best_.end() && peer != best_.end() && peer->second > 0) {
        std::printf("corpus songs converted per second / songs libsmf loads per second (%zu of %zu it can "
                    "load): %.2fx\n",
                    c.PeerFiles().size(), c.files.size(), real->second / peer->second);
      }
      Songs();  // the session exists before the children fork
      const long big = PeakKibOfConversion(c.largest);
      const long small = PeakKibOfConversion(c.smallest);
      std::printf("peak memory converting the largest file (%s, %.1f KiB): %ld KiB; the smallest (%.1f KiB): %ld "
                  "KiB\n",
                  std::filesystem::path(c.largest).filename().c_str(),
                  static_cast<double>(std::filesystem::file_size(c.largest)) / 1024.0, big,
                  static_cast<double>(std::filesystem::file_size(c.smallest)) / 1024.0, small);
    }
    const auto conv = best_.find("BM_ConvertSongs");
    if (conv != best_.end() && conv->second > 0) {
      std::printf("whole song set converted in %.1f ms\n",
                  1000.0 * static_cast<double>(s.files.size()) / conv->second);
    }
  }

 private:
  std::map<std::string, double> best_;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  TableReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
