#pragma once
// The one progress window of long operations: a borderless panel over the main window with the
// operation's name, a line for counters and the time left, and a bar. The rules of the two modes
// live in the core's Progress; this window only draws what it is told.

#include <QElapsedTimer>
#include <QFrame>
#include <QPointer>
#include <QTimer>
#include <cstdint>

class QDialogButtonBox;
class QLabel;
class QProgressBar;

namespace sondesk {

class ProgressDialog : public QFrame {
  Q_OBJECT
 public:
  explicit ProgressDialog(QWidget* owner);

  void SetRange(std::uint32_t maximum);
  void SetPosition(std::uint32_t position);
  void SetLine(int line, const QString& text);

  // Shown at once, or only when the run lasts longer than `delayMs`: a list refresh that takes a
  // tenth of a second should not flash a window.
  void Open(int delayMs);
  void Close();
  bool isOpen() const { return open_; }
  // A run that may be stopped (a download) shows a Cancel button; pressing it is remembered until
  // the next run that may be stopped.
  void SetCancellable(bool on);
  bool cancelRequested() const { return cancelRequested_; }
  QDialogButtonBox* cancelButtons() const { return buttons_; }

  // A box raised during the work is never covered: the window steps aside while it is up (also
  // when its delayed showing falls in that time) and comes back after. Calls nest.
  void StepAside();
  void ComeBack();

  QString line1() const;
  QString line2() const;
  int maximum() const;
  int position() const;

 private:
  void ShowNow();
  QLabel* line1_;
  QLabel* line2_;
  QProgressBar* bar_;
  QDialogButtonBox* buttons_;
  bool cancelRequested_ = false;
  QTimer showTimer_;
  bool open_ = false;
  int aside_ = 0;
  bool shownBeforeAside_ = false;
};

}  // namespace sondesk
