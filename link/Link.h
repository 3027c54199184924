#pragma once
// The parallel link to the player: a handshaked nibble link over the port's registers, the error
// word with its countdown and Retry/Cancel question, and the sector protocol on top of it.
//
// One Link holds everything the link keeps for a run (LinkState, the countdown, the pending abort,
// the write counter, the open port). It runs on the session's Clock, so tests drive its time-outs
// with a ManualClock.
//
// Results follow the link's convention: 1 success, 0 failure, -1 an unexpected answer.

#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <span>
#include <string>

#include "emulator/VirtualPlayer.h"
#include "link/Port.h"

namespace sondesk {

class Session;
class Clock;

// LinkState values. Only kLinkAborted stops operations.
inline constexpr int kLinkOk = 0;
inline constexpr int kLinkAborted = 1;      // by the user's Cancel, or because the player is busy
inline constexpr int kLinkNoAnswer = 2;     // the player did not answer in time
inline constexpr int kLinkBadChecksum = 3;  // a received sector failed its checksum

inline constexpr std::size_t kSectorBytes = 512;
// Reading this "sector" gives the card's identification block.
inline constexpr std::uint32_t kIdentifySector = 0xFFFFFF;

// Answer bytes of the player.
inline constexpr std::uint8_t kAnswerAck = 0x06;
inline constexpr std::uint8_t kAnswerNak = 0x15;
inline constexpr std::uint8_t kAnswerBusy = 0x17;

// Command codes (sent as code 15 first, then the command's own code).
inline constexpr int kCommandPrefix = 15;
inline constexpr int kCommandRequestAccess = 1;
inline constexpr int kCommandReleaseAccess = 2;
inline constexpr int kCommandRequestConnect = 3;
inline constexpr int kCommandAbortTransfer = 5;
inline constexpr int kCommandLoaderWake = 10;

// Time-outs of the link, in milliseconds, and the cap on every poll loop.
inline constexpr std::uint64_t kLinkTimeoutMillis = 2500;
inline constexpr std::uint64_t kLoaderTimeoutMillis = 5000;
inline constexpr std::uint64_t kMaxPolls = 100000000;
// A wait polls flat out for this long (the player's answer nearly always comes within it, and the
// strobe timing stays exact), then naps this long between looks, so a player that never answers
// costs the time-out in waiting, not a core at 100%.
inline constexpr std::uint64_t kSpinMicros = 200;
inline constexpr std::uint64_t kNapMicros = 500;

using SectorBuffer = std::span<std::uint8_t, kSectorBytes>;
using ConstSectorBuffer = std::span<const std::uint8_t, kSectorBytes>;

class Link {
 public:
  // A link over `port`. Without a port (nullptr, or after a failed OpenPortDriver) there is nobody
  // to talk to: every exchange fails at once with LinkState 1 instead of waiting out time-outs.
  explicit Link(Session& session, std::unique_ptr<Port> port = nullptr);
  ~Link();
  Link(const Link&) = delete;
  Link& operator=(const Link&) = delete;

  // --- Port ---------------------------------------------------------------------------------
  // Opens the backend named by `portText` (the forms of --port: "virtual:IMAGE[?faults=...]",
  // "ppdev:/dev/parportN", "lpt1", "lpt2"), or the one the settings choose (PortBackend,
  // CurrentLpt, VirtualCard) when it is empty. Replaces any port open before. 1 when open; 0 with
  // portError() saying why, also shown as a box (message 35 and the reason) when `showMessage`.
  int OpenPortDriver(const std::string& portText = "", bool showMessage = true);
  void ClosePortDriver();
  bool portOpen() const { return port_ != nullptr; }
  const std::string& portError() const { return portError_; }
  std::string portName() const;
  Port* port() { return port_.get(); }
  // The device when the backend is the virtual player (for its faults and wire trace), else nullptr.
  VirtualPlayer* virtualPlayer() { return virtualPlayer_; }

  // --- Error word ---------------------------------------------------------------------------
  int LinkState() const { return state_; }
  int errorCountdown() const { return countdown_; }
  void ResetLinkState();
  // Traces the error; every third call in a row asks Retry/Cancel, and Cancel sets LinkState 1.
  void ReportLinkError(const std::string& text);

  // --- Byte link ----------------------------------------------------------------------------
  int WaitAckLow();
  int WaitAckHigh();
  int LinkSendByte(std::uint8_t value);
  // The byte (0-255); 0 with LinkState not 0 on failure.
  int LinkReceiveByte();
  int LinkSendCommand(int code);
  int InitLink();
  void DelayMicroseconds(std::uint32_t micros);

  // --- Sector protocol ----------------------------------------------------------------------
  // 1 ready, 0 busy (the user has been told, LinkState is 1), -1 any other answer or none.
  int LinkRequestAccess();
  int LinkRequestConnect();
  // Always 1.
  int LinkReleaseAccess();
  int LinkAbortTransfer();
  // One attempt each; the sector layer retries. `sector` is a 24-bit address, or kIdentifySector.
  // 1 when `buffer` holds the sector and its checksum matched.
  int LinkReadSector(std::uint32_t sector, SectorBuffer buffer);
  // 1 when the player acknowledged the sector.
  int LinkWriteSector(std::uint32_t sector, ConstSectorBuffer buffer);
  std::uint32_t writeCounter() const { return writeCounter_; }
  bool pendingAbort() const { return pendingAbort_; }

  // --- Firmware loader (no LinkState, no error reports) -------------------------------------
  int LoaderSendChar(std::uint8_t c);
  void LoaderSendCommand(int code);
  // 1 when every character of `text` was sent; the closing carriage return goes out in every case.
  int LoaderSendLine(const std::string& text);
  void LoaderIdle();
  // Wakes the loader with code 10 and waits up to 5 s for its ready line: 1 ready.
  int LoaderWaitReady();
  // 1 while the loader signals an error.
  int LoaderError();

  // --- Trace --------------------------------------------------------------------------------
  // The link's and the card layer's trace texts. Written to TraceFile when TraceLink is 1, and
  // handed to the sink when one is set (tests).
  void TraceLine(const std::string& text);
  void SetTraceSink(std::function<void(const std::string&)> sink) { traceSink_ = std::move(sink); }

  Session& session() { return session_; }

 private:
  // The registers. The virtual player is spoken to without the Port's indirection: it answers every
  // access at once, so the indirection would be most of the cost of a code.
  std::uint8_t InStatus() { return virtualPlayer_ ? virtualPlayer_->ReadStatus() : port_->ReadStatus(); }
  void OutData(std::uint8_t v) { virtualPlayer_ ? virtualPlayer_->WriteData(v) : port_->WriteData(v); }
  void OutControl(std::uint8_t v) {
    virtualPlayer_ ? virtualPlayer_->WriteControl(v) : port_->WriteControl(v);
  }
  void WriteCode(std::uint8_t code);
  // The player has nearly always answered by the first look; only then is the clock read.
  int WaitAck(bool high, std::uint64_t timeoutMillis) {
    if (port_ && state_ != kLinkAborted && (InStatus() & kStatusAck) == (high ? kStatusAck : 0)) return 1;
    return WaitAckPolling(high, timeoutMillis);
  }
  int WaitAckPolling(bool high, std::uint64_t timeoutMillis);
  // Looks at the status register until (status & mask) == value or the time-out; the last look decides.
  bool WaitStatus(std::uint8_t mask, std::uint8_t value, std::uint64_t timeoutMillis);
  // Strobe step: Ack must rise before the code counts as taken.
  int StrobeStep(int step) {
    if (state_ == kLinkAborted) return 0;
    OutControl(0);
    if (WaitAck(true, kLinkTimeoutMillis)) return 1;
    return StrobeFailed(step);
  }
  int StrobeFailed(int step);
  void ReleaseStep() { OutControl(1); }
  int Decline();   // no port: fail at once
  int NotReady();  // the player let a wait run out: LinkState 2, message 36
  int RequestCommand(int code);
  int WaitAnswerReady();
  void SetPort(std::unique_ptr<Port> port);

  Session& session_;
  Clock& clock_;
  std::unique_ptr<Port> port_;
  VirtualPlayer* virtualPlayer_ = nullptr;
  std::string portError_;
  int state_ = kLinkOk;
  int countdown_ = 3;
  bool pendingAbort_ = true;
  std::uint32_t writeCounter_ = 0;
  std::function<void(const std::string&)> traceSink_;
  std::FILE* traceFile_ = nullptr;
  bool traceFileFailed_ = false;
};

// The link through the port named by `portText` (as for OpenPortDriver; empty: the settings' choice),
// open and with its lines idle (InitLink done): what the card layer calls to reach the player.
// nullptr with `error` holding one clear message when the port cannot be opened; nothing is shown.
std::unique_ptr<Link> OpenLink(Session& session, const std::string& portText, std::string& error);

}  // namespace sondesk
