#include "midi/FluidLibrary.h"

#include <dlfcn.h>

#include <mutex>

namespace sondesk {

namespace {

FluidLibrary gApi;
std::string gLoadError;

void Load() {
  // RTLD_NODELETE: the synthesizer's threads may outlive every player object, so the code stays.
  void* handle = ::dlopen(SONDESK_FLUIDSYNTH_SONAME, RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
  if (handle == nullptr) {
    const char* why = ::dlerror();
    gLoadError = std::string("FluidSynth (" SONDESK_FLUIDSYNTH_SONAME ") cannot be loaded") +
                 (why != nullptr ? std::string(": ") + why : std::string());
    return;
  }
  FluidLibrary api;
  bool complete = true;
#define SONDESK_FLUID_RESOLVE(name)                                                      \
  api.name = reinterpret_cast<decltype(api.name)>(::dlsym(handle, #name));               \
  if (api.name == nullptr && complete) {                                                 \
    gLoadError = "FluidSynth (" SONDESK_FLUIDSYNTH_SONAME ") lacks the function " #name; \
    complete = false;                                                                    \
  }
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
