#include "gui/SplashWindow.h"

#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>

#include "gui/Artwork.h"

namespace sondesk {

SplashWindow::SplashWindow(int durationMs, QWidget* parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
  setObjectName("SplashWindow");
  setAttribute(Qt::WA_DeleteOnClose);
  setAttribute(Qt::WA_ShowWithoutActivating);
  setFixedSize(kWidth, kHeight);
  setCursor(Qt::WaitCursor);
  if (QScreen* s = QGuiApplication::primaryScreen()) {
    const QRect g = s->geometry();
    move(g.x() + (g.width() - kWidth) / 2, g.y() + (g.height() - kHeight) / 3);
  }
  timer_.setSingleShot(true);
  connect(&timer_, &QTimer::timeout, this, &QWidget::close);
  timer_.start(durationMs);
}

void SplashWindow::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.drawPixmap(0, 0, SvgPixmap(QStringLiteral("splash/splash.svg"), size(), devicePixelRatioF()));
  // The version stands inside the picture, on the stage floor.
  QFont f(QStringLiteral("Arial"));
  f.setPixelSize(13);
  f.setWeight(QFont::Light);
  p.setFont(f);
  p.setPen(QColor(0xe9, 0xd8, 0xfd));
  p.drawText(QRect(0, kHeight - 20, kWidth, 18), Qt::AlignCenter,
             QStringLiteral("Versione %1").arg(QStringLiteral(SONDESK_VERSION)));
}

void SplashWindow::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) close();
}

}  // namespace sondesk
