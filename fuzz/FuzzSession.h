#pragma once
// What the fuzz targets that need a session share: a user who answers every question with the
// cautious button and keeps nothing (so a long run does not grow), and a session over a folder of
// its own, which is also its program folder.

#include <stdlib.h>

#include <filesystem>
#include <memory>
#include <string>

#include "app/Paths.h"
#include "app/ScriptedUi.h"
#include "app/Session.h"

namespace sondesk::fuzz {

class QuietUi : public ScriptedUi {
 public:
  BoxAnswer ShowBox(const std::string&, const std::string&, BoxIcon, BoxButtons buttons) override {
    switch (buttons) {
      case BoxButtons::OkCancel:
        return BoxAnswer::Cancel;
      case BoxButtons::YesNo:
      case BoxButtons::YesNoCancel:
        return BoxAnswer::No;
      case BoxButtons::RetryCancel:
        return BoxAnswer::Cancel;
      case BoxButtons::Ok:
        break;
    }
    return BoxAnswer::Ok;
  }
  void ProgressSetLine(int, const std::string&) override {}
  void DebugLine(const std::string&) override {}
  void SetStatusPane(int, const std::string&) override {}
};

struct FuzzSession {
  // `name` names the folder: NAME-XXXXXX in memory (/dev/shm) where the system has it, since the
  // targets write files on every input, else under /tmp.
  explicit FuzzSession(const std::string& name) {
    std::string pattern = "/dev/shm/" + name + "-XXXXXX";
    const char* d = ::mkdtemp(pattern.data());
    if (d == nullptr) {
      pattern = "/tmp/" + name + "-XXXXXX";
      d = ::mkdtemp(pattern.data());
    }
    folder = d ? d : "/tmp";
    Paths paths{folder, folder, folder};
    session = std::make_unique<Session>(ui, paths, clock, 1);
    session->SetProgramDir(folder);
  }
  ~FuzzSession() {
    std::error_code ignored;
    if (folder != "/tmp") std::filesystem::remove_all(folder, ignored);
  }
  QuietUi ui;
  ManualClock clock;
  std::string folder;
  std::unique_ptr<Session> session;
};

}  // namespace sondesk::fuzz
