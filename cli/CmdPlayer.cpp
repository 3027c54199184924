#include <CLI/CLI.hpp>
#include <chrono>
#include <csignal>
#include <iostream>
#include <memory>
#include <thread>

#include "app/AtomicFile.h"
#include "cli/CliContext.h"
#include "messages/Cp1252.h"
#include "midi/Mf3File.h"
#include "midi/PlayableMidi.h"
#include "midi/SongPlayback.h"

namespace sondesk {

namespace {

struct PlayerArgs {
  std::string song, out, wav, soundFont, audioDriver;
  bool lyrics = false;
};

volatile std::sig_atomic_t gInterrupted = 0;

// The song decoded and rewritten in memory; false (told) when it cannot be.
bool RenderInMemory(CliContext& ctx, const std::string& path, bool keepLyrics, PlayableMidi& midi) {
  Mf3Header header;
  std::vector<std::uint8_t> payload;
  Mf3Status status = Mf3Status::Ok;
  if (DecodeMf3ToMemory(ctx.session(), path, header, payload, &status) != 0) {
    ctx.Fail(path + ": " + Mf3StatusText(status));
    return false;
  }
  midi = RenderPlayableMidiBytes(payload, header, keepLyrics);
  if (!midi.ok()) {
    ctx.Fail(path + ": " + PlayableMidiErrorText(midi.error) + " (byte " + std::to_string(midi.errorOffset) +
             ")");
    return false;
  }
  return true;
}

// Plays to the sound server until the song ends or the user interrupts, printing each lyric line
// as its singing starts.
void PlayLive(CliContext& ctx, const PlayerArgs& a) {
  Session& s = ctx.session();
  if (!a.soundFont.empty()) s.settings().soundFont = a.soundFont;
  if (!a.audioDriver.empty()) s.settings().audioDriver = a.audioDriver;
  SongPlayback playback(s);
  if (playback.PlaySong(a.song) != 0) {
    ctx.exitCode = 1;
    return;
  }
  const PreparedSong& song = playback.song();
  if (!song.karaoke.hasPages()) std::cout << "(no lyric pages in this song)\n";
  const std::vector<SungLine> lines = song.karaoke.SungLines();
  std::size_t next = 0;
  gInterrupted = 0;
  auto previous = std::signal(SIGINT, [](int) { gInterrupted = 1; });
  while (playback.playing() && gInterrupted == 0) {
    const std::uint64_t tick = playback.CurrentTick();
    while (next < lines.size() && lines[next].tick <= tick) {
      std::cout << Cp1252ToUtf8(lines[next++].text) << "\n" << std::flush;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  playback.StopSong();
  std::signal(SIGINT, previous);
  if (gInterrupted != 0) ctx.exitCode = 130;
}

}  // namespace

void RegisterPlayerCommands(CLI::App& app, CliContext& ctx) {
  auto args = std::make_shared<PlayerArgs>();

  auto* render = app.add_subcommand("render", "the playable standard MIDI file that PC playback uses");
  render->add_option("FILE", args->song, "the MF3 song")->required();
  render->add_option("OUT", args->out, "the MIDI file to write")->required();
  render->add_flag("--lyrics", args->lyrics, "keep the song's lyric and text events");
  render->callback([&ctx, args] {
    PlayableMidi midi;
    if (!RenderInMemory(ctx, args->song, args->lyrics, midi)) return;
    if (!WriteFileAtomically(args->out, midi.file)) return ctx.Fail("Cannot Create " + args->out);
    if (ctx.options.verbose) std::cout << "seconds: " << midi.Seconds() << "\n";
  });

  auto* play =
      app.add_subcommand("play", "play an MF3 song through FluidSynth, printing lyric lines as sung");
  play->add_option("FILE", args->song, "the MF3 song")->required();
  play->add_option("--wav", args->wav, "render to this WAV file instead, faster than real time");
  play->add_option("--soundfont", args->soundFont,
                   "SoundFont file (else [Midi] SoundFont, else Debian's GM font)");
  play->add_option("--audio-driver", args->audioDriver,
                   "FluidSynth audio driver (else [Midi] AudioDriver, else the sound server, then ALSA)");
  play->callback([&ctx, args] {
    if (args->wav.empty()) return PlayLive(ctx, *args);
    PlayableMidi midi;
    if (!RenderInMemory(ctx, args->song, false, midi)) return;
    SynthOptions o = SynthOptions::FromSettings(ctx.session().settings(), ctx.session().workDir());
    if (!args->soundFont.empty()) o.soundFont = args->soundFont;
    SynthPlayer player;
    const auto start = std::chrono::steady_clock::now();
    if (!player.RenderWav(midi.file, args->wav, o)) return ctx.Fail(player.lastError());
    const double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::cout << "wav: " << args->wav << "\n"
              << "seconds: " << midi.Seconds() << "\n"
              << "soundfont: " << player.soundFontInUse() << "\n";
    if (ctx.options.verbose && took > 0) std::cout << "speed: " << midi.Seconds() / took << "x real time\n";
  });
}

}  // namespace sondesk
