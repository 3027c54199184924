#include "gui/DupFileDlg.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

#include "gui/Text.h"

namespace sondesk {

DupFileDlg::DupFileDlg(const Session& session, const QString& text, QWidget* parent) : QDialog(parent) {
  setObjectName("DupFileDlg");
  setWindowTitle(Msg(session, 22));
  setWindowFlag(Qt::WindowCloseButtonHint, false);
  setModal(true);

  auto* icon = new QLabel(this);
  const int side = style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, this);
  icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxWarning, nullptr, this).pixmap(side, side));
  icon->setAlignment(Qt::AlignTop);

  auto* label = new QLabel(text, this);
  label->setObjectName("text");
  label->setTextFormat(Qt::PlainText);
  label->setWordWrap(true);
  label->setTextInteractionFlags(Qt::TextSelectableByMouse);
  label->setMinimumWidth(420);

  auto* top = new QHBoxLayout;
  top->addWidget(icon);
  top->addSpacing(8);
  top->addWidget(label, 1);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  struct B {
    const char* name;
    int message;
    DuplicateAnswer answer;
  };
  const B defs[] = {{"modifyAllNames", 249, DuplicateAnswer::ModifyAllNames},
                    {"modifyName", 250, DuplicateAnswer::ModifyName},
                    {"replace", 251, DuplicateAnswer::Replace},
                    {"replaceAll", 252, DuplicateAnswer::ReplaceAll}};
  for (const B& d : defs) {
    auto* b = new QPushButton(Literal(Msg(session, d.message)), this);
    b->setObjectName(d.name);
    b->setAutoDefault(false);
    const DuplicateAnswer a = d.answer;
    connect(b, &QPushButton::clicked, this, [this, a] {
      answer_ = a;
      done(QDialog::Accepted);
    });
    buttons->addWidget(b);
    if (d.answer == DuplicateAnswer::ModifyName) {
      b->setDefault(true);
      b->setFocus();
    }
  }

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(18, 18, 18, 14);
  layout->setSpacing(16);
  layout->addLayout(top);
  layout->addLayout(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);
}

}  // namespace sondesk
