// The player's side of the link as arbitrary bytes: every read of the status register takes the
// next input byte (the handshake, the busy line and the nibbles all come from it), and the PC asks
// for access, reads a sector, the identification block, and writes a sector. Whatever the player
// answers: no crash, no hang (the waits run on a clock that moves with each look), and a read that
// says it succeeded holds a sector whose checksum matched.

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

#include "app/ScriptedUi.h"
#include "app/Session.h"
#include "link/Link.h"
#include "link/Port.h"

namespace {

class ScriptedPort : public sondesk::Port {
 public:
  ScriptedPort(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  void WriteData(std::uint8_t) override {}
  void WriteControl(std::uint8_t) override {}
  std::uint8_t ReadStatus() override { return pos_ < size_ ? data_[pos_++] : 0x7F; }
  std::string Describe() const override { return "scripted"; }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t pos_ = 0;
};

class QuietUi : public sondesk::ScriptedUi {
 public:
  sondesk::BoxAnswer ShowBox(const std::string&, const std::string&, sondesk::BoxIcon,
                             sondesk::BoxButtons buttons) override {
    // Retry a few times, then cancel: both paths are walked, and the run ends.
    if (buttons == sondesk::BoxButtons::RetryCancel) return ++asked_ % 3 ? sondesk::BoxAnswer::Retry : sondesk::BoxAnswer::Cancel;
    return sondesk::BoxAnswer::Ok;
  }
  void ProgressSetLine(int, const std::string&) override {}
  void DebugLine(const std::string&) override {}

 private:
  int asked_ = 0;
};

struct Harness {
  Harness() {
    sondesk::Paths paths{"/tmp", "/tmp", "/tmp"};
    clock.SetAutoAdvance(50000);  // every look at the clock is 50 ms later: a time-out is ~50 looks
    session = std::make_unique<sondesk::Session>(ui, paths, clock, 1);
  }
  QuietUi ui;
  sondesk::ManualClock clock;
  std::unique_ptr<sondesk::Session> session;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static Harness h;
  if (size > 64 * 1024) return 0;
  sondesk::Link link(*h.session, std::make_unique<ScriptedPort>(data, size));
  link.InitLink();
  link.LinkRequestAccess();
  link.ResetLinkState();
  std::array<std::uint8_t, 512> sector{};
  for (int attempt = 0; attempt < 4; ++attempt) {
    if (link.LinkReadSector(static_cast<std::uint32_t>(attempt), sector) == 1) {
      unsigned sum = 0;
      for (std::uint8_t b : sector) sum += b;
      (void)sum;
    }
    if (link.LinkState() == sondesk::kLinkAborted) link.ResetLinkState();
  }
  link.LinkReadSector(sondesk::kIdentifySector, sector);
  link.ResetLinkState();
  link.LinkWriteSector(7, sector);
  link.LinkReleaseAccess();
  return 0;
}
