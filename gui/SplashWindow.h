#pragma once
// The start-up picture: 268 x 220, a little above the middle of the screen, gone after its time or
// at a click.

#include <QTimer>
#include <QWidget>

namespace sondesk {

class SplashWindow : public QWidget {
  Q_OBJECT
 public:
  explicit SplashWindow(int durationMs, QWidget* parent = nullptr);

  static constexpr int kWidth = 268;
  static constexpr int kHeight = 220;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;

 private:
  QTimer timer_;
};

}  // namespace sondesk
