#include "gui/CardWarningOverlay.h"

#include <QAccessible>
#include <QEvent>
#include <QPainter>

namespace sondesk {

CardWarningOverlay::CardWarningOverlay(QWidget* viewport) : QWidget(viewport) {
  setObjectName("CardWarning");
  setAttribute(Qt::WA_TransparentForMouseEvents);
  setAttribute(Qt::WA_NoSystemBackground);
  viewport->installEventFilter(this);
  setGeometry(viewport->rect());
  hide();
}

void CardWarningOverlay::SetLines(const QStringList& lines) {
  lines_ = lines;
  setAccessibleName(lines_.value(0));
  setAccessibleDescription(Text());
  update();
}

QString CardWarningOverlay::Text() const {
  return lines_.join(QLatin1Char(' '));
}

void CardWarningOverlay::Announce() {
  if (!QAccessible::isActive()) return;
  QAccessibleEvent alert(this, QAccessible::Alert);
  QAccessible::updateAccessibility(&alert);
}

bool CardWarningOverlay::eventFilter(QObject* watched, QEvent* event) {
  if (watched == parentWidget() && event->type() == QEvent::Resize) setGeometry(parentWidget()->rect());
  return QWidget::eventFilter(watched, event);
}

void CardWarningOverlay::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setRenderHint(QPainter::TextAntialiasing);
  QFont f(QStringLiteral("Arial"));
  f.setPixelSize(15);
  f.setWeight(QFont::Light);
  const int pitch = qMax(20, QFontMetrics(f).lineSpacing() + 3);
  const QColor text = palette().color(QPalette::Text);
  int y = 40;
  for (int i = 0; i < lines_.size(); ++i) {
    QFont lineFont = f;
    // The first line says what is wrong; the rest say what to do about it.
    if (i == 0) lineFont.setWeight(QFont::DemiBold);
    p.setFont(lineFont);
    p.setPen(i == 0 ? QColor(0xb0, 0x30, 0x20) : text);
    p.drawText(QPoint(30, y), lines_[i]);
    y += pitch;
  }
}

}  // namespace sondesk
