#include "app/AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace sondesk {

std::string TemporarySibling(const std::string& path) {
  static std::atomic<unsigned> counter{0};
  return path + ".tmp" + std::to_string(::getpid()) + "_" + std::to_string(counter++);
}

long TemporaryOwner(const char* name) {
  const char* tmp = std::strstr(name, ".tmp");
  if (tmp == nullptr || tmp == name) return 0;
  const char* p = tmp + 4;
  long pid = 0;
  const char* digits = p;
  while (*p >= '0' && *p <= '9' && pid < 100000000) pid = pid * 10 + (*p++ - '0');
  if (p == digits || *p++ != '_' || *p < '0' || *p > '9') return 0;
  while (*p >= '0' && *p <= '9') ++p;
  return *p == '\0' ? pid : 0;
}

bool WriteFully(int fd, const void* data, std::size_t size) {
  const auto* p = static_cast<const std::uint8_t*>(data);
  while (size > 0) {
    const ssize_t n = ::write(fd, p, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    p += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

namespace {

bool WriteAndRename(const std::string& path, std::string_view data, bool durable) {
  const std::string tmp = TemporarySibling(path);
  const int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  bool ok = WriteFully(fd, data.data(), data.size());
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

int OpenRegularFileForReading(const std::string& path) {
  struct stat st {};
  return OpenRegularFileForReading(path, st);
}

int OpenRegularFileForReading(const std::string& path, struct stat& st) {
  return OpenRegularFileForReadingAt(AT_FDCWD, path.c_str(), st);
}

int OpenRegularFileForReadingAt(int dirFd, const char* name, struct stat& st) {
  const int fd = ::openat(dirFd, name, O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) return -1;
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    errno = EINVAL;
    return -1;
  }
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
  return fd;
}

std::FILE* OpenRegularFile(const std::string& path) {
  const int fd = OpenRegularFileForReading(path);
  if (fd < 0) return nullptr;
  std::FILE* f = ::fdopen(fd, "rb");
  if (f == nullptr) ::close(fd);
  return f;
}

std::string RegularFileProblem(const std::string& path, std::size_t maxBytes) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return errno == ENOENT ? std::string() : path + ": cannot be read";
  if (!S_ISREG(st.st_mode)) return path + ": not a regular file";
  if (static_cast<std::uint64_t>(st.st_size) > maxBytes)
    return path + ": larger than " + std::to_string(maxBytes) + " bytes";
  return {};
}

bool ReadWholeFile(const std::string& path, std::string& out, std::size_t maxBytes) {
  const int fd = OpenRegularFileForReading(path);
  if (fd < 0) return false;
  std::string data;
  bool ok = true;
  char buf[65536];
  for (;;) {
    const ssize_t n = ::read(fd, buf, sizeof buf);
    if (n < 0) {
      if (errno == EINTR) continue;
      ok = false;
      break;
    }
    if (n == 0) break;
    // Checked while reading, not from the size alone: a file may grow under us.
    if (data.size() + static_cast<std::size_t>(n) > maxBytes) {
      ok = false;
      break;
    }
    data.append(buf, static_cast<std::size_t>(n));
  }
  ::close(fd);
  if (ok) out = std::move(data);
  return ok;
}

bool ReadWholeFile(const std::string& path, std::vector<std::uint8_t>& out, std::size_t maxBytes) {
  // Straight into the vector, sized from the file: songs and streams are read whole on every
  // import and conversion.
  struct stat st {};
  const int fd = OpenRegularFileForReading(path, st);
  if (fd < 0) return false;
  if (static_cast<std::uint64_t>(st.st_size) > maxBytes) {
    ::close(fd);
    return false;
  }
  std::vector<std::uint8_t> data;
  std::size_t have = 0;
  data.resize(st.st_size > 0 ? static_cast<std::size_t>(st.st_size) + 1 : 65536);
  bool ok = true;
  for (;;) {
    if (have == data.size()) data.resize(data.size() * 2);
    const ssize_t n = ::read(fd, data.data() + have, data.size() - have);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) ok = false;
    if (n <= 0) break;
    have += static_cast<std::size_t>(n);
    // Checked while reading, not from the size alone: a file may grow under us.
    if (have > maxBytes) {
      ok = false;
      break;
    }
  }
  ::close(fd);
  if (ok) {
    data.resize(have);
    out = std::move(data);
  }
  return ok;
}

}  // namespace sondesk
