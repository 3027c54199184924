#include "midi/VelocityCurves.h"

#include <algorithm>

namespace sondesk {

namespace {

// The two concave curves are the player's own tables, not formulas.
constexpr VelocityTable kCurve2 = {
    0,   11,  16,  19,  22,  25,  27,  29,  32,  33,  35,  37,  39,  40,  42,  43,  45,  46,  48,
    49,  50,  51,  53,  54,  55,  56,  57,  58,  59,  60,  61,  62,  64,  64,  65,  66,  67,  68,
    69,  70,  71,  72,  73,  74,  75,  75,  76,  77,  78,  79,  80,  80,  81,  82,  83,  83,  84,
    85,  86,  86,  87,  88,  89,  89,  90,  91,  91,  92,  93,  93,  94,  95,  96,  96,  97,  97,
    98,  99,  99,  100, 101, 101, 102, 103, 103, 104, 104, 105, 106, 106, 107, 107, 108, 109, 109,
    110, 110, 111, 112, 112, 113, 113, 114, 114, 115, 115, 116, 117, 117, 118, 118, 119, 119, 120,
    120, 121, 121, 122, 122, 123, 123, 124, 124, 125, 125, 126, 126, 127};

constexpr VelocityTable kCurve3 = {
    0,   16,  26,  33,  39,  44,  48,  51,  55,  57,  60,  62,  65,  67,  68,  70,  72,  73,  75,
    76,  78,  79,  80,  81,  82,  83,  85,  86,  86,  87,  88,  89,  90,  91,  92,  92,  93,  94,
    95,  95,  96,  97,  97,  98,  99,  99,  100, 100, 101, 102, 102, 103, 103, 104, 104, 105, 105,
    106, 106, 107, 107, 107, 108, 108, 109, 109, 110, 110, 110, 111, 111, 112, 112, 112, 113, 113,
    113, 114, 114, 115, 115, 115, 116, 116, 116, 117, 117, 117, 117, 118, 118, 118, 119, 119, 119,
    120, 120, 120, 120, 121, 121, 121, 122, 122, 122, 122, 123, 123, 123, 123, 124, 124, 124, 124,
    125, 125, 125, 125, 126, 126, 126, 126, 126, 127, 127, 127, 127, 127};

template <typename F>
constexpr VelocityTable Make(F f) {
  VelocityTable t{};
  for (int v = 0; v < 128; ++v)
    t[static_cast<std::size_t>(v)] = static_cast<std::uint8_t>(std::min(127, f(v)));
  return t;
}

constexpr std::array<VelocityTable, kVelocityCurveCount> kCurves = {
    Make([](int v) { return v; }),
    Make([](int v) { return 2 * v / 3; }),
    kCurve2,
    kCurve3,
    Make([](int v) { return 3 * v / 2; }),
    Make([](int v) { return 2 * v; }),
    Make([](int v) { return v == 0 ? 0 : 127; }),
};

constexpr VelocityTable kHalved = Make([](int v) { return v / 2; });

}  // namespace

const VelocityTable& VelocityCurve(int curve) {
  if (curve < 0 || curve >= kVelocityCurveCount) curve = 0;
  return kCurves[static_cast<std::size_t>(curve)];
}

const VelocityTable& HalvedVelocity() {
  return kHalved;
}

}  // namespace sondesk
