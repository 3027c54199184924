#pragma once
// Time as the core sees it: a steady clock in milliseconds and microseconds, injectable so that a
// 2.5 s link time-out or a 5 s progress estimate can be tested without waiting.

#include <cstdint>

namespace sondesk {

class Clock {
 public:
  virtual ~Clock() = default;
  virtual std::uint64_t NowMicros() = 0;
  virtual void SleepMicros(std::uint64_t micros) = 0;
  // Gives the processor away for about `micros`, however short: for waits that may last seconds,
  // where being a little late costs nothing and spinning costs a whole core.
  virtual void Nap(std::uint64_t micros) { SleepMicros(micros); }
  std::uint64_t NowMillis() { return NowMicros() / 1000; }
};

// std::chrono::steady_clock and a real sleep (short waits spin, as a strobe of 100 us needs).
class SteadyClock : public Clock {
 public:
  std::uint64_t NowMicros() override;
  void SleepMicros(std::uint64_t micros) override;
  void Nap(std::uint64_t micros) override;
};

// A clock that moves only when told to, or by the amount of each sleep.
class ManualClock : public Clock {
 public:
  explicit ManualClock(std::uint64_t startMicros = 0) : now_(startMicros) {}
  std::uint64_t NowMicros() override { return now_ += autoAdvance_; }
  void SleepMicros(std::uint64_t micros) override { now_ += micros; }
  void Advance(std::uint64_t micros) { now_ += micros; }
  void AdvanceMillis(std::uint64_t millis) { now_ += millis * 1000; }
  // Each reading moves the clock on by this much, so busy polls end.
  void SetAutoAdvance(std::uint64_t micros) { autoAdvance_ = micros; }

 private:
  std::uint64_t now_;
  std::uint64_t autoAdvance_ = 0;
};

// The process's real clock.
Clock& SystemClock();

}  // namespace sondesk
