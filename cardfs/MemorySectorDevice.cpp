#include "cardfs/MemorySectorDevice.h"

#include <cstring>

namespace sondesk {

MemorySectorDevice::MemorySectorDevice(std::vector<std::uint8_t> bytes, std::optional<CardIdentity> identity)
    : bytes_(std::move(bytes)) {
  bytes_.resize(bytes_.size() / kSectorSize * kSectorSize);
  identity_ = identity ? *identity : SynthesizeCardIdentity(bytes_.size() / kSectorSize);
}

int MemorySectorDevice::ReadSectors(std::uint32_t lba, std::uint32_t count, std::uint8_t* buffer) {
  if (state_ == 1) return 0;
  if (count == 0) return 1;
  if (lba == kIdentityLba && count == 1) {
    std::memcpy(buffer, identity_.bytes.data(), kSectorSize);
    ++sectorsRead;
    return 1;
  }
  const std::uint64_t end = (static_cast<std::uint64_t>(lba) + count) * kSectorSize;
  if (end > bytes_.size()) {
    state_ = 1;
    return 0;
  }
  std::memcpy(buffer, bytes_.data() + static_cast<std::size_t>(lba) * kSectorSize,
              static_cast<std::size_t>(count) * kSectorSize);
  sectorsRead += count;
  return 1;
}

int MemorySectorDevice::WriteSectors(std::uint32_t lba, std::uint32_t count, const std::uint8_t* buffer) {
  if (state_ == 1) return 0;
  for (std::uint32_t i = 0; i < count; ++i) {
    const std::uint64_t at = (static_cast<std::uint64_t>(lba) + i) * kSectorSize;
    if (at + kSectorSize > bytes_.size()) {
      state_ = 1;
      return 0;
    }
    if (failAfterWrites) {
      if (*failAfterWrites == 0) {
        state_ = 1;
        return 0;
      }
      --*failAfterWrites;
    }
    std::memcpy(bytes_.data() + at, buffer + static_cast<std::size_t>(i) * kSectorSize, kSectorSize);
    ++sectorsWritten;
  }
  return 1;
}

}  // namespace sondesk
