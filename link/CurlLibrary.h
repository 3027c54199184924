#pragma once
// libcurl, opened the first time a file is downloaded rather than when the program starts: it
// brings some thirty libraries of its own (TLS, Kerberos, LDAP, SSH), mapping and relocating them
// costs every run of the command line about 5 ms of processor time, and only a firmware download
// needs them. The functions are libcurl's own, taken from its headers, so every call is checked
// against their real types.

#include <curl/curl.h>

#include <string>

namespace sondesk {

#define SONDESK_CURL_FUNCTIONS(X)                                                              \
  X(curl_global_init) X(curl_easy_init) X(curl_easy_setopt) X(curl_easy_perform)             \
  X(curl_easy_getinfo) X(curl_easy_cleanup) X(curl_easy_strerror)

struct CurlLibrary {
#define SONDESK_CURL_POINTER(name) decltype(&::name) name = nullptr;
  SONDESK_CURL_FUNCTIONS(SONDESK_CURL_POINTER)
#undef SONDESK_CURL_POINTER
};

// Opens the library and runs its global set-up once (later calls give the same answer). False
// with `error` saying what is missing when it cannot be opened, lacks a function or fails to start.
bool LoadCurlLibrary(std::string& error);
// The functions, once LoadCurlLibrary has succeeded.
const CurlLibrary& CurlApi();

}  // namespace sondesk
