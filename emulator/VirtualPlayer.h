#pragma once
// The player's side of the parallel link, simulated over a card image file.
//
// The PC writes the data and control registers and reads the status register exactly as it would
// on a real port; the player answers each access at once and the same way every time: Ack rises
// when a code is strobed and falls at the release, a requested nibble stands on status bits 3, 4, 5
// and (inverted) 7 while Ack is up, and bit 7 reads 1 (Busy) whenever no answer is waiting. It
// serves access, connect, release and abort, sector reads and writes from the image (every write
// it acknowledges is in the file before the acknowledge goes out), the identification block for
// sector 0xFFFFFF, and the firmware loader's wake-up and text lines.
//
// It needs no clock: a fault that withholds Ack simply never raises it, and the PC's own time-out
// ends the wait.

#include <array>
#include <cstdint>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "emulator/CardImage.h"
#include "emulator/FaultPlan.h"
#include "emulator/VirtualFlash.h"

namespace sondesk {

// One thing seen on the wire: a code the PC strobed (the value before the data lines' bit
// reversal) or a nibble the player put on the status lines in answer.
struct WireEvent {
  enum class Kind : std::uint8_t { Code, Nibble };
  Kind kind;
  std::uint8_t value;
  bool operator==(const WireEvent&) const = default;
};
inline WireEvent WireCode(std::uint8_t v) {
  return {WireEvent::Kind::Code, v};
}
inline WireEvent WireNibble(std::uint8_t v) {
  return {WireEvent::Kind::Nibble, v};
}
// "C:80 C:85 C:C5 ... N:0 N:6", for failure messages and logs.
std::string FormatWireTrace(const std::vector<WireEvent>& events);

class VirtualPlayer {
 public:
  explicit VirtualPlayer(CardImage image, const FaultPlan& faults = {});
  // Keeps what the loader wrote (the program memory goes to its side file) and writes the counts
  // to the fault plan's stats file.
  ~VirtualPlayer();
  VirtualPlayer(const VirtualPlayer&) = delete;
  VirtualPlayer& operator=(const VirtualPlayer&) = delete;

  // Opens `imagePath` as the player's card. nullptr with `error` when the image cannot be used.
  static std::unique_ptr<VirtualPlayer> Open(const std::string& imagePath, const FaultPlan& faults,
                                             std::string& error);

  // --- The lines, as the PC's registers see them --------------------------------------------
  void WriteData(std::uint8_t raw) { data_ = raw; }
  void WriteControl(std::uint8_t value) {
    const bool strobe = (value & 1) == 0;
    if (strobe == strobeLow_) return;
    strobeLow_ = strobe;
    if (strobe) {
      OnStrobe();
    } else {
      OnRelease();
    }
  }
  std::uint8_t ReadStatus() const { return status_; }

  // --- Faults and the wire trace ------------------------------------------------------------
  void SetFaults(const FaultPlan& faults);
  const FaultPlan& faults() const { return faults_; }
  void EnableWireTrace(bool on) {
    tracing_ = on;
    UpdatePlainStrobe();
  }
  const std::vector<WireEvent>& wireTrace() const { return trace_; }
  void ClearWireTrace() { trace_.clear(); }

  // --- What the player holds ----------------------------------------------------------------
  CardImage& image() { return image_; }
  const std::array<std::uint8_t, 512>& identifyBlock() const { return identify_; }
  bool accessGranted() const { return accessGranted_; }
  bool unplugged() const { return unplugged_; }
  bool inLoader() const { return loader_; }
  // The loader's text lines as received (an ESC alone is kept as "\x1b").
  const std::vector<std::string>& loaderLines() const { return loaderLines_; }
  // The program memory, read from the image's side file on first use. `flashError` says why the
  // side file could not be read (the memory then starts blank).
  VirtualFlash& flash();
  const std::string& flashError() const { return flashError_; }
  // Writes the program memory to the side file now. False with `error`.
  bool SaveFlash(std::string& error);

  struct Counters {
    std::uint64_t codes = 0;         // strobes taken
    std::uint64_t sectorReads = 0;   // read requests served (identification included)
    std::uint64_t sectorWrites = 0;  // write requests complete
    std::uint64_t writesStored = 0;  // writes acknowledged and in the file
    std::uint64_t requests = 0;      // access and connect requests
    std::uint64_t aborts = 0;
  };
  const Counters& counters() const { return counters_; }

 private:
  enum class Rx : std::uint8_t { Start, High, Low };
  enum class Frame : std::uint8_t { Idle, Header, WriteData };

  void OnStrobe() {
    if (plainStrobe_) {
      ++counters_.codes;
      TakeRawCode(data_);
    } else {
      OnStrobeWithFaults();
    }
  }
  void OnStrobeWithFaults();
  void TakeRawCode(std::uint8_t raw);
  // Strobes need the careful path only while a fault, the loader or the trace is in play.
  void UpdatePlainStrobe() {
    plainStrobe_ = !tracing_ && !unplugged_ && !loader_ && faults_.noAck.mode == FaultRule::Mode::Never &&
                   faults_.unplug.mode == FaultRule::Mode::Never;
  }
  // The release only drops Ack: Busy then tells whether more of an answer is waiting.
  void OnRelease() {
    if (unplugged_) return;
    if (loader_) {
      // Ready for the next character, unless it never took the last one.
      if (!loaderStuck_) status_ = LoaderStatus(true);
      return;
    }
    status_ = answerPosition_ < answerLength_ ? 0 : 0x80;
  }
  void TakeCode(std::uint8_t code);
  void TakeByte(std::uint8_t b);
  void TakeCommand(int command);
  void TakeLoaderCode(std::uint8_t code);
  void WakeLoader();
  std::uint8_t LoaderStatus(bool ack);
  void CheckHeader();
  void ServeRead(std::uint32_t lba);
  void FinishWrite();
  void Answer(std::uint8_t b);
  void ResetReceiver();
  bool Fires(const FaultRule& rule, std::uint64_t event);
  std::uint8_t IdleStatus() const;

  CardImage image_;
  FaultPlan faults_;
  std::mt19937_64 rng_;
  std::array<std::uint8_t, 512> identify_{};

  std::uint8_t data_ = 0;
  std::uint8_t status_ = 0;
  bool strobeLow_ = false;
  bool unplugged_ = false;
  bool accessGranted_ = false;
  bool loader_ = false;
  bool plainStrobe_ = true;

  Rx rx_ = Rx::Start;
  std::uint8_t rxHigh_ = 0;
  bool commandPrefix_ = false;

  Frame frame_ = Frame::Idle;
  std::array<std::uint8_t, 7> header_{};
  std::size_t headerLength_ = 0;
  std::uint32_t writeLba_ = 0;
  std::array<std::uint8_t, 516> writeBuffer_{};
  std::size_t writeLength_ = 0;

  // The answer being handed out: 0x06, the sector, a filler byte and the checksum for a read.
  std::array<std::uint8_t, 516> answer_{};
  std::size_t answerLength_ = 0;
  std::size_t answerPosition_ = 0;

  std::string loaderLine_;
  std::vector<std::string> loaderLines_;
  VirtualFlash flash_;
  bool flashLoaded_ = false;
  std::string flashError_;
  bool loaderStuck_ = false;
  std::uint64_t loaderChars_ = 0;

  bool tracing_ = false;
  std::vector<WireEvent> trace_;
  Counters counters_;
};

}  // namespace sondesk
