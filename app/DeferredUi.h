#pragma once
// A Ui for work done away from the Ui thread: the boxes, warnings and diagnostic lines an operation
// gives are kept, in order, and shown later on the Ui thread, where they would have appeared had
// the work run there. Questions whose answer steers the work have no place here; they are answered
// with the box's default and the work that needs them belongs on the Ui thread.

#include <string>
#include <vector>

#include "app/NoScreenUi.h"

namespace sondesk {

class Session;

class DeferredUi : public NoScreenUi {
 public:
  struct Event {
    enum class Kind { Box, WarningWithCheck, Debug } kind;
    std::string text, title, checkText;
    BoxIcon icon = BoxIcon::None;
    BoxButtons buttons = BoxButtons::Ok;
  };

  std::vector<Event> events;

  // Shows what was kept through `session`'s Ui and empties the list. A kept no-text warning is
  // shown only while the session's switch for it is on, and the answer sets the switch, so a
  // warning switched off by an earlier song stays off for the later ones.
  void Replay(Session& session);

  BoxAnswer ShowBox(const std::string& text, const std::string& title, BoxIcon icon, BoxButtons buttons) override;
  bool ShowWarningWithCheck(const std::string& text, const std::string& checkText, const std::string& title) override;
  void DebugLine(const std::string& text) override;
};

}  // namespace sondesk
