#include "gui/FileInfoDlg.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/Session.h"
#include "gui/Text.h"
#include "library/NameLists.h"

namespace sondesk {

namespace {
constexpr int kHeaderTextMax = 31;

QComboBox* NameCombo(const std::vector<std::string>& lines, const QString& current, const char* name,
                     QWidget* parent) {
  auto* box = new QComboBox(parent);
  box->setObjectName(name);
  box->setEditable(true);
  box->setInsertPolicy(QComboBox::NoInsert);
  box->setMaxVisibleItems(20);
  for (const std::string& l : lines) box->addItem(Q(l));
  box->lineEdit()->setMaxLength(kHeaderTextMax);
  box->setEditText(current);
  return box;
}
}  // namespace

FileInfoDlg::FileInfoDlg(Session& session, const std::string& path, QWidget* parent)
    : QDialog(parent), session_(session) {
  setObjectName("FileInfoDlg");
  setWindowTitle(Msg(session, 207));
  setModal(true);
  if (ReadSongInfo(session, path, info_) != 0) return;
  opened_ = true;
  const Mf3Texts t = info_.texts();

  auto* fileName = new QLineEdit(Q(info_.fileName()), this);
  fileName->setObjectName("fileName");
  fileName->setReadOnly(true);
  title_ = new QLineEdit(Q(t.title), this);
  title_->setObjectName("songTitle");
  title_->setMaxLength(kHeaderTextMax);
  performer_ = NameCombo(ReadNameList(ArtistListPath(session)), Q(t.performer), "performer", this);
  category_ = NameCombo(ReadNameList(GenreListPath(session)), Q(t.genre), "category", this);
  publisher_ = new QLineEdit(Q(t.publisher), this);
  publisher_->setObjectName("publisher");
  publisher_->setMaxLength(kHeaderTextMax);
  author_ = new QLineEdit(Q(t.author), this);
  author_->setObjectName("author");
  author_->setMaxLength(kHeaderTextMax);
  auto* copyright = new QLineEdit(Q(t.copyright), this);
  copyright->setObjectName("copyright");
  copyright->setReadOnly(true);

  auto* form = new QFormLayout;
  form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
  form->addRow(Msg(session, 201), fileName);
  form->addRow(Msg(session, 202), title_);
  form->addRow(Msg(session, 203), performer_);
  form->addRow(Msg(session, 204), category_);
  form->addRow(Msg(session, 205), publisher_);
  form->addRow(Msg(session, 206), author_);
  form->addRow(QStringLiteral("©"), copyright);

  auto* buttons = new QDialogButtonBox(this);
  QPushButton* ok = buttons->addButton(Literal(Msg(session, 261)), QDialogButtonBox::AcceptRole);
  ok->setObjectName("ok");
  ok->setDefault(true);
  QPushButton* cancel = buttons->addButton(Literal(Msg(session, 262)), QDialogButtonBox::RejectRole);
  cancel->setObjectName("cancel");
  connect(buttons, &QDialogButtonBox::accepted, this, &FileInfoDlg::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(18, 16, 18, 14);
  layout->setSpacing(12);
  layout->addLayout(form);
  layout->addWidget(buttons);
  setMinimumWidth(460);
  title_->setFocus();
}

void FileInfoDlg::accept() {
  SongInfoEdit edit;
  edit.title = ToCp1252(title_->text());
  edit.performer = ToCp1252(performer_->currentText());
  edit.category = ToCp1252(category_->currentText());
  edit.publisher = ToCp1252(publisher_->text());
  edit.author = ToCp1252(author_->text());
  const SongInfoResult r = SaveSongInfo(session_, info_, edit);
  // The names the confirmation settled on are what the boxes show from now on.
  performer_->setEditText(Q(edit.performer));
  category_->setEditText(Q(edit.category));
  if (r == SongInfoResult::Saved) QDialog::accept();
}

}  // namespace sondesk
