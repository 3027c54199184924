#include "app/WriteLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <map>
#include <mutex>
#include <thread>

namespace sondesk {

namespace {

// One open description per locked object in this process: flock locks belong to the description,
// so a second open of the same folder would wait for our own lock.
struct Held {
  int fd = -1;
  int count = 0;
};
std::mutex gMutex;
std::map<std::string, Held>& Table() {
  static std::map<std::string, Held> table;
  return table;
}

}  // namespace

int WriteLock::WaitMillis() {
  if (const char* env = std::getenv("SONDESK_LOCK_WAIT_MS")) {
    char* end = nullptr;
    const long v = std::strtol(env, &end, 10);
    if (end != env && *end == '\0' && v >= 0 && v <= 600000) return static_cast<int>(v);
  }
  return 3000;
}

std::unique_ptr<WriteLock> WriteLock::Acquire(const std::string& path, const std::string& what, std::string& error) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) {
    error = "cannot lock " + what + " (" + path + ")";
    return nullptr;
  }
  const std::string key = std::to_string(st.st_dev) + ":" + std::to_string(st.st_ino);
  std::lock_guard<std::mutex> guard(gMutex);
  auto& table = Table();
  if (auto it = table.find(key); it != table.end()) {
    ++it->second.count;
    return std::unique_ptr<WriteLock>(new WriteLock(key));
  }
  // O_NONBLOCK: a device node or FIFO must not hang the open; read-only is enough for flock.
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) {
    error = "cannot lock " + what + " (" + path + ")";
    return nullptr;
  }
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(WaitMillis());
  for (;;) {
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) break;
    if (errno != EWOULDBLOCK && errno != EINTR) {
      ::close(fd);
      error = "cannot lock " + what + " (" + path + ")";
      return nullptr;
    }
    if (std::chrono::steady_clock::now() >= deadline) {
      ::close(fd);
      error = what + " (" + path + ") is being changed by another SonDesk program or command; " +
              "try again when it has finished";
      return nullptr;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  table[key] = Held{fd, 1};
  return std::unique_ptr<WriteLock>(new WriteLock(key));
}

WriteLock::~WriteLock() {
  std::lock_guard<std::mutex> guard(gMutex);
  auto& table = Table();
  auto it = table.find(key_);
  if (it == table.end()) return;
  if (--it->second.count > 0) return;
  ::flock(it->second.fd, LOCK_UN);
  ::close(it->second.fd);
  table.erase(it);
}

}  // namespace sondesk
