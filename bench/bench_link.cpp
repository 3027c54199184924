// Sectors per second through the virtual player on a zero-latency clock, beside plain reads of the
// same image file: what the link's protocol costs on the PC side. A real nibble link moves about
// 50 KB/s, so the PC side must stay far above that (goal: 20 MB/s or more through the player).
//
//   ninja -C build-link bench_link && build-link/bench/bench_link

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "app/Paths.h"
#include "app/ScriptedUi.h"
#include "app/Session.h"
#include "emulator/CardImage.h"
#include "emulator/VirtualPlayer.h"
#include "link/Link.h"
#include "link/VirtualPort.h"

namespace {

using namespace sondesk;

constexpr std::uint32_t kImageMegabytes = 16;
constexpr std::uint32_t kSectors = kImageMegabytes * 2048;

struct Fixture {
  std::string dir;
  std::string image;
  ScriptedUi ui;
  ManualClock clock;
  std::unique_ptr<Session> session;

  Fixture() {
    char pattern[] = "/tmp/bench_link.XXXXXX";
    dir = ::mkdtemp(pattern);
    image = dir + "/card.img";
    std::string error;
    CreateBlankCardImage(image, kImageMegabytes, error);
    // Fill it, so the reads carry real data.
    const int fd = ::open(image.c_str(), O_WRONLY);
    std::mt19937 rng(7);
    std::vector<std::uint8_t> chunk(1 << 20);
    for (std::uint32_t mb = 0; mb < kImageMegabytes; ++mb) {
      for (auto& b : chunk) b = static_cast<std::uint8_t>(rng());
      if (::pwrite(fd, chunk.data(), chunk.size(), static_cast<off_t>(mb) << 20) < 0) std::abort();
    }
    ::close(fd);
    Paths paths;
    paths.windir = dir;
    paths.workDir = dir;
    paths.dataDir = dir;
    session = std::make_unique<Session>(ui, paths, clock, 1);
  }
  ~Fixture() { std::filesystem::remove_all(dir); }

  std::unique_ptr<Link> MakeLink() {
    std::string error;
    auto player = VirtualPlayer::Open(image, {}, error);
    if (!player) std::abort();
    auto link = std::make_unique<Link>(*session, std::make_unique<VirtualPort>(std::move(player)));
    link->InitLink();
    link->ResetLinkState();
    return link;
  }
};

Fixture& TheFixture() {
  static Fixture f;
  return f;
}

double g_plainSecondsPerSector = 0;

std::vector<std::uint32_t> SectorOrder() {
  std::vector<std::uint32_t> order(kSectors);
  std::mt19937 rng(11);
  for (auto& s : order) s = rng() % kSectors;
  return order;
}

// Processor time of this thread: the machine may be shared, and the ratio is about our own work.
using CpuTime = double;
double CpuSeconds() {
  timespec ts{};
  ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}
double SecondsSince(CpuTime start) {
  return CpuSeconds() - start;
}

void ReportAgainstPlain(benchmark::State& state, std::uint64_t sectors, double seconds) {
  state.SetBytesProcessed(static_cast<std::int64_t>(sectors * 512));
  state.counters["sectors/s"] = benchmark::Counter(static_cast<double>(sectors), benchmark::Counter::kIsRate);
  if (g_plainSecondsPerSector > 0 && sectors > 0) {
    // How many times slower than reading the file directly: the protocol's cost on the PC side.
    state.counters["x_plain"] = seconds / static_cast<double>(sectors) / g_plainSecondsPerSector;
  }
}

void BM_PlainFileRead(benchmark::State& state) {
  Fixture& f = TheFixture();
  const int fd = ::open(f.image.c_str(), O_RDONLY);
  const auto order = SectorOrder();
  std::array<std::uint8_t, 512> buf{};
  std::size_t i = 0;
  std::uint64_t n = 0;
  const CpuTime start = CpuSeconds();
  for (auto _ : state) {
    if (::pread(fd, buf.data(), buf.size(), static_cast<off_t>(order[i]) * 512) != 512) std::abort();
    benchmark::DoNotOptimize(buf);
    i = (i + 1) % order.size();
    ++n;
  }
  const double seconds = SecondsSince(start);
  g_plainSecondsPerSector = seconds / static_cast<double>(n);
  ::close(fd);
  ReportAgainstPlain(state, n, seconds);
}
BENCHMARK(BM_PlainFileRead);

void BM_LinkReadSector(benchmark::State& state) {
  Fixture& f = TheFixture();
  auto link = f.MakeLink();
  const auto order = SectorOrder();
  std::array<std::uint8_t, 512> buf{};
  std::size_t i = 0;
  std::uint64_t n = 0;
  const CpuTime start = CpuSeconds();
  for (auto _ : state) {
    if (link->LinkReadSector(order[i], buf) != 1) state.SkipWithError("read failed");
    benchmark::DoNotOptimize(buf);
    i = (i + 1) % order.size();
    ++n;
  }
  ReportAgainstPlain(state, n, SecondsSince(start));
}
BENCHMARK(BM_LinkReadSector);

void BM_LinkWriteSector(benchmark::State& state) {
  Fixture& f = TheFixture();
  auto link = f.MakeLink();
  const auto order = SectorOrder();
  std::array<std::uint8_t, 512> buf{};
  std::mt19937 rng(3);
  for (auto& b : buf) b = static_cast<std::uint8_t>(rng());
  std::size_t i = 0;
  std::uint64_t n = 0;
  const CpuTime start = CpuSeconds();
  for (auto _ : state) {
    buf[0] = static_cast<std::uint8_t>(i);
    if (link->LinkWriteSector(order[i], buf) != 1) state.SkipWithError("write failed");
    i = (i + 1) % order.size();
    ++n;
  }
  ReportAgainstPlain(state, n, SecondsSince(start));
}
BENCHMARK(BM_LinkWriteSector);

}  // namespace
