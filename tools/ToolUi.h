#pragma once
// The Ui of the small tools: boxes and progress lines go to the terminal, questions take their
// safe answer (No, Cancel), nothing is picked or opened.

#include <cstdio>

#include "app/NoScreenUi.h"

namespace sondesk {

class ToolUi : public NoScreenUi {
 public:
  explicit ToolUi(std::FILE* out = stderr) : out_(out) {}
  BoxAnswer ShowBox(const std::string& text, const std::string& title, BoxIcon, BoxButtons buttons) override;
  bool ShowWarningWithCheck(const std::string& text, const std::string&, const std::string& title) override;

 private:
  std::FILE* out_;
};

}  // namespace sondesk
