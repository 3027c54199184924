#pragma once
// The uninstaller's small window: "Remove SonDesk?", Cancel and Uninstall.

#include <QWidget>

#include <functional>
#include <string>

class QPushButton;

namespace sondesk {

class UninstallWindow : public QWidget {
 public:
  // `startSweep` starts the late sweep once the script is written.
  UninstallWindow(std::string windir, std::function<void()> startSweep);

  QPushButton* cancelButton() { return cancel_; }
  QPushButton* uninstallButton() { return uninstall_; }

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  std::string windir_;
  std::function<void()> startSweep_;
  QPushButton* cancel_;
  QPushButton* uninstall_;
};

}  // namespace sondesk
