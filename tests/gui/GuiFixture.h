#pragma once
// A session in a temporary folder with the real main window over it, and a helper that answers the
// modal boxes and dialogs the commands open.

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QStringList>
#include <QTemporaryDir>
#include <QTimer>
#include <deque>
#include <functional>
#include <memory>
#include <string>

#include "app/Session.h"
#include "gui/MainDlg.h"
#include "gui/QtUi.h"

namespace sondesk::test {

class GuiFixture {
 public:
  explicit GuiFixture(int language = 1, bool makeWindow = true);
  ~GuiFixture();

  // The main window, for a fixture made without one (settings changed first).
  void MakeWindow();
  // A card reader's card as a plain folder (accepted because OnlyDriveRemovable is 0).
  std::string UseFolderCard();
  std::string Dir(const std::string& name) const;
  // A library entry made in memory (no file), for the window's list rules.
  SongEntry& AddLibrary(const std::string& title, const std::string& performer = "",
                        const std::string& category = "");
  SongEntry& AddCard(const std::string& title, const std::string& performer = "",
                     const std::string& category = "");

  QTemporaryDir temp;
  Paths paths;
  QtUi ui;
  std::unique_ptr<Session> session;
  std::unique_ptr<MainDlg> window;
};

// Answers whatever modal widget comes up, one action per widget, in order; when the queue is empty,
// boxes get their accepting button and the program's dialogs their OK (DupFileDlg: Modify Name).
class ModalAnswerer : public QObject {
 public:
  using Action = std::function<void(QWidget*)>;
  ModalAnswerer();

  void Push(Action action) { actions_.push_back(std::move(action)); }
  // Clicks the child button of that object name.
  static Action Click(const char* objectName);
  static Action ClickBox(QMessageBox::StandardButton button);

  // What was answered: "ClassName|title|text" per widget.
  QStringList seen;
  int Count(const QString& className) const;

 private:
  void Tick();
  std::deque<Action> actions_;
  QTimer timer_;
  QPointer<QWidget> last_;
};

}  // namespace sondesk::test
