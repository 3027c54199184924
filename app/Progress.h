#pragma once
// The one progress window of long operations, with its two modes and the remaining-time line.
//
// Timed runs (ProgressStartTimed / ProgressStepTimed) show an estimate of the time left after the
// first five seconds; plain runs (ProgressStart / ProgressStep) only move the bar. The calls of one
// mode do nothing in a run of the other mode.

#include <cstdint>
#include <string>

#include "app/Clock.h"
#include "app/Ui.h"

namespace sondesk {

class Progress {
 public:
  enum class Mode { Timed = 0, Plain = 1 };

  Progress(ProgressView& view, Clock& clock) : view_(&view), clock_(&clock) {}

  void ProgressStartTimed(std::uint32_t total);
  void ProgressStart(std::uint32_t total);
  void ProgressReset(std::uint32_t total);
  void ProgressStepTimed(std::uint32_t k = 1);
  void ProgressStep(std::uint32_t k = 1);
  void ProgressSetLine1(const std::string& text);
  void ProgressSetLine2(const std::string& text);
  void ProgressEnd();
  // The open run may be stopped by the user; until its end, Cancelled() says whether it was.
  void AllowCancel();
  bool Cancelled();
  // Lets the window's events through without a step (a wait that has nothing to count).
  void Pump() { view_->Pump(); }

  bool active() const { return active_; }
  bool windowOpen() const { return open_; }
  Mode mode() const { return mode_; }
  std::uint32_t total() const { return total_; }
  std::uint32_t done() const { return done_; }
  std::uint32_t barPosition() const { return position_; }
  std::uint32_t barMaximum() const { return maximum_; }

  // The remaining-time text for `total` items of which `done` took `elapsedMs`, or "" while the
  // first five seconds last.
  static std::string RemainingText(std::uint32_t total, std::uint32_t done, std::uint64_t elapsedMs);

 private:
  void OpenWindow(std::uint32_t total);
  void Advance(std::uint32_t k);

  ProgressView* view_;
  Clock* clock_;
  bool open_ = false;
  bool active_ = false;
  bool cancellable_ = false;
  Mode mode_ = Mode::Timed;
  std::uint32_t total_ = 0;
  std::uint32_t done_ = 0;
  std::uint64_t startMs_ = 0;
  std::uint32_t position_ = 0;
  std::uint32_t maximum_ = 0;
};

}  // namespace sondesk
