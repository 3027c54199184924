#include "app/DeferredUi.h"

#include "app/Session.h"

namespace sondesk {

BoxAnswer DeferredUi::ShowBox(const std::string& text, const std::string& title, BoxIcon icon,
                              BoxButtons buttons) {
  events.push_back({Event::Kind::Box, text, title, {}, icon, buttons});
  switch (buttons) {
    case BoxButtons::YesNo:
    case BoxButtons::YesNoCancel:
      return BoxAnswer::Yes;
    case BoxButtons::RetryCancel:
      return BoxAnswer::Cancel;
    default:
      return BoxAnswer::Ok;
  }
}

bool DeferredUi::ShowWarningWithCheck(const std::string& text, const std::string& checkText,
                                      const std::string& title) {
  events.push_back({Event::Kind::WarningWithCheck, text, title, checkText});
  return true;
}

void DeferredUi::DebugLine(const std::string& text) {
  events.push_back({Event::Kind::Debug, text, {}, {}});
}

void DeferredUi::Replay(Session& session) {
  Ui& ui = session.ui();
  for (const Event& e : events) {
    switch (e.kind) {
      case Event::Kind::Box:
        ui.ShowBox(e.text, e.title, e.icon, e.buttons);
        break;
      case Event::Kind::WarningWithCheck:
        if (session.noTextWarning) session.noTextWarning = ui.ShowWarningWithCheck(e.text, e.checkText, e.title);
        break;
      case Event::Kind::Debug:
        ui.DebugLine(e.text);
        break;
    }
  }
  events.clear();
}

}  // namespace sondesk
