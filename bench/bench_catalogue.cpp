// The card catalogue at its limits, through a card reader on a tmpfs folder (/dev/shm), so that
// the figures measure the catalogue's own work rather than a disk:
//   RebuildCardCatalogue  the eight index files of 16,000 songs
//   BuildIndexFiles       the same built in memory only: the rebuild's own work
//   CarryOverPlaylists    16 full playlists of 250 songs carried over on that card
//   LoadCardCatalogue     the card list of 16,000 songs read back, group matching included, over
//                         the list of the round before; ...IntoEmptyList the same into an empty list.
//                         The card holds the 16,000 song files (empty) in its 31 folders, as a real
//                         card does: the load lists them to tell a catalogue that disagrees with them.
// Each reports `plain_ratio`: its time over the time of writing (or reading) the same bytes with
// plain file calls, measured in the same run; for the loads that is reading the three index files
// and listing the 31 song folders with readdir (`index_ratio`: over reading the index files alone).
// The writers also report `atomic_ratio`, over the time of the least a writer that survives a cut
// must do: each file written under another name and renamed over the old one (without a sync,
// which costs nothing on tmpfs). The carry-over also reports `read_write_ratio`, over reading each
// playlist and writing it back in place with plain calls: it cannot know a playlist without
// reading it.
//
//   ninja -C build-cat bench_catalogue && build-cat/bench/bench_catalogue

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

#include "app/AtomicFile.h"
#include "app/Paths.h"
#include "app/ScriptedUi.h"
#include "app/Session.h"
#include "catalogue/CardCatalogue.h"
#include "catalogue/CatalogueCheck.h"
#include "catalogue/Playlists.h"
#include "catalogue/ReaderCardFiles.h"

namespace sondesk {
namespace {

using Clock = std::chrono::steady_clock;

// A card of 16,000 songs on tmpfs, with its session.
class BenchCard {
 public:
  BenchCard() {
    const char* shm = std::filesystem::is_directory("/dev/shm") ? "/dev/shm" : "/tmp";
    std::string pattern = std::string(shm) + "/sondesk-bench-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) std::abort();
    root = pattern;
    card = root + "/card";
    MakeFolders(card);
    Paths paths{root + "/windir", root + "/work", root + "/data"};
    paths.EnsureFolders();
    session = std::make_unique<Session>(ui, paths, clock, 1);
    session->settings().flashDrive = card;
    session->linkMode = LinkMode::CardReader;
    files = std::make_unique<ReaderCardFiles>(card);
    cat = std::make_unique<Catalogue>(*session, *files);
    CheckCatalogue(*cat);
    FillList(0);
  }
  ~BenchCard() {
    std::error_code ec;
    std::filesystem::remove_all(root, ec);
  }

  // 16,000 songs with 500 performers and 40 categories; `shift` varies the titles so that the
  // title positions move between two lists.
  void FillList(unsigned shift) {
    session->card.clear();
    for (unsigned i = 0; i < kMaxCatalogueSongs; ++i) {
      SongEntry e;
      e.scanNumber = static_cast<std::uint16_t>(i);
      const unsigned key = (i * 7919u + shift * 104729u) % 100000u;
      e.title = Format("%c%05u Song of the card", "AbCdEfGhIjKlMnOpQrStUvWxYz"[key % 26], key);
      e.performer = Format("Performer %03u", (i * 31u) % 500u);
      e.category = Format("Category %02u", (i * 17u) % 40u);
      e.path = Format("%05u.MF3", i);
      session->card.push_back(std::move(e));
    }
  }

  // The song files of the list, empty, each in its folder.
  void MakeSongFiles() {
    for (const SongEntry& e : session->card) {
      const std::string path = Format("%s/%d/%s", card.c_str(), SongFolderOf(e.songNumber()), e.path.c_str());
      const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      if (fd < 0) std::abort();
      ::close(fd);
    }
  }

  // Lists the 31 song folders with readdir, as a plain program would; the number of names seen.
  std::size_t PlainListFolders() const {
    std::size_t names = 0;
    for (int folder = 0; folder < kSongFolderCount; ++folder) {
      DIR* dir = ::opendir(Format("%s/%d", card.c_str(), folder).c_str());
      if (dir == nullptr) std::abort();
      while (::readdir(dir) != nullptr) ++names;
      ::closedir(dir);
    }
    return names;
  }

  // Writes the given root files with plain open/write/close.
  void PlainWrite(const std::vector<std::pair<std::string, std::vector<std::uint8_t>>>& out) {
    for (const auto& [name, bytes] : out) {
      const int fd = ::open((card + "/" + name).c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      if (::write(fd, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size())) std::abort();
      ::close(fd);
    }
  }

  // The same, each file under a temporary name renamed into place.
  void PlainAtomicWrite(const std::vector<std::pair<std::string, std::vector<std::uint8_t>>>& out) {
    for (const auto& [name, bytes] : out) {
      const std::string path = card + "/" + name, temp = path + ".new";
      const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      if (::write(fd, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size())) std::abort();
      ::close(fd);
      if (::rename(temp.c_str(), path.c_str()) != 0) std::abort();
    }
  }

  std::vector<std::pair<std::string, std::vector<std::uint8_t>>> ReadRoot(
      const std::vector<std::string>& names) {
    std::vector<std::pair<std::string, std::vector<std::uint8_t>>> out;
    for (const std::string& n : names) {
      std::vector<std::uint8_t> bytes;
      ReadWholeFile(card + "/" + n, bytes);
      out.emplace_back(n, std::move(bytes));
    }
    return out;
  }

  std::string root, card;
  ScriptedUi ui;
  ManualClock clock;
  std::unique_ptr<Session> session;
  std::unique_ptr<ReaderCardFiles> files;
  std::unique_ptr<Catalogue> cat;
};

const std::vector<std::string> kIndexNames = {"INDEX0.DAT", "INDEX1.DAT", "INDEX2.DAT", "INDEX3.DAT",
                                              "INDEX4.DAT", "ALPHA0.DAT", "ALPHA1.DAT", "ALPHA2.DAT"};

double Seconds(Clock::time_point a, Clock::time_point b) {
  return std::chrono::duration<double>(b - a).count();
}

void BM_RebuildCardCatalogue(benchmark::State& state) {
  BenchCard bench;
  RebuildCardCatalogue(*bench.cat);
  const auto same = bench.ReadRoot(kIndexNames);
  std::size_t bytes = 0;
  for (const auto& f : same) bytes += f.second.size();
  double rebuild = 0, plain = 0, atomic = 0;
  for (auto _ : state) {
    const auto t0 = Clock::now();
    if (RebuildCardCatalogue(*bench.cat) != 1) state.SkipWithError("rebuild failed");
    const auto t1 = Clock::now();
    state.PauseTiming();
    bench.PlainWrite(same);
    const auto t2 = Clock::now();
    bench.PlainAtomicWrite(same);
    const auto t3 = Clock::now();
    state.ResumeTiming();
    rebuild += Seconds(t0, t1);
    plain += Seconds(t1, t2);
    atomic += Seconds(t2, t3);
  }
  state.counters["songs"] = static_cast<double>(bench.session->card.size());
  state.counters["bytes"] = static_cast<double>(bytes);
  state.counters["plain_ms"] = plain * 1000 / static_cast<double>(state.iterations());
  state.counters["plain_ratio"] = rebuild / plain;
  state.counters["atomic_ratio"] = rebuild / atomic;
}
BENCHMARK(BM_RebuildCardCatalogue)->Unit(benchmark::kMillisecond);

// The rebuild's own work, without the card: the eight files of 16,000 songs built in memory.
void BM_BuildIndexFiles(benchmark::State& state) {
  BenchCard bench;
  CatalogueWorkStore& work = bench.cat->workStore();
  for (auto _ : state) {
    if (!work.Build(bench.session->card, work.output())) state.SkipWithError("build failed");
  }
}
BENCHMARK(BM_BuildIndexFiles)->Unit(benchmark::kMillisecond);

void BM_CarryOverPlaylists(benchmark::State& state) {
  BenchCard bench;
  Catalogue& cat = *bench.cat;
  RebuildCardCatalogue(cat);
  ReadTitleIndexImage(cat);
  cat.KeepPreviousTitleIndex();
  // The songs move: the same numbers under other titles give other positions.
  bench.FillList(1);
  RebuildCardCatalogue(cat);
  ReadTitleIndexImage(cat);
  std::vector<std::vector<std::uint8_t>> full(16);
  for (int n = 0; n < 16; ++n) {
    std::vector<std::uint16_t> entries;
    for (int i = 0; i < 250; ++i) entries.push_back(static_cast<std::uint16_t>((n * 997 + i * 61) % 16000));
    full[static_cast<std::size_t>(n)] = SerializePlaylist(entries);
  }
  std::vector<std::pair<std::string, std::vector<std::uint8_t>>> same;
  for (int n = 0; n < 16; ++n)
    same.emplace_back(Format("PLAY%d.PLL", n + 1), full[static_cast<std::size_t>(n)]);
  std::vector<std::string> names;
  for (const auto& [name, bytes] : same) names.push_back(name);
  double carry = 0, plain = 0, atomic = 0, readWrite = 0;
  for (auto _ : state) {
    state.PauseTiming();
    bench.PlainWrite(same);  // every round starts from the same 16 full playlists
    state.ResumeTiming();
    const auto t0 = Clock::now();
    CarryOverPlaylists(cat);
    const auto t1 = Clock::now();
    state.PauseTiming();
    bench.PlainWrite(same);
    const auto t2 = Clock::now();
    bench.PlainAtomicWrite(same);
    const auto t3 = Clock::now();
    // What any carry-over has to do at the least: read each playlist, and write it back.
    bench.PlainWrite(bench.ReadRoot(names));
    const auto t4 = Clock::now();
    state.ResumeTiming();
    carry += Seconds(t0, t1);
    plain += Seconds(t1, t2);
    atomic += Seconds(t2, t3);
    readWrite += Seconds(t3, t4);
  }
  state.counters["plain_ms"] = plain * 1000 / static_cast<double>(state.iterations());
  state.counters["plain_ratio"] = carry / plain;
  state.counters["atomic_ratio"] = carry / atomic;
  state.counters["read_write_ratio"] = carry / readWrite;
}
BENCHMARK(BM_CarryOverPlaylists)->Unit(benchmark::kMillisecond);

// The loading as a scan of the whole list per group record: the reference the load must agree with.
void ScanGroups(const std::vector<std::uint8_t>& bytes, CardList& list, SongText SongEntry::*field) {
  std::string current;
  for (std::size_t r = 0; r + 1 < bytes.size() / 32; ++r) {
    const std::uint8_t* rec = bytes.data() + r * 32;
    if (RecordNumber(rec) == kGroupHeaderMark) {
      current = RecordText(rec);
      continue;
    }
    for (SongEntry& e : list) {
      if (e.songNumber() == RecordNumber(rec)) e.*field = current;
    }
  }
}

// Loads against plain reads of the three indexes, each round; `emptyFirst` empties the list
// before each load (out of the timing), as at the first load of a session.
void TimeLoads(benchmark::State& state, BenchCard& bench, bool emptyFirst) {
  double load = 0, plain = 0, list = 0;
  for (auto _ : state) {
    if (emptyFirst) {
      state.PauseTiming();
      bench.session->card.entries() = {};
      state.ResumeTiming();
    }
    const auto t0 = Clock::now();
    LoadCardCatalogue(*bench.cat);
    const auto t1 = Clock::now();
    state.PauseTiming();
    benchmark::DoNotOptimize(bench.ReadRoot({"INDEX0.DAT", "INDEX1.DAT", "INDEX2.DAT"}));
    const auto t2 = Clock::now();
    benchmark::DoNotOptimize(bench.PlainListFolders());
    const auto t3 = Clock::now();
    state.ResumeTiming();
    load += Seconds(t0, t1);
    plain += Seconds(t1, t2);
    list += Seconds(t2, t3);
  }
  if (!bench.ui.boxes.empty()) state.SkipWithError("the load found the catalogue and the folders at odds");
  state.counters["songs"] = static_cast<double>(bench.session->card.size());
  state.counters["plain_read_ms"] = plain * 1000 / static_cast<double>(state.iterations());
  state.counters["plain_list_ms"] = list * 1000 / static_cast<double>(state.iterations());
  state.counters["plain_ratio"] = load / (plain + list);
  state.counters["index_ratio"] = load / plain;
}

void BM_LoadCardCatalogue(benchmark::State& state) {
  BenchCard bench;
  bench.MakeSongFiles();
  RebuildCardCatalogue(*bench.cat);
  // Once: the load gives what a scan per record gives.
  LoadCardCatalogue(*bench.cat);
  CardList loaded = bench.session->card;
  CardList scanned = loaded;
  for (SongEntry& e : scanned) e.category = e.performer = "";
  const auto files = bench.ReadRoot({"INDEX1.DAT", "INDEX2.DAT"});
  const auto s0 = Clock::now();
  ScanGroups(files[0].second, scanned, &SongEntry::category);
  ScanGroups(files[1].second, scanned, &SongEntry::performer);
  const double scan = Seconds(s0, Clock::now());
  for (std::size_t i = 0; i < loaded.size(); ++i) {
    if (loaded[i].category != scanned[i].category || loaded[i].performer != scanned[i].performer) {
      state.SkipWithError("the load and the scan disagree");
      return;
    }
  }
  TimeLoads(state, bench, false);
  state.counters["scan_per_record_ms"] = scan * 1000;
}
BENCHMARK(BM_LoadCardCatalogue)->Unit(benchmark::kMillisecond);

// The first load of a session: the list it replaces is empty, so every song's strings are new.
void BM_LoadCardCatalogueIntoEmptyList(benchmark::State& state) {
  BenchCard bench;
  bench.MakeSongFiles();
  RebuildCardCatalogue(*bench.cat);
  TimeLoads(state, bench, true);
}
BENCHMARK(BM_LoadCardCatalogueIntoEmptyList)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace sondesk
