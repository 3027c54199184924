#pragma once
// A parallel port through the kernel's ppdev driver (/dev/parportN): claimed for as long as the
// port is open, registers written and read raw (PPWDATA, PPWCONTROL, PPRSTATUS).

#include <memory>
#include <string>

#include "link/Port.h"

namespace sondesk {

class PpdevPort final : public Port {
 public:
  // Opens and claims `device`. nullptr with `error` when it cannot (see PpdevOpenError).
  static std::unique_ptr<PpdevPort> Open(const std::string& device, std::string& error);
  ~PpdevPort() override;

  void WriteData(std::uint8_t value) override;
  void WriteControl(std::uint8_t value) override;
  std::uint8_t ReadStatus() override;
  std::string Describe() const override { return "ppdev:" + device_; }

 private:
  PpdevPort(int fd, std::string device) : fd_(fd), device_(std::move(device)) {}
  int fd_;
  std::string device_;
};

// The ppdev device of a port: /dev/parport0 for LPT1 (CurrentLpt 0), /dev/parport1 for any other.
std::string PpdevDeviceFor(int currentLpt);

// Why `device` could not be used, for the user: `step` is "open" or "claim", `err` the errno.
std::string PpdevOpenError(const std::string& device, const char* step, int err);

}  // namespace sondesk
