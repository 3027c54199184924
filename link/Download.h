#pragma once
// Fetching a file from the update server over http or https (libcurl), under the progress window
// that the caller has opened: one progress item per 1024 bytes, Cancel honoured.
//
// The file never appears half written: the data goes to a temporary name beside the target and
// replaces it only when the transfer ended complete.

#include <cstdint>
#include <string>

namespace sondesk {

class Session;

struct DownloadOptions {
  long connectTimeoutSeconds = 20;
  // A transfer slower than 1 byte a second for this long has stalled.
  long stallSeconds = 30;
  std::uint64_t maxBytes = 16u * 1024 * 1024;
};

// The path on the update server of the firmware file.
inline constexpr const char* kFirmwareServerPath = "file/sonvar.mhx";

// The address of `path` on the update server: [Web] UpdateUrl, else DeviceUrl, else the player's
// site of message 16. A base written without a scheme is taken as https.
std::string UpdateServerUrl(const Session& session, const std::string& path);

// Joins a base address and a path on its server; "https://" is put before a base that names no
// scheme.
std::string JoinUrl(const std::string& base, const std::string& path);

// Fetches `url` into `localPath`: 1 when the whole file was fetched and written, else 0 with
// `error` saying why. The failures the user must hear about (no Internet client, a file that
// cannot be made, a server that cannot be reached or answers with an error) are shown as boxes;
// a transfer cut or cancelled half way is not, as the caller goes on to offer another way.
int DownloadFile(Session& session, const std::string& url, const std::string& localPath, std::string& error,
                 const DownloadOptions& options = {});

}  // namespace sondesk
