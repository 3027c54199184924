#pragma once
// A card held in memory: the fuzz target's and the unit tests' device. It can be told to fail
// after a number of sector writes, which stands for a cable pulled in the middle of a write.

#include <cstdint>
#include <optional>
#include <vector>

#include "cardfs/CardIdentity.h"
#include "cardfs/SectorDevice.h"

namespace sondesk {

class MemorySectorDevice : public SectorDevice {
 public:
  // A card of `bytes` (rounded down to whole sectors) holding `bytes`; the identification block
  // is synthesized from its size unless one is given.
  explicit MemorySectorDevice(std::vector<std::uint8_t> bytes, std::optional<CardIdentity> identity = {});

  int ReadSectors(std::uint32_t lba, std::uint32_t count, std::uint8_t* buffer) override;
  int WriteSectors(std::uint32_t lba, std::uint32_t count, const std::uint8_t* buffer) override;
  int LinkState() const override { return state_; }
  void ResetLinkState() override { state_ = 0; }
  std::string Describe() const override { return "memory card"; }

  std::vector<std::uint8_t>& bytes() { return bytes_; }
  const CardIdentity& identity() const { return identity_; }

  // After `n` more sector writes every write fails and the device aborts, as if the user had
  // cancelled the link's question; nullopt never fails.
  std::optional<std::uint64_t> failAfterWrites;
  std::uint64_t sectorsRead = 0;
  std::uint64_t sectorsWritten = 0;

 private:
  std::vector<std::uint8_t> bytes_;
  CardIdentity identity_;
  int state_ = 0;
};

}  // namespace sondesk
