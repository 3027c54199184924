#pragma once
// Marks the clusters a walk along a chain has passed, so that a chain that runs in a circle is
// caught at its first repeat, not after as many steps as the card has clusters (which over the
// link would take hours) nor, for a file read that stops at its size, never.

#include <cstdint>
#include <vector>

namespace sondesk {

class ChainGuard {
 public:
  explicit ChainGuard(std::uint32_t lastCluster) : seen_(static_cast<std::size_t>(lastCluster) + 1, false) {}
  // False when `cluster` was passed before (or lies beyond the clusters the guard knows).
  bool Visit(std::uint32_t cluster) {
    if (cluster >= seen_.size() || seen_[cluster]) return false;
    seen_[cluster] = true;
    return true;
  }

 private:
  std::vector<bool> seen_;
};

}  // namespace sondesk
