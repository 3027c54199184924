#include "gui/ProgressDialog.h"

#include <QDialogButtonBox>
#include <QGuiApplication>
#include <QLabel>
#include <QProgressBar>
#include <QScreen>
#include <QVBoxLayout>
#include <algorithm>

namespace sondesk {

ProgressDialog::ProgressDialog(QWidget* owner)
    // A tool window of the main window: above SonDesk, not above the user's other programs.
    : QFrame(owner, Qt::Tool | Qt::FramelessWindowHint) {
  setObjectName("ProgressDialog");
  setFrameShape(QFrame::StyledPanel);
  setFrameShadow(QFrame::Raised);
  setLineWidth(1);
  setAttribute(Qt::WA_ShowWithoutActivating);
  setAutoFillBackground(true);

  line1_ = new QLabel(this);
  line1_->setObjectName("line1");
  line1_->setWordWrap(true);
  line1_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  QFont bold = line1_->font();
  bold.setBold(true);
  line1_->setFont(bold);
  // Two text lines high, as the operation names may wrap.
  line1_->setMinimumHeight(line1_->fontMetrics().lineSpacing() * 2);

  line2_ = new QLabel(this);
  line2_->setObjectName("line2");
  line2_->setAlignment(Qt::AlignCenter);

  bar_ = new QProgressBar(this);
  bar_->setObjectName("bar");
  bar_->setTextVisible(false);
  bar_->setRange(0, 1);

  buttons_ = new QDialogButtonBox(QDialogButtonBox::Cancel, this);
  buttons_->setObjectName("cancel");
  buttons_->setCenterButtons(true);
  buttons_->hide();
  connect(buttons_, &QDialogButtonBox::rejected, this, [this] { cancelRequested_ = true; });

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(16, 12, 16, 14);
  layout->setSpacing(6);
  layout->addWidget(line1_);
  layout->addWidget(line2_);
  layout->addWidget(bar_);
  layout->addWidget(buttons_);
  setMinimumWidth(430);

  showTimer_.setSingleShot(true);
  connect(&showTimer_, &QTimer::timeout, this, [this] { ShowNow(); });
}

void ProgressDialog::SetRange(std::uint32_t maximum) {
  bar_->setRange(0, static_cast<int>(std::min<std::uint32_t>(maximum, 0x7fffffff)));
}

void ProgressDialog::SetPosition(std::uint32_t position) {
  bar_->setValue(
      static_cast<int>(std::min<std::uint32_t>(position, static_cast<std::uint32_t>(bar_->maximum()))));
}

void ProgressDialog::SetLine(int line, const QString& text) {
  (line == 1 ? line1_ : line2_)->setText(text);
}

void ProgressDialog::Open(int delayMs) {
  open_ = true;
  line1_->clear();
  line2_->clear();
  if (delayMs <= 0) {
    ShowNow();
  } else {
    showTimer_.start(delayMs);
  }
}

void ProgressDialog::ShowNow() {
  if (!open_) return;
  if (aside_ > 0) {
    shownBeforeAside_ = true;
    return;
  }
  adjustSize();
  // Centred over the main window when there is one, else on its screen.
  QRect area;
  if (parentWidget() != nullptr && parentWidget()->isVisible()) {
    area = parentWidget()->frameGeometry();
  } else if (QScreen* s = QGuiApplication::primaryScreen()) {
    area = s->availableGeometry();
  }
  if (area.isValid()) move(area.center() - QPoint(width() / 2, height() / 2));
  show();
  raise();
}

void ProgressDialog::StepAside() {
  if (aside_++ > 0) return;
  shownBeforeAside_ = isVisible();
  if (shownBeforeAside_) hide();
}

void ProgressDialog::ComeBack() {
  if (aside_ == 0 || --aside_ > 0) return;
  if (open_ && shownBeforeAside_) ShowNow();
  shownBeforeAside_ = false;
}

void ProgressDialog::SetCancellable(bool on) {
  cancelRequested_ = false;
  buttons_->setVisible(on);
  if (isVisible()) adjustSize();
}

void ProgressDialog::Close() {
  open_ = false;
  shownBeforeAside_ = false;
  showTimer_.stop();
  hide();
}

QString ProgressDialog::line1() const {
  return line1_->text();
}
QString ProgressDialog::line2() const {
  return line2_->text();
}
int ProgressDialog::maximum() const {
  return bar_->maximum();
}
int ProgressDialog::position() const {
  return bar_->value();
}

}  // namespace sondesk
