#include "midi/SynthPlayer.h"

#include <fluidsynth.h>
#include <sys/stat.h>

#include <cstdio>

#include "app/Paths.h"
#include "app/Settings.h"

namespace sondesk {

namespace {

// FluidSynth tells its troubles through a log; the last error becomes part of our message instead
// of a line on a terminal the desktop program does not have.
std::mutex gLogMutex;
std::string gLastFluidError;

void CaptureLog(int level, const char* message, void*) {
  if (level > FLUID_WARN || message == nullptr) return;
  std::lock_guard<std::mutex> lock(gLogMutex);
  gLastFluidError = message;
}

void InstallLog() {
  static std::once_flag once;
  std::call_once(once, [] {
    for (int level : {FLUID_PANIC, FLUID_ERR, FLUID_WARN, FLUID_INFO, FLUID_DBG})
      fluid_set_log_function(level, CaptureLog, nullptr);
  });
}

std::string TakeFluidError() {
  std::lock_guard<std::mutex> lock(gLogMutex);
  std::string e;
  e.swap(gLastFluidError);
  return e;
}

bool IsReadableFile(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(path.c_str(), R_OK) == 0;
}

// Settings, synthesizer and SoundFont together: loading a SoundFont is most of the time a song
// takes to start, so they outlive one song.
struct FluidCore {
  fluid_settings_t* settings = nullptr;
  fluid_synth_t* synth = nullptr;
  std::string soundFont;
  ~FluidCore() {
    if (synth) delete_fluid_synth(synth);
    if (settings) delete_fluid_settings(settings);
  }
};

std::unique_ptr<FluidCore> MakeCore(const std::string& soundFont, double gain, bool fileRendering,
                                    std::string& error) {
  InstallLog();
  auto core = std::make_unique<FluidCore>();
  core->settings = new_fluid_settings();
  if (core->settings == nullptr) {
    error = "FluidSynth could not be started";
    return nullptr;
  }
  fluid_settings_setnum(core->settings, "synth.gain", gain);
  // Rendering to a file runs on the samples it makes, not on the clock, so it goes as fast as the
  // machine does; locking memory only matters to a live output.
  fluid_settings_setstr(core->settings, "player.timing-source", fileRendering ? "sample" : "system");
  fluid_settings_setint(core->settings, "synth.lock-memory", 0);
  core->synth = new_fluid_synth(core->settings);
  if (core->synth == nullptr) {
    error = "FluidSynth could not be started: " + TakeFluidError();
    return nullptr;
  }
  if (fluid_synth_sfload(core->synth, soundFont.c_str(), 1) == FLUID_FAILED) {
    error = "The SoundFont " + soundFont + " cannot be loaded: " + TakeFluidError();
    return nullptr;
  }
  core->soundFont = soundFont;
  return core;
}

// FluidSynth's player goes on for seconds after a song's last event while voices fade; the song
// ends where its tempo map says, with this much left for the last notes to die away.
constexpr double kReleaseTail = 0.2;

bool PastTheEnd(fluid_player_t* player) {
  const int total = fluid_player_get_total_ticks(player);
  return total > 0 && fluid_player_get_current_tick(player) >= total;
}

}  // namespace

struct SynthPlayer::Fluid {
  std::unique_ptr<FluidCore> core;
  double gain = -1;
  fluid_player_t* player = nullptr;
  fluid_audio_driver_t* driver = nullptr;
};

SynthOptions SynthOptions::FromSettings(const Settings& settings, const std::string& workDir) {
  SynthOptions o;
  o.soundFont = settings.soundFont;
  o.audioDriver = settings.audioDriver;
  o.gain = settings.midiGain / 100.0;
  if (o.gain < 0) o.gain = 0;
  if (o.gain > 10) o.gain = 10;
  o.fileDriverOutput = JoinPath(workDir, "PLAYBACK.WAV");
  return o;
}

const std::vector<std::string>& DebianSoundFonts() {
  // default-GM is the one the system's alternatives point at; the others by the packages' own names.
  static const std::vector<std::string> fonts = {
      "/usr/share/sounds/sf2/default-GM.sf2",        "/usr/share/sounds/sf2/FluidR3_GM.sf2",
      "/usr/share/sounds/sf2/TimGM6mb.sf2",          "/usr/share/sounds/sf3/default-GM.sf3",
      "/usr/share/sounds/sf3/MuseScore_General.sf3", "/usr/share/sounds/sf3/FluidR3Mono_GM.sf3"};
  return fonts;
}

std::string FindSoundFont(const std::string& configured, std::string& error) {
  if (!configured.empty()) {
    if (IsReadableFile(configured)) return configured;
    error =
        "The SoundFont " + configured +
        " named in the settings cannot be read. Choose another one in Tools > Midi Setup, or clear it to use "
        "the General MIDI SoundFont of the system.";
    return {};
  }
  for (const std::string& f : DebianSoundFonts()) {
    if (IsReadableFile(f)) return f;
  }
  error =
      "No General MIDI SoundFont is installed. Install the package fluid-soundfont-gm (or the smaller "
      "timgm6mb-soundfont), or choose a SoundFont file in Tools > Midi Setup.";
  return {};
}

const std::vector<std::string>& DefaultAudioDrivers() {
  // PipeWire desktops serve PulseAudio clients too; ALSA is the last resort.
  static const std::vector<std::string> drivers = {"pipewire", "pulseaudio", "alsa"};
  return drivers;
}

SynthPlayer::SynthPlayer() : fluid_(std::make_unique<Fluid>()) {}

SynthPlayer::~SynthPlayer() {
  Stop();
}

bool SynthPlayer::EnsureSynth(const SynthOptions& options, bool fileRendering) {
  const std::string font = FindSoundFont(options.soundFont, lastError_);
  if (font.empty()) return false;
  if (!fluid_->core || fluid_->core->soundFont != font) {
    fluid_->core.reset();
    fluid_->core = MakeCore(font, options.gain, fileRendering, lastError_);
    if (!fluid_->core) return false;
  }
  if (fluid_->gain != options.gain)
    fluid_synth_set_gain(fluid_->core->synth, static_cast<float>(options.gain));
  fluid_->gain = options.gain;
  soundFontPath_ = font;
  return true;
}

bool SynthPlayer::OpenAudio(const SynthOptions& options) {
  fluid_settings_t* s = fluid_->core->settings;
  if (!options.fileDriverOutput.empty())
    fluid_settings_setstr(s, "audio.file.name", options.fileDriverOutput.c_str());
  const std::vector<std::string> tried =
      options.audioDriver.empty() ? DefaultAudioDrivers() : std::vector<std::string>{options.audioDriver};
  std::string why;
  for (const std::string& d : tried) {
    if (fluid_settings_setstr(s, "audio.driver", d.c_str()) != FLUID_OK) continue;  // not in this build
    fluid_->driver = new_fluid_audio_driver(s, fluid_->core->synth);
    if (fluid_->driver != nullptr) {
      driverInUse_ = d;
      return true;
    }
    const std::string e = TakeFluidError();
    if (!e.empty()) why = e;
  }
  std::string names;
  for (const std::string& d : tried) names += (names.empty() ? "" : ", ") + d;
  lastError_ = options.audioDriver.empty()
                   ? "No sound output could be opened (tried " + names + ")."
                   : "The audio driver " + options.audioDriver + " could not be opened.";
  if (!why.empty()) lastError_ += " " + why;
  return false;
}

int SynthPlayer::OnEvent(void* self, void* event) {
  auto* me = static_cast<SynthPlayer*>(self);
  auto* ev = static_cast<fluid_midi_event_t*>(event);
  if (me->firstSoundNanos_.load(std::memory_order_relaxed) < 0 && fluid_midi_event_get_type(ev) == 0x90 &&
      fluid_midi_event_get_velocity(ev) > 0) {
    me->firstSoundNanos_.store(std::chrono::steady_clock::now().time_since_epoch().count());
  }
  return fluid_synth_handle_midi_event(me->fluid_->core->synth, ev);
}

void SynthPlayer::JoinWatcher() {
  if (watcher_.joinable()) watcher_.join();
}

bool SynthPlayer::Play(const std::vector<std::uint8_t>& midiFile, const SynthOptions& options) {
  std::lock_guard<std::mutex> lock(mutex_);
  stopping_ = true;
  {
    std::lock_guard<std::mutex> song(song_);
    if (fluid_->player) fluid_player_stop(fluid_->player);
  }
  JoinWatcher();
  stopping_ = false;
  lastError_.clear();
  firstSoundNanos_ = -1;
  if (!EnsureSynth(options, false)) return false;
  fluid_synth_system_reset(fluid_->core->synth);
  // A player runs on the clock its settings name when it is made: a live one on the system clock.
  fluid_settings_setstr(fluid_->core->settings, "player.timing-source", "system");
  fluid_player_t* player = new_fluid_player(fluid_->core->synth);
  if (player == nullptr) {
    lastError_ = "FluidSynth could not start a player: " + TakeFluidError();
    return false;
  }
  fluid_player_set_playback_callback(
      player, [](void* d, fluid_midi_event_t* e) { return OnEvent(d, e); }, this);
  if (fluid_player_add_mem(player, midiFile.data(), midiFile.size()) != FLUID_OK) {
    delete_fluid_player(player);
    lastError_ = "FluidSynth refused the song: " + TakeFluidError();
    return false;
  }
  if (!OpenAudio(options)) {
    delete_fluid_player(player);
    return false;
  }
  {
    std::lock_guard<std::mutex> song(song_);
    fluid_->player = player;
  }
  playing_ = true;
  fluid_player_play(player);
  watcher_ = std::thread([this, player] {
    // This thread is the player's own: waiting here keeps the caller's thread free.
    std::optional<std::chrono::steady_clock::time_point> endAt;
    while (fluid_player_get_status(player) == FLUID_PLAYER_PLAYING && !stopping_) {
      const auto now = std::chrono::steady_clock::now();
      if (!endAt && PastTheEnd(player))
        endAt = now + std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                          std::chrono::duration<double>(kReleaseTail));
      if (endAt && now >= *endAt) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    fluid_player_stop(player);
    fluid_player_join(player);
    {
      std::lock_guard<std::mutex> song(song_);
      if (fluid_->driver) delete_fluid_audio_driver(fluid_->driver);
      fluid_->driver = nullptr;
      delete_fluid_player(player);
      fluid_->player = nullptr;
    }
    playing_ = false;
    if (onEnded) onEnded(stopping_ ? PlayEnd::Stopped : PlayEnd::Finished);
  });
  return true;
}

void SynthPlayer::Stop() {
  std::lock_guard<std::mutex> lock(mutex_);
  stopping_ = true;
  {
    std::lock_guard<std::mutex> song(song_);
    if (fluid_->player) fluid_player_stop(fluid_->player);
  }
  JoinWatcher();
}

std::uint64_t SynthPlayer::CurrentTick() const {
  std::lock_guard<std::mutex> song(song_);
  if (!fluid_->player) return 0;
  const int t = fluid_player_get_current_tick(fluid_->player);
  return t > 0 ? static_cast<std::uint64_t>(t) : 0;
}

std::optional<std::chrono::steady_clock::time_point> SynthPlayer::FirstSoundAt() const {
  const std::int64_t n = firstSoundNanos_.load();
  if (n < 0) return std::nullopt;
  return std::chrono::steady_clock::time_point(std::chrono::steady_clock::duration(n));
}

bool SynthPlayer::RenderWav(const std::vector<std::uint8_t>& midiFile, const std::string& wavPath,
                            const SynthOptions& options) {
  std::lock_guard<std::mutex> lock(mutex_);
  lastError_.clear();
  const std::string font = FindSoundFont(options.soundFont, lastError_);
  if (font.empty()) return false;
  // A synthesizer of its own: a song may be playing live on the other one meanwhile.
  std::unique_ptr<FluidCore> core = MakeCore(font, options.gain, true, lastError_);
  if (!core) return false;
  fluid_settings_setstr(core->settings, "audio.file.name", wavPath.c_str());
  fluid_settings_setstr(core->settings, "audio.file.type", "wav");
  // Larger blocks spare per-block overhead; nothing listens, so their latency costs nothing.
  fluid_settings_setint(core->settings, "audio.period-size", 1024);
  fluid_player_t* player = new_fluid_player(core->synth);
  if (player == nullptr || fluid_player_add_mem(player, midiFile.data(), midiFile.size()) != FLUID_OK) {
    if (player) delete_fluid_player(player);
    lastError_ = "FluidSynth refused the song: " + TakeFluidError();
    return false;
  }
  fluid_file_renderer_t* renderer = new_fluid_file_renderer(core->synth);
  if (renderer == nullptr) {
    delete_fluid_player(player);
    lastError_ = "Cannot Create " + wavPath + ": " + TakeFluidError();
    return false;
  }
  fluid_player_play(player);
  bool ok = true;
  double sampleRate = 44100;
  fluid_settings_getnum(core->settings, "synth.sample-rate", &sampleRate);
  int period = 64;
  fluid_settings_getint(core->settings, "audio.period-size", &period);
  long tailBlocks = -1;
  while (fluid_player_get_status(player) == FLUID_PLAYER_PLAYING && tailBlocks != 0) {
    if (tailBlocks < 0 && PastTheEnd(player))
      tailBlocks = static_cast<long>(kReleaseTail * sampleRate / period) + 1;
    if (tailBlocks > 0) --tailBlocks;
    if (fluid_file_renderer_process_block(renderer) != FLUID_OK) {
      ok = false;
      lastError_ = "Cannot write " + wavPath + ": " + TakeFluidError();
      break;
    }
  }
  fluid_player_stop(player);
  delete_fluid_file_renderer(renderer);
  delete_fluid_player(player);
  soundFontPath_ = font;
  return ok;
}

}  // namespace sondesk
