// PC playback, measured:
//  - BM_TimeToFirstSound: from Play on a typical karaoke song (decode of the MF3 file, rewrite into
//    the playable MIDI file, lyric pages, synthesizer start, audio output opened) to the first
//    note-on handed to the synthesizer, less the song's own time before its first note. "cold"
//    starts a new player each time (the SoundFont loaded again), "warm" keeps the program's one
//    player as the desktop program does. FluidSynth's file driver stands for the sound server.
//  - BM_WavRender: the song rendered to WAV by our player and, side by side, by the fluidsynth
//    program itself (-F, the same SoundFont and MIDI file); x_real_time is song seconds per
//    second of wall time (and per second of processor time).
//
//   cmake --build --preset default --target bench_playback && build/default/bench/bench_playback

#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>

#include "app/AtomicFile.h"
#include "app/ScriptedUi.h"
#include "app/Session.h"
#include "midi/Mf3File.h"
#include "midi/MidiToPayload.h"
#include "midi/SongPlayback.h"
#include "midi/TempoMap.h"

namespace {

using namespace sondesk;
using Clock = std::chrono::steady_clock;

struct Bench {
  Bench() {
    dir = std::filesystem::temp_directory_path() / ("sondesk-bench-playback-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    Paths p;
    p.windir = dir / "win";
    p.workDir = dir / "work";
    p.dataDir = dir / "data";
    p.EnsureFolders();
    session = std::make_unique<Session>(ui, p, SystemClock(), 1);
    session->settings().audioDriver = "file";
    MidiConversion conv;
    const std::string payload = dir / "payload.mid";
    ConvertMidiToPayload(*session, SONDESK_SOURCE_DIR "/../shared/corpus/dmidiplayer/twinkle.kar", payload,
                         conv);
    song = dir / "TWINKLE.MF3";
    WriteMf3(*session, payload, song, "TWINKLE.MF3", conv.header);
    prepared = PrepareSong(*session, song);
    // The song's own silence before its first note, which no player can shorten.
    std::vector<std::uint8_t> bytes;
    ReadWholeFile(session->workDir() + "/TEMP.MIT", bytes);
    std::uint64_t first = 0;
    bool found = false;
    WalkPayload(bytes, [&](const PayloadEvent& e) {
      if (!found && (e.status & 0xF0) == 0x90 && e.data[1] > 0) {
        first = e.time;
        found = true;
      }
    });
    leadIn = TempoMap(480, prepared.midi.tempos).SecondsAt(first);
  }
  ~Bench() { std::filesystem::remove_all(dir); }

  std::filesystem::path dir;
  ScriptedUi ui;
  std::unique_ptr<Session> session;
  std::string song;
  PreparedSong prepared;
  double leadIn = 0;
};

Bench& Shared() {
  static Bench b;
  return b;
}

double CpuSeconds(int who) {
  rusage u{};
  ::getrusage(who, &u);
  return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

double FirstSound(SongPlayback& playback, const std::string& song) {
  const auto start = Clock::now();
  if (playback.PlaySong(song) != 0) return -1;
  while (!playback.player().FirstSoundAt() && playback.playing())
    std::this_thread::sleep_for(std::chrono::microseconds(200));
  const auto at = playback.player().FirstSoundAt();
  playback.StopSong();
  return at ? std::chrono::duration<double>(*at - start).count() : -1;
}

void BM_TimeToFirstSound(benchmark::State& state) {
  Bench& b = Shared();
  const bool cold = state.range(0) == 1;
  auto warm = std::make_unique<SongPlayback>(*b.session);
  if (!cold) FirstSound(*warm, b.song);  // the SoundFont loaded once, as after the program's first song
  double worst = 0;
  for (auto _ : state) {
    std::unique_ptr<SongPlayback> fresh;
    SongPlayback* p = warm.get();
    if (cold) {
      fresh = std::make_unique<SongPlayback>(*b.session);
      p = fresh.get();
    }
    const double s = FirstSound(*p, b.song);
    if (s < 0) {
      state.SkipWithError("the song did not start");
      return;
    }
    const double latency = std::max(0.0, s - b.leadIn);
    worst = std::max(worst, latency);
    state.SetIterationTime(latency);
  }
  state.counters["worst_ms"] = worst * 1000;
  state.counters["song_lead_in_ms"] = b.leadIn * 1000;
  state.SetLabel(cold ? "cold" : "warm");
}
BENCHMARK(BM_TimeToFirstSound)->Arg(1)->Arg(0)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);

void BM_WavRender(benchmark::State& state) {
  Bench& b = Shared();
  const bool peer = state.range(0) == 1;
  const std::string wav = b.dir / (peer ? "peer.wav" : "ours.wav");
  const std::string midi = b.session->workDir() + "/TEMP.MID";
  std::string font, error;
  font = FindSoundFont("", error);
  SynthPlayer player;
  SynthOptions o = SynthOptions::FromSettings(b.session->settings(), b.session->workDir());
  double wall = 0, cpu = 0;
  for (auto _ : state) {
    const auto start = Clock::now();
    const double c0 = CpuSeconds(peer ? RUSAGE_CHILDREN : RUSAGE_SELF);
    if (peer) {
      const std::string cmd =
          "fluidsynth -ni -q -g 0.2 -r 44100 -F '" + wav + "' '" + font + "' '" + midi + "' >/dev/null 2>&1";
      if (std::system(cmd.c_str()) != 0) {
        state.SkipWithError("fluidsynth failed");
        return;
      }
    } else if (!player.RenderWav(b.prepared.midi.file, wav, o)) {
      state.SkipWithError(player.lastError().c_str());
      return;
    }
    const double w = std::chrono::duration<double>(Clock::now() - start).count();
    wall += w;
    cpu += CpuSeconds(peer ? RUSAGE_CHILDREN : RUSAGE_SELF) - c0;
    state.SetIterationTime(w);
  }
  const double n = static_cast<double>(state.iterations());
  const double seconds = b.prepared.midi.Seconds();
  state.counters["x_real_time"] = seconds * n / wall;
  state.counters["x_real_time_cpu"] = seconds * n / cpu;
  state.counters["song_s"] = seconds;
  state.SetLabel(peer ? "peer: fluidsynth -F" : "ours: RenderWav");
}
BENCHMARK(BM_WavRender)->Arg(0)->Arg(1)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);

}  // namespace
