#pragma once
// The Ui of the small tools: boxes and progress lines go to the terminal, questions take their
// safe answer (No, Cancel), nothing is picked or opened.

#include <cstdio>

#include "app/Ui.h"

namespace sondesk {

class ToolUi : public Ui {
 public:
  explicit ToolUi(std::FILE* out = stderr) : out_(out) {}
  BoxAnswer ShowBox(const std::string& text, const std::string& title, BoxIcon, BoxButtons buttons) override;
  DuplicateAnswer AskDuplicate(const std::string&) override { return DuplicateAnswer::ModifyName; }
  NameListAnswer ConfirmListName(const std::string&, const std::vector<std::string>&) override { return {}; }
  bool ShowWarningWithCheck(const std::string& text, const std::string&, const std::string& title) override;
  void BusyCursor(bool) override {}
  void SetStatusPane(int, const std::string&) override {}
  std::optional<std::vector<std::string>> PickOpenFiles(const std::string&, const std::string&,
                                                        const std::string&) override {
    return std::nullopt;
  }
  std::optional<std::string> PickSaveFile(const std::string&, const std::string&, const std::string&) override {
    return std::nullopt;
  }
  std::optional<std::string> PickFolder(const std::string&, const std::string&) override { return std::nullopt; }
  void OpenExternal(const std::string&) override {}
  void ProgressOpen() override {}
  void ProgressClose() override {}
  void ProgressSetRange(std::uint32_t) override {}
  void ProgressSetPosition(std::uint32_t) override {}
  void ProgressSetLine(int, const std::string&) override {}
  void Pump() override {}

 private:
  std::FILE* out_;
};

}  // namespace sondesk
