#include "app/Paths.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace sondesk {

namespace {
std::string EnvOr(const char* name, const std::string& fallback) {
  const char* v = std::getenv(name);
  return (v != nullptr && *v != '\0') ? std::string(v) : fallback;
}
}  // namespace

Paths Paths::FromEnvironment(const std::string& windirOverride) {
  const std::string home = EnvOr("HOME", "/tmp");
  Paths p;
  if (!windirOverride.empty()) {
    p.windir = windirOverride;
  } else {
    p.windir = EnvOr("SONDESK_WINDIR", EnvOr("XDG_CONFIG_HOME", home + "/.config") + "/sondesk");
  }
  p.workDir = EnvOr("SONDESK_WORKDIR", EnvOr("XDG_CACHE_HOME", home + "/.cache") + "/sondesk");
  p.dataDir = EnvOr("SONDESK_DATADIR", EnvOr("XDG_DATA_HOME", home + "/.local/share") + "/sondesk");
  p.programDir = p.dataDir + "/program";
  p.libraryDir = p.dataDir + "/Library";
  return p;
}

bool Paths::EnsureFolders() const { return MakeFolders(windir) && MakeFolders(workDir) && MakeFolders(dataDir); }

std::string JoinPath(const std::string& folder, const std::string& name) {
  if (folder.empty()) return name;
  if (folder.back() == '/') return folder + name;
  return folder + "/" + name;
}

bool MakeFolders(const std::string& folder) {
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  return std::filesystem::is_directory(folder, ec);
}

bool IsFolder(const std::string& path) {
  std::error_code ec;
  return std::filesystem::is_directory(path, ec);
}

bool IsFile(const std::string& path) {
  std::error_code ec;
  return std::filesystem::is_regular_file(path, ec);
}

std::string BaseName(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string DirName(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

}  // namespace sondesk
