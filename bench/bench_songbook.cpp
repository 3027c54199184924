// The songbook of a full evening's card: 5,000 songs laid out by title and by performer and written
// as a PDF by Qt's PDF writer (the goal: well under 5 s on a two-core machine). Beside it, the same
// 10,000 lines typeset by groff into PostScript, a real typesetter doing comparable work, measured
// in the same run; `groff_ratio` is our time over its.
//
//   cmake --build --preset default --target bench_songbook && build/default/bench/bench_songbook

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "app/Session.h"
#include "library/Songbook.h"
#include "pdf/SongbookPdf.h"

namespace {

using namespace sondesk;

std::vector<SongbookSong> EveningCard(int n) {
  static const char* const words[] = {"Love", "Night", "Blue", "Summer", "Ancora", "Amore", "Dance", "Heart",
                                      "Rain", "Zucchero", "Elle", "Yesterday", "Quando", "Vita", "Sole"};
  std::vector<SongbookSong> songs;
  for (int i = 0; i < n; ++i) {
    songs.push_back({static_cast<unsigned>(i), Format("%s %s %d", words[i % 15], words[(i / 15) % 15], i),
                     Format("%s Band %d", words[(i * 7) % 15], i % 300), i % 3 ? "Pop" : "Liscio"});
  }
  return songs;
}

std::string Scratch(const char* name) {
  return (std::filesystem::temp_directory_path() / name).string();
}

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

double GroffSeconds(const Songbook& book) {
  const std::string in = Scratch("sondesk-songbook.tbl");
  {
    std::ofstream t(in);
    for (const auto* order : {&book.byTitle, &book.byPerformer}) {
      t << ".TS\nr l l l.\n";
      for (std::size_t s : *order) {
        const SongbookSong& x = book.songs[s];
        t << x.number << '\t' << x.title << '\t' << x.performer << '\t' << x.category << '\n';
      }
      t << ".TE\n.bp\n";
    }
  }
  const auto start = std::chrono::steady_clock::now();
  const std::string cmd = "groff -t -Tps " + in + " > " + Scratch("sondesk-songbook.ps") + " 2>/dev/null";
  if (std::system(cmd.c_str()) != 0) return 0;
  return Seconds(start);
}

void BM_Songbook5000(benchmark::State& state) {
  EnsurePdfWriterReady();
  const std::vector<SongbookSong> songs = EveningCard(5000);
  SongbookDocument doc;
  doc.texts = SongbookTextsFor(1);
  doc.listName = "Son Flash";
  doc.date = "08/12/2026";
  doc.pageFormat = "Page %d of %d";
  doc.headings[0] = "Title";
  doc.headings[1] = "Performer";
  doc.headings[2] = "Category";
  const std::string out = Scratch("sondesk-songbook.pdf");
  double ours = 0;
  int runs = 0;
  Songbook book;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    book = LayOutSongbook(songs);
    std::string why;
    if (!WriteSongbookPdf(book, doc, out, why)) state.SkipWithError(why.c_str());
    ours += Seconds(start);
    ++runs;
  }
  state.counters["pages"] = static_cast<double>(book.pages.size());
  state.counters["bytes"] = static_cast<double>(std::filesystem::file_size(out));
  const double groff = GroffSeconds(book);
  if (groff > 0) state.counters["groff_ratio"] = (ours / runs) / groff;
}
BENCHMARK(BM_Songbook5000)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
