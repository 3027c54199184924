#include "app/AtomicFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <fstream>
#include <sstream>

namespace sondesk {

std::string TemporarySibling(const std::string& path) {
  static std::atomic<unsigned> counter{0};
  return path + ".tmp" + std::to_string(::getpid()) + "_" + std::to_string(counter++);
}

bool WriteFileAtomically(const std::string& path, std::string_view data) {
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
  ok = ok && ::fsync(fd) == 0;
  ok = ::close(fd) == 0 && ok;
  if (ok) ok = std::rename(tmp.c_str(), path.c_str()) == 0;
  if (!ok) std::remove(tmp.c_str());
  return ok;
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
  std::string s;
  if (!ReadWholeFile(path, s)) return false;
  out.assign(s.begin(), s.end());
  return true;
}

}  // namespace sondesk
