#pragma once
// The synthesizer behind PC playback: FluidSynth with a General MIDI SoundFont, playing a Standard
// MIDI file through the desktop's sound server, or rendering it to a WAV file faster than real
// time. No display, no Qt: the desktop program and the command line both stand on it.
//
// Playing never blocks its caller: the synthesizer runs on its own threads, and the end of a song
// is reported through `onEnded` from a thread of the player's own (a window marshals it to its
// own thread).

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace sondesk {

class Settings;

struct SynthOptions {
  std::string soundFont;         // "" finds the General MIDI font of Debian's packages
  std::string audioDriver;       // "" tries the sound server (PipeWire, PulseAudio), then ALSA
  double gain = 0.2;             // FluidSynth's master gain, 0 to 10
  std::string fileDriverOutput;  // where the "file" audio driver writes (never the current folder)

  // From the settings: [Midi] SoundFont, AudioDriver and Gain; the file driver writes into `workDir`.
  static SynthOptions FromSettings(const Settings& settings, const std::string& workDir);
};

// The General MIDI SoundFonts that Debian's packages install, most complete first.
const std::vector<std::string>& DebianSoundFonts();
// The SoundFont to use: the one given (it must exist), else the first of DebianSoundFonts() that
// exists. Empty with `error` set when there is none.
std::string FindSoundFont(const std::string& configured, std::string& error);
// The audio drivers tried, in order, when none is configured.
const std::vector<std::string>& DefaultAudioDrivers();

// Why the song ended.
enum class PlayEnd { Finished, Stopped };

class SynthPlayer {
 public:
  SynthPlayer();
  ~SynthPlayer();
  SynthPlayer(const SynthPlayer&) = delete;
  SynthPlayer& operator=(const SynthPlayer&) = delete;

  // Starts `midiFile` (a whole Standard MIDI file in memory). Any song already playing is stopped
  // first. False with `lastError()` set when the SoundFont or the audio output cannot be had.
  bool Play(const std::vector<std::uint8_t>& midiFile, const SynthOptions& options);
  // Stops the song (no end is reported as Finished); nothing when none plays.
  void Stop();
  bool playing() const { return playing_.load(); }
  // Where the song stands, in its own ticks.
  std::uint64_t CurrentTick() const;
  // When the first note-on with a velocity above 0 of the song now playing was handed to the
  // synthesizer; none before it.
  std::optional<std::chrono::steady_clock::time_point> FirstSoundAt() const;

  // Renders `midiFile` to `wavPath` with FluidSynth's file renderer, as fast as the machine goes.
  // No audio output is opened. False with `lastError()` set on failure.
  bool RenderWav(const std::vector<std::uint8_t>& midiFile, const std::string& wavPath,
                 const SynthOptions& options);

  const std::string& lastError() const { return lastError_; }
  const std::string& soundFontInUse() const { return soundFontPath_; }
  const std::string& driverInUse() const { return driverInUse_; }

  // Called once for each song that was started, from the player's own thread.
  std::function<void(PlayEnd)> onEnded;

 private:
  struct Fluid;
  bool EnsureSynth(const SynthOptions& options, bool fileRendering);
  bool OpenAudio(const SynthOptions& options);
  void JoinWatcher();
  static int OnEvent(void* self, void* event);

  std::unique_ptr<Fluid> fluid_;
  std::string soundFontPath_;
  std::string driverInUse_;
  std::string lastError_;
  std::atomic<bool> playing_{false};
  std::atomic<bool> stopping_{false};
  std::thread watcher_;
  std::atomic<std::int64_t> firstSoundNanos_{-1};  // steady clock, since its epoch
  std::mutex mutex_;                               // Play, Stop and RenderWav one at a time
  mutable std::mutex song_;  // the song's player and audio output, which the watcher ends
};

}  // namespace sondesk
