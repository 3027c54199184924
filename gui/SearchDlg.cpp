#include "gui/SearchDlg.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/Session.h"
#include "gui/Text.h"

namespace sondesk {

SearchDlg::SearchDlg(Session& session, SearchState& state, QTreeView& libraryView,
                     SongListModel& libraryModel, QTreeView& cardView, SongListModel& cardModel,
                     QWidget* parent)
    : QDialog(parent),
      session_(session),
      state_(state),
      pc_(libraryView, libraryModel, session.library),
      card_(cardView, cardModel, session.card) {
  setObjectName("SEARCHDLG");
  setWindowTitle(Msg(session, 236));
  setModal(true);

  text_ = new QLineEdit(this);
  text_->setObjectName("text");
  text_->setMaxLength(250);
  text_->setMinimumWidth(300);
  text_->setClearButtonEnabled(true);

  title_ = new QCheckBox(Msg(session, 229), this);
  title_->setObjectName("title");
  performer_ = new QCheckBox(Msg(session, 230), this);
  performer_->setObjectName("performer");
  category_ = new QCheckBox(Msg(session, 231), this);
  category_->setObjectName("category");
  pcBox_ = new QCheckBox(Msg(session, 232), this);
  pcBox_->setObjectName("pc");
  cardBox_ = new QCheckBox(Msg(session, 233), this);
  cardBox_->setObjectName("card");
  title_->setChecked(state.title);
  performer_->setChecked(state.performer);
  category_->setChecked(state.category);
  pcBox_->setChecked(state.pc);
  cardBox_->setChecked(state.card);

  auto* fields = new QGroupBox(Msg(session, 234), this);
  auto* fl = new QVBoxLayout(fields);
  fl->addWidget(title_);
  fl->addWidget(performer_);
  fl->addWidget(category_);
  auto* lists = new QGroupBox(Msg(session, 235), this);
  auto* ll = new QVBoxLayout(lists);
  ll->addWidget(pcBox_);
  ll->addWidget(cardBox_);
  ll->addStretch(1);

  auto* groups = new QHBoxLayout;
  groups->addWidget(fields, 1);
  groups->addWidget(lists, 1);

  auto* buttons = new QDialogButtonBox(Qt::Vertical, this);
  QPushButton* next = buttons->addButton(Literal(Msg(session, 227)), QDialogButtonBox::ActionRole);
  next->setObjectName("next");
  next->setDefault(true);
  QPushButton* all = buttons->addButton(Literal(Msg(session, 228)), QDialogButtonBox::ActionRole);
  all->setObjectName("selectAll");
  QPushButton* cancel = buttons->addButton(Literal(Msg(session, 262)), QDialogButtonBox::RejectRole);
  cancel->setObjectName("cancel");
  connect(next, &QPushButton::clicked, this, &SearchDlg::Next);
  connect(all, &QPushButton::clicked, this, &SearchDlg::SelectAll);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

  auto* left = new QVBoxLayout;
  left->addWidget(text_);
  left->addLayout(groups);
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(16, 16, 16, 16);
  layout->setSpacing(14);
  layout->addLayout(left, 1);
  layout->addWidget(buttons);
  text_->setFocus();
}

void SearchDlg::SaveChecks() {
  state_.title = title_->isChecked();
  state_.performer = performer_->isChecked();
  state_.category = category_->isChecked();
  state_.pc = pcBox_->isChecked();
  state_.card = cardBox_->isChecked();
}

void SearchDlg::Next() {
  SaveChecks();
  const std::string text = ToCp1252(text_->text());
  SearchNext(session_, state_, text, pc_, card_);
  pc_.Apply();
  card_.Apply();
}

void SearchDlg::SelectAll() {
  SaveChecks();
  const std::string text = ToCp1252(text_->text());
  const bool anyList = state_.pc || state_.card;
  SearchSelectAll(session_, state_, text, pc_, card_);
  pc_.Apply();
  card_.Apply();
  if (anyList) accept();
}

void SearchDlg::done(int result) {
  SaveChecks();
  QDialog::done(result);
}

}  // namespace sondesk
