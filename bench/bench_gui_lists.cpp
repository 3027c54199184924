// The desktop program's list refresh with both lists full (16,384 songs each), on the offscreen
// platform: RefreshLists refills both list models, marks the songs found on both lists, runs the
// comparison's progress and repaints the rows on screen, then the window's pending events are
// handled. Titles, performers and categories vary as a real collection's do; half the card's songs
// are also in the library. Goal: under 200 ms a refresh.
//
//   cmake --build --preset default --target bench_gui_lists && build/default/bench/bench_gui_lists

#include <benchmark/benchmark.h>

#include <QApplication>
#include <random>
#include <string>

#include "tests/gui/GuiFixture.h"

namespace {

using namespace sondesk;

void FillList(SongList& list, const std::string& folder, unsigned seed, int offset) {
  static const char* const kWords[] = {"Love", "Night", "Volare", "Blue", "Sea", "Heart", "Dance", "Moon",
                                       "Sole", "Mare", "Amore", "Notte", "Rain", "Fire", "Star", "Road"};
  std::mt19937 rng(seed);
  list.clear();
  for (int i = 0; i < static_cast<int>(kMaxListSongs); ++i) {
    SongEntry e;
    const int n = i + offset;
    e.title = std::string(kWords[n % 16]) + " " + kWords[(n / 16) % 16] + " " + std::to_string(n);
    e.performer = std::string("Singer ") + kWords[rng() % 16] + " " + std::to_string(rng() % 900);
    e.category = kWords[rng() % 16];
    e.path = folder + "/" + std::to_string(n) + ".MF3";
    e.fileSize = 20000 + rng() % 80000;
    list.push_back(e);
  }
  list.Renumber();
}

void BM_RefreshFullLists(benchmark::State& state) {
  test::GuiFixture fx;
  FillList(fx.session->library, fx.Dir("library"), 1, 0);
  FillList(fx.session->card, fx.Dir("card"), 2, static_cast<int>(kMaxListSongs) / 2);
  fx.session->linkMode = LinkMode::CardReader;
  fx.window->RefreshLists();
  QApplication::processEvents();
  for (auto _ : state) {
    fx.window->RefreshLists();
    QApplication::processEvents();
  }
  state.counters["songs"] = static_cast<double>(fx.session->library.size() + fx.session->card.size());
}
BENCHMARK(BM_RefreshFullLists)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(1.0);

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
