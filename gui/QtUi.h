#pragma once
// The Ui port in Qt: boxes are QMessageBox, the typed questions are the program's own dialogs, the
// progress window is a ProgressDialog and each progress step lets pending events through.

#include <QElapsedTimer>
#include <QPointer>
#include <QString>
#include <functional>

#include "app/Ui.h"
#include "gui/ProgressDialog.h"

class QWidget;

namespace sondesk {

class ProgressDialog;
class Session;

class QtUi : public Ui {
 public:
  QtUi();
  ~QtUi() override;

  // The window that owns boxes and the progress window; the main window once it exists.
  void SetOwner(QWidget* owner);
  QWidget* owner() const;
  // The table's texts for the dialogs' own labels and buttons (the session is made after the Ui).
  void SetSession(Session* session) { session_ = session; }

  // Where status pane texts go; panes set before the main window exists are kept and replayed.
  using StatusSink = std::function<void(int pane, const QString& text)>;
  void SetStatusSink(StatusSink sink);

  // How long a progress run lasts before its window shows (0: at once).
  void SetProgressShowDelay(int ms) { progressDelayMs_ = ms; }
  ProgressDialog* progressDialog() const { return progress_.data(); }

  BoxAnswer ShowBox(const std::string& text, const std::string& title, BoxIcon icon,
                    BoxButtons buttons) override;
  BoxAnswer AskErase(const std::string& text, const std::string& title, BoxIcon icon,
                     BoxButtons buttons) override;
  DuplicateAnswer AskDuplicate(const std::string& text) override;
  NameListAnswer ConfirmListName(const std::string& name,
                                 const std::vector<std::string>& candidates) override;
  bool ShowWarningWithCheck(const std::string& text, const std::string& checkText,
                            const std::string& title) override;
  void BusyCursor(bool on) override;
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
  void Pump() override;
  void ProgressSetCancellable(bool on) override;
  bool ProgressCancelRequested() override;

  // A filter as the core writes it ("DESCRIPTION|*.A;*.B", or Windows' NUL-separated pairs) in the
  // form of a Qt file dialog, with each pattern in upper and lower case.
  static QString QtFilter(const std::string& filter);

 private:
  QPointer<QWidget> owner_;
  Session* session_ = nullptr;
  QPointer<ProgressDialog> progress_;
  StatusSink sink_;
  std::vector<std::pair<int, QString>> pendingPanes_;
  int progressDelayMs_ = 250;
  QElapsedTimer sinceLastPump_;
  // Set while AskErase shows its box: the default button is then No (or Cancel).
  bool cautiousDefault_ = false;
};

}  // namespace sondesk
