#pragma once
// A second thread kept for short pieces of work done beside the caller's own: the index files of a
// rebuild written to the card while the next is built. Work of a fraction of a millisecond cannot
// pay for a thread started each time (on a loaded machine that alone takes longer), so the thread
// is started at the first use and then waits for the next.

#include <condition_variable>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>

namespace sondesk {

class SideWorker {
 public:
  SideWorker() = default;
  ~SideWorker();
  SideWorker(const SideWorker&) = delete;
  SideWorker& operator=(const SideWorker&) = delete;

  // Runs `side` on the worker while `here` runs on the calling thread, and returns when both are
  // done. An exception from either reaches the caller (the caller's own first), once both are
  // done: neither piece is ever left running on data the caller may free. With one processor
  // only, or when the thread cannot be started, both run here, `here` first (an exception from it
  // then leaves `side` unrun).
  void RunBeside(const std::function<void()>& side, const std::function<void()>& here);

  // Whether a second processor serves this process.
  static bool HasSecondProcessor();

 private:
  void Loop();

  std::mutex mutex_;
  std::condition_variable wake_, finished_;
  const std::function<void()>* job_ = nullptr;
  std::exception_ptr sideError_;
  bool quit_ = false;
  bool started_ = false;
  std::thread thread_;
};

}  // namespace sondesk
