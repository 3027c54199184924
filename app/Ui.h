#pragma once
// The Ui port: how the core talks to the user.
//
// Operations show boxes, ask questions, run the progress window and set status panes in the middle
// of their work. They do it through this interface so that the desktop program (Qt dialogs), the
// command line (terminal prompts and flags) and the tests (scripted answers) can all stand behind it.
// Every text handed over is Windows-1252, as the message table holds it; an implementation turns it
// into UTF-8 when it shows it.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace sondesk {

enum class BoxIcon { None, Stop, Warning, Question, Info };
enum class BoxButtons { Ok, OkCancel, YesNo, YesNoCancel, RetryCancel };
enum class BoxAnswer { Ok, Cancel, Yes, No, Retry };

// The four buttons of the duplicate-name question; there is no cancel.
enum class DuplicateAnswer { ModifyAllNames, ModifyName, Replace, ReplaceAll };

// The name-list confirmation: the name the user confirmed, and whether it was picked from the list
// (a picked name is already in the list file; a typed one is appended by the caller).
struct NameListAnswer {
  bool confirmed = false;
  std::string name;
  bool pickedFromList = false;
};

// What the progress window shows. The rules (modes, totals, remaining time) live in Progress;
// the view only draws.
class ProgressView {
 public:
  virtual ~ProgressView() = default;
  virtual void ProgressOpen() = 0;
  virtual void ProgressClose() = 0;
  virtual void ProgressSetRange(std::uint32_t maximum) = 0;
  virtual void ProgressSetPosition(std::uint32_t position) = 0;
  virtual void ProgressSetLine(int line, const std::string& text) = 0;  // line 1 or 2
  // Lets pending window events through (at most a handful), so the window stays alive.
  virtual void Pump() = 0;
  // A run that may be stopped (a download) shows a Cancel button; the operation asks at each step
  // whether it was pressed.
  virtual void ProgressSetCancellable(bool /*on*/) {}
  virtual bool ProgressCancelRequested() { return false; }
};

class Ui : public ProgressView {
 public:
  // A message box. `owned` false means the system-modal box with no owner (the shared stop box).
  virtual BoxAnswer ShowBox(const std::string& text, const std::string& title, BoxIcon icon,
                            BoxButtons buttons) = 0;

  // A question whose Yes (or OK) erases what the user may not mean to lose: formatting a card that
  // does not mount, which may be a stick or a card of another device given by mistake. An answer
  // given in advance (--yes) never counts for it, and its default button is the cautious one.
  virtual BoxAnswer AskErase(const std::string& text, const std::string& title, BoxIcon icon, BoxButtons buttons) {
    return ShowBox(text, title, icon, buttons);
  }
  // The duplicate-name question (`DupFileDlg`): `text` is the filled message 248.
  virtual DuplicateAnswer AskDuplicate(const std::string& text) = 0;

  // The name-list confirmation (`DbInfoDlg`): `candidates` are the lines of the list file that
  // contain a word of `name`.
  virtual NameListAnswer ConfirmListName(const std::string& name, const std::vector<std::string>& candidates) = 0;

  // A warning with a "Show this message again" check box (`MessageDlg`): the numeric-name warning
  // and the no-text warning. Returns the state of the check box when the box closes.
  virtual bool ShowWarningWithCheck(const std::string& text, const std::string& checkText,
                                    const std::string& title) = 0;

  virtual void BusyCursor(bool on) = 0;
  virtual void SetStatusPane(int pane, const std::string& text) = 0;

  // File and folder choosers; nullopt when the user cancels. `startDir` may be empty.
  virtual std::optional<std::vector<std::string>> PickOpenFiles(const std::string& title, const std::string& startDir,
                                                                const std::string& filter) = 0;
  virtual std::optional<std::string> PickSaveFile(const std::string& title, const std::string& startPath,
                                                  const std::string& filter) = 0;
  virtual std::optional<std::string> PickFolder(const std::string& title, const std::string& startDir) = 0;

  // Opens a web address or a file with the desktop's handler.
  virtual void OpenExternal(const std::string& urlOrPath) = 0;

  // A diagnostic line that the original wrote to a console nobody saw; kept for logs.
  virtual void DebugLine(const std::string& /*text*/) {}
};

}  // namespace sondesk
