#pragma once
// Where the card's sectors come from. The file system above sees numbered 512-byte sectors and
// nothing else; behind this interface stand the player on the parallel cable (LinkSectorDevice),
// an image file or raw block device read directly (ImageSectorDevice), and memory (tests, fuzzing).
//
// Results follow the card code's convention: 1 success, 0 failure, -1 an unexpected answer.

#include <cstdint>
#include <string>

namespace sondesk {

class SectorDevice {
 public:
  virtual ~SectorDevice() = default;

  // 1 when all `count` sectors from `lba` were read into `buffer` (count * 512 bytes), 0 when the
  // transfer was aborted. Reading the address 0xFFFFFF (count 1) gives the identification block.
  // An aborted device (LinkState 1) returns 0 at once; `count` 0 returns 1.
  virtual int ReadSectors(std::uint32_t lba, std::uint32_t count, std::uint8_t* buffer) = 0;
  virtual int WriteSectors(std::uint32_t lba, std::uint32_t count, const std::uint8_t* buffer) = 0;

  // The abort latch: 1 after a cancel (or, for an image, an I/O error) until the next reset.
  virtual int LinkState() const = 0;
  virtual void ResetLinkState() = 0;
  bool Aborted() const { return LinkState() == 1; }

  // The access commands that bracket card work on the player: 1 ready, 0 busy (the user has been
  // told and the device is aborted), -1 no valid answer. Devices without a player answer 1.
  virtual int RequestConnect() { return 1; }
  virtual int RequestAccess() { return 1; }
  virtual int ReleaseAccess() { return 1; }

  // The trace hook of the card layer. TraceEnabled lets callers skip formatting texts nobody keeps.
  virtual bool TraceEnabled() const { return false; }
  virtual void TraceLine(const std::string& /*text*/) {}

  // What the device is ("virtual:card.img", "image card.img"), and the last error in plain words
  // (empty when there was none or the user cancelled).
  virtual std::string Describe() const = 0;
  virtual std::string lastError() const { return {}; }
};

}  // namespace sondesk
