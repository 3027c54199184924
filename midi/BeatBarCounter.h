#pragma once
// The beat and bar markers of the payload. The player counts beats and bars from two events
// that mean nothing to an ordinary MIDI device: A8 lo hi at every beat of a bar but its first
// (the beat's index within the bar) and A9 lo hi at the start of every bar but the first (the
// number of the bar that ends there, from 0).
//
// Times are in ticks of the source. Until a time signature falls on a bar start, beats are a
// whole note long and there are no beat markers, only bar markers every four quarter notes.

#include <cstdint>

namespace sondesk {

struct BeatBarMarker {
  std::uint64_t time;   // source ticks
  std::uint8_t status;  // 0xA8 beat, 0xA9 bar
  std::uint16_t number;
};

class BeatBarCounter {
 public:
  static constexpr std::uint8_t kBeatStatus = 0xA8;
  static constexpr std::uint8_t kBarStatus = 0xA9;
  // Beats shorter than a 64th note are taken for a damaged time signature: counting them would
  // fill a payload with markers.
  static constexpr int kMaxDenominatorPower = 6;

  explicit BeatBarCounter(int division);

  // The next marker due at or before `t`, if any; call until it answers false.
  bool NextMarker(std::uint64_t t, BeatBarMarker& marker);
  // A time signature at `t`: counts only when it falls exactly on the current bar start.
  void TimeSignature(std::uint64_t t, int numerator, int denominatorPower);

  std::uint64_t barStart() const { return barStart_; }
  std::uint64_t barLength() const { return barLength_; }
  std::uint64_t beatLength() const { return beatLength_; }

 private:
  std::uint64_t division_;
  std::uint64_t barStart_ = 0;
  std::uint64_t barLength_ = 0;
  std::uint64_t beatLength_;
  std::uint64_t lastBeat_ = 0;
  std::uint32_t beatNumber_ = 0;
  std::uint32_t barNumber_ = 0;
};

}  // namespace sondesk
