#include "app/SideWorker.h"

#include <sched.h>

namespace sondesk {

SideWorker::~SideWorker() {
  if (!started_) return;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    quit_ = true;
  }
  wake_.notify_one();
  thread_.join();
}

bool SideWorker::HasSecondProcessor() {
  // The processors this process may run on, not those of the machine: a container or a taskset
  // may give it one.
  cpu_set_t set;
  CPU_ZERO(&set);
  if (::sched_getaffinity(0, sizeof set, &set) == 0) return CPU_COUNT(&set) >= 2;
  return std::thread::hardware_concurrency() >= 2;
}

void SideWorker::Loop() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    wake_.wait(lock, [this] { return job_ != nullptr || quit_; });
    if (job_ == nullptr) return;
    const std::function<void()>* job = job_;
    lock.unlock();
    std::exception_ptr error;
    try {
      (*job)();
    } catch (...) {
      error = std::current_exception();
    }
    lock.lock();
    sideError_ = error;
    job_ = nullptr;
    finished_.notify_one();
  }
}

void SideWorker::RunBeside(const std::function<void()>& side, const std::function<void()>& here) {
  if (!started_ && HasSecondProcessor()) {
    try {
      thread_ = std::thread([this] { Loop(); });
      started_ = true;
    } catch (const std::system_error&) {
      // No thread to be had: the work is done here, one piece after the other.
    }
  }
  if (!started_) {
    here();
    side();
    return;
  }
  {
    std::lock_guard<std::mutex> lock(mutex_);
    job_ = &side;
    sideError_ = nullptr;
  }
  wake_.notify_one();
  std::exception_ptr hereError;
  try {
    here();
  } catch (...) {
    hereError = std::current_exception();
  }
  std::exception_ptr sideError;
  {
    std::unique_lock<std::mutex> lock(mutex_);
    finished_.wait(lock, [this] { return job_ == nullptr; });
    sideError = sideError_;
  }
  if (hereError) std::rethrow_exception(hereError);
  if (sideError) std::rethrow_exception(sideError);
}

}  // namespace sondesk
