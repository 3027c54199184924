// The sector protocol: access commands, and single 512-byte sectors by 24-bit number, each with
// its 16-bit checksum (the plain sum of the bytes, high byte first).

#include <array>

#include "app/Clock.h"
#include "app/Session.h"
#include "link/Link.h"

namespace sondesk {

namespace {

std::array<std::uint8_t, 7> SectorFrame(std::uint8_t op, std::uint32_t sector) {
  return {0x55,
          op,
          static_cast<std::uint8_t>(sector),
          static_cast<std::uint8_t>(sector >> 8),
          static_cast<std::uint8_t>(sector >> 16),
          0x00,
          0x0A};
}

constexpr std::uint8_t kOpWrite = 0x01;
constexpr std::uint8_t kOpRead = 0x02;

}  // namespace

int Link::RequestCommand(int code) {
  if (!LinkSendCommand(kCommandPrefix) || !LinkSendCommand(code)) return -1;
  // A failed receive gives 0, which is no answer of the player.
  const int answer = LinkReceiveByte();
  if (answer == kAnswerAck) return 1;
  if (answer == kAnswerBusy) {
    state_ = kLinkAborted;
    session_.ShowBox(session_.Text(37), 21, BoxIcon::Stop, BoxButtons::Ok);
    return 0;
  }
  return -1;
}

int Link::LinkRequestAccess() {
  return RequestCommand(kCommandRequestAccess);
}
int Link::LinkRequestConnect() {
  return RequestCommand(kCommandRequestConnect);
}

int Link::LinkReleaseAccess() {
  if (LinkSendCommand(kCommandPrefix)) LinkSendCommand(kCommandReleaseAccess);
  return 1;
}

int Link::LinkAbortTransfer() {
  if (LinkSendCommand(kCommandPrefix)) LinkSendCommand(kCommandAbortTransfer);
  return 1;
}

// Busy (status bit 7) stays up until the player has its answer ready.
int Link::WaitAnswerReady() {
  return WaitStatus(kStatusBusy, 0, kLinkTimeoutMillis) ? 1 : 0;
}

int Link::LinkReadSector(std::uint32_t sector, SectorBuffer buffer) {
  if (!port_) return Decline();
  // A cancel stands until the next operation resets the link, even for a caller that goes
  // straight to the sector.
  if (state_ == kLinkAborted) return 0;
  state_ = kLinkOk;
  if (pendingAbort_) {
    // Whatever the player was doing before this run started is not ours to finish.
    LinkAbortTransfer();
    pendingAbort_ = false;
  }
  ReleaseStep();
  for (std::uint8_t b : SectorFrame(kOpRead, sector & 0xFFFFFF)) {
    LinkSendByte(b);
    if (state_ != kLinkOk) return 0;
  }
  if (!WaitAnswerReady()) {
    state_ = kLinkNoAnswer;
    ReportLinkError("No answer read");
    LinkAbortTransfer();
    return 0;
  }
  const int answer = LinkReceiveByte();
  if (state_ != kLinkOk) {
    LinkAbortTransfer();
    return 0;
  }
  if (answer != kAnswerAck) {
    ReportLinkError(Format("Invalid char %02x", answer));
    LinkAbortTransfer();
    return 0;
  }
  WaitAnswerReady();
  std::uint32_t sum = 0;
  for (std::size_t i = 0; i < kSectorBytes; ++i) {
    const int b = LinkReceiveByte();
    if (state_ != kLinkOk) return 0;
    buffer[i] = static_cast<std::uint8_t>(b);
    sum += static_cast<std::uint32_t>(b);
  }
  if (InStatus() & kStatusBusy) {
    // The player ran out of data early. Counted as a link error, so that a player that keeps doing
    // it meets the Retry/Cancel question instead of an endless silent retry.
    state_ = kLinkNoAnswer;
    ReportLinkError("Sector read ended early");
    LinkAbortTransfer();
    return 0;
  }
  int tail[3];
  for (int& t : tail) {
    t = LinkReceiveByte();
    if (state_ != kLinkOk) return 0;
  }
  if ((sum & 0xFFFF) == static_cast<std::uint32_t>(tail[1] * 256 + tail[2])) return 1;
  state_ = kLinkBadChecksum;
  TraceLine("Sector read: checksum error");
  return 0;
}

int Link::LinkWriteSector(std::uint32_t sector, ConstSectorBuffer buffer) {
  if (!port_) return Decline();
  if (state_ == kLinkAborted) return 0;
  state_ = kLinkOk;
  ++writeCounter_;
  ReleaseStep();
  for (std::uint8_t b : SectorFrame(kOpWrite, sector & 0xFFFFFF)) {
    LinkSendByte(b);
    if (state_ != kLinkOk) return 0;
  }
  std::uint32_t sum = 0;
  for (std::uint8_t b : buffer) {
    sum += b;
    LinkSendByte(b);
    if (state_ != kLinkOk) return 0;
  }
  const std::uint8_t tail[4] = {0xFF, 0xFF, static_cast<std::uint8_t>(sum >> 8),
                                static_cast<std::uint8_t>(sum)};
  for (std::uint8_t b : tail) {
    LinkSendByte(b);
    if (state_ != kLinkOk) return 0;
  }
  if (!WaitAnswerReady()) {
    state_ = kLinkNoAnswer;
    ReportLinkError("No answer write");
    LinkAbortTransfer();
    return 0;
  }
  const int answer = LinkReceiveByte();
  if (state_ != kLinkOk) {
    LinkAbortTransfer();
    return 0;
  }
  if (answer == kAnswerAck) return 1;
  if (answer == kAnswerNak) {
    ReportLinkError(Format("Checksum error %x writeOPCNT=%d", answer, static_cast<int>(writeCounter_)));
  } else {
    ReportLinkError(Format("Invalid char %02x", answer));
  }
  LinkAbortTransfer();
  return 0;
}

}  // namespace sondesk
