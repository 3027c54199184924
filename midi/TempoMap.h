#pragma once
// Ticks to seconds for a song of one division: the tempo changes in time order, 120 beats a minute
// until the first one, as Standard MIDI files define.

#include <cstdint>
#include <vector>

namespace sondesk {

struct TempoChange {
  std::uint64_t tick = 0;
  std::uint32_t microsPerQuarter = 500000;
};

class TempoMap {
 public:
  TempoMap(int division, std::vector<TempoChange> changes);

  double SecondsAt(std::uint64_t tick) const;
  // The tick sounding `seconds` into the song (the first tick at or after it).
  std::uint64_t TickAt(double seconds) const;

 private:
  struct Segment {
    std::uint64_t tick;
    double seconds;  // where the segment starts
    std::uint32_t tempo;
  };
  int division_;
  std::vector<Segment> segments_;
};

}  // namespace sondesk
