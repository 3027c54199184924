#include "cardfs/LinkSectorDevice.h"

#include <span>

#include "cardfs/CardIdentity.h"

namespace sondesk {

template <typename Attempt>
int LinkSectorDevice::Transfer(std::uint32_t lba, std::uint32_t count, Attempt attempt) {
  if (link_->LinkState() == kLinkAborted) return 0;
  // Sector addresses are 24 bits and the last one names the identification block, so a run may
  // not pass it.
  if (lba != kIdentifySector && static_cast<std::uint64_t>(lba) + count > kIdentifySector) return 0;
  for (std::uint32_t i = 0; i < count; ++i) {
    if (progress_) progress_->ProgressStepTimed(1);
    link_->ResetLinkState();
    int checksumFailures = 0;
    while (!attempt(lba + i, i)) {
      if (link_->LinkState() == kLinkAborted) return 0;
      if (link_->LinkState() == kLinkBadChecksum && ++checksumFailures >= kChecksumFailuresPerLinkError) {
        checksumFailures = 0;
        link_->ReportLinkError("Sector read: checksum error");
        if (link_->LinkState() == kLinkAborted) return 0;
      }
    }
  }
  return 1;
}

int LinkSectorDevice::ReadSectors(std::uint32_t lba, std::uint32_t count, std::uint8_t* buffer) {
  return Transfer(lba, count, [this, buffer](std::uint32_t sector, std::uint32_t i) {
    return link_->LinkReadSector(
               sector, SectorBuffer(buffer + static_cast<std::size_t>(i) * kSectorBytes, kSectorBytes)) == 1;
  });
}

int LinkSectorDevice::WriteSectors(std::uint32_t lba, std::uint32_t count, const std::uint8_t* buffer) {
  return Transfer(lba, count, [this, buffer](std::uint32_t sector, std::uint32_t i) {
    return link_->LinkWriteSector(
               sector,
               ConstSectorBuffer(buffer + static_cast<std::size_t>(i) * kSectorBytes, kSectorBytes)) == 1;
  });
}

std::string LinkSectorDevice::lastError() const {
  if (!link_->portOpen()) return link_->portError();
  return {};
}

}  // namespace sondesk
