#include "link/Download.h"

#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "app/AtomicFile.h"
#include "app/Session.h"
#include "link/CurlLibrary.h"

namespace sondesk {

namespace {

constexpr std::uint64_t kBlockBytes = 1024;

struct Transfer {
  Session* session;
  std::string serverPath;
  std::FILE* file = nullptr;
  std::uint64_t bytes = 0;
  std::uint64_t maxBytes = 0;
  bool writeFailed = false;
  bool tooLarge = false;
  bool cancelled = false;
};

std::size_t WriteBlock(char* data, std::size_t size, std::size_t count, void* user) {
  auto& t = *static_cast<Transfer*>(user);
  const std::size_t n = size * count;
  if (t.bytes + n > t.maxBytes) {
    t.tooLarge = true;
    return 0;
  }
  if (std::fwrite(data, 1, n, t.file) != n) {
    t.writeFailed = true;
    return 0;
  }
  // One item for every 1024 bytes, as the blocks were counted when they were read one by one.
  Progress& progress = t.session->progress();
  if (t.bytes == 0) progress.ProgressSetLine2(Format("Reading: %s", t.serverPath.c_str()));
  const std::uint64_t before = t.bytes / kBlockBytes;
  t.bytes += n;
  const std::uint64_t after = t.bytes / kBlockBytes;
  if (after > before) progress.ProgressStep(static_cast<std::uint32_t>(after - before));
  return n;
}

// Called by libcurl about once a second even when nothing arrives: the window stays alive and
// Cancel is seen while a server keeps us waiting.
int OnProgress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
  auto& t = *static_cast<Transfer*>(user);
  Progress& progress = t.session->progress();
  progress.Pump();
  if (progress.Cancelled()) {
    t.cancelled = true;
    return 1;
  }
  return 0;
}

bool HasScheme(const std::string& url) {
  const std::size_t colon = url.find("://");
  if (colon == std::string::npos || colon == 0) return false;
  for (std::size_t i = 0; i < colon; ++i) {
    const char c = url[i];
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '+' && c != '-' && c != '.') return false;
  }
  return true;
}

}  // namespace

std::string JoinUrl(const std::string& base, const std::string& path) {
  std::string url = HasScheme(base) ? base : "https://" + base;
  if (!url.empty() && url.back() != '/') url += '/';
  std::size_t skip = 0;
  while (skip < path.size() && path[skip] == '/') ++skip;
  return url + path.substr(skip);
}

std::string UpdateServerUrl(const Session& session, const std::string& path) {
  const Settings& s = session.settings();
  const std::string& base = !s.updateUrl.empty() ? s.updateUrl : !s.deviceUrl.empty() ? s.deviceUrl : session.Text(16);
  return JoinUrl(base, path);
}

int DownloadFile(Session& session, const std::string& url, const std::string& localPath, std::string& error,
                 const DownloadOptions& options) {
  Progress& progress = session.progress();
  std::string why;
  const bool loaded = LoadCurlLibrary(why);
  const CurlLibrary& api = CurlApi();
  CURL* curl = loaded ? api.curl_easy_init() : nullptr;
  if (curl == nullptr) {
    if (!why.empty()) session.ui().DebugLine(why);
    error = "Connection error...";
    session.ui().ShowBox(error, "Error", BoxIcon::Stop, BoxButtons::Ok);
    return 0;
  }

  const std::string temporary = TemporarySibling(localPath);
  Transfer t;
  t.session = &session;
  {
    const std::size_t host = url.find("://");
    const std::size_t slash = url.find('/', host == std::string::npos ? 0 : host + 3);
    t.serverPath = slash == std::string::npos ? "/" : url.substr(slash + 1);
  }
  t.maxBytes = options.maxBytes;
  t.file = std::fopen(temporary.c_str(), "wb");
  if (t.file == nullptr) {
    const int cause = errno;
    error = FormatText(std::string("non posso creare %s:\nError = %u\n"), localPath.c_str(),
                       static_cast<unsigned>(cause));
    session.ui().ShowBox(error, "Error", BoxIcon::Stop, BoxButtons::Ok);
    api.curl_easy_cleanup(curl);
    return 0;
  }

  char curlError[CURL_ERROR_SIZE] = {};
  api.curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
  api.curl_easy_setopt(curl, CURLOPT_USERAGENT, "Retrieve http");
  api.curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, curlError);
  api.curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
  api.curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  api.curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
  api.curl_easy_setopt(curl, CURLOPT_MAXREDIRS, 8L);
  api.curl_easy_setopt(curl, CURLOPT_FAILONERROR, 1L);
  api.curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, options.connectTimeoutSeconds);
  api.curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
  api.curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, options.stallSeconds);
  api.curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
  api.curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, WriteBlock);
  api.curl_easy_setopt(curl, CURLOPT_WRITEDATA, &t);
  api.curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, OnProgress);
  api.curl_easy_setopt(curl, CURLOPT_XFERINFODATA, &t);
  api.curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);

  progress.ProgressSetLine2(Format("Opening connection: %s", url.c_str()));
  progress.Pump();
  const CURLcode rc = api.curl_easy_perform(curl);
  long status = 0;
  api.curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
  api.curl_easy_cleanup(curl);

  bool written = std::fflush(t.file) == 0 && ::fsync(fileno(t.file)) == 0;
  written = std::fclose(t.file) == 0 && written;
  if (rc == CURLE_OK && written && !t.writeFailed) {
    progress.ProgressSetLine2("Closing connection");
    // The last block that did not fill 1024 bytes is a block read all the same.
    if (t.bytes % kBlockBytes != 0) progress.ProgressStep();
    if (std::rename(temporary.c_str(), localPath.c_str()) == 0) return 1;
    const int cause = errno;
    std::remove(temporary.c_str());
    error = FormatText(std::string("non posso creare %s:\nError = %u\n"), localPath.c_str(),
                       static_cast<unsigned>(cause));
    session.ui().ShowBox(error, "Error", BoxIcon::Stop, BoxButtons::Ok);
    return 0;
  }
  std::remove(temporary.c_str());

  if (t.cancelled) {
    error = "download cancelled";
    return 0;
  }
  if (t.writeFailed || !written) {
    error = FormatText(std::string("Cannot Write %s"), localPath.c_str());
    session.ui().ShowBox(error, "Error", BoxIcon::Stop, BoxButtons::Ok);
    return 0;
  }
  if (t.tooLarge) {
    error = url + ": more than " + std::to_string(options.maxBytes) + " bytes, not a firmware file";
    return 0;
  }
  const std::string reason = curlError[0] != '\0' ? curlError : api.curl_easy_strerror(rc);
  // Failures before any data arrived mean the server could not be reached or refused the file;
  // a transfer that broke off half way is only traced, as the next step offers another way.
  if ((t.bytes == 0 && rc != CURLE_PARTIAL_FILE) || status >= 400) {
    error = FormatText(std::string("Internet Session for %s failed'\n"), url.c_str()) + reason;
    session.ui().ShowBox(error, "Internet connection error", BoxIcon::Question, BoxButtons::Ok);
    return 0;
  }
  error = url + ": " + reason;
  session.ui().DebugLine(error);
  return 0;
}

}  // namespace sondesk
