#include "link/CurlLibrary.h"

#include <mutex>

#include "app/LateLibrary.h"

namespace sondesk {

namespace {

CurlLibrary gApi;
std::string gLoadError;

void Load() {
  // libcurl's global state (its TLS library) is never torn down within a run.
  const std::string what = "libcurl (" SONDESK_CURL_SONAME ")";
  void* handle = OpenLateLibrary(SONDESK_CURL_SONAME, what, gLoadError);
  if (handle == nullptr) return;
  CurlLibrary api;
  bool complete = true;
#define SONDESK_CURL_RESOLVE(name) complete = TakeLateFunction(handle, #name, api.name, what, gLoadError) && complete;
  SONDESK_CURL_FUNCTIONS(SONDESK_CURL_RESOLVE)
#undef SONDESK_CURL_RESOLVE
  if (!complete) return;
  if (api.curl_global_init(CURL_GLOBAL_DEFAULT) != CURLE_OK) {
    gLoadError = what + " cannot start";
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
