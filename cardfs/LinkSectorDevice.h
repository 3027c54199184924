#pragma once
// The card as the player serves it over the parallel cable: one sector per link transaction,
// each attempt retried until it succeeds or the user cancels through the link's Retry/Cancel
// question, the progress window advanced once per sector.

#include <cstdint>
#include <memory>
#include <string>

#include "app/Progress.h"
#include "cardfs/SectorDevice.h"
#include "link/Link.h"

namespace sondesk {

class LinkSectorDevice : public SectorDevice {
 public:
  // Uses `link` (not owned); `progress` may be null.
  LinkSectorDevice(Link& link, Progress* progress) : link_(&link), progress_(progress) {}
  // Owns the link it is given.
  LinkSectorDevice(std::unique_ptr<Link> link, Progress* progress)
      : owned_(std::move(link)), link_(owned_.get()), progress_(progress) {}

  int ReadSectors(std::uint32_t lba, std::uint32_t count, std::uint8_t* buffer) override;
  int WriteSectors(std::uint32_t lba, std::uint32_t count, const std::uint8_t* buffer) override;
  int LinkState() const override { return link_->LinkState(); }
  void ResetLinkState() override { link_->ResetLinkState(); }
  int RequestConnect() override { return link_->LinkRequestConnect(); }
  int RequestAccess() override { return link_->LinkRequestAccess(); }
  int ReleaseAccess() override { return link_->LinkReleaseAccess(); }
  bool TraceEnabled() const override { return true; }
  void TraceLine(const std::string& text) override { link_->TraceLine(text); }
  std::string Describe() const override { return link_->portName(); }
  std::string lastError() const override;

  Link& link() { return *link_; }

  // Checksum failures are retried silently by the link; after this many in a row on one sector
  // they count as one link error, so a cable that garbles every read ends in the user's question
  // instead of an endless loop.
  static constexpr int kChecksumFailuresPerLinkError = 16;

 private:
  template <typename Attempt>
  int Transfer(std::uint32_t lba, std::uint32_t count, Attempt attempt);

  std::unique_ptr<Link> owned_;
  Link* link_;
  Progress* progress_;
};

}  // namespace sondesk
