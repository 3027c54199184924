#pragma once
// FluidSynth, opened the first time a song is played or rendered rather than when the program
// starts: it brings some forty libraries of its own (sound servers, codecs), and most runs of the
// command line never make a sound. The functions are FluidSynth's own, taken from its headers, so
// every call is checked against their real types.

#include <fluidsynth.h>

#include <string>

namespace sondesk {

#define SONDESK_FLUID_FUNCTIONS(X)                                                                       \
  X(new_fluid_settings) X(delete_fluid_settings) X(fluid_settings_setnum) X(fluid_settings_setstr)     \
  X(fluid_settings_setint) X(fluid_settings_getint) X(fluid_settings_getnum) X(new_fluid_synth)        \
  X(delete_fluid_synth) X(fluid_synth_sfload) X(fluid_synth_set_gain) X(fluid_synth_system_reset)      \
  X(fluid_synth_handle_midi_event) X(new_fluid_audio_driver) X(delete_fluid_audio_driver)              \
  X(new_fluid_player) X(delete_fluid_player) X(fluid_player_add_mem) X(fluid_player_play)              \
  X(fluid_player_stop) X(fluid_player_join) X(fluid_player_get_status) X(fluid_player_get_current_tick) \
  X(fluid_player_get_total_ticks) X(fluid_player_set_playback_callback) X(fluid_midi_event_get_type)   \
  X(fluid_midi_event_get_velocity) X(new_fluid_file_renderer) X(delete_fluid_file_renderer)            \
  X(fluid_file_renderer_process_block) X(fluid_set_log_function)

struct FluidLibrary {
#define SONDESK_FLUID_POINTER(name) decltype(&::name) name = nullptr;
  SONDESK_FLUID_FUNCTIONS(SONDESK_FLUID_POINTER)
#undef SONDESK_FLUID_POINTER
};

// Opens the library once (later calls give the same answer). False with `error` saying what is
// missing when it cannot be opened or lacks a function.
bool LoadFluidLibrary(std::string& error);
// The functions, once LoadFluidLibrary has succeeded.
const FluidLibrary& FluidApi();

}  // namespace sondesk
