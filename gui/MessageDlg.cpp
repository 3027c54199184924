#include "gui/MessageDlg.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

#include "gui/Text.h"

namespace sondesk {

MessageDlg::MessageDlg(const Session& session, const QString& text, const QString& checkText,
                       const QString& title, QWidget* parent)
    : QDialog(parent) {
  setObjectName("MessageDlg");
  setWindowTitle(title.isEmpty() ? Msg(session, 22) : title);
  setModal(true);

  auto* icon = new QLabel(this);
  const int side = style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, this);
  icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxWarning, nullptr, this).pixmap(side, side));
  icon->setAlignment(Qt::AlignTop);

  auto* label = new QLabel(text, this);
  label->setObjectName("text");
  label->setTextFormat(Qt::PlainText);
  label->setWordWrap(false);
  label->setTextInteractionFlags(Qt::TextSelectableByMouse);

  check_ = new QCheckBox(checkText.isEmpty() ? Msg(session, 253) : checkText, this);
  check_->setObjectName("showAgain");
  check_->setChecked(true);

  auto* buttons = new QDialogButtonBox(this);
  QPushButton* ok = buttons->addButton(Literal(Msg(session, 261)), QDialogButtonBox::AcceptRole);
  ok->setObjectName("ok");
  ok->setDefault(true);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

  auto* top = new QHBoxLayout;
  top->addWidget(icon);
  top->addSpacing(8);
  top->addWidget(label, 1);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(18, 18, 18, 14);
  layout->setSpacing(14);
  layout->addLayout(top);
  layout->addWidget(check_);
  layout->addWidget(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);
}

bool MessageDlg::showAgain() const {
  return check_->isChecked();
}

}  // namespace sondesk
