#include "link/DirectPort.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <sys/io.h>
#define SONDESK_HAVE_PORT_IO 1
#endif

namespace sondesk {

namespace {

class ProcessorIoRegisters final : public IoRegisters {
 public:
  bool Permit(std::uint16_t base, unsigned count, bool on, std::string& error) override {
#ifdef SONDESK_HAVE_PORT_IO
    if (::ioperm(base, count, on ? 1 : 0) == 0) return true;
    const int err = errno;
    char where[16];
    std::snprintf(where, sizeof where, "0x%03X", base);
    error = std::string("access to the port registers at ") + where + ": " + std::strerror(err) + ".";
    if (err == EPERM) {
      error +=
          " Direct port access needs root (or CAP_SYS_RAWIO); without it use the ppdev backend "
          "(PortBackend=ppdev, or --port ppdev:/dev/parport0).";
    }
    return false;
#else
    (void)base;
    (void)count;
    (void)on;
    error = "direct port access exists only on x86 processors; use the ppdev backend.";
    return false;
#endif
  }
  void Out(std::uint16_t address, std::uint8_t value) override {
#ifdef SONDESK_HAVE_PORT_IO
    ::outb(value, address);
#else
    (void)address;
    (void)value;
#endif
  }
  std::uint8_t In(std::uint16_t address) override {
#ifdef SONDESK_HAVE_PORT_IO
    return ::inb(address);
#else
    (void)address;
    return 0xFF;
#endif
  }
};

}  // namespace

std::unique_ptr<IoRegisters> MakeProcessorIoRegisters() {
  return std::make_unique<ProcessorIoRegisters>();
}

std::unique_ptr<DirectPort> DirectPort::Open(std::uint16_t base, std::unique_ptr<IoRegisters> io,
                                             std::string& error) {
  if (!io->Permit(base, 3, true, error)) return nullptr;
  return std::unique_ptr<DirectPort>(new DirectPort(base, std::move(io)));
}

DirectPort::~DirectPort() {
  std::string ignored;
  io_->Permit(base_, 3, false, ignored);
}

std::string DirectPort::Describe() const {
  char text[32];
  std::snprintf(text, sizeof text, "%s (0x%03X)",
                base_ == 0x378   ? "lpt1"
                : base_ == 0x278 ? "lpt2"
                                 : "port",
                base_);
  return text;
}

}  // namespace sondesk
