// 200 song-sized files onto a 128 MB card image and back again, through our FAT16 over the image
// layer, side by side with mtools' mcopy on the same files and the same freshly formatted image.
//
//   bench_cardfs --benchmark_counters_tabular=true
//
// The measured time is ours; the counters give both in milliseconds per run and the ratio
// (mcopy_ms / ours_ms: above 1 means we are faster). Without mcopy only our side runs.
//   PutGet200Songs        ours in process (one connection) against mcopy processes
//   ProcessPut/per_folder:1   whole processes: one `sondesk-cli fs put DIR NAME=FILE...` per song
//                         folder against one mcopy call per folder with all its files
//   ProcessPut/per_folder:0   one process per file on both sides

#include <benchmark/benchmark.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "app/Endian.h"
#include "app/Paths.h"
#include "app/ScriptedUi.h"
#include "app/Session.h"
#include "cardfs/CardFileSystem.h"
#include "cardfs/DirEntry.h"
#include "cardfs/ImageSectorDevice.h"

namespace {

using namespace sondesk;
using Clock = std::chrono::steady_clock;

constexpr int kSongs = 200;
constexpr std::uint32_t kCardMegabytes = 128;

class QuietUi : public ScriptedUi {
 public:
  void ProgressSetLine(int, const std::string&) override {}
  void DebugLine(const std::string&) override {}
  void SetStatusPane(int, const std::string&) override {}
};

bool Sh(const std::string& command) {
  return std::system(command.c_str()) == 0;
}

double Ms(Clock::time_point a, Clock::time_point b) {
  return std::chrono::duration<double, std::milli>(b - a).count();
}

// MBRPBR.DAT lies in the build's program folder, beside the folder of this program.
std::string ProgramDir() {
  if (const char* env = std::getenv("SONDESK_PROGRAM_DIR")) return env;
  std::error_code ec;
  return (std::filesystem::read_symlink("/proc/self/exe", ec).parent_path().parent_path() / "program")
      .string();
}

// The folder, the files and a formatted card image with the 31 song folders, made once.
struct Fixture {
  Fixture() {
    char pattern[] = "/tmp/bench_cardfs-XXXXXX";
    root = ::mkdtemp(pattern);
    for (const char* d : {"/win", "/in", "/out-ours", "/out-mcopy"}) MakeFolders(root + d);
    Paths paths{root + "/win", root + "/win", root + "/win"};
    session = std::make_unique<Session>(ui, paths, SystemClock(), 1);
    session->SetProgramDir(ProgramDir());
    // Song files of 20 to 100 KB, as MF3 songs come.
    std::uint32_t x = 12345;
    for (int n = 0; n < kSongs; ++n) {
      x = x * 1103515245u + 12345u;
      std::vector<char> data(20000 + x % 80000);
      for (auto& c : data) c = static_cast<char>(x = x * 1664525u + 1013904223u, x >> 24);
      const std::string name = Format("%05d.MF3", n);
      std::ofstream(root + "/in/" + name, std::ios::binary)
          .write(data.data(), static_cast<std::streamsize>(data.size()));
      songs.push_back(name);
      bytes += data.size();
    }
    templateImage = root + "/template.img";
    Sh("truncate -s " + std::to_string(kCardMegabytes) + "M '" + templateImage + "'");
    std::string error;
    auto device = ImageSectorDevice::Open(templateImage, nullptr, error);
    CardFileSystem fs(*session, *device);
    if (!fs.FormatCard() || !fs.ConnectCard()) {
      ok = false;
      return;
    }
    for (int f = 0; f < 31; ++f) fs.CreateDirectory(SongFolderName11(f));
    partitionOffset = static_cast<std::uint64_t>(fs.geometry().PbrLba) * 512;
    image = root + "/card.img";
    haveMcopy = Sh("command -v mcopy >/dev/null 2>&1");
  }
  ~Fixture() {
    std::error_code ec;
    std::filesystem::remove_all(root, ec);
  }
  void FreshImage() { Sh("cp --sparse=always '" + templateImage + "' '" + image + "'"); }
  std::string Mtools() const {
    return "MTOOLS_SKIP_CHECK=1 mcopy -n -o -i '" + image + "@@" + std::to_string(partitionOffset) + "' ";
  }

  QuietUi ui;
  std::string root, templateImage, image;
  std::unique_ptr<Session> session;
  std::vector<std::string> songs;
  std::uint64_t bytes = 0;
  std::uint64_t partitionOffset = 0;
  bool haveMcopy = false;
  bool ok = true;
};

Fixture& TheFixture() {
  static Fixture f;
  return f;
}

// Ours: one connection, every song into its folder, then every song back into a PC file.
double RunOurs(Fixture& fx) {
  const auto t0 = Clock::now();
  std::string error;
  auto device = ImageSectorDevice::Open(fx.image, nullptr, error);
  CardFileSystem fs(*fx.session, *device);
  if (!fs.ConnectCard()) return -1;
  for (int n = 0; n < kSongs; ++n) {
    if (!fs.WriteCardFile(std::to_string(n % 31), SongFileName11(n), fx.root + "/in/" + fx.songs[n]))
      return -1;
  }
  for (int n = 0; n < kSongs; ++n) {
    if (!fs.ReadCardFile(std::to_string(n % 31), SongFileName11(n), fx.root + "/out-ours/" + fx.songs[n]))
      return -1;
  }
  return Ms(t0, Clock::now());
}

// mcopy: one call per folder to put the songs in (it takes many files into one folder), one call
// to take them all out.
double RunMcopy(Fixture& fx) {
  const auto t0 = Clock::now();
  for (int f = 0; f < 31; ++f) {
    std::string cmd = fx.Mtools();
    for (int n = f; n < kSongs; n += 31) cmd += "'" + fx.root + "/in/" + fx.songs[n] + "' ";
    if (!Sh(cmd + "::/" + std::to_string(f) + "/")) return -1;
  }
  std::string cmd = fx.Mtools();
  for (int n = 0; n < kSongs; ++n) cmd += "::/" + std::to_string(n % 31) + "/" + fx.songs[n] + " ";
  if (!Sh(cmd + "'" + fx.root + "/out-mcopy/'")) return -1;
  return Ms(t0, Clock::now());
}

void BM_PutGet200Songs(benchmark::State& state) {
  Fixture& fx = TheFixture();
  if (!fx.ok) {
    state.SkipWithError("cannot format the template image");
    return;
  }
  double ours = 0, mcopy = 0;
  int runs = 0;
  for (auto _ : state) {
    fx.FreshImage();
    const double t = RunOurs(fx);
    if (t < 0) {
      state.SkipWithError("our copy failed");
      return;
    }
    state.SetIterationTime(t / 1000.0);
    ours += t;
    if (fx.haveMcopy) {
      fx.FreshImage();
      const double m = RunMcopy(fx);
      if (m < 0) {
        state.SkipWithError("mcopy failed");
        return;
      }
      mcopy += m;
    }
    ++runs;
  }
  if (!Sh("diff -r '" + fx.root + "/in' '" + fx.root + "/out-ours' >/dev/null"))
    state.SkipWithError("our copies differ");
  if (fx.haveMcopy && !Sh("diff -r '" + fx.root + "/in' '" + fx.root + "/out-mcopy' >/dev/null")) {
    state.SkipWithError("mcopy's copies differ");
  }
  state.counters["ours_ms"] = ours / runs;
  if (fx.haveMcopy) {
    state.counters["mcopy_ms"] = mcopy / runs;
    state.counters["ratio"] = mcopy / ours;
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(2 * fx.bytes) * runs);
}
BENCHMARK(BM_PutGet200Songs)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

// Whole processes putting the 200 songs into their folders: one call per folder (`fs put DIR
// NAME=FILE...` and mcopy with all the folder's files) or one call per file on both sides.
double RunProcesses(Fixture& fx, bool ours, bool perFolder) {
  const auto t0 = Clock::now();
  const std::string cli = std::string(SONDESK_CLI) + " --windir '" + fx.root + "/win' --quiet --image '" + fx.image +
                          "' fs put ";
  for (int f = 0; f < 31; ++f) {
    std::string cmd = ours ? cli + std::to_string(f) + " " : fx.Mtools();
    for (int n = f; n < kSongs; n += 31) {
      const std::string file = "'" + fx.root + "/in/" + fx.songs[n] + "' ";
      std::string one = ours ? fx.songs[n] + "=" + file : file;
      if (perFolder) {
        cmd += one;
      } else if (!Sh((ours ? cli + std::to_string(f) + " " + one : fx.Mtools() + one + "::/" + std::to_string(f) + "/") +
                     " >/dev/null")) {
        return -1;
      }
    }
    if (perFolder && !Sh(cmd + (ours ? "" : "::/" + std::to_string(f) + "/") + " >/dev/null")) return -1;
  }
  return Ms(t0, Clock::now());
}

// Takes every song off the image with mcopy and compares it with its source.
bool SongsOnImageAreWhole(Fixture& fx) {
  Sh("rm -rf '" + fx.root + "/out-check'; mkdir -p '" + fx.root + "/out-check'");
  std::string cmd = fx.Mtools();
  for (int n = 0; n < kSongs; ++n) cmd += "::/" + std::to_string(n % 31) + "/" + fx.songs[n] + " ";
  return Sh(cmd + "'" + fx.root + "/out-check/' >/dev/null") &&
         Sh("diff -r '" + fx.root + "/in' '" + fx.root + "/out-check' >/dev/null");
}

void BM_ProcessPut(benchmark::State& state) {
  Fixture& fx = TheFixture();
  if (!fx.ok || !fx.haveMcopy) {
    state.SkipWithError(fx.ok ? "mcopy is not installed" : "cannot format the template image");
    return;
  }
  const bool perFolder = state.range(0) != 0;
  double ours = 0, mcopy = 0;
  int runs = 0;
  for (auto _ : state) {
    fx.FreshImage();
    const double t = RunProcesses(fx, true, perFolder);
    if (t < 0 || !SongsOnImageAreWhole(fx)) {
      state.SkipWithError("our copy failed");
      return;
    }
    state.SetIterationTime(t / 1000.0);
    ours += t;
    fx.FreshImage();
    const double m = RunProcesses(fx, false, perFolder);
    if (m < 0 || !SongsOnImageAreWhole(fx)) {
      state.SkipWithError("mcopy failed");
      return;
    }
    mcopy += m;
    ++runs;
  }
  state.counters["ours_ms"] = ours / runs;
  state.counters["mcopy_ms"] = mcopy / runs;
  state.counters["ratio"] = mcopy / ours;
  state.SetBytesProcessed(static_cast<std::int64_t>(fx.bytes) * runs);
}
BENCHMARK(BM_ProcessPut)->ArgName("per_folder")->Arg(1)->Arg(0)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);

// Taking every cluster of a card one by one, as filling it with songs does: the search for a free
// cluster starts where the last one ended, so the time grows with the card, not with its square.
void BM_AllocateWholeCard(benchmark::State& state) {
  Fixture& fx = TheFixture();
  const std::string image = fx.root + "/whole.img";
  Sh("rm -f '" + image + "'; truncate -s " + std::to_string(state.range(0)) + "M '" + image + "'");
  std::string error;
  auto device = ImageSectorDevice::Open(image, nullptr, error);
  CardFileSystem fs(*fx.session, *device);
  if (!device || !fs.FormatCard()) {
    state.SkipWithError("cannot format");
    return;
  }
  std::uint32_t clusters = 0;
  for (auto _ : state) {
    state.PauseTiming();
    fs.ConnectCard();
    state.ResumeTiming();
    clusters = 0;
    for (std::uint32_t c; (c = fs.FindFreeCluster()) != 0; ++clusters) fs.SetFatEntry(c, 0xFFFF);
  }
  state.counters["clusters"] = clusters;
  state.counters["ns_per_cluster"] =
      benchmark::Counter(static_cast<double>(clusters) * static_cast<double>(state.iterations()),
                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  Sh("rm -f '" + image + "'");
}
BENCHMARK(BM_AllocateWholeCard)->Arg(128)->Arg(1024)->Unit(benchmark::kMillisecond);

}  // namespace
