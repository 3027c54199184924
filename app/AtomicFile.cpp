#include "app/AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <fstream>
#include <sstream>

namespace sondesk {

std::string TemporarySibling(const std::string& path) {
  static std::atomic<unsigned> counter{0};
  return path + ".tmp" + std::to_string(::getpid()) + "_" + std::to_string(counter++);
}

namespace {

bool WriteAndRename(const std::string& path, std::string_view data, bool durable) {
  const std::string tmp = TemporarySibling(path);
  const int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  const char* p = data.data();
  std::size_t left = data.size();
  bool ok = true;
  while (left > 0) {
    const ssize_t n = ::write(fd, p, left);
    if (n <= 0) {
      ok = false;
      break;
    }
    p += n;
    left -= static_cast<std::size_t>(n);
  }
  if (durable) ok = ok && ::fsync(fd) == 0;
  ok = ::close(fd) == 0 && ok;
  if (ok) ok = std::rename(tmp.c_str(), path.c_str()) == 0;
  if (!ok) std::remove(tmp.c_str());
  return ok;
}

}  // namespace

bool WriteFileAtomically(const std::string& path, std::string_view data) {
  return WriteAndRename(path, data, true);
}

bool WriteFileReplacing(const std::string& path, std::string_view data) {
  return WriteAndRename(path, data, false);
}

bool WriteFileReplacing(const std::string& path, const std::vector<std::uint8_t>& data) {
  return WriteAndRename(path, std::string_view(reinterpret_cast<const char*>(data.data()), data.size()), false);
}

bool WriteFileAtomically(const std::string& path, const std::vector<std::uint8_t>& data) {
  return WriteFileAtomically(path, std::string_view(reinterpret_cast<const char*>(data.data()), data.size()));
}

bool ReadWholeFile(const std::string& path, std::string& out) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream buf;
  buf << in.rdbuf();
  if (in.bad()) return false;
  out = buf.str();
  return true;
}

bool ReadWholeFile(const std::string& path, std::vector<std::uint8_t>& out) {
  // Straight into the vector, sized from the file: songs and streams are read whole on every
  // import and conversion.
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
    ::close(fd);
    return false;
  }
  out.clear();
  std::size_t have = 0;
  out.resize(st.st_size > 0 ? static_cast<std::size_t>(st.st_size) + 1 : 65536);
  bool ok = true;
  for (;;) {
    if (have == out.size()) out.resize(out.size() * 2);
    const ssize_t n = ::read(fd, out.data() + have, out.size() - have);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) ok = false;
    if (n <= 0) break;
    have += static_cast<std::size_t>(n);
  }
  ::close(fd);
  out.resize(ok ? have : 0);
  return ok;
}

}  // namespace sondesk
