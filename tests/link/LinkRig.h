#pragma once
// What the link tests share: a session on a scripted Ui and a manual clock, a card image, and a
// link to the virtual player on that image.

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "app/Paths.h"
#include "app/ScriptedUi.h"
#include "app/Session.h"
#include "emulator/CardImage.h"
#include "emulator/VirtualPlayer.h"
#include "link/Link.h"
#include "link/VirtualPort.h"
#include "tests/support/TempDir.h"

namespace sondesk::test {

struct LinkRig {
  TempDir dir;
  ScriptedUi ui;
  ManualClock clock;
  std::unique_ptr<Session> session;
  std::string image = dir / "card.img";
  std::vector<std::string> traces;

  explicit LinkRig(std::uint32_t megabytes = 1) {
    Paths paths;
    paths.windir = dir.path();
    paths.workDir = dir.path();
    paths.dataDir = dir / "data";
    session = std::make_unique<Session>(ui, paths, clock, 1);
    std::string error;
    CreateBlankCardImage(image, megabytes, error);
  }

  // A link whose player counts time-outs out on the manual clock: every reading of the clock moves
  // it on by a millisecond, so a 2.5 s wait ends after a few thousand polls.
  std::unique_ptr<Link> Connect(const FaultPlan& faults = {}) {
    std::string error;
    auto player = VirtualPlayer::Open(image, faults, error);
    if (!player) return nullptr;
    player->EnableWireTrace(true);
    auto link = std::make_unique<Link>(*session, std::make_unique<VirtualPort>(std::move(player)));
    link->SetTraceSink([this](const std::string& t) { traces.push_back(t); });
    clock.SetAutoAdvance(1000);
    return link;
  }

  bool Traced(const std::string& text) const {
    for (const auto& t : traces) {
      if (t == text) return true;
    }
    return false;
  }
  int PromptsShown() const { return ui.CountShown(session->Text(98)); }
};

// Real time spent by `f`, for the checks that a long time-out costs no real waiting.
template <typename F>
double RealSeconds(F&& f) {
  const auto start = std::chrono::steady_clock::now();
  f();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace sondesk::test
