#pragma once
// A Ui for tests: records every call and answers from queues, so a test can say "the next
// Yes/No question is answered No" and then check that "Space on Compact Flash insufficient"
// was shown with the title "SONDESK - Caution".

#include <deque>
#include <string>
#include <vector>

#include "app/Ui.h"

namespace sondesk {

class ScriptedUi : public Ui {
 public:
  struct Box {
    std::string text;
    std::string title;
    BoxIcon icon;
    BoxButtons buttons;
    BoxAnswer answer;
  };

  // Queued answers; when a queue is empty the default answer is used: Ok for Ok boxes,
  // Yes for Yes/No, Ok for Ok/Cancel, Cancel for Retry/Cancel (so a test never loops on a
  // device prompt it did not plan for).
  std::deque<BoxAnswer> boxAnswers;
  std::deque<DuplicateAnswer> duplicateAnswers;
  std::deque<NameListAnswer> nameListAnswers;
  std::deque<bool> warningCheckAnswers;  // state of the "show again" box; default true
  std::deque<std::vector<std::string>> openFilesAnswers;
  std::deque<std::string> saveFileAnswers;
  std::deque<std::string> folderAnswers;

  // What happened.
  std::vector<Box> boxes;
  std::vector<std::string> duplicateQuestions;
  std::vector<std::string> nameListQuestions;
  std::vector<std::string> warnings;
  std::vector<std::pair<int, std::string>> statusPanes;
  std::vector<std::string> opened;
  std::vector<std::string> progressLines;  // "1:text" / "2:text"
  std::vector<std::string> debugLines;
  int progressOpens = 0;
  int progressCloses = 0;
  int pumps = 0;
  bool progressIsOpen = false;
  std::uint32_t progressMaximum = 0;
  std::uint32_t progressPosition = 0;
  int busyOn = 0;
  int busyOff = 0;
  // The progress window's Cancel: pressed once this many pumps have happened (negative: never).
  int cancelAfterPumps = -1;
  bool progressCancellable = false;

  BoxAnswer ShowBox(const std::string& text, const std::string& title, BoxIcon icon, BoxButtons buttons) override;
  DuplicateAnswer AskDuplicate(const std::string& text) override;
  NameListAnswer ConfirmListName(const std::string& name, const std::vector<std::string>& candidates) override;
  bool ShowWarningWithCheck(const std::string& text, const std::string& checkText, const std::string& title) override;
  void BusyCursor(bool on) override { (on ? busyOn : busyOff)++; }
  void SetStatusPane(int pane, const std::string& text) override { statusPanes.emplace_back(pane, text); }
  std::optional<std::vector<std::string>> PickOpenFiles(const std::string&, const std::string&,
                                                        const std::string&) override;
  std::optional<std::string> PickSaveFile(const std::string&, const std::string&, const std::string&) override;
  std::optional<std::string> PickFolder(const std::string&, const std::string&) override;
  void OpenExternal(const std::string& urlOrPath) override { opened.push_back(urlOrPath); }
  void DebugLine(const std::string& text) override { debugLines.push_back(text); }

  void ProgressOpen() override;
  void ProgressClose() override;
  void ProgressSetRange(std::uint32_t maximum) override { progressMaximum = maximum; }
  void ProgressSetPosition(std::uint32_t position) override { progressPosition = position; }
  void ProgressSetLine(int line, const std::string& text) override;
  void Pump() override { ++pumps; }
  void ProgressSetCancellable(bool on) override { progressCancellable = on; }
  bool ProgressCancelRequested() override { return cancelAfterPumps >= 0 && pumps >= cancelAfterPumps; }

  // Helpers for assertions.
  bool Shown(const std::string& text) const;         // a box with exactly this text
  bool ShownContaining(const std::string& part) const;
  int CountShown(const std::string& text) const;
  std::string LastStatus(int pane) const;
};

}  // namespace sondesk
