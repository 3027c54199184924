#include "midi/BeatBarCounter.h"

namespace sondesk {

BeatBarCounter::BeatBarCounter(int division)
    : division_(division > 0 ? static_cast<std::uint64_t>(division) : 1), beatLength_(4 * division_) {}

bool BeatBarCounter::NextMarker(std::uint64_t t, BeatBarMarker& marker) {
  const std::uint64_t beat = lastBeat_ + beatLength_;
  if (beat > t) return false;
  if (beat < barStart_ + barLength_) {
    ++beatNumber_;
  } else {
    beatNumber_ = 0;
  }
  lastBeat_ = beat;
  if (beatNumber_ != 0) {
    marker = {beat, kBeatStatus, static_cast<std::uint16_t>(beatNumber_)};
    return true;
  }
  if (barLength_ == 0) barLength_ = 4 * division_;
  marker = {barStart_ + barLength_, kBarStatus, static_cast<std::uint16_t>(barNumber_)};
  barStart_ += barLength_;
  ++barNumber_;
  return true;
}

void BeatBarCounter::TimeSignature(std::uint64_t t, int numerator, int denominatorPower) {
  if (t != barStart_ || denominatorPower < 0 || denominatorPower > kMaxDenominatorPower) return;
  const std::uint64_t whole = 4 * division_;
  const std::uint64_t beat = whole >> denominatorPower;
  if (beat == 0) return;
  beatLength_ = beat;
  barLength_ = (static_cast<std::uint64_t>(numerator) * whole) >> denominatorPower;
}

}  // namespace sondesk
