#include "midi/FluidLibrary.h"

#include <mutex>

#include "app/LateLibrary.h"

namespace sondesk {

namespace {

FluidLibrary gApi;
std::string gLoadError;

void Load() {
  const std::string what = "FluidSynth (" SONDESK_FLUIDSYNTH_SONAME ")";
  void* handle = OpenLateLibrary(SONDESK_FLUIDSYNTH_SONAME, what, gLoadError);
  if (handle == nullptr) return;
  FluidLibrary api;
  bool complete = true;
#define SONDESK_FLUID_RESOLVE(name) complete = TakeLateFunction(handle, #name, api.name, what, gLoadError) && complete;
  SONDESK_FLUID_FUNCTIONS(SONDESK_FLUID_RESOLVE)
#undef SONDESK_FLUID_RESOLVE
  if (complete) gApi = api;
}

}  // namespace

bool LoadFluidLibrary(std::string& error) {
  static std::once_flag once;
  std::call_once(once, Load);
  if (gApi.new_fluid_synth == nullptr) {
    error = gLoadError;
    return false;
  }
  return true;
}

const FluidLibrary& FluidApi() {
  return gApi;
}

}  // namespace sondesk
