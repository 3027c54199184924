#pragma once
// A parallel port driven directly at its I/O addresses (ioperm, x86 only, root or CAP_SYS_RAWIO):
// data at the base, status at base + 1, control at base + 2. The processor's port instructions sit
// behind IoRegisters so that tests can put a recording layer in their place.

#include <cstdint>
#include <memory>
#include <string>

#include "link/Port.h"

namespace sondesk {

class IoRegisters {
 public:
  virtual ~IoRegisters() = default;
  // Asks for (or gives back) access to `count` ports from `base`. False with `error`.
  virtual bool Permit(std::uint16_t base, unsigned count, bool on, std::string& error) = 0;
  virtual void Out(std::uint16_t address, std::uint8_t value) = 0;
  virtual std::uint8_t In(std::uint16_t address) = 0;
};

// The processor's own port instructions.
std::unique_ptr<IoRegisters> MakeProcessorIoRegisters();

// The register block of a port: 0x378 for LPT1 (CurrentLpt 0), 0x278 for any other value.
constexpr std::uint16_t PortBaseFor(int currentLpt) {
  return currentLpt == 0 ? 0x378 : 0x278;
}

class DirectPort final : public Port {
 public:
  // Gains access to the three registers of `base`. nullptr with `error` when refused.
  static std::unique_ptr<DirectPort> Open(std::uint16_t base, std::unique_ptr<IoRegisters> io,
                                          std::string& error);
  ~DirectPort() override;

  void WriteData(std::uint8_t value) override { io_->Out(base_, value); }
  void WriteControl(std::uint8_t value) override { io_->Out(static_cast<std::uint16_t>(base_ + 2), value); }
  std::uint8_t ReadStatus() override { return io_->In(static_cast<std::uint16_t>(base_ + 1)); }
  std::string Describe() const override;
  std::uint16_t base() const { return base_; }

 private:
  DirectPort(std::uint16_t base, std::unique_ptr<IoRegisters> io) : base_(base), io_(std::move(io)) {}
  std::uint16_t base_;
  std::unique_ptr<IoRegisters> io_;
};

}  // namespace sondesk
