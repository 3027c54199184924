#pragma once
// Which port the link uses and how it is opened: from a --port text or from the settings.
//
//   virtual:IMAGE[?faults=...&strict=1]   the virtual player on a card image (see emulator/FaultPlan.h)
//   virtual                               the virtual player on the settings' VirtualCard
//   ppdev:/dev/parportN                   the kernel's ppdev driver
//   ppdev                                 ppdev on the device of CurrentLpt
//   lpt1, lpt2                            direct I/O at 0x378 / 0x278
//   direct                                direct I/O at the address of CurrentLpt
//
// With no text, the settings key PortBackend decides (auto, ppdev, direct, virtual): auto takes the
// ppdev device of CurrentLpt when the machine has one, else the virtual player.

#include <cstdint>
#include <memory>
#include <string>

#include "emulator/FaultPlan.h"
#include "link/Port.h"

namespace sondesk {

class Session;

struct PortChoice {
  enum class Kind { Virtual, Ppdev, Direct };
  Kind kind = Kind::Virtual;
  std::string path;        // the image (Virtual) or the device (Ppdev); may be empty for Virtual
  FaultPlan faults;        // Virtual
  std::uint16_t base = 0;  // Direct
};

// Parses a --port text; `currentLpt` fills the forms that name no port of their own.
bool ParsePortText(const std::string& portText, int currentLpt, PortChoice& choice, std::string& error);

// The card image the virtual player uses when nothing names one: VirtualCard, else SonFlash.img in
// the per-user data folder (made blank, 64 MB, on first use).
std::string DefaultVirtualCardPath(Session& session);
inline constexpr std::uint32_t kDefaultVirtualCardMegabytes = 64;

// The file the port of `portText` (or of the settings) works on, which names the card for its write
// lock: the virtual player's image or the ppdev device. "" for direct I/O or a text that does not
// parse (the open says why).
std::string PortLockPath(Session& session, const std::string& portText);

// Opens the port of `portText` (or of the settings when it is empty). nullptr with `error` holding the
// message for the user when it cannot be opened.
std::unique_ptr<Port> OpenPort(Session& session, const std::string& portText, std::string& error);

}  // namespace sondesk
