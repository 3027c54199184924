#include "app/Progress.h"

#include <cstdio>

namespace sondesk {

void Progress::OpenWindow(std::uint32_t total) {
  view_->ProgressOpen();
  open_ = true;
  total_ = total;
  done_ = 0;
  active_ = true;
  // The bar's range is one more than the total, so a finished run stops one step short of full.
  maximum_ = total + 1;
  position_ = 0;
  view_->ProgressSetRange(maximum_);
  view_->ProgressSetPosition(0);
}

void Progress::ProgressStartTimed(std::uint32_t total) {
  if (total == 0) return;
  mode_ = Mode::Timed;
  startMs_ = clock_->NowMillis();
  OpenWindow(total);
  view_->ProgressSetLine(1, "");
  view_->ProgressSetLine(2, "");
  view_->Pump();
}

void Progress::ProgressStart(std::uint32_t total) {
  mode_ = Mode::Plain;
  OpenWindow(total);
  view_->Pump();
}

void Progress::ProgressReset(std::uint32_t total) {
  if (!active_) return;
  total_ = total;
  startMs_ = clock_->NowMillis();
  done_ = 0;
  maximum_ = total + 1;
  position_ = 0;
  view_->ProgressSetRange(maximum_);
  view_->ProgressSetPosition(0);
  view_->Pump();
}

void Progress::Advance(std::uint32_t k) {
  done_ += k;
  position_ += k;
  if (position_ > maximum_) position_ = maximum_;
  view_->ProgressSetPosition(position_);
}

std::string Progress::RemainingText(std::uint32_t total, std::uint32_t done, std::uint64_t elapsedMs) {
  if (elapsedMs <= 5000 || done == 0) return "";
  // The estimate in whole seconds, multiplied before it is divided, as it always has been.
  const long long estimate = static_cast<long long>(total) * static_cast<long long>(elapsedMs) / done / 1000;
  const long long remaining = estimate - static_cast<long long>(elapsedMs / 1000);
  char buf[64];
  if (estimate < 60) {
    std::snprintf(buf, sizeof buf, "time to go %ld sec.", static_cast<long>(remaining % 60));
  } else {
    std::snprintf(buf, sizeof buf, "Rimane: %ld:%02ld", static_cast<long>(remaining / 60),
                  static_cast<long>(remaining % 60));
  }
  return buf;
}

void Progress::ProgressStepTimed(std::uint32_t k) {
  if (mode_ != Mode::Timed) return;
  if (active_) Advance(k);
  view_->Pump();
  if (!active_) return;
  const std::string text = RemainingText(total_, done_, clock_->NowMillis() - startMs_);
  if (!text.empty()) view_->ProgressSetLine(2, text);
}

void Progress::ProgressStep(std::uint32_t k) {
  if (mode_ != Mode::Plain) return;
  if (active_) Advance(k);
  view_->Pump();
}

void Progress::ProgressSetLine1(const std::string& text) {
  if (open_) view_->ProgressSetLine(1, text);
}

void Progress::ProgressSetLine2(const std::string& text) {
  if (open_) view_->ProgressSetLine(2, text);
}

void Progress::AllowCancel() {
  if (!open_) return;
  cancellable_ = true;
  view_->ProgressSetCancellable(true);
}

bool Progress::Cancelled() {
  return cancellable_ && view_->ProgressCancelRequested();
}

void Progress::ProgressEnd() {
  active_ = false;
  if (cancellable_) {
    cancellable_ = false;
    view_->ProgressSetCancellable(false);
  }
  position_ = 0;
  if (open_) {
    view_->ProgressSetPosition(0);
    view_->ProgressClose();
  }
  open_ = false;
}

}  // namespace sondesk
