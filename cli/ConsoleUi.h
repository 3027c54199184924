#pragma once
// The Ui of the command line: boxes go to standard error, questions are asked on the terminal or
// answered by --yes / --no, and the progress window is a bar on a terminal (plain lines when the
// output is not one).

#include <cstdint>
#include <optional>
#include <string>

#include "app/Ui.h"

namespace sondesk {

class ConsoleUi : public Ui {
 public:
  enum class Answers { Ask, Yes, No };

  ConsoleUi();

  Answers answers = Answers::Ask;
  std::optional<DuplicateAnswer> duplicateAnswer;  // --on-duplicate
  bool quiet = false;

  BoxAnswer ShowBox(const std::string& text, const std::string& title, BoxIcon icon, BoxButtons buttons) override;
  BoxAnswer AskErase(const std::string& text, const std::string& title, BoxIcon icon, BoxButtons buttons) override;
  DuplicateAnswer AskDuplicate(const std::string& text) override;
  NameListAnswer ConfirmListName(const std::string& name, const std::vector<std::string>& candidates) override;
  bool ShowWarningWithCheck(const std::string& text, const std::string& checkText, const std::string& title) override;
  void BusyCursor(bool) override {}
  void SetStatusPane(int pane, const std::string& text) override;
  std::optional<std::vector<std::string>> PickOpenFiles(const std::string& title, const std::string& startDir,
                                                        const std::string& filter) override;
  std::optional<std::string> PickSaveFile(const std::string& title, const std::string& startPath,
                                          const std::string& filter) override;
  std::optional<std::string> PickFolder(const std::string& title, const std::string& startDir) override;
  void OpenExternal(const std::string& urlOrPath) override;
  void DebugLine(const std::string& text) override;

  void ProgressOpen() override;
  void ProgressClose() override;
  void ProgressSetRange(std::uint32_t maximum) override;
  void ProgressSetPosition(std::uint32_t position) override;
  void ProgressSetLine(int line, const std::string& text) override;
  void Pump() override {}
  // Ctrl+C stops a run that may be stopped (a download) instead of killing the program half way.
  void ProgressSetCancellable(bool on) override;
  bool ProgressCancelRequested() override;

  // Boxes with a stop or warning icon that were shown (the command's exit status may depend on it).
  int errorsShown = 0;
  bool verbose = false;
  // How many times --yes answers the link's Retry/Cancel question with Retry in one run.
  static constexpr int kRetriesByYes = 2;

 private:
  std::optional<bool> AskYesNo(const std::string& question);
  void DrawBar();
  bool interactive_;
  bool tty_;
  bool progressOpen_ = false;
  int retriesGiven_ = 0;
  std::uint32_t maximum_ = 0, position_ = 0;
  std::string line1_, line2_;
  std::uint32_t lastDrawnPercent_ = 1000;
};

}  // namespace sondesk
