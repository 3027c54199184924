#pragma once
// `sondesk --screenshots DIR`: answers the start-up question like a user would, then saves a
// picture of the main window and of each dialog as a PNG file in DIR, and ends the program. Used by
// the end-to-end test under Xvfb and to look at the window in every language and scale.

#include <QObject>
#include <QString>
#include <QTimer>
#include <functional>
#include <string>
#include <vector>

class QWidget;

namespace sondesk {

class MainDlg;
class Session;

class ScreenshotTour : public QObject {
  Q_OBJECT
 public:
  ScreenshotTour(Session& session, MainDlg& window, const std::string& folder);
  void Start();

  // Saves `widget` as DIR/<name>.png; false when the file cannot be written.
  bool Save(QWidget* widget, const QString& name);

 private:
  void Tick();
  void Next();
  void Shoot(const QString& name, const std::function<QWidget*()>& make);

  Session& session_;
  MainDlg& window_;
  QString folder_;
  QTimer timer_;
  int stage_ = 0;
  int waited_ = 0;
  std::vector<std::function<void()>> shots_;
  std::size_t nextShot_ = 0;
};

}  // namespace sondesk
