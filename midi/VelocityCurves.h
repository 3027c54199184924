#pragma once
// The player's velocity curves: a channel's `velocityCurve` (0 to 6) picks the table its notes'
// velocities go through, so a soft keyboard part can be lifted or a loud one tamed without
// touching the song.

#include <array>
#include <cstdint>

namespace sondesk {

inline constexpr int kVelocityCurveCount = 7;

using VelocityTable = std::array<std::uint8_t, 128>;

// Curve `curve` (0 unchanged, 1 two thirds, 2 and 3 concave, 4 three halves, 5 double, 6 all or
// nothing). A curve number the player does not know (a header edited elsewhere) plays unchanged.
const VelocityTable& VelocityCurve(int curve);
// The table of velocities halved, which the player uses for a channel in mode 2.
const VelocityTable& HalvedVelocity();

}  // namespace sondesk
