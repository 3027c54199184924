#pragma once
// One way to the card's sectors and the file system over it, made in one step: through the player
// (a --port text, or the settings' choice when it is empty) or directly on an image file or raw
// block device. What the command line and the card commands open for each run.

#include <memory>
#include <string>

#include "app/Session.h"
#include "cardfs/CardFileSystem.h"
#include "cardfs/SectorDevice.h"

namespace sondesk {

class CardConnection {
 public:
  // `imagePath` not empty: the image directly. Otherwise the link through `port`. nullptr with
  // `error` when the way cannot be opened; nothing is mounted yet.
  static std::unique_ptr<CardConnection> Open(Session& session, const std::string& imagePath,
                                              const std::string& port, std::string& error);

  SectorDevice& device() { return *device_; }
  CardFileSystem& fs() { return *fs_; }
  // True when the card is reached through the player.
  bool throughPlayer() const { return throughPlayer_; }

 private:
  CardConnection() = default;
  std::unique_ptr<SectorDevice> device_;
  std::unique_ptr<CardFileSystem> fs_;
  bool throughPlayer_ = false;
};

}  // namespace sondesk
