// The song library at its limit and the import:
//   ReadLibrary           a library folder of 16,384 MF3 files read into the list
//   OpenRead512Floor      the same folder listed, each file opened and its first 512 bytes read:
//                         the I/O that reading the library cannot avoid
//   ReadLibraryVsFloor    both in each iteration; `ratio` is the library's time over the floor's
//   ImportCorpus          the songs of tests/data/midi imported into an empty library (conversion,
//                         compression, catalogue lookup, name checks, the library read again)
//   ImportLarge/workers:1 the corpus of ../shared/corpus imported 20 times over (about 1,500 songs,
//                         the later rounds renamed by the duplicate question) one song at a time,
//                         each written and synced before the next is begun, as the original does;
//   ImportLarge/workers:0 the same on every core, the songs synced a batch at a time. This pair
//                         runs on the disk (SONDESK_BENCH_IMPORT_DIR, else the system's temporary
//                         folder): the waits for the disk are part of what is measured. The
//                         counter `songs_per_s` is wall clock; compare the two rows.
// The folders live on tmpfs (/dev/shm) unless SONDESK_BENCH_DIR names another place, so that the
// figures measure the program's own work rather than a disk.
//
//   ninja -C build-lib bench_library && build-lib/bench/bench_library

#include <benchmark/benchmark.h>
#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/Paths.h"
#include "app/ScriptedUi.h"
#include "app/Session.h"
#include "library/LibraryStore.h"
#include "library/SongImport.h"
#include "library/SongNames.h"
#include "midi/Mf3Header.h"
#include "tests/support/CodecSamples.h"

namespace sondesk {
namespace {

using SteadyTime = std::chrono::steady_clock;

// Records nothing: the figures are not to include a test double's bookkeeping.
class QuietUi : public ScriptedUi {
 public:
  void ProgressSetLine(int, const std::string&) override {}
  void Pump() override {}
  BoxAnswer ShowBox(const std::string&, const std::string&, BoxIcon, BoxButtons) override {
    return BoxAnswer::Ok;
  }
  DuplicateAnswer AskDuplicate(const std::string&) override { return DuplicateAnswer::ReplaceAll; }
  bool ShowWarningWithCheck(const std::string&, const std::string&, const std::string&) override {
    return true;
  }
};

std::string RepoRoot() {
  return std::filesystem::path(__FILE__).parent_path().parent_path().string();
}

class BenchLibrary {
 public:
  static constexpr std::size_t kSongs = kMaxListSongs;

  BenchLibrary() {
    const char* chosen = std::getenv("SONDESK_BENCH_DIR");
    const std::string base = chosen && *chosen                           ? chosen
                             : std::filesystem::is_directory("/dev/shm") ? "/dev/shm"
                                                                         : "/tmp";
    std::string pattern = base + "/sondesk-bench-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) std::abort();
    root = pattern;
    library = root + "/library";
    MakeFolders(library);
    Paths paths{root + "/windir", root + "/work", root + "/data"};
    paths.EnsureFolders();
    session = std::make_unique<Session>(ui, paths, clock, 1);
    session->SetLibraryDir(library);
    session->SetProgramDir(RepoRoot() + "/resources/data");
    session->noTextWarning = false;
    WriteSongs();
  }
  ~BenchLibrary() {
    std::error_code ec;
    std::filesystem::remove_all(root, ec);
  }

  // What any reader of the folder must do at least.
  std::size_t Floor() const {
    std::size_t bytes = 0;
    DIR* dir = ::opendir(library.c_str());
    if (dir == nullptr) return 0;
    std::uint8_t buf[512];
    while (const dirent* e = ::readdir(dir)) {
      if (e->d_name[0] == '.') continue;
      const int fd = ::openat(::dirfd(dir), e->d_name, O_RDONLY | O_CLOEXEC);
      if (fd < 0) continue;
      const ssize_t n = ::read(fd, buf, sizeof buf);
      if (n > 0) bytes += static_cast<std::size_t>(n) + buf[0];
      ::close(fd);
    }
    ::closedir(dir);
    return bytes;
  }

  std::string root, library;
  QuietUi ui;
  SteadyClock clock;
  std::unique_ptr<Session> session;

 private:
  void WriteSongs() {
    std::vector<std::uint8_t> file(Mf3Header::kSize + 4 + 2048, 0x5A);
    for (std::size_t i = 0; i < kSongs; ++i) {
      Mf3Header h = Mf3Header::Fresh();
      h.SetTexts({"(C) 2026 K-NOVA", Format("SONG NUMBER %zu OF THE LIBRARY", i), "PUBLISHER", "AUTHOR",
                  Format("PERFORMER %zu", i % 300), "POP"});
      h.fileSize = static_cast<std::uint32_t>(file.size());
      h.Serialize(file.data());
      const std::string path = Format("%s/SONG%05zu.MF3", library.c_str(), i);
      std::FILE* f = std::fopen(path.c_str(), "wb");
      if (f == nullptr || std::fwrite(file.data(), 1, file.size(), f) != file.size()) std::abort();
      std::fclose(f);
    }
  }
};

BenchLibrary& Library() {
  static BenchLibrary library;
  return library;
}

void BM_ReadLibrary(benchmark::State& state) {
  BenchLibrary& b = Library();
  for (auto _ : state) {
    const LibraryReadResult r = sondesk::ReadLibrary(*b.session);
    benchmark::DoNotOptimize(r.listed);
  }
  state.counters["songs_per_s"] = benchmark::Counter(static_cast<double>(BenchLibrary::kSongs),
                                                     benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_ReadLibrary)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_OpenRead512Floor(benchmark::State& state) {
  BenchLibrary& b = Library();
  for (auto _ : state) benchmark::DoNotOptimize(b.Floor());
  state.counters["songs_per_s"] = benchmark::Counter(static_cast<double>(BenchLibrary::kSongs),
                                                     benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_OpenRead512Floor)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ReadLibraryVsFloor(benchmark::State& state) {
  BenchLibrary& b = Library();
  double libraryNs = 0, floorNs = 0;
  for (auto _ : state) {
    const auto t0 = SteadyTime::now();
    benchmark::DoNotOptimize(b.Floor());
    const auto t1 = SteadyTime::now();
    benchmark::DoNotOptimize(sondesk::ReadLibrary(*b.session).listed);
    const auto t2 = SteadyTime::now();
    floorNs += std::chrono::duration<double, std::nano>(t1 - t0).count();
    libraryNs += std::chrono::duration<double, std::nano>(t2 - t1).count();
  }
  state.counters["floor_ms"] = floorNs / 1e6 / static_cast<double>(state.iterations());
  state.counters["library_ms"] = libraryNs / 1e6 / static_cast<double>(state.iterations());
  state.counters["ratio"] = floorNs > 0 ? libraryNs / floorNs : 0;
}
BENCHMARK(BM_ReadLibraryVsFloor)->Unit(benchmark::kMillisecond)->UseRealTime();

// The well-formed songs of the test corpus.
std::vector<std::string> CorpusSongs() {
  std::vector<std::string> songs;
  for (const auto& e : std::filesystem::directory_iterator(RepoRoot() + "/tests/data/midi")) {
    const std::string name = e.path().filename().string();
    if (name.rfind("bad_", 0) == 0) continue;
    if (EndsWithIgnoringCase(name, ".mid") || EndsWithIgnoringCase(name, ".kar"))
      songs.push_back(e.path().string());
  }
  return songs;
}

void BM_ImportCorpus(benchmark::State& state) {
  const std::vector<std::string> songs = CorpusSongs();
  BenchLibrary& b = Library();
  Session& session = *b.session;
  const std::string target = b.root + "/imported";
  MakeFolders(target);
  session.SetLibraryDir(target);
  std::size_t imported = 0;
  for (auto _ : state) imported += ImportFromPc(session, songs).imported;
  session.SetLibraryDir(b.library);
  if (imported != songs.size() * state.iterations()) state.SkipWithError("a corpus song was not imported");
  state.counters["songs"] = static_cast<double>(songs.size());
  state.counters["songs_per_s"] =
      benchmark::Counter(static_cast<double>(songs.size()), benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_ImportCorpus)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ImportLarge(benchmark::State& state) {
  const std::vector<std::string> corpus = test::CorpusSongFiles(RepoRoot());
  std::vector<std::string> songs;
  for (int round = 0; round < 20; ++round) songs.insert(songs.end(), corpus.begin(), corpus.end());
  const char* chosen = std::getenv("SONDESK_BENCH_IMPORT_DIR");
  const std::string root = (chosen && *chosen ? std::string(chosen) : std::filesystem::temp_directory_path().string()) +
                           "/sondesk-bench-import-" + std::to_string(::getpid());
  BenchLibrary& b = Library();
  Session& session = *b.session;
  const std::string target = root + "/library";
  std::size_t imported = 0;
  for (auto _ : state) {
    state.PauseTiming();
    std::filesystem::remove_all(target);
    MakeFolders(target);
    session.SetLibraryDir(target);
    ::sync();
    state.ResumeTiming();
    imported = ImportFromPc(session, songs, static_cast<unsigned>(state.range(0))).imported;
  }
  session.SetLibraryDir(b.library);
  std::filesystem::remove_all(root);
  state.counters["songs"] = static_cast<double>(imported);
  state.counters["songs_per_s"] =
      benchmark::Counter(static_cast<double>(imported), benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_ImportLarge)->ArgName("workers")->Arg(1)->Arg(0)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace sondesk
