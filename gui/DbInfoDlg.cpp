#include "gui/DbInfoDlg.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "gui/Text.h"

namespace sondesk {

DbInfoDlg::DbInfoDlg(const Session& session, const QString& name, const QStringList& candidates,
                     QWidget* parent)
    : QDialog(parent) {
  setObjectName("DbInfoDlg");
  setWindowTitle(Msg(session, 200));
  setModal(true);

  auto* notPresent = new QLabel(Msg(session, 198), this);
  edit_ = new QLineEdit(name, this);
  edit_->setObjectName("name");
  edit_->setMaxLength(31);
  auto* choose = new QLabel(Msg(session, 199), this);
  list_ = new QListWidget(this);
  list_->setObjectName("candidates");
  list_->addItems(candidates);
  list_->setMinimumHeight(160);

  auto* buttons = new QDialogButtonBox(this);
  QPushButton* ok = buttons->addButton(Literal(Msg(session, 261)), QDialogButtonBox::AcceptRole);
  ok->setObjectName("ok");
  ok->setDefault(true);
  QPushButton* cancel = buttons->addButton(Literal(Msg(session, 262)), QDialogButtonBox::RejectRole);
  cancel->setObjectName("cancel");
  connect(buttons, &QDialogButtonBox::accepted, this, [this] {
    confirmed_ = true;
    accept();
  });
  connect(buttons, &QDialogButtonBox::rejected, this, [this] {
    confirmed_ = false;
    reject();
  });

  connect(list_, &QListWidget::currentTextChanged, this, [this](const QString& line) {
    if (line.isNull()) return;
    edit_->setText(line.trimmed());
    picked_ = true;
  });
  connect(list_, &QListWidget::itemDoubleClicked, this, [this] {
    confirmed_ = true;
    accept();
  });
  // A picked name that the user then changes is a typed name again, to be added to the list.
  connect(edit_, &QLineEdit::textEdited, this, [this] { picked_ = false; });

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(18, 16, 18, 14);
  layout->addWidget(notPresent);
  layout->addWidget(edit_);
  layout->addSpacing(6);
  layout->addWidget(choose);
  layout->addWidget(list_, 1);
  layout->addWidget(buttons);
  setMinimumWidth(380);
}

QString DbInfoDlg::name() const {
  return edit_->text().trimmed();
}

}  // namespace sondesk
