#pragma once
// The three registers of a parallel port as the link drives them: data (written), status (read)
// and control (written). Values are the raw register contents; the link does its own bit reversal
// of the data lines. Each backend (ppdev, direct I/O, virtual player) stands behind this.

#include <cstdint>
#include <string>

namespace sondesk {

class Port {
 public:
  virtual ~Port() = default;
  virtual void WriteData(std::uint8_t value) = 0;
  virtual void WriteControl(std::uint8_t value) = 0;
  virtual std::uint8_t ReadStatus() = 0;
  // How the port is reached, for messages and `--verbose`: "ppdev:/dev/parport0", "lpt1 (0x378)", ...
  virtual std::string Describe() const = 0;
};

// Status register bits as the processor reads them.
inline constexpr std::uint8_t kStatusAck = 0x40;   // the handshake
inline constexpr std::uint8_t kStatusBusy = 0x80;  // 1: the player has no answer yet
inline constexpr std::uint8_t kStatusLoaderReady = 0x20;
inline constexpr std::uint8_t kStatusLoaderError = 0x08;

}  // namespace sondesk
