#include "gui/SettingsDlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/Session.h"
#include "gui/Text.h"

namespace sondesk {

SettingsDlg::SettingsDlg(Session& session, std::function<void()> driveChanged, QWidget* parent)
    : QDialog(parent), session_(session), driveChanged_(std::move(driveChanged)) {
  setObjectName("SettingsDlg");
  setWindowTitle(Msg(session, 242));
  setModal(true);

  Settings& s = session.settings();
  // The dialog reads the file again: another copy of the program, or a hand edit, may have changed it.
  const Settings onDisk = [&] {
    Settings fresh(s.iniPath());
    fresh.Load();
    return fresh;
  }();
  s.onlyDriveRemovable = onDisk.onlyDriveRemovable;
  s.checkInterpret = onDisk.checkInterpret;
  s.checkCategory = onDisk.checkCategory;
  s.askInternet = onDisk.askInternet;
  storedDrive_ = PathQ(onDisk.flashDrive);

  drive_ = new QComboBox(this);
  drive_->setObjectName("drive");
  drive_->setMinimumContentsLength(28);
  drive_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  port_ = new QComboBox(this);
  port_->setObjectName("port");
  port_->addItems({QStringLiteral("LPT1"), QStringLiteral("LPT2")});
  port_->setCurrentIndex(s.currentLpt == 1 ? 1 : 0);

  category_ = new QCheckBox(Msg(session, 239), this);
  category_->setObjectName("checkCategory");
  category_->setChecked(s.checkCategory == 1);
  interpret_ = new QCheckBox(Msg(session, 240), this);
  interpret_->setObjectName("checkInterpret");
  interpret_->setChecked(s.checkInterpret == 1);
  internet_ = new QCheckBox(Msg(session, 241), this);
  internet_->setObjectName("askInternet");
  internet_->setChecked(s.askInternet == 1);

  auto* form = new QFormLayout;
  form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
  form->addRow(Msg(session, 237), drive_);
  form->addRow(Msg(session, 238), port_);

  auto* checks = new QVBoxLayout;
  checks->addWidget(category_);
  checks->addWidget(interpret_);
  checks->addWidget(internet_);

  auto* buttons = new QDialogButtonBox(this);
  QPushButton* ok = buttons->addButton(Literal(Msg(session, 261)), QDialogButtonBox::AcceptRole);
  ok->setObjectName("ok");
  ok->setDefault(true);
  QPushButton* cancel = buttons->addButton(Literal(Msg(session, 262)), QDialogButtonBox::RejectRole);
  cancel->setObjectName("cancel");
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(18, 16, 18, 14);
  layout->setSpacing(12);
  layout->addLayout(form);
  layout->addLayout(checks);
  layout->addWidget(buttons);

  FillDrives(ListDrives(s.onlyDriveRemovable != 0));

  connect(drive_, &QComboBox::currentIndexChanged, this, &SettingsDlg::OnDriveChosen);
  connect(port_, &QComboBox::currentIndexChanged, this, [this](int i) {
    if (i >= 0) session_.settings().WriteInt("Settings", "CurrentLpt", i);
  });
  auto bindCheck = [this](QCheckBox* box, const char* key) {
    connect(box, &QCheckBox::toggled, this,
            [this, key](bool on) { session_.settings().WriteInt("Settings", key, on ? 1 : 0); });
  };
  bindCheck(category_, "CheckCategory");
  bindCheck(interpret_, "CheckInterpret");
  bindCheck(internet_, "AskInternet");
}

void SettingsDlg::SetDriveChoices(const QVector<DriveChoice>& drives) {
  FillDrives(drives);
}

void SettingsDlg::FillDrives(const QVector<DriveChoice>& drives) {
  filling_ = true;
  drives_ = drives;
  drive_->clear();
  drive_->addItem(Msg(session_, 127));
  int selected = 0;
  const QString& current = storedDrive_;
  for (int i = 0; i < drives_.size(); ++i) {
    drive_->addItem(drives_[i].text);
    // Mount points are paths of any length: the stored drive must be the whole value, not a prefix.
    if (drives_[i].value == current) selected = i + 1;
  }
  drive_->setCurrentIndex(selected);
  filling_ = false;
}

void SettingsDlg::OnDriveChosen(int index) {
  if (filling_ || index < 0) return;
  Settings& s = session_.settings();
  const bool none = index == 0 || index > drives_.size();
  // "Nessuno" is the value every reader of the key understands as no drive.
  s.WriteString("Settings", "Flashdrive", none ? std::string(kNoDrive) : PathStd(drives_[index - 1].value));
  if (none) return;
  const bool acceptable = drives_[index - 1].removable || s.onlyDriveRemovable == 0;
  if (session_.linkMode == LinkMode::CardReader && acceptable && driveChanged_) driveChanged_();
}

}  // namespace sondesk
