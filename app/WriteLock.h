#pragma once
// Advisory locks that keep two writers off one library folder, one card or one settings file.
//
// A writer holds the lock of what it changes for the length of its write; a second writer (another
// process, or another command in a script) waits a little, then is refused with a clear message
// instead of interleaving its FAT, catalogue or settings writes with the first one's. Readers take
// no lock. The locks are flock(2) locks on the thing itself (an image file, a device node, a folder),
// so they end with the process however it ends, and a lock already held by this process is simply
// shared (nested writes of one command never wait for themselves).

#include <memory>
#include <string>

namespace sondesk {

class WriteLock {
 public:
  ~WriteLock();
  WriteLock(const WriteLock&) = delete;
  WriteLock& operator=(const WriteLock&) = delete;

  // Locks `path` (a file, a device or a folder that exists). `what` names it for the message
  // ("the card", "the library folder"). nullptr with `error` set when another writer holds it after
  // the wait, or the path cannot be opened.
  static std::unique_ptr<WriteLock> Acquire(const std::string& path, const std::string& what, std::string& error);

  // How long a second writer waits, in milliseconds: SONDESK_LOCK_WAIT_MS when set, else 3000.
  static int WaitMillis();

 private:
  explicit WriteLock(std::string key) : key_(std::move(key)) {}
  std::string key_;
};

}  // namespace sondesk
