#pragma once
// A Ui without a screen of its own, for work away from the Ui thread and for the small tools:
// nothing is picked, opened or drawn (no cursor, status pane or progress window), a duplicate name
// is given a new name and a name-list question gets no choice. Boxes and warnings are the deriving
// class's own.

#include "app/Ui.h"

namespace sondesk {

class NoScreenUi : public Ui {
 public:
  DuplicateAnswer AskDuplicate(const std::string&) override { return DuplicateAnswer::ModifyName; }
  NameListAnswer ConfirmListName(const std::string&, const std::vector<std::string>&) override { return {}; }
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
};

}  // namespace sondesk
