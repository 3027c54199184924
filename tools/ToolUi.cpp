#include "tools/ToolUi.h"

#include "messages/Cp1252.h"

namespace sondesk {

BoxAnswer ToolUi::ShowBox(const std::string& text, const std::string& title, BoxIcon, BoxButtons buttons) {
  std::fprintf(out_, "%s: %s\n", Cp1252ToUtf8(title).c_str(), Cp1252ToUtf8(text).c_str());
  switch (buttons) {
    case BoxButtons::Ok: return BoxAnswer::Ok;
    case BoxButtons::OkCancel:
    case BoxButtons::RetryCancel: return BoxAnswer::Cancel;
    default: return BoxAnswer::No;
  }
}

bool ToolUi::ShowWarningWithCheck(const std::string& text, const std::string&, const std::string& title) {
  std::fprintf(out_, "%s: %s\n", Cp1252ToUtf8(title).c_str(), Cp1252ToUtf8(text).c_str());
  return true;
}

}  // namespace sondesk
