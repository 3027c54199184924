#include "link/CurlLibrary.h"

#include <dlfcn.h>

#include <mutex>

namespace sondesk {

namespace {

CurlLibrary gApi;
std::string gLoadError;

void Load() {
  // RTLD_NODELETE: libcurl's global state (its TLS library) is never torn down within a run.
  void* handle = ::dlopen(SONDESK_CURL_SONAME, RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
  if (handle == nullptr) {
    const char* why = ::dlerror();
    gLoadError = std::string("libcurl (" SONDESK_CURL_SONAME ") cannot be loaded") +
                 (why != nullptr ? std::string(": ") + why : std::string());
    return;
  }
  CurlLibrary api;
  bool complete = true;
#define SONDESK_CURL_RESOLVE(name)                                                \
  api.name = reinterpret_cast<decltype(api.name)>(::dlsym(handle, #name));        \
  if (api.name == nullptr && complete) {                                          \
    gLoadError = "libcurl (" SONDESK_CURL_SONAME ") lacks the function " #name;   \
    complete = false;                                                             \
  }
  SONDESK_CURL_FUNCTIONS(SONDESK_CURL_RESOLVE)
#undef SONDESK_CURL_RESOLVE
  if (!complete) return;
  if (api.curl_global_init(CURL_GLOBAL_DEFAULT) != CURLE_OK) {
    gLoadError = "libcurl (" SONDESK_CURL_SONAME ") cannot start";
    return;
  }
  gApi = api;
}

}  // namespace

bool LoadCurlLibrary(std::string& error) {
  static std::once_flag once;
  std::call_once(once, Load);
  if (gApi.curl_easy_init == nullptr) {
    error = gLoadError;
    return false;
  }
  return true;
}

const CurlLibrary& CurlApi() {
  return gApi;
}

}  // namespace sondesk
