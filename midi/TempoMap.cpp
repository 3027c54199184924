#include "midi/TempoMap.h"

#include <algorithm>
#include <cmath>

namespace sondesk {

TempoMap::TempoMap(int division, std::vector<TempoChange> changes)
    : division_(division > 0 ? division : 480) {
  std::stable_sort(changes.begin(), changes.end(),
                   [](const TempoChange& a, const TempoChange& b) { return a.tick < b.tick; });
  segments_.push_back({0, 0.0, 500000});
  for (const TempoChange& c : changes) {
    const Segment& last = segments_.back();
    const double at = last.seconds + static_cast<double>(c.tick - last.tick) * last.tempo / 1e6 / division_;
    if (c.tick == last.tick) {
      segments_.back().tempo = c.microsPerQuarter;
    } else {
      segments_.push_back({c.tick, at, c.microsPerQuarter});
    }
  }
}

double TempoMap::SecondsAt(std::uint64_t tick) const {
  auto it = std::upper_bound(segments_.begin(), segments_.end(), tick,
                             [](std::uint64_t t, const Segment& s) { return t < s.tick; });
  const Segment& s = *(it - 1);
  return s.seconds + static_cast<double>(tick - s.tick) * s.tempo / 1e6 / division_;
}

std::uint64_t TempoMap::TickAt(double seconds) const {
  if (seconds <= 0) return 0;
  auto it = std::upper_bound(segments_.begin(), segments_.end(), seconds,
                             [](double t, const Segment& s) { return t < s.seconds; });
  const Segment& s = *(it - 1);
  const double ticks = (seconds - s.seconds) * 1e6 * division_ / s.tempo;
  return s.tick + static_cast<std::uint64_t>(std::ceil(ticks - 1e-9));
}

}  // namespace sondesk
