// The conversion of MIDI songs into the player's payload, and the event store's load beside a
// peer parser on the same files:
//  - BM_ConvertSongs: whole conversions (structural check, lyric analysis and rewrite, both
//    passes, payload written) over the song set; items/s is songs converted per second;
//  - BM_EventStoreLoad and BM_SmfLoad: LoadEventStore and libsmf's smf_load over the same
//    well-formed files, files and bytes per second.
// The song set is generated at start: karaoke-sized songs of 8 to 16 tracks at 480, 192 and 96
// ticks per quarter, half of them with a lyric track, plus the well-formed songs of the test
// corpus. After the runs a table gives the rates and the ratio of the two loaders.
//
//   ninja -C build-conv bench_convert && build-conv/bench/bench_convert --benchmark_repetitions=3

#include <benchmark/benchmark.h>
#include <smf.h>

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
