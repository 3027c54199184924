// The byte link: each code goes out bit-reversed on the data lines and is strobed, and every
// strobe waits for the player's Ack; bytes travel as three codes to the player and two nibble
// requests from it.

#include "app/Clock.h"
#include "app/Session.h"
#include "link/DataLines.h"
#include "link/Link.h"

namespace sondesk {

void Link::WriteCode(std::uint8_t code) {
  OutData(kBitReverse[code]);
}

bool Link::WaitStatus(std::uint8_t mask, std::uint8_t value, std::uint64_t timeoutMillis) {
  auto want = [&](std::uint8_t s) { return (s & mask) == value; };
  if (want(InStatus())) return true;
  const std::uint64_t start = clock_.NowMicros();
  const std::uint64_t deadline = start / 1000 + timeoutMillis;
  for (std::uint64_t polls = 0; polls < kMaxPolls; ++polls) {
    if (want(InStatus())) return true;
    const std::uint64_t now = clock_.NowMicros();
    if (now / 1000 > deadline) break;
    if (now - start >= kSpinMicros) clock_.Nap(kNapMicros);
  }
  return want(InStatus());
}

int Link::WaitAckPolling(bool high, std::uint64_t timeoutMillis) {
  if (!port_) return 0;
  const std::uint8_t want = high ? kStatusAck : 0;
  if (state_ == kLinkAborted) return (InStatus() & kStatusAck) == want ? 1 : 0;
  return WaitStatus(kStatusAck, want, timeoutMillis) ? 1 : 0;
}

int Link::WaitAckLow() {
  return WaitAck(false, kLinkTimeoutMillis);
}
int Link::WaitAckHigh() {
  return WaitAck(true, kLinkTimeoutMillis);
}

// A strobe that was never acknowledged means the player did not take the code: the byte it belongs
// to has failed, whatever the codes after it would do.
int Link::StrobeFailed(int step) {
  state_ = kLinkNoAnswer;
  ReportLinkError(Format("not Active %i", step));
  return 0;
}

int Link::NotReady() {
  state_ = kLinkNoAnswer;
  ReportLinkError(session_.Text(36));
  return 0;
}

int Link::LinkSendByte(std::uint8_t value) {
  if (!port_) return Decline();
  if (state_ == kLinkAborted) return 0;
  if (!WaitAckLow()) {
    state_ = kLinkNoAnswer;
    ReportLinkError("not ready");
    return 0;
  }
  const std::uint8_t codes[3] = {0x80, static_cast<std::uint8_t>(0x80 | (value >> 4)),
                                 static_cast<std::uint8_t>(0xC0 | (value & 0x0F))};
  for (int i = 0; i < 3; ++i) {
    if (i > 0 && !WaitAckLow()) return NotReady();
    WriteCode(codes[i]);
    const int strobed = StrobeStep(i);
    ReleaseStep();
    if (!strobed) return 0;
  }
  return 1;
}

int Link::LinkReceiveByte() {
  if (!port_) return Decline();
  if (state_ == kLinkAborted) return 0;
  if (!WaitAckLow()) {
    state_ = kLinkNoAnswer;
    ReportLinkError("not ready");
    return 0;
  }
  std::uint8_t nibbles[2] = {0, 0};
  for (int step = 0; step < 2; ++step) {
    if (step > 0 && !WaitAckLow()) return NotReady();
    WriteCode(step == 0 ? 0x00 : 0x40);
    const int strobed = StrobeStep(step);
    // Sampled while Ack is up, before the release lets the player move on.
    if (strobed) nibbles[step] = DecodeNibble(InStatus());
    ReleaseStep();
    if (!strobed) return 0;
  }
  if (!WaitAckLow()) return NotReady();
  return (nibbles[0] << 4) | nibbles[1];
}

int Link::LinkSendCommand(int code) {
  if (!port_) return Decline();
  if (state_ == kLinkAborted) return 0;
  if (!WaitAckLow()) return NotReady();
  WriteCode(static_cast<std::uint8_t>(0xA0 + (code & 0x0F)));
  const int strobed = StrobeStep(0);
  ReleaseStep();
  return strobed;
}

int Link::InitLink() {
  if (!port_) return 1;
  OutData(0);
  OutControl(1);
  StrobeStep(0);
  ReleaseStep();
  return 1;
}

void Link::DelayMicroseconds(std::uint32_t micros) {
  clock_.SleepMicros(micros);
}

// --- Firmware loader --------------------------------------------------------------------------
// The loader takes a character whenever its Ack line is up and wants a strobe of 100 us; it has
// no nibble answers and no error word.

int Link::LoaderSendChar(std::uint8_t c) {
  if (!port_) return 0;
  if (!WaitStatus(kStatusAck, kStatusAck, kLoaderTimeoutMillis)) return 0;
  WriteCode(c);
  OutControl(0);
  DelayMicroseconds(100);
  OutControl(1);
  return 1;
}

void Link::LoaderSendCommand(int code) {
  if (!port_) return;
  WriteCode(static_cast<std::uint8_t>(0xA0 + (code & 0x0F)));
  OutControl(0);
  DelayMicroseconds(100);
  OutControl(1);
}

int Link::LoaderSendLine(const std::string& text) {
  int sent = 1;
  for (char c : text) {
    if (!LoaderSendChar(static_cast<std::uint8_t>(c))) {
      sent = 0;
      break;
    }
  }
  LoaderSendChar(13);
  return sent;
}

void Link::LoaderIdle() {
  if (!port_) return;
  OutData(0);
  OutControl(1);
}

int Link::LoaderWaitReady() {
  if (!port_) return 0;
  LoaderSendCommand(kCommandLoaderWake);
  return WaitStatus(kStatusLoaderReady, kStatusLoaderReady, kLoaderTimeoutMillis) ? 1 : 0;
}

int Link::LoaderError() {
  return port_ && (InStatus() & kStatusLoaderError) ? 1 : 0;
}

}  // namespace sondesk
