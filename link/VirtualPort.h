#pragma once
// The virtual player behind the Port interface: the link talks to it as to a real port.

#include <memory>

#include "emulator/VirtualPlayer.h"
#include "link/Port.h"

namespace sondesk {

class VirtualPort final : public Port {
 public:
  explicit VirtualPort(std::unique_ptr<VirtualPlayer> player) : owned_(std::move(player)), player_(*owned_) {}
  void WriteData(std::uint8_t value) override { player_.WriteData(value); }
  void WriteControl(std::uint8_t value) override { player_.WriteControl(value); }
  std::uint8_t ReadStatus() override { return player_.ReadStatus(); }
  std::string Describe() const override { return "virtual:" + player_.image().path(); }
  VirtualPlayer& player() { return player_; }

 private:
  std::unique_ptr<VirtualPlayer> owned_;
  VirtualPlayer& player_;
};

}  // namespace sondesk
