#pragma once
// A card reached without the player: an image file of 512-byte sectors (sector 0 first, as dd
// copies a card) or a card reader's raw block device (/dev/sdX), read and written directly. The
// identification block, which only a player can ask the card for, is made from the image's size
// with the geometry the virtual player gives the same image.
//
// An I/O error (a read past the end of a truncated image, a write to a read-only one) aborts the
// device like a cancelled link: the operation under way stops, and lastError() says what happened.

#include <cstdint>
#include <memory>
#include <string>

#include "app/Progress.h"
#include "cardfs/CardIdentity.h"
#include "cardfs/SectorDevice.h"

namespace sondesk {

class ImageSectorDevice : public SectorDevice {
 public:
  // Opens `path` read-write (read-only when that is all the file allows). nullptr with `error`.
  // `progress` (may be null) advances one item per sector moved, as the link does.
  static std::unique_ptr<ImageSectorDevice> Open(const std::string& path, Progress* progress,
                                                 std::string& error);
  ~ImageSectorDevice() override;

  int ReadSectors(std::uint32_t lba, std::uint32_t count, std::uint8_t* buffer) override;
  int WriteSectors(std::uint32_t lba, std::uint32_t count, const std::uint8_t* buffer) override;
  int LinkState() const override { return state_; }
  void ResetLinkState() override { state_ = 0; }
  std::string Describe() const override { return "image " + path_; }
  std::string lastError() const override { return error_; }

  bool readOnly() const { return readOnly_; }
  std::uint32_t sectorCount() const { return sectors_; }
  const CardIdentity& identity() const { return identity_; }

 private:
  ImageSectorDevice() = default;
  int Fail(std::string why);

  int fd_ = -1;
  bool readOnly_ = false;
  std::string path_;
  std::uint32_t sectors_ = 0;
  CardIdentity identity_;
  Progress* progress_ = nullptr;
  int state_ = 0;
  std::string error_;
};

}  // namespace sondesk
