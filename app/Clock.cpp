#include "app/Clock.h"

#include <chrono>
#include <thread>

namespace sondesk {

std::uint64_t SteadyClock::NowMicros() {
  using namespace std::chrono;
  return static_cast<std::uint64_t>(duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count());
}

void SteadyClock::SleepMicros(std::uint64_t micros) {
  // The scheduler's sleeps overshoot by tens of microseconds; short waits spin instead.
  if (micros >= 2000) {
    std::this_thread::sleep_for(std::chrono::microseconds(micros));
    return;
  }
  const std::uint64_t end = NowMicros() + micros;
  while (NowMicros() < end) {
  }
}

void SteadyClock::Nap(std::uint64_t micros) {
  std::this_thread::sleep_for(std::chrono::microseconds(micros));
}

Clock& SystemClock() {
  static SteadyClock clock;
  return clock;
}

}  // namespace sondesk
